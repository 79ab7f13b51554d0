#include "ui/AppIcon.h"

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QResource>
#include <QString>

namespace {

// One size of the icon: premultiplied 32-bit pixels, row after row, read straight from the
// resource without a decoder (a decoder would also load every image-format plugin).
QImage IconImage(int32_t id, int size) {
    const QResource resource(QStringLiteral(":/icons/%1/velkor-%2.argb").arg(id).arg(size));
    const QByteArray pixels = resource.uncompressedData();
    if (pixels.size() != qsizetype{size} * size * 4) return {};
    const auto* bits = reinterpret_cast<const uchar*>(pixels.constData());
    return QImage(bits, size, size, QImage::Format_ARGB32_Premultiplied).copy();
}

}  // namespace

QIcon LoadIconResource(int32_t id) {
    QIcon icon;
    for (int size : APP_ICON_SIZES) {
        const QImage image = IconImage(id, size);
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
