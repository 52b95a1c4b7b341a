#pragma once

#include <QAccessibleWidget>
#include <QHash>

class TTrendsChart;

// The trends chart as assistive technology reads it: a table with a row
// per month and a column per figure (sales and income, expenses,
// purchases, profits), each cell the figure as the chart's hover shows it.
// The month names are the row headers and the figures' names the column
// headers. Children, row by row: the corner and the column headers first,
// then each month's header followed by its four cells. Cells are live
// views of the chart, so they follow its figures.
class TTrendsChartAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TTrendsChartAccessible(TTrendsChart *chart);
    ~TTrendsChartAccessible() override;

    // Registers the factory that gives every trends chart this interface.
    static void install();
    // Tells assistive technology that the chart shows other figures.
    static void figuresChanged(TTrendsChart *chart);

    TTrendsChart *chart() const;

    // QAccessibleInterface
    void *interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    // QAccessibleTableInterface
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface *> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override;
    int columnCount() const override;
    int rowCount() const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int column) const override { Q_UNUSED(column); return false; }
    bool isRowSelected(int row) const override { Q_UNUSED(row); return false; }
    bool selectRow(int row) override { Q_UNUSED(row); return false; }
    bool selectColumn(int column) override { Q_UNUSED(column); return false; }
    bool unselectRow(int row) override { Q_UNUSED(row); return false; }
    bool unselectColumn(int column) override { Q_UNUSED(column); return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override { Q_UNUSED(event); }

    // Any cell: row -1 is the header row, column -1 the header column.
    QAccessibleInterface *cell(int row, int column) const;

private:
    mutable QHash<qint64, QAccessible::Id> m_cells;
};
