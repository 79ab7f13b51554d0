// velkor-snapshot <out.png>: renders the main dialog as it opens into a PNG file, without a
// display unless one is asked for through QT_QPA_PLATFORM.
#include <QApplication>
#include <cstdio>

#include "link/LinkSession.h"
#include "ui/DialogSnapshot.h"
#include "ui/VelkorDlg.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <out.png>\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LinkSession session;
    CVelkorDlg dialog(session);
    if (!SaveWindowSnapshot(dialog, QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %dx%d px\n", argv[1], dialog.width(), dialog.height());
    return 0;
}
