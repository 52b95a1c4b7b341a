#include "TTrendsChartAccessible.h"

#include "TAccessibleTableCell.h"
#include "TTrendsChart.h"

#include <QChart>
#include <QLegend>

namespace {

// One cell of the table, headers included (row -1, column -1).
class ChartCell : public TAccessibleTableCell
{
public:
    ChartCell(TTrendsChart *chart, int row, int column) : TAccessibleTableCell(chart, row, column) {}

    TTrendsChart *chart() const { return static_cast<TTrendsChart *>(widget()); }
    const TTrendsChartAccessible *tableInterface() const
    {
        return static_cast<const TTrendsChartAccessible *>(table());
    }

    // QAccessibleInterface
    bool isValid() const override
    {
        return chart() && m_column >= -1 && m_column < TTrendsChart::FigureCount && m_row >= -1 &&
               m_row < chart()->figures().size();
    }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value))
            return QString();
        if (m_row < 0)
            return m_column < 0 ? QStringLiteral("Month") : TTrendsChart::figureName(m_column);
        return m_column < 0 ? chart()->monthName(m_row) : chart()->figureText(m_row, m_column);
    }
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        // A month's cells stand where its bars and point stand; the
        // headers of the figures where the legend names them.
        const QRect r = m_row >= 0 ? chart()->monthRect(m_row)
                                   : chart()->mapFromScene(chart()->chart()->legend()->geometry()).boundingRect();
        return QRect(chart()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override
    {
        if (m_row < 0)
            return QAccessible::ColumnHeader;
        return m_column < 0 ? QAccessible::RowHeader : QAccessible::Cell;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.readOnly = true;
        s.invisible = !chart()->isVisible();
        return s;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override { return false; }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        const TTrendsChartAccessible *t = tableInterface();
        return m_row >= 0 && t ? QList<QAccessibleInterface *>{t->cell(-1, m_column)} : QList<QAccessibleInterface *>{};
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override
    {
        const TTrendsChartAccessible *t = tableInterface();
        return m_column >= 0 && m_row >= 0 && t ? QList<QAccessibleInterface *>{t->cell(m_row, -1)}
                                                : QList<QAccessibleInterface *>{};
    }
};

QAccessibleInterface *chartFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TTrendsChart") && object && object->isWidgetType())
        return new TTrendsChartAccessible(static_cast<TTrendsChart *>(object));
    return nullptr;
}

} // namespace

TTrendsChartAccessible::TTrendsChartAccessible(TTrendsChart *chart) : TAccessibleTable(chart) {}

void TTrendsChartAccessible::install()
{
    TAccessibleTable::install(chartFactory);
}

TTrendsChart *TTrendsChartAccessible::chart() const
{
    return static_cast<TTrendsChart *>(widget());
}

QString TTrendsChartAccessible::text(QAccessible::Text t) const
{
    // The chart's title says which twelve months the table holds.
    if (t == QAccessible::Description)
        return chart()->chart()->title();
    return QAccessibleWidget::text(t);
}

int TTrendsChartAccessible::columnCount() const
{
    return TTrendsChart::FigureCount;
}

int TTrendsChartAccessible::rowCount() const
{
    return int(chart()->figures().size());
}

int TTrendsChartAccessible::childCount() const
{
    return (columnCount() + 1) * (rowCount() + 1);
}

QAccessibleInterface *TTrendsChartAccessible::cell(int row, int column) const
{
    if (column < -1 || column >= columnCount() || row < -1 || row >= rowCount())
        return nullptr;
    return keptCell(row, column, [&] { return new ChartCell(chart(), row, column); });
}

QAccessibleInterface *TTrendsChartAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    const int width = columnCount() + 1;
    return cell(index / width - 1, index % width - 1);
}

int TTrendsChartAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const QAccessibleTableCellInterface *c =
        child ? const_cast<QAccessibleInterface *>(child)->tableCellInterface() : nullptr;
    if (!c || child->parent() != this)
        return -1;
    return (c->rowIndex() + 1) * (columnCount() + 1) + c->columnIndex() + 1;
}

QAccessibleInterface *TTrendsChartAccessible::childAt(int x, int y) const
{
    const QPoint p = chart()->viewport()->mapFromGlobal(QPoint(x, y));
    for (int row = 0; row < rowCount(); ++row)
        if (chart()->monthRect(row).contains(p))
            return cell(row, -1);
    return nullptr;
}

QAccessibleInterface *TTrendsChartAccessible::cellAt(int row, int column) const
{
    return row >= 0 && column >= 0 ? cell(row, column) : nullptr;
}

QString TTrendsChartAccessible::columnDescription(int column) const
{
    return TTrendsChart::figureName(column);
}

QString TTrendsChartAccessible::rowDescription(int row) const
{
    return chart()->monthName(row);
}
