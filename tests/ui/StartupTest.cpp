// Start-up of the program, its resources, the version text and the dialog-unit arithmetic.
#include <QApplication>
#include <QFontInfo>
#include <QTimer>
#include <csignal>

#include "DialogTestSupport.h"
#include "app/CommandLine.h"
#include "app/SocketInit.h"
#include "app/VelkorApp.h"
#include "ui/DialogFonts.h"
#include "ui/DialogUnits.h"
#include "ui/StringTable.h"
#include "ui/VersionString.h"

namespace {

CVelkorApp& App() {
    return *static_cast<CVelkorApp*>(QCoreApplication::instance());
}

// Records every widget that is shown while it is installed.
class ShowRecorder : public QObject {
public:
    ShowRecorder() { qApp->installEventFilter(this); }
    ~ShowRecorder() override { qApp->removeEventFilter(this); }
    std::vector<QString> shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && widget && widget->isWindow()) {
            shown.push_back(widget->metaObject()->className());
        }
        return false;
    }
};

class Startup : public testing::Test {
protected:
    void TearDown() override {
        App().SetSocketInitialiser(InitialiseSockets);
        App().SetMessageHook(nullptr);
        App().SetTraceFile(QString());
    }
};

TEST_F(Startup, SocketFailureShowsString103AndNoWindow) {
    std::vector<QString> messages;
    App().SetSocketInitialiser([] { return false; });
    App().SetMessageHook([&](const QString& text) { messages.push_back(text); });
    ShowRecorder recorder;
    EXPECT_FALSE(App().InitInstance());
    EXPECT_EQ(messages, std::vector<QString>{"Windows ソケットの初期化に失敗しました。"});
    EXPECT_TRUE(recorder.shown.empty());
    EXPECT_EQ(App().ExitCode(), 1);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<CVelkorDlg*>(window), nullptr);
    }
}

TEST_F(Startup, ATraceFileThatCannotBeOpenedIsTheOnlyMessageAndNoWindow) {
    std::vector<QString> messages;
    App().SetMessageHook([&](const QString& text) { messages.push_back(text); });
    App().SetTraceFile("/nonexistent-velkor-folder/frames.trace");
    ShowRecorder recorder;
    EXPECT_FALSE(App().InitInstance());
    EXPECT_EQ(messages, std::vector<QString>{"cannot open the trace file "
                                             "/nonexistent-velkor-folder/frames.trace: No such "
                                             "file or directory"});
    EXPECT_TRUE(recorder.shown.empty());
    EXPECT_EQ(App().ExitCode(), 1);
}

struct TraceOptionCase {
    QStringList arguments;
    const char* variable;  // nullptr: not set
    QString traceFile;
};

TEST(CommandLine, TraceOptionWinsOverTheVariable) {
    const TraceOptionCase cases[] = {
        {{"velkor"}, nullptr, ""},
        {{"velkor", "--trace", "a.trace"}, nullptr, "a.trace"},
        {{"velkor", "--trace=a.trace"}, nullptr, "a.trace"},
        {{"velkor"}, "b.trace", "b.trace"},
        {{"velkor", "--trace", "a.trace"}, "b.trace", "a.trace"},
    };
    for (const TraceOptionCase& c : cases) {
        if (c.variable == nullptr) {
            qunsetenv(TRACE_VARIABLE);
        } else {
            qputenv(TRACE_VARIABLE, c.variable);
        }
        EXPECT_EQ(TraceFileOfCommandLine(c.arguments), c.traceFile)
            << c.arguments.join(' ').toStdString();
    }
    qunsetenv(TRACE_VARIABLE);
}

// Sockets ready: the main dialog runs modally and, once it is closed, start-up returns false so
// that the program ends.
TEST_F(Startup, DialogRunsModallyAndTheProgramEndsAfterIt) {
    int initialisations = 0;
    App().SetSocketInitialiser([&] {
        ++initialisations;
        return InitialiseSockets();
    });
    std::vector<QString> messages;
    App().SetMessageHook([&](const QString& text) { messages.push_back(text); });
    QString title;
    bool modal = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CVelkorDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        title = dialog->windowTitle();
        modal = dialog->isModal();
        dialog->reject();
    });
    closer.start(10);
    ShowRecorder recorder;

    EXPECT_FALSE(App().InitInstance());
    EXPECT_EQ(initialisations, 1);
    EXPECT_EQ(title, "Velkor");
    EXPECT_TRUE(modal);
    EXPECT_EQ(recorder.shown, std::vector<QString>{"CVelkorDlg"});
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(App().ExitCode(), 0);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<CVelkorDlg*>(window), nullptr);
    }
}

