#include "TwwCustomDBGrid.h"

#include "FlagScope.h"
#include "TDataSet.h"
#include "TwwDBGridAccessible.h"
#include "TwwGridDataLink.h"

#include <QScrollBar>

#include <algorithm>

// Scrolling: the scroll bars and what they do to the dataset, and the rows
// that move with the data.

void TwwCustomDBGrid::updateScrollBars()
{
    // A hidden grid (a record tab not shown, a window still being set up)
    // leaves its scroll bar until it shows: sizing it counts the records.
    if (!isVisible()) {
        m_scrollBarsStale = true;
        return;
    }
    m_scrollBarsStale = false;
    FlagScope scope(m_settingScrollBars);
    QScrollBar *vb = verticalScrollBar();
    TDataSet *ds = DataSet();
    if (!m_dataLink->Active() || !ds || ds->IsEmpty()) {
        vb->setRange(0, 0);
    } else if (ds->IsSequenced()) {
        // Proportional: one position per record, a page per screenful.
        vb->setRange(1, std::max(1, ds->RecordCount()));
        vb->setPageStep(m_visibleRows);
        vb->setSingleStep(1);
        if (ds->State() != TDataSetState::dsInsert)
            vb->setValue(ds->RecNo());
    } else {
        vb->setRange(0, 2);
        vb->setPageStep(1);
        vb->setSingleStep(1);
        vb->setValue(ds->Bof() ? 0 : ds->Eof() ? 2 : 1);
    }
    vb->setSliderPosition(vb->value());

    int total = dataLeft();
    for (const Column &c : std::as_const(m_columns))
        total += c.width;
    QScrollBar *hb = horizontalScrollBar();
    const int w = viewport()->width();
    hb->setRange(0, std::max(0, total - w));
    hb->setPageStep(std::max(1, w));
    hb->setSingleStep(std::max(1, zeroWidth() * 2));
    m_hOffset = hb->value();
}

// The current record always shows whole. The last row counted is often cut
// by the grid's bottom edge: when the current record stands on it, every row
// is drawn that much higher, the top row partly under the titles, until the
// current record is on the top row again. (A grid too low for one whole row
// cannot help it.)
void TwwCustomDBGrid::updateRowOffset()
{
    const int room = viewport()->height() - TitleHeight();
    const int cut = std::max(0, m_visibleRows * m_rowHeight - room);
    int offset = m_rowOffset;
    const int row = CurrentRow();
    if (cut == 0 || m_visibleRows < 2 || !m_dataLink->Active())
        offset = 0;
    else if (row >= m_visibleRows - 1)
        offset = cut;
    else if (row == 0)
        offset = 0;
    offset = std::min(offset, cut);
    if (offset == m_rowOffset)
        return;
    m_rowOffset = offset;
    viewport()->update();
    updateEditorGeometry();
}

// The rows already drawn move with the data; only the rows uncovered are
// drawn again. A jump of a screenful or more repaints everything.
void TwwCustomDBGrid::linkScrolled(int distance)
{
    if (!m_selfChange)
        hideEditor();
    const int oldMark = m_markRow;
    if (distance != 0) {
        if (std::abs(distance) < m_visibleRows) {
            const QRect rows(0, TitleHeight(), viewport()->width(), viewport()->height() - TitleHeight());
            viewport()->scroll(0, -distance * m_rowHeight, rows);
        } else {
            viewport()->update();
        }
    }
    invalidateRow(oldMark - distance);
    m_markRow = CurrentRow();
    invalidateRow(m_markRow);
    updateRowOffset();
    updateScrollBars();
    updateEditorGeometry();
    TwwDBGridAccessible::dataChanged(this);
}

void TwwCustomDBGrid::showEvent(QShowEvent *e)
{
    QAbstractScrollArea::showEvent(e);
    if (m_scrollBarsStale)
        guard([this] { updateScrollBars(); });
}

void TwwCustomDBGrid::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dy);  // the vertical bar moves the dataset, not the pixels
    if (dx == 0)
        return;
    m_hOffset = horizontalScrollBar()->value();
    updateEditorGeometry();
    viewport()->update();
}

void TwwCustomDBGrid::verticalAction(int action)
{
    if (m_settingScrollBars || !m_dataLink->Active())
        return;
    TDataSet *ds = DataSet();
    guard([&] {
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            moveBy(1);
            break;
        case QAbstractSlider::SliderSingleStepSub:
            moveBy(-1);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            moveBy(m_visibleRows);
            break;
        case QAbstractSlider::SliderPageStepSub:
            moveBy(-m_visibleRows);
            break;
        case QAbstractSlider::SliderToMinimum:
            ds->First();
            break;
        case QAbstractSlider::SliderToMaximum:
            ds->Last();
            break;
        default:
            return;  // a drag: the thumb moves alone until it is dropped
        }
    });
    updateScrollBars();
}

// Dropping the thumb: in the proportional form the record of that number; in
// the three-position form the first, the last, or a screenful up or down.
void TwwCustomDBGrid::thumbDropped()
{
    if (!m_dataLink->Active())
        return;
    TDataSet *ds = DataSet();
    QScrollBar *vb = verticalScrollBar();
    const int pos = vb->sliderPosition();
    guard([&] {
        if (ds->IsSequenced()) {
            if (pos <= vb->minimum())
                ds->First();
            else if (pos >= vb->maximum())
                ds->Last();
            else
                ds->setRecNo(pos);
        } else if (pos <= 0) {
            ds->First();
        } else if (pos >= 2) {
            ds->Last();
        } else {
            moveBy(vb->value() == 2 ? -m_visibleRows : m_visibleRows);
        }
    });
    updateScrollBars();
}
