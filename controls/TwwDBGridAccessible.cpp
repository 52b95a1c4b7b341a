#include "TwwDBGridAccessible.h"

#include "TwwCustomDBGrid.h"
#include "TwwInplaceEdit.h"

#include <QPointer>

namespace {

// One cell of the grid, header cells included (row -1).
class GridCell : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    GridCell(TwwCustomDBGrid *grid, int row, int column) : m_grid(grid), m_row(row), m_column(column) {}

    TwwDBGridAccessible *tableInterface() const
    {
        return m_grid ? static_cast<TwwDBGridAccessible *>(QAccessible::queryAccessibleInterface(m_grid.data()))
                      : nullptr;
    }

    // QAccessibleInterface
    bool isValid() const override
    {
        return m_grid && m_column >= 0 && m_column < m_grid->ColumnCount() && m_row >= -1 &&
               m_row < m_grid->RecordRowCount();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return tableInterface(); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value))
            return QString();
        return m_row < 0 ? m_grid->ColumnTitle(m_column) : m_grid->CellText(m_row, m_column);
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect r = m_row < 0 ? m_grid->TitleRect(m_column) : m_grid->CellRect(m_row, m_column);
        return QRect(m_grid->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return m_row < 0 ? QAccessible::ColumnHeader : QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        if (m_row >= 0) {
            const TwwDBGridAccessible *table = tableInterface();
            s.selectable = true;
            s.focusable = true;
            s.selected = table && table->isCellSelected(m_row, m_column);
            s.focused = table && table->isCellFocused(m_row, m_column);
        }
        const QRect r = rect();
        const QRect view(m_grid->viewport()->mapToGlobal(QPoint(0, 0)), m_grid->viewport()->size());
        s.invisible = !m_grid->isVisible();
        s.offscreen = !view.intersects(r);
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface *>(this) : nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override
    {
        const TwwDBGridAccessible *table = tableInterface();
        return m_row >= 0 && table && table->isCellSelected(m_row, m_column);
    }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        const TwwDBGridAccessible *table = tableInterface();
        if (m_row < 0 || !table)
            return {};
        return {table->cell(-1, m_column)};
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    QAccessibleInterface *table() const override { return tableInterface(); }

private:
    QPointer<TwwCustomDBGrid> m_grid;
    int m_row;
    int m_column;
};

QAccessibleInterface *gridFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TwwCustomDBGrid") && object && object->isWidgetType())
        return new TwwDBGridAccessible(static_cast<TwwCustomDBGrid *>(object));
    return nullptr;
}

qint64 cellKey(int row, int column)
{
    return (qint64(row) + 1) << 32 | quint32(column);
}

} // namespace

TwwDBGridAccessible::TwwDBGridAccessible(TwwCustomDBGrid *grid) : QAccessibleWidget(grid, QAccessible::Table) {}

TwwDBGridAccessible::~TwwDBGridAccessible()
{
    for (QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
}

void TwwDBGridAccessible::install()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(gridFactory);
        installed = true;
    }
}

void TwwDBGridAccessible::layoutChanged(TwwCustomDBGrid *grid)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTableModelChangeEvent event(grid, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&event);
}

void TwwDBGridAccessible::dataChanged(TwwCustomDBGrid *grid)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTableModelChangeEvent event(grid, QAccessibleTableModelChangeEvent::DataChanged);
    QAccessible::updateAccessibility(&event);
    currentChanged(grid);
}

