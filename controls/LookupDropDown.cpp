#include "LookupDropDown.h"

#include "TDBLookupComboBox.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TField.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <climits>

namespace {

bool isNullKey(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

// Keys are integers, but the engine and a field may hand them over in
// different integer types.
bool sameKey(const QVariant &a, const QVariant &b)
{
    if (isNullKey(a) || isNullKey(b))
        return false;
    bool okA = false, okB = false;
    const qlonglong x = a.toLongLong(&okA);
    const qlonglong y = b.toLongLong(&okB);
    if (okA && okB)
        return x == y;
    return a == b;
}

constexpr int FrameWidth = 1;

} // namespace

// The list's view of the list table: a window of as many records as the
// list shows rows; every change of the table repaints the list.
class LookupDropDown::ListLink : public TDataLink
{
public:
    explicit ListLink(LookupDropDown *list) : m_list(list) {}

protected:
    void ActiveChanged() override { changed(); }
    void DataSetChanged() override { changed(); }
    void RecordChanged(TField *) override { changed(); }

private:
    void changed()
    {
        m_list->updateScrollBar();
        m_list->update();
    }
    LookupDropDown *m_list;
};

LookupDropDown::LookupDropDown(TDBLookupComboBox *box)
    : QWidget(box, Qt::ToolTip | Qt::FramelessWindowHint), m_box(box), m_source(new TDataSource(this)),
      m_link(std::make_unique<ListLink>(this)), m_scrollBar(new QScrollBar(Qt::Vertical, this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setObjectName(QStringLiteral("dropDownList"));
    setAccessibleName(QStringLiteral("List"));
    m_scrollBar->setFocusPolicy(Qt::NoFocus);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_updatingScrollBar)
            scrollTo(value + 1);
    });
}

LookupDropDown::~LookupDropDown()
{
    m_link->setDataSource(nullptr);
}

TDataSet *LookupDropDown::table() const
{
    TDataSet *t = m_box->ListDataSet();
    return t && t->Active() ? t : nullptr;
}

int LookupDropDown::rowHeight() const
{
    return fontMetrics().height() + 2;
}

QRect LookupDropDown::rowsRect() const
{
    QRect r = rect().adjusted(FrameWidth, FrameWidth, -FrameWidth, -FrameWidth);
    if (m_scrollBar->isVisible())
        r.setRight(m_scrollBar->geometry().left() - 1);
    return r;
}

void LookupDropDown::open(const QVariant &key)
{
    setFont(m_box->font());
    TDataSet *t = table();
    const int count = t ? t->RecordCount() : 0;
    const int most = std::max(1, m_box->DropDownRows());
    m_rows = count == 0 ? most : std::min(count, most);
    m_highlight = QVariant();
    m_highlightText.clear();
    if (t && count > 0) {
        const bool found = !isNullKey(key) && t->Locate(m_box->listKeyFieldName(), key);
        if (found)
            highlightCurrent();
        else
            t->First();
    }
    m_source->setDataSet(t);
    m_link->setDataSource(m_source);
    m_link->setBufferCount(m_rows);

    // As wide as the box, below it; above it where it would pass the bottom
    // of the screen.
    const int height = m_rows * rowHeight() + 2 * FrameWidth;
    const QPoint below = m_box->mapToGlobal(QPoint(0, m_box->height()));
    QPoint at = below;
    if (const QScreen *screen = m_box->screen()) {
        if (below.y() + height > screen->availableGeometry().bottom() + 1)
            at = m_box->mapToGlobal(QPoint(0, -height));
    }
    setGeometry(QRect(at, QSize(m_box->width(), height)));
    show();
    updateScrollBar();
}

void LookupDropDown::close()
{
    hide();
    m_link->setDataSource(nullptr);
    m_source->setDataSet(nullptr);
}

QVariant LookupDropDown::rowKey(int row) const
{
    const TDataSet *t = table();
    const TField *f = m_box->listKeyField();
    if (!t || !f || row < 0 || row >= m_link->RecordCount())
        return QVariant();
    m_link->setActiveRecord(row);
    const QVariant v = f->Value();
    m_link->setActiveRecord(m_link->ActiveRecord());
    return v;
}

