#pragma once

#include <QFont>
#include <QList>

class QColor;
class QWidget;
class TwwDBGrid;

// What the program's windows share: the named fonts by pixel size, the look
// of a list window's grid, and placing a secondary window over the main
// window.
namespace FormSupport {

enum Family { Verdana, Tahoma, MSSansSerif };

QFont font(Family family, int pixelSize, bool bold = false);

// Centres a window over its parent (the main window), or on the screen when
// it has none. Call from showEvent.
void centreOverParent(QWidget *window);

// The look of the record dialogs: a filled white background, Verdana, and
// Tahoma for `tahomaControls`.
void setUpDialogLook(QWidget *dialog, const QList<QWidget *> &tahomaControls);

// The look the list windows give their grid: Tahoma cells, one line of
// left-aligned titles in `titleFont` on `titleColor` that are not buttons, no
// fixed column, a horizontal scroll bar. Options, columns and data source
// are the window's own.
void setUpListGrid(TwwDBGrid *grid, const QFont &titleFont, const QColor &titleColor);

} // namespace FormSupport
