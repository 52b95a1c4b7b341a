#pragma once

#include <QAccessible>
#include <QPointer>
#include <QWidget>

// One cell of a custom-painted table as assistive technology sees it: a
// leaf under the table's interface (TAccessibleTable) at a row and a column,
// -1 standing for a header where the table has one. It holds no text of its
// own; subclasses read what the widget shows now, so a kept cell stays
// right as the widget changes.
class TAccessibleTableCell : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    TAccessibleTableCell(QWidget *widget, int row, int column) : m_widget(widget), m_row(row), m_column(column) {}

    QWidget *widget() const { return m_widget; }

    // QAccessibleInterface
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_widget ? m_widget->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return table(); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    void setText(QAccessible::Text, const QString &) override {}
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface *>(this) : nullptr;
    }

    // QAccessibleTableCellInterface
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    QAccessibleInterface *table() const override
    {
        return m_widget ? QAccessible::queryAccessibleInterface(m_widget.data()) : nullptr;
    }

protected:
    QPointer<QWidget> m_widget;
    int m_row;
    int m_column;
};
