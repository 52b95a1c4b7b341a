#include "TTrendsChartAccessible.h"

#include "TTrendsChart.h"

#include <QChart>
#include <QLegend>
#include <QPointer>

namespace {

// One cell of the table, headers included (row -1, column -1).
class ChartCell : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    ChartCell(TTrendsChart *chart, int row, int column) : m_chart(chart), m_row(row), m_column(column) {}

    TTrendsChartAccessible *tableInterface() const
    {
        return m_chart ? static_cast<TTrendsChartAccessible *>(QAccessible::queryAccessibleInterface(m_chart.data()))
                       : nullptr;
    }

    // QAccessibleInterface
    bool isValid() const override
    {
        return m_chart && m_column >= -1 && m_column < TTrendsChart::FigureCount && m_row >= -1 &&
               m_row < m_chart->figures().size();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_chart ? m_chart->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return tableInterface(); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value))
            return QString();
        if (m_row < 0)
            return m_column < 0 ? QStringLiteral("Month") : TTrendsChart::figureName(m_column);
        return m_column < 0 ? m_chart->monthName(m_row) : m_chart->figureText(m_row, m_column);
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        // A month's cells stand where its bars and point stand; the
        // headers of the figures where the legend names them.
        const QRect r = m_row >= 0 ? m_chart->monthRect(m_row)
                                   : m_chart->mapFromScene(m_chart->chart()->legend()->geometry()).boundingRect();
        return QRect(m_chart->viewport()->mapToGlobal(r.topLeft()), r.size());
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
        s.invisible = !m_chart->isVisible();
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface *>(this) : nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override { return false; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        const TTrendsChartAccessible *table = tableInterface();
        return m_row >= 0 && table ? QList<QAccessibleInterface *>{table->cell(-1, m_column)}
                                   : QList<QAccessibleInterface *>{};
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override
    {
        const TTrendsChartAccessible *table = tableInterface();
        return m_column >= 0 && m_row >= 0 && table ? QList<QAccessibleInterface *>{table->cell(m_row, -1)}
                                                    : QList<QAccessibleInterface *>{};
    }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    QAccessibleInterface *table() const override { return tableInterface(); }

private:
    QPointer<TTrendsChart> m_chart;
    int m_row;
    int m_column;
};

QAccessibleInterface *chartFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TTrendsChart") && object && object->isWidgetType())
        return new TTrendsChartAccessible(static_cast<TTrendsChart *>(object));
    return nullptr;
}

qint64 cellKey(int row, int column)
{
    return (qint64(row) + 1) << 32 | quint32(column + 1);
}

} // namespace

TTrendsChartAccessible::TTrendsChartAccessible(TTrendsChart *chart) : QAccessibleWidget(chart, QAccessible::Table) {}

TTrendsChartAccessible::~TTrendsChartAccessible()
{
    for (QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
}

void TTrendsChartAccessible::install()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(chartFactory);
        installed = true;
    }
}

void TTrendsChartAccessible::figuresChanged(TTrendsChart *chart)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTableModelChangeEvent event(chart, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&event);
}

TTrendsChart *TTrendsChartAccessible::chart() const
{
    return static_cast<TTrendsChart *>(widget());
}

void *TTrendsChartAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
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
    const qint64 key = cellKey(row, column);
    if (auto it = m_cells.constFind(key); it != m_cells.constEnd())
        return QAccessible::accessibleInterface(it.value());
    auto *c = new ChartCell(chart(), row, column);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(c));
    return c;
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
