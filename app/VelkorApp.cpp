#include "app/VelkorApp.h"

#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <string>

#include "app/SocketInit.h"
#include "link/FrameTrace.h"
#include "link/TraceFile.h"
#include "ui/MessageBox.h"
#include "ui/StringTable.h"
#include "ui/VelkorDlg.h"

QString ApplicationNameOf(const QString& executablePath) {
    return QFileInfo(executablePath).completeBaseName();
}

CVelkorApp::CVelkorApp(int& argc, char** argv)
    : QApplication(argc, argv), socketInitialiser(InitialiseSockets) {
    // Every message box takes this name as its caption.
    setApplicationName(ApplicationNameOf(applicationFilePath()));
    // Under Wayland the window is matched to its desktop entry (icon, name) by this id.
    setDesktopFileName("io.github.velkor.Velkor");
}

CVelkorApp::~CVelkorApp() = default;

bool CVelkorApp::InitInstance() {
    // The framework is already up: the QApplication constructor started it.
    exitCode = 0;
    // Sockets; failing that the message is the only window the program shows.
    if (!socketInitialiser()) {
        ShowMessage(LoadStringResource(IDS_SOCKET_INIT_FAILED));
        exitCode = 1;
        return false;
    }
    // The frame trace, when asked for; a file that cannot be written ends the program before
    // anything is sent.
    if (!StartFrameTrace()) {
        exitCode = 1;
        return false;
    }
    // The main dialog, run modally. Its LinkSession outlives it; a link left open is closed when
    // the session is destroyed at exit.
    {
        CVelkorDlg dialog;
        dialog.exec();
    }
    // Whatever the dialog's result, the program ends.
    return false;
}

bool CVelkorApp::StartFrameTrace() {
    if (traceFile.isEmpty()) return true;
    std::string error;
    std::unique_ptr<TraceFile> trace = TraceFile::Open(traceFile.toStdString(), error);
    if (!trace) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(applicationName()), error.c_str());
        ShowMessage(QString::fromStdString(error));
        return false;
    }
    // Kept for the whole run: the program's link session, which traces its closing, is
    // destroyed only at exit.
    SetFrameTrace(trace.release());
    return true;
}

void CVelkorApp::SetSocketInitialiser(std::function<bool()> initialiser) {
    socketInitialiser = std::move(initialiser);
}

void CVelkorApp::SetMessageHook(std::function<void(const QString&)> hook) {
    messageHook = std::move(hook);
}

void CVelkorApp::ShowMessage(const QString& text) {
    if (messageHook) {
        messageHook(text);
    } else {
        ShowMessageBox(nullptr, text);
    }
}
