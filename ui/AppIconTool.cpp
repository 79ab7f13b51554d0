// Renders the program's icon files at build time: velkor-icon-render <directory> <size>...
#include <QDir>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "ui/AppIconPainter.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <directory> <size>...\n", argv[0]);
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    if (!directory.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString path = directory.filePath(QStringLiteral("velkor-%1.png").arg(size));
        if (size <= 0 || !PaintAppIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