QString LookupDropDown::rowText(int row) const
{
    const TDataSet *t = table();
    const TField *f = m_box->listTextField();
    if (!t || !f || row < 0 || row >= m_link->RecordCount())
        return QString();
    m_link->setActiveRecord(row);
    const QString s = f->DisplayText();
    m_link->setActiveRecord(m_link->ActiveRecord());
    return s;
}

int LookupDropDown::rowAt(const QPoint &pos) const
{
    const QRect r = rowsRect();
    if (!r.contains(pos))
        return -1;
    const int row = (pos.y() - r.top()) / rowHeight();
    return row < m_link->RecordCount() ? row : -1;
}

void LookupDropDown::highlightCurrent()
{
    const TField *key = m_box->listKeyField();
    const TField *text = m_box->listTextField();
    m_highlight = key ? key->Value() : QVariant();
    m_highlightText = text ? text->DisplayText() : QString();
    update();
}

// Makes the highlighted row the table's current record, moving within the
// shown rows when it is among them so the list does not scroll.
void LookupDropDown::placeCurrentOnHighlight()
{
    TDataSet *t = table();
    for (int row = 0; row < m_link->RecordCount(); ++row) {
        if (sameKey(rowKey(row), m_highlight)) {
            t->MoveBy(row - m_link->ActiveRecord());
            return;
        }
    }
    if (!t->Locate(m_box->listKeyFieldName(), m_highlight))
        t->First();
}

void LookupDropDown::moveHighlight(int delta)
{
    TDataSet *t = table();
    if (!t || t->IsEmpty())
        return;
    if (delta == INT_MIN) {
        t->First();
    } else if (delta == INT_MAX) {
        t->Last();
    } else if (isNullKey(m_highlight)) {
        t->First();
    } else {
        placeCurrentOnHighlight();
        t->MoveBy(delta);
    }
    highlightCurrent();
}

void LookupDropDown::scrollTo(int topRecNo)
{
    if (TDataSet *t = table())
        t->setRecNo(topRecNo);
}

void LookupDropDown::updateScrollBar()
{
    TDataSet *t = table();
    const int count = t && isVisible() ? t->RecordCount() : 0;
    const bool needed = count > m_rows;
    m_updatingScrollBar = true;
    if (needed) {
        const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        m_scrollBar->setGeometry(width() - FrameWidth - extent, FrameWidth, extent, height() - 2 * FrameWidth);
        m_scrollBar->setRange(0, count - m_rows);
        m_scrollBar->setPageStep(m_rows);
        const int top = t->State() == TDataSetState::dsInsert ? 1 : t->RecNo() - m_link->ActiveRecord();
        m_scrollBar->setValue(std::max(0, top - 1));
    }
    m_scrollBar->setVisible(needed);
    m_updatingScrollBar = false;
}

void LookupDropDown::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateScrollBar();
}

void LookupDropDown::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect area = rowsRect();
    const int h = rowHeight();
    for (int row = 0; row < m_link->RecordCount(); ++row) {
        const QRect r(area.left(), area.top() + row * h, area.width(), h);
        const bool highlighted = sameKey(rowKey(row), m_highlight);
        if (highlighted)
            p.fillRect(r, palette().color(QPalette::Highlight));
        p.setPen(palette().color(highlighted ? QPalette::HighlightedText : QPalette::Text));
        p.drawText(r.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter, rowText(row));
    }
}

void LookupDropDown::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int row = rowAt(event->position().toPoint());
    if (row < 0)
        return;
    m_highlight = rowKey(row);
    m_highlightText = rowText(row);
    m_box->CloseUp(true);
}

void LookupDropDown::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void LookupDropDown::wheelEvent(QWheelEvent *event)
{
    if (m_scrollBar->isVisible()) {
        const int steps = event->angleDelta().y() / 120;
        m_scrollBar->setValue(m_scrollBar->value() - 3 * steps);
    }
    event->accept();
}
