// Renders the program's icon files at build time: velkor-icon-render <directory> <size>...
// Each size is written twice: velkor-<size>.png for the desktop, and velkor-<size>.argb, the raw
// premultiplied 32-bit pixels the program embeds, so that the window icon needs no image decoder.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "ui/AppIconPainter.h"

namespace {

bool WriteRaw(const QImage& image, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const auto bytes = static_cast<qint64>(image.sizeInBytes());
    return file.write(reinterpret_cast<const char*>(image.constBits()), bytes) == bytes;
}

}  // namespace

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
        const QString base = directory.filePath(QStringLiteral("velkor-%1").arg(size));
        const QImage image = size > 0 ? PaintAppIcon(size) : QImage();
        if (image.isNull() || !image.save(base + QStringLiteral(".png"), "PNG") ||
            !WriteRaw(image, base + QStringLiteral(".argb"))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(base));
            return 1;
        }
    }
    return 0;
}
