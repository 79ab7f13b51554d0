#include "app/CommandLine.h"
#include "app/VelkorApp.h"
#include "link/LinkSession.h"
#include "ui/FontPrefetch.h"
#include "ui/ImageFormatPrefetch.h"
#include "ui/PortSource.h"

int main(int argc, char** argv) {
    // Before anything else starts, and before the window system is reached: --help and --version
    // must answer without a display.
    AnswerInformationOptions(argc, argv);
    // The port list is filled before the window first shows; the enumeration behind it runs
    // meanwhile on a thread of its own.
    PrefetchSerialPorts();
    // So is the font configuration, which the window's first font would otherwise wait for.
    PrefetchFontConfiguration();
    // The link session exists before the application object and is destroyed after it, at exit.
    TheLinkSession();
    CVelkorApp app(argc, argv);
    const std::future<void> imageFormats = PrefetchImageFormats();
    app.SetTraceFile(TraceFileOfCommandLine(app.arguments()));
    app.InitInstance();
    return app.ExitCode();
}
