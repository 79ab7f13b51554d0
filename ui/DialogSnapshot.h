#pragma once

#include <QImage>
#include <QString>

class QWidget;

// Renders a window's client area as it would appear on screen; works without a display (the
// offscreen platform). The window is shown first if it is not.
QImage RenderWindow(QWidget& window);

// RenderWindow into a PNG file; false when the file cannot be written.
bool SaveWindowSnapshot(QWidget& window, const QString& pngPath);
