#pragma once

#include <QColor>

// Painting settings of a record grid. AlternatingRowColor colours every
// other row, but only in cells the grid fills before drawing their content
// (frozen data columns); ordinary text cells are drawn on the grid's Color.
// An invalid colour means none.
struct TwwGridPaintOptions
{
    QColor AlternatingRowColor;
};
