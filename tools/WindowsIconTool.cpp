// Writes the Windows program's icon file from the same drawing as the Linux icons:
// velkor-ico-render <out.ico> <size>... The Windows build has no Qt to draw with, so the file is
// made here and kept in the repository. Sizes up to 48 pixels are stored as 32-bit bitmaps,
// which every Windows version reads; larger ones as PNG, as Windows expects them.
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QList>
#include <QtEndian>
#include <cstdio>
#include <cstdlib>

#include "ui/AppIconPainter.h"

namespace {

constexpr int LARGEST_BITMAP_SIZE = 48;

void Append16(QByteArray& out, quint16 value) {
    const quint16 little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

void Append32(QByteArray& out, quint32 value) {
    const quint32 little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

// A bitmap icon image: its header (height doubled: colour rows, then the mask rows), the colour
// rows bottom-up as BGRA, and an all-clear mask, since the alpha channel decides.
QByteArray BitmapImage(const QImage& painted) {
    const QImage image = painted.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskStride = ((size + 31) / 32) * 4;
    QByteArray out;
    for (quint32 value : {40u, quint32(size), quint32(size * 2)})
        Append32(out, value);
    Append16(out, 1);
    Append16(out, 32);
    for (int i = 0; i < 6; ++i)
        Append32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x)
            Append32(out, image.pixel(x, y));
    }
    out.append(QByteArray(maskStride * size, '\0'));
    return out;
}

QByteArray PngImage(const QImage& image) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <out.ico> <size>...\n", argv[0]);
        return 2;
    }
    QList<int> sizes;
    QList<QByteArray> images;
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || size > 256) {
            std::fprintf(stderr, "size out of range: %s\n", argv[i]);
            return 2;
        }
        const QImage image = PaintAppIcon(size);
        sizes << size;
        images << (size <= LARGEST_BITMAP_SIZE ? BitmapImage(image) : PngImage(image));
    }
    QByteArray file;
    Append16(file, 0);
    Append16(file, 1);
    Append16(file, static_cast<quint16>(sizes.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        // A size of 256 is written as 0.
        file.append(static_cast<char>(sizes[i] & 0xFF));
        file.append(static_cast<char>(sizes[i] & 0xFF));
        file.append(2, '\0');
        Append16(file, 1);
        Append16(file, 32);
        Append32(file, static_cast<quint32>(images[i].size()));
        Append32(file, offset);
        offset += static_cast<quint32>(images[i].size());
    }
    for (const QByteArray& image : images)
        file.append(image);
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
