#pragma once

#include <QFont>

class QWidget;

// What the program's windows share: the named fonts by pixel size, and
// placing a secondary window over the main window.
namespace FormSupport {

enum Family { Verdana, Tahoma, MSSansSerif };

QFont font(Family family, int pixelSize, bool bold = false);

// Centres a window over its parent (the main window), or on the screen when
// it has none. Call from showEvent.
void centreOverParent(QWidget *window);

} // namespace FormSupport
