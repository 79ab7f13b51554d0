#include "ui/DialogSnapshot.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

QImage RenderWindow(QWidget& window) {
    if (!window.isVisible()) window.show();
    // Let polishing and pending layout requests run before the picture is taken.
    QCoreApplication::processEvents();
    return window.grab().toImage();
}

bool SaveWindowSnapshot(QWidget& window, const QString& pngPath) {
    return RenderWindow(window).save(pngPath, "PNG");
}