void TwwDBGridAccessible::currentChanged(TwwCustomDBGrid *grid)
{
    if (!QAccessible::isActive() || !grid->hasFocus())
        return;
    auto *table = static_cast<TwwDBGridAccessible *>(QAccessible::queryAccessibleInterface(grid));
    if (QAccessibleInterface *c = table ? table->cellAt(grid->CurrentRow(), grid->SelectedIndex()) : nullptr) {
        QAccessibleEvent event(c, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}

TwwCustomDBGrid *TwwDBGridAccessible::grid() const
{
    return static_cast<TwwCustomDBGrid *>(widget());
}

void *TwwDBGridAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

int TwwDBGridAccessible::columnCount() const
{
    return grid()->ColumnField(0) ? grid()->ColumnCount() : 0;
}

int TwwDBGridAccessible::rowCount() const
{
    return columnCount() > 0 ? grid()->RecordRowCount() : 0;
}

int TwwDBGridAccessible::childCount() const
{
    return columnCount() * (rowCount() + 1);
}

QAccessibleInterface *TwwDBGridAccessible::cell(int row, int column) const
{
    if (column < 0 || column >= columnCount() || row < -1 || row >= rowCount())
        return nullptr;
    const qint64 key = cellKey(row, column);
    if (auto it = m_cells.constFind(key); it != m_cells.constEnd())
        return QAccessible::accessibleInterface(it.value());
    auto *c = new GridCell(grid(), row, column);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(c));
    return c;
}

QAccessibleInterface *TwwDBGridAccessible::child(int index) const
{
    const int cols = columnCount();
    if (cols == 0 || index < 0 || index >= childCount())
        return nullptr;
    return cell(index / cols - 1, index % cols);
}

int TwwDBGridAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const QAccessibleTableCellInterface *c =
        child ? const_cast<QAccessibleInterface *>(child)->tableCellInterface() : nullptr;
    if (!c || child->parent() != this)
        return -1;
    return (c->rowIndex() + 1) * columnCount() + c->columnIndex();
}

QAccessibleInterface *TwwDBGridAccessible::childAt(int x, int y) const
{
    const QPoint p = grid()->viewport()->mapFromGlobal(QPoint(x, y));
    for (int col = 0; col < columnCount(); ++col) {
        if (grid()->TitleRect(col).contains(p))
            return cell(-1, col);
        for (int row = 0; row < rowCount(); ++row)
            if (grid()->CellRect(row, col).contains(p))
                return cell(row, col);
    }
    return nullptr;
}

QAccessibleInterface *TwwDBGridAccessible::focusChild() const
{
    if (!grid()->hasFocus() && !(grid()->InplaceEditor() && grid()->InplaceEditor()->hasFocus()))
        return nullptr;
    return cell(grid()->CurrentRow(), grid()->SelectedIndex());
}

QAccessibleInterface *TwwDBGridAccessible::cellAt(int row, int column) const
{
    return row >= 0 ? cell(row, column) : nullptr;
}

bool TwwDBGridAccessible::isCellSelected(int row, int column) const
{
    if (row < 0 || row >= rowCount() || row != grid()->CurrentRow())
        return false;
    // Selected as the grid shows it: without dgAlwaysShowSelection only while it has the focus.
    const QWidget *editor = grid()->InplaceEditor();
    if (!grid()->Options().testFlag(dgAlwaysShowSelection) && !grid()->hasFocus() && !(editor && editor->hasFocus()))
        return false;
    return grid()->Options().testFlag(dgRowSelect) || column == grid()->SelectedIndex();
}

bool TwwDBGridAccessible::isCellFocused(int row, int column) const
{
    return focusChild() && row == grid()->CurrentRow() && column == grid()->SelectedIndex();
}

int TwwDBGridAccessible::selectedCellCount() const
{
    return int(selectedCells().size());
}

QList<QAccessibleInterface *> TwwDBGridAccessible::selectedCells() const
{
    QList<QAccessibleInterface *> out;
    const int row = grid()->CurrentRow();
    for (int col = 0; col < columnCount(); ++col)
        if (isCellSelected(row, col))
            out.append(cell(row, col));
    return out;
}

QString TwwDBGridAccessible::columnDescription(int column) const
{
    return grid()->ColumnTitle(column);
}

int TwwDBGridAccessible::selectedRowCount() const
{
    return int(selectedRows().size());
}

QList<int> TwwDBGridAccessible::selectedRows() const
{
    const int row = grid()->CurrentRow();
    return isRowSelected(row) ? QList<int>{row} : QList<int>{};
}

bool TwwDBGridAccessible::isRowSelected(int row) const
{
    return grid()->Options().testFlag(dgRowSelect) && isCellSelected(row, 0);
}
