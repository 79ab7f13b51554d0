#pragma once

#include <QApplication>
#include <QString>
#include <functional>

class CVelkorDlg;

// The program's application object: initialises sockets, then runs the main dialog modally.
class CVelkorApp : public QApplication {
public:
    CVelkorApp(int& argc, char** argv);
    ~CVelkorApp() override;

    // Start-up. Returns false in every case: once the dialog's modal run is over (or start-up
    // failed) the program ends instead of entering an event loop of its own.
    bool InitInstance();
    // Exit status of the process: 0, or 1 when start-up failed.
    int ExitCode() const { return exitCode; }

    // The file the frame trace is written to; empty for none. Opened by InitInstance.
    void SetTraceFile(const QString& path) { traceFile = path; }

    // Seams for tests: the socket initialisation, and where start-up messages go (on the
    // user-interface thread) instead of a message box.
    void SetSocketInitialiser(std::function<bool()> initialiser);
    void SetMessageHook(std::function<void(const QString&)> hook);

private:
    void ShowMessage(const QString& text);
    bool StartFrameTrace();

    std::function<bool()> socketInitialiser;
    std::function<void(const QString&)> messageHook;
    QString traceFile;
    int exitCode = 0;
};

// The application name: the executable's file name without its extension.
QString ApplicationNameOf(const QString& executablePath);
