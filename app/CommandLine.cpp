#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include "ui/VersionString.h"

namespace {

const QCommandLineOption& TraceOption() {
    static const QCommandLineOption trace(
        "trace",
        QString("Write every frame sent and received to <file> (appended). Without this option "
                "the file named by %1 is written, if it is set.")
            .arg(TRACE_VARIABLE),
        "file");
    return trace;
}

// The options of the program, for both readings of the command line.
void DescribeOptions(QCommandLineParser& parser) {
    // The version as the packages and the other programs print it: a fourth word only when set.
    const FileVersion version = ProgramFileVersion();
    QString text = QString("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.third);
    if (version.fourth != 0) text += QString(".%1").arg(version.fourth);
    QCoreApplication::setApplicationVersion(text);
    parser.setApplicationDescription(
        "Configures and reads the pulse counters of networked digital-I/O units.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(TraceOption());
}

}  // namespace

void AnswerInformationOptions(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.isEmpty()) return;
    QCoreApplication::setApplicationName(QFileInfo(arguments.first()).completeBaseName());
    QCommandLineParser parser;
    DescribeOptions(parser);
    // Single-dash words are the window system's options; read as bundles of letters, the "v" of
    // -reverse or the "h" of -stylesheet would be taken for --version or --help.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Errors wait for the full reading once the application object exists.
    parser.parse(arguments);
    const bool helpAll = parser.isSet("help-all");
    if (!parser.isSet("help") && !helpAll && !parser.isSet("version")) return;
    // The help text names the program from the application object's arguments; that object,
    // unlike QApplication, needs no display.
    QCoreApplication information(argc, argv);
    // --help-all adds the options of the application object, which only the parser's own
    // processing prints.
    if (helpAll) parser.process(information);
    if (parser.isSet("help")) parser.showHelp(0);
    parser.showVersion();
}

QString TraceFileOfCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    DescribeOptions(parser);
    parser.process(arguments);
    if (parser.isSet(TraceOption())) return parser.value(TraceOption());
    return qEnvironmentVariable(TRACE_VARIABLE);
}
