#include "app/VelkorApp.h"
#include "link/LinkSession.h"

int main(int argc, char** argv) {
    // The link session exists before the application object and is destroyed after it, at exit.
    TheLinkSession();
    CVelkorApp app(argc, argv);
    app.InitInstance();
    return app.ExitCode();
}
