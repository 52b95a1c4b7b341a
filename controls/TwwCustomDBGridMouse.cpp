#include "TwwCustomDBGrid.h"

#include "TDataSet.h"
#include "TField.h"
#include "TwwGridDataLink.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

// The mouse: clicks on rows and cells, drags on the titles, double-clicks
// and wheel notches.

void TwwCustomDBGrid::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(e);
        return;
    }
    const QPoint pos = e->position().toPoint();
    const int row = rowAt(pos.y());
    m_drag = Drag::None;
    if (row == -1) {
        if (!m_options.testFlag(dgColumnResize))
            return;
        if (const int b = resizeBoundaryAt(pos.x()); b >= 0) {
            m_drag = Drag::Resize;
            m_dragCol = b;
            m_dragStartWidth = m_columns.at(b).width;
        } else if (const int col = columnAt(pos.x()); col >= 0 && m_columns.at(col).field) {
            m_drag = Drag::Move;
            m_dragCol = col;
        }
        m_dragStartX = pos.x();
        return;
    }
    if (row < 0 || !m_dataLink->Active())
        return;
    const int col = columnAt(pos.x());
    guard([&] {
        if (row >= RecordRowCount())
            return;  // below the last row
        if (row == CurrentRow()) {
            if (m_options.testFlag(dgRowSelect) || col < 0)
                return;
            if (col == m_col)
                showEditor(true);
            else
                moveColumn(col);
            return;
        }
        moveToRow(row);
        if (!m_options.testFlag(dgRowSelect) && col >= 0)
            moveColumn(col);
    });
}

// Makes the record shown on `row` current. A pending change is settled on
// the way (an untouched new record dropped, a changed one stored), which can
// rearrange the rows, so then the record is found again by its bookmark
// rather than by its distance from the current row.
void TwwCustomDBGrid::moveToRow(int row)
{
    const int current = CurrentRow();
    if (row == current)
        return;
    TDataSet *ds = DataSet();
    if (ds->State() != TDataSetState::dsBrowse) {
        m_dataLink->setActiveRecord(row);
        const TBookmark target = ds->GetBookmark();
        m_dataLink->setActiveRecord(m_dataLink->ActiveRecord());
        if (!target.isEmpty()) {
            ds->GotoBookmark(target);
            return;
        }
    }
    moveBy(row - current);
}

// A cell that does not show its whole text (a number too wide, a text cut
// at the cell's edge) shows it in its tooltip.
bool TwwCustomDBGrid::viewportEvent(QEvent *e)
{
    if (e->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(e);
    const auto *help = static_cast<QHelpEvent *>(e);
    const int row = rowAt(help->pos().y());
    const int col = columnAt(help->pos().x());
    const QString text = row >= 0 && col >= 0 ? CellText(row, col) : QString();
    if (!text.isEmpty() && !showsWhole(ColumnField(col), text, cellTextRect(row, col))) {
        QToolTip::showText(help->globalPos(), text, viewport(), CellRect(row, col));
    } else {
        QToolTip::hideText();
        e->ignore();
    }
    return true;
}

void TwwCustomDBGrid::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    if (m_drag == Drag::Resize) {
        const int width = std::max(4, m_dragStartWidth + pos.x() - m_dragStartX);
        m_columns[m_dragCol].width = width;
        updateScrollBars();
        updateEditorGeometry();
        viewport()->update();
        return;
    }
    if (m_drag == Drag::None) {
        const bool onBoundary = m_options.testFlag(dgColumnResize) && rowAt(pos.y()) == -1 &&
                                resizeBoundaryAt(pos.x()) >= 0;
        if (onBoundary)
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
    }
}

// A finished drag changes the fields: a resized column gives its field the
// display width that the new pixel width stands for, a moved column gives its
// field the position of the field it was dropped on. Both last until the
// column list is applied again.
void TwwCustomDBGrid::mouseReleaseEvent(QMouseEvent *e)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    const QPoint pos = e->position().toPoint();
    if (drag == Drag::Resize) {
        TField *f = ColumnField(m_dragCol);
        const int width = m_columns.at(m_dragCol).width;
        if (f && width != m_dragStartWidth) {
            const int zero = zeroWidth();
            const int r = zero / 2 - 3;
            f->setDisplayWidth(std::max(0, (width + r - 4) / zero));
        }
        rebuildColumns();
    } else if (drag == Drag::Move) {
        const int target = columnAt(pos.x());
        TField *from = ColumnField(m_dragCol);
        TField *to = ColumnField(target);
        if (from && to && from != to && std::abs(pos.x() - m_dragStartX) > 2)
            from->setIndex(to->Index());
    }
}

void TwwCustomDBGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    Q_UNUSED(e);
    if (m_drag == Drag::Resize && m_dragCol >= 0 && m_dragCol < m_columns.size())
        m_columns[m_dragCol].width = m_dragStartWidth;
    m_drag = Drag::None;
    setFocus(Qt::MouseFocusReason);
    if (OnDblClick)
        OnDblClick(this);
}

void TwwCustomDBGrid::wheelEvent(QWheelEvent *e)
{
    e->accept();
    if (!m_dataLink->Active())
        return;
    m_wheelDelta += e->angleDelta().y();
    const int notches = m_wheelDelta / QWheelEvent::DefaultDeltasPerStep;
    m_wheelDelta -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0)
        guard([&] { moveBy(-notches); });
}
