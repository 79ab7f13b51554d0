// velkor-tour <address> <port> <node> <out.png>: connects the main dialog to a unit without a
// display, reads its settings and counts as an operator would, and saves a picture of the dialog.
// The demo runs it against the simulator when there is no screen to open the window on.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <cstdio>
#include <functional>

#include "dialog/ControlIds.h"
#include "link/LinkSession.h"
#include "ui/DialogSnapshot.h"
#include "ui/VelkorDlg.h"

namespace {

// Runs the event loop until the condition holds or the time is up.
bool AwaitCondition(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void Step(const char* what) {
    std::printf("  %s\n", what);
}

void Click(CVelkorDlg& dialog, int32_t id) {
    QTest::mouseClick(dialog.Control(id), Qt::LeftButton);
}

void Type(CVelkorDlg& dialog, int32_t id, const char* text) {
    qobject_cast<QLineEdit*>(dialog.Control(id))->setText(QString::fromLocal8Bit(text));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <address> <port> <node> <out.png>\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LinkSession session;
    CVelkorDlg dialog(session);
    dialog.SetMessageHook(
        [](const QString& text) { std::printf("  message: %s\n", text.toUtf8().constData()); });
    dialog.show();

    Step("typing the gateway address, port and node, then pressing 接続");
    Type(dialog, IDC_ADDRESS_EDIT, argv[1]);
    Type(dialog, IDC_TCP_PORT_EDIT, argv[2]);
    Type(dialog, IDC_NODE_EDIT, argv[3]);
    Click(dialog, IDC_CONNECT_BUTTON);
    if (!AwaitCondition([&] { return dialog.Core().ConnState() == Connected; }, 15000)) {
        std::fprintf(stderr, "the unit did not connect\n");
        return 1;
    }
    Step(dialog.ControlText(IDC_DEVICE_INFO_TEXT).c_str());

    Step("pressing 設定受信 (read settings)");
    Click(dialog, IDC_READ_SETTINGS_BUTTON);
    AwaitCondition([&] { return !dialog.Control(IDC_READ_SETTINGS_BUTTON)->isEnabled(); }, 1000);
    AwaitCondition([&] { return dialog.Control(IDC_READ_SETTINGS_BUTTON)->isEnabled(); }, 15000);

    Step("pressing カウント値受信 (read counts)");
    const int32_t before = dialog.PostedTasks();
    if (dialog.Control(IDC_READ_COUNTS_BUTTON)->isEnabled()) {
        Click(dialog, IDC_READ_COUNTS_BUTTON);
        AwaitCondition([&] { return dialog.PostedTasks() > before; }, 5000);
        AwaitCondition([] { return false; }, 300);  // the remaining replies
    }
    if (!SaveWindowSnapshot(dialog, QString::fromLocal8Bit(argv[4]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[4]);
        return 1;
    }
    std::printf("picture of the connected dialog: %s\n", argv[4]);
    dialog.reject();
    return 0;
}
