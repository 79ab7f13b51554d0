#pragma once

#include <QImage>

// The program's icon, drawn at any size: a pulse train over a counter-blue tile. Needs no
// application object, so the build can render the icon files before any program exists.
QImage PaintAppIcon(int size);
