#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <functional>

// What every custom-painted table needs to be read by assistive technology:
// the table interface on the widget, one cell interface per row and column
// made when first asked for and kept (registered with QAccessible, so that a
// screen reader gets the same cell each time) until the table's interface
// goes, and nothing selectable unless a subclass says otherwise. Row -1 and
// column -1 may stand for header cells.
class TAccessibleTable : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TAccessibleTable(QWidget *widget);
    ~TAccessibleTable() override;

    // Installs a factory of interfaces, once however often it is asked.
    static void install(QAccessible::InterfaceFactory factory);
    // Tells assistive technology that the whole table changed.
    static void reset(QObject *widget);

    // QAccessibleInterface
    void *interface_cast(QAccessible::InterfaceType t) override;

    // QAccessibleTableInterface: no caption, no summary, no selection.
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    int selectedCellCount() const override { return int(selectedCells().size()); }
    QList<QAccessibleInterface *> selectedCells() const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int column) const override { Q_UNUSED(column); return false; }
    bool isRowSelected(int row) const override { Q_UNUSED(row); return false; }
    bool selectRow(int row) override { Q_UNUSED(row); return false; }
    bool selectColumn(int column) override { Q_UNUSED(column); return false; }
    bool unselectRow(int row) override { Q_UNUSED(row); return false; }
    bool unselectColumn(int column) override { Q_UNUSED(column); return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override { Q_UNUSED(event); }

protected:
    // The kept cell at row and column, made by `make` the first time.
    QAccessibleInterface *keptCell(int row, int column, const std::function<QAccessibleInterface *()> &make) const;

private:
    mutable QHash<qint64, QAccessible::Id> m_cells;
};
