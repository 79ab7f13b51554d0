#include "ui/AppIconPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// Drawn on a 256-unit canvas and scaled; strokes stay thick enough to survive 16 pixels.
constexpr qreal CANVAS = 256.0;

void PaintTile(QPainter& painter) {
    QLinearGradient fill(0, 0, 0, CANVAS);
    fill.setColorAt(0.0, QColor(0x22, 0x7b, 0xc4));
    fill.setColorAt(1.0, QColor(0x0c, 0x3a, 0x63));
    painter.setPen(QPen(QColor(0x08, 0x2a, 0x48), 6));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(8, 8, CANVAS - 16, CANVAS - 16), 44, 44);
}

// Small sizes get fewer, thicker pulses so that the picture survives 16 pixels.
struct PulseLayout {
    int pulses;
    qreal stroke;
    qreal markRadius;
};

PulseLayout LayoutFor(int size) {
    return size <= 24 ? PulseLayout{2, 30, 22} : PulseLayout{3, 20, 15};
}

void PaintPulseTrain(QPainter& painter, const PulseLayout& layout) {
    constexpr qreal left = 30;
    constexpr qreal right = 226;
    constexpr qreal low = 176;
    constexpr qreal high = 92;
    const qreal period = (right - left) / layout.pulses;
    QPainterPath wave;
    wave.moveTo(left, low);
    for (int i = 0; i < layout.pulses; ++i) {
        const qreal rise = left + period / 2 + i * period;
        wave.lineTo(rise, low);
        wave.lineTo(rise, high);
        wave.lineTo(rise + period / 2, high);
        wave.lineTo(rise + period / 2, low);
    }
    wave.lineTo(right, low);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, layout.stroke, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawPath(wave);

    // One count mark above each rising edge.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0xa7, 0x26));
    for (int i = 0; i < layout.pulses; ++i) {
        painter.drawEllipse(QPointF(left + period / 2 + i * period, 52), layout.markRadius,
                            layout.markRadius);
    }
}

}  // namespace

QImage PaintAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / CANVAS, size / CANVAS);
    PaintTile(painter);
    PaintPulseTrain(painter, LayoutFor(size));
    painter.end();
    return image;
}