TEST(SocketInitialisation, IgnoresBrokenPipes) {
    ASSERT_TRUE(InitialiseSockets());
    struct sigaction current {};
    ASSERT_EQ(sigaction(SIGPIPE, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
}

TEST(ApplicationName, IsTheExecutableNameWithoutExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/velkor", "velkor"},  {"/opt/velkor/Velkor.exe", "Velkor"},
        {"./velkor.bin", "velkor"},     {"velkor", "velkor"},
        {"/home/a.b/velkor", "velkor"}, {"/tmp/pulse.tool.exe", "pulse.tool"},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(ApplicationNameOf(QString::fromUtf8(path)), QString::fromUtf8(name)) << path;
    }
    EXPECT_EQ(QCoreApplication::applicationName(), "ui_tests");
}

TEST(StringResources, Text103AndNothingElse) {
    EXPECT_EQ(LoadStringResource(103), "Windows ソケットの初期化に失敗しました。");
    EXPECT_EQ(LoadStringResource(102), "");
    EXPECT_EQ(LoadStringResource(0), "");
}

TEST(VersionText, WordsAfterTheDotRunTogether) {
    const std::pair<FileVersion, const char*> cases[] = {
        {{1, 0, 0, 0}, "Version 1.00"},
        {{1, 2, 3, 0}, "Version 1.23"},
        {{1, 2, 3, 4}, "Version 1.234"},
        {{2, 1, 0, 5}, "Version 2.105"},
        {{10, 11, 12, 0}, "Version 10.1112"},
        {{65535, 65535, 65535, 65535}, "Version 65535.655356553565535"},
    };
    for (const auto& [version, text] : cases)
        EXPECT_EQ(FormatVersionString(version), text);
}

TEST(VersionText, ProgramVersionIsTheProjectVersion) {
    const FileVersion version = ProgramFileVersion();
    const QString words = QStringLiteral("%1.%2.%3.%4")
                              .arg(version.major)
                              .arg(version.minor)
                              .arg(version.third)
                              .arg(version.fourth);
    EXPECT_EQ(words, VELKOR_PROJECT_VERSION);
}

TEST(DialogUnits, MulDivRoundsToNearest) {
    struct Case {
        int number, numerator, denominator, result;
    };
    const Case cases[] = {
        {311, 6, 4, 467}, {447, 13, 8, 726},        {1, 13, 8, 2},
        {3, 13, 8, 5},    {10, 6, 4, 15},           {5, 6, 4, 8},
        {0, 6, 4, 0},     {-3, 3, 2, -5},           {3, -3, 2, -5},
        {7, 1, 0, -1},    {1 << 30, 8, 8, 1 << 30},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.result)
            << c.number << "*" << c.numerator << "/" << c.denominator;
    }
}

TEST(DialogUnits, RectanglesConvertPositionAndSizeEachOnTheirOwn) {
    const DialogBaseUnits base{6, 13};
    EXPECT_EQ(DialogUnitsToPixels({10, 12, 64, 8}, base), QRect(15, 20, 96, 13));
    EXPECT_EQ(DialogUnitsToPixels({5, 345, 295, 1}, base), QRect(8, 561, 443, 2));
    EXPECT_EQ(DialogUnitsToPixels({60, 355, 1, 59}, base), QRect(90, 577, 2, 96));
}

// The Japanese faces of the template resolve to an installed face with Japanese glyphs, and the
// dialog font measures as on its home system.
TEST(DialogFonts, JapaneseFacesResolveToTheGothicSubstitute) {
    const QFont dialogFont = MakeDialogFont();
    const QFont countFont = MakePointFont(180, "ＭＳ ゴシック");
    EXPECT_EQ(QFontInfo(dialogFont).family(), "IPAPGothic");
    EXPECT_EQ(QFontInfo(countFont).family(), "IPAGothic");
    EXPECT_EQ(QFontInfo(dialogFont).pixelSize(), 12);
    EXPECT_EQ(QFontInfo(countFont).pixelSize(), 24);
    const DialogBaseUnits base = BaseUnitsOf(dialogFont);
    EXPECT_EQ(base.baseX, 7);
    EXPECT_EQ(base.baseY, 13);
}

}  // namespace
