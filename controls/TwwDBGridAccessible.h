#pragma once

#include <QAccessibleWidget>
#include <QHash>

class TwwCustomDBGrid;

// The record grid as assistive technology sees it: a table whose column
// headers are the titles and whose cells are the display texts of the rows
// shown, the current row or cell reported as selected (and focused while the
// grid has the focus). Children: the header cells first, then the data cells
// row by row. Cells are live views of the grid, so they stay right as the
// grid scrolls.
class TwwDBGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TwwDBGridAccessible(TwwCustomDBGrid *grid);
    ~TwwDBGridAccessible() override;

    // Registers the factory that gives every grid this interface (once).
    static void install();
    // What the grid tells assistive technology.
    static void layoutChanged(TwwCustomDBGrid *grid);
    static void dataChanged(TwwCustomDBGrid *grid);
    static void currentChanged(TwwCustomDBGrid *grid);

    TwwCustomDBGrid *grid() const;

    // QAccessibleInterface
    void *interface_cast(QAccessible::InterfaceType t) override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

    // QAccessibleTableInterface
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface *> selectedCells() const override;
    QString columnDescription(int column) const override;
    int columnCount() const override;
    int rowCount() const override;
    QString rowDescription(int row) const override { Q_UNUSED(row); return QString(); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override { Q_UNUSED(column); return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override { Q_UNUSED(row); return false; }
    bool selectColumn(int column) override { Q_UNUSED(column); return false; }
    bool unselectRow(int row) override { Q_UNUSED(row); return false; }
    bool unselectColumn(int column) override { Q_UNUSED(column); return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override { Q_UNUSED(event); }

    // Row -1 is the header row.
    QAccessibleInterface *cell(int row, int column) const;
    bool isCellSelected(int row, int column) const;
    bool isCellFocused(int row, int column) const;

private:
    mutable QHash<qint64, QAccessible::Id> m_cells;
};
