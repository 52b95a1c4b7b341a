#pragma once

#include "TAccessibleTable.h"

class TTrendsChart;

// The trends chart as assistive technology reads it: a table with a row
// per month and a column per figure (sales and income, expenses,
// purchases, profits), each cell the figure as the chart's hover shows it.
// The month names are the row headers and the figures' names the column
// headers. Children, row by row: the corner and the column headers first,
// then each month's header followed by its four cells. Cells are live
// views of the chart, so they follow its figures.
class TTrendsChartAccessible : public TAccessibleTable
{
public:
    explicit TTrendsChartAccessible(TTrendsChart *chart);

    // Registers the factory that gives every trends chart this interface.
    static void install();

    TTrendsChart *chart() const;

    // QAccessibleInterface
    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    // QAccessibleTableInterface
    QAccessibleInterface *cellAt(int row, int column) const override;
    QString columnDescription(int column) const override;
    int columnCount() const override;
    int rowCount() const override;
    QString rowDescription(int row) const override;

    // Any cell: row -1 is the header row, column -1 the header column.
    QAccessibleInterface *cell(int row, int column) const;
};
