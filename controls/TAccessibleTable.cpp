#include "TAccessibleTable.h"

#include <QList>

namespace {

qint64 cellKey(int row, int column)
{
    return (qint64(row) + 1) << 32 | quint32(column + 1);
}

} // namespace

TAccessibleTable::TAccessibleTable(QWidget *widget) : QAccessibleWidget(widget, QAccessible::Table) {}

TAccessibleTable::~TAccessibleTable()
{
    for (QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
}

void TAccessibleTable::install(QAccessible::InterfaceFactory factory)
{
    static QList<QAccessible::InterfaceFactory> installed;
    if (!installed.contains(factory)) {
        QAccessible::installFactory(factory);
        installed.append(factory);
    }
}

void TAccessibleTable::reset(QObject *widget)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTableModelChangeEvent event(widget, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&event);
}

void *TAccessibleTable::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

QAccessibleInterface *TAccessibleTable::keptCell(int row, int column,
                                                 const std::function<QAccessibleInterface *()> &make) const
{
    const qint64 key = cellKey(row, column);
    if (auto it = m_cells.constFind(key); it != m_cells.constEnd())
        return QAccessible::accessibleInterface(it.value());
    QAccessibleInterface *c = make();
    m_cells.insert(key, QAccessible::registerAccessibleInterface(c));
    return c;
}
