#include "TwwCustomDBGrid.h"

#include "MessageDlg.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TField.h"
#include "TwwDBGridAccessible.h"
#include "TwwGridDataLink.h"
#include "TwwInplaceEdit.h"

#include <QHash>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QTextLayout>

#include <algorithm>

namespace {

// Sets a flag for the length of a scope, also when an exception leaves it.
class FlagScope
{
public:
    explicit FlagScope(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_old; }
    Q_DISABLE_COPY(FlagScope)

private:
    bool &m_flag;
    bool m_old;
};

Qt::Alignment fieldAlignment(const TField *f)
{
    if (!f)
        return Qt::AlignLeft;
    switch (f->Alignment()) {
    case TAlignment::taRightJustify:
        return Qt::AlignRight;
    case TAlignment::taCenter:
        return Qt::AlignHCenter;
    case TAlignment::taLeftJustify:
        break;
    }
    return Qt::AlignLeft;
}

// Draws text inside r. With wrapping, the text is broken at word boundaries
// and only the lines that fit whole are drawn, so a one-line cell ends at the
// last whole word that fits.
void drawCellText(QPainter &p, const QRect &r, const QString &text, Qt::Alignment align, bool wrap)
{
    if (text.isEmpty() || r.width() <= 0)
        return;
    if (!wrap) {
        p.drawText(r, int(align | Qt::AlignVCenter | Qt::TextSingleLine), text);
        return;
    }
    const QFontMetrics fm(p.font());
    const int fits = std::max(1, r.height() / std::max(1, fm.lineSpacing()));
    QTextLayout layout(text, p.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    option.setAlignment(align);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    int lines = 0;
    while (lines < fits) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(r.width());
        line.setPosition(QPointF(0, y));
        y += line.height();
        ++lines;
    }
    layout.endLayout();
    const qreal top = r.top() + std::max<qreal>(0, (r.height() - y) / 2);
    for (int i = 0; i < lines; ++i)
        layout.lineAt(i).draw(&p, QPointF(r.left(), top));
}

} // namespace

TwwCustomDBGrid::TwwCustomDBGrid(QWidget *parent)
    : QAbstractScrollArea(parent), m_dataLink(std::make_unique<TwwGridDataLink>(this))
{
    TwwDBGridAccessible::install();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setMouseTracking(true);
    // Every pixel is painted, which also lets scrolling move drawn rows.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_titleFont = font();
    m_color = palette().color(QPalette::Base);
    m_titleColor = palette().color(QPalette::Button);
    m_columns.append(Column());

    m_editor = new TwwInplaceEdit(this);
    m_editor->hide();
    connect(m_editor, &QLineEdit::textEdited, this, [this] { editorTextEdited(); });

    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QScrollBar *vb = verticalScrollBar();
    vb->setTracking(false);
    connect(vb, &QAbstractSlider::actionTriggered, this, [this](int action) { verticalAction(action); });
    connect(vb, &QAbstractSlider::sliderReleased, this, [this] { thumbDropped(); });
    updateMetrics();
}

TwwCustomDBGrid::~TwwCustomDBGrid()
{
    m_dataLink->setDataSource(nullptr);
}

// ---- settings -------------------------------------------------------------

TDataSource *TwwCustomDBGrid::DataSource() const
{
    return m_dataLink->DataSource();
}

void TwwCustomDBGrid::setDataSource(TDataSource *source)
{
    m_dataLink->setDataSource(source);
    if (!m_dataLink->Active()) {
        rebuildColumns();
        viewport()->update();
    }
}

TDataSet *TwwCustomDBGrid::DataSet() const
{
    return m_dataLink->DataSet();
}

void TwwCustomDBGrid::setSelected(const QStringList &lines)
{
    m_selected = lines;
    if (m_dataLink->Active()) {
        applySelected();
        rebuildColumns();
    }
}

void TwwCustomDBGrid::setOptions(TwwDBGridOptions options)
{
    if (options == m_options)
        return;
    m_options = options;
    if (m_options.testFlag(dgRowSelect) || !m_options.testFlag(dgEditing))
        hideEditor();
    rebuildColumns();
    updateMetrics();
}

void TwwCustomDBGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
}

void TwwCustomDBGrid::setTitleFont(const QFont &font)
{
    m_titleFont = font;
    rebuildColumns();
    updateMetrics();
}

void TwwCustomDBGrid::setColor(const QColor &color)
{
    m_color = color;
    viewport()->update();
}

void TwwCustomDBGrid::setTitleColor(const QColor &color)
{
    m_titleColor = color;
    viewport()->update();
}

void TwwCustomDBGrid::setTitleAlignment(Qt::Alignment alignment)
{
    m_titleAlignment = alignment & Qt::AlignHorizontal_Mask;
    viewport()->update();
}

void TwwCustomDBGrid::setTitleLines(int lines)
{
    m_titleLines = std::max(1, lines);
    updateMetrics();
}

void TwwCustomDBGrid::setFixedCols(int cols)
{
    m_fixedCols = std::max(0, cols);
    viewport()->update();
}

void TwwCustomDBGrid::setShowHorzScrollBar(bool show)
{
    m_showHorzScrollBar = show;
    setHorizontalScrollBarPolicy(show ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void TwwCustomDBGrid::setShowVertScrollBar(bool show)
{
    m_showVertScrollBar = show;
    setVerticalScrollBarPolicy(show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TwwCustomDBGrid::setRowHeightPercent(int percent)
{
    m_rowHeightPercent = std::max(1, percent);
    updateMetrics();
}

// ---- state ----------------------------------------------------------------

bool TwwCustomDBGrid::EditorMode() const
{
    return m_editor->isVisible();
}

TField *TwwCustomDBGrid::ColumnField(int col) const
{
    // A dataset destroyed without closing leaves the link without a dataset:
    // its fields are gone with it.
    if (!DataSet() || col < 0 || col >= m_columns.size())
        return nullptr;
    return m_columns.at(col).field;
}

QString TwwCustomDBGrid::ColumnTitle(int col) const
{
    const TField *f = ColumnField(col);
    return f ? f->DisplayLabel() : QString();
}

int TwwCustomDBGrid::ColumnWidth(int col) const
{
    return col >= 0 && col < m_columns.size() ? m_columns.at(col).width : 0;
}

void TwwCustomDBGrid::setSelectedIndex(int col)
{
    guard([&] { moveColumn(col); });
}

int TwwCustomDBGrid::RecordRowCount() const
{
    return m_dataLink->RecordCount();
}

int TwwCustomDBGrid::CurrentRow() const
{
    return m_dataLink->Active() ? m_dataLink->ActiveRecord() : 0;
}

QString TwwCustomDBGrid::CellText(int row, int col) const
{
    const TField *f = ColumnField(col);
    if (!f || row < 0 || row >= RecordRowCount())
        return QString();
    m_dataLink->setActiveRecord(row);
    const QString text = f->DisplayText();
    m_dataLink->setActiveRecord(m_dataLink->ActiveRecord());
    return text;
}

int TwwCustomDBGrid::TitleHeight() const
{
    if (!m_options.testFlag(dgTitles))
        return 0;
    return QFontMetrics(m_titleFont).height() * m_titleLines + 4;
}

QRect TwwCustomDBGrid::CellRect(int row, int col) const
{
    return QRect(columnX(col), TitleHeight() + row * m_rowHeight, ColumnWidth(col), m_rowHeight);
}

QRect TwwCustomDBGrid::TitleRect(int col) const
{
    return QRect(columnX(col), 0, ColumnWidth(col), TitleHeight());
}

// ---- layout ---------------------------------------------------------------

int TwwCustomDBGrid::zeroWidth() const
{
    return std::max(1, QFontMetrics(font()).horizontalAdvance(QLatin1Char('0')));
}

bool TwwCustomDBGrid::lineReadOnly(const TField *field) const
{
    for (const QString &line : m_selected) {
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.value(0).compare(field->FieldName(), Qt::CaseInsensitive) == 0)
            return parts.value(3) == QLatin1String("T");
    }
    return false;
}

// The column list overrides, on every activation, which fields show, in
// which order, under which titles and how wide. Line k puts its field at
// position k, so a line naming a missing field still takes up its place.
void TwwCustomDBGrid::applySelected()
{
    TDataSet *ds = DataSet();
    if (m_selected.isEmpty() || !ds)
        return;
    const QList<TField *> fields = ds->Fields();
    for (const TField *f : fields)
        if (f->Calculated())
            return;
    ds->DisableControls();
    for (TField *f : fields)
        f->setVisible(false);
    for (int k = 0; k < m_selected.size(); ++k) {
        const QStringList parts = m_selected.at(k).split(QLatin1Char('\t'));
        TField *f = ds->FindField(parts.value(0));
        if (!f)
            continue;
        f->setDisplayWidth(parts.value(1).trimmed().toInt());
        f->setDisplayLabel(parts.value(2));
        f->setIndex(k);
        f->setVisible(true);
    }
    ds->EnableControls();
}

void TwwCustomDBGrid::rebuildColumns()
{
    m_columns.clear();
    QList<TField *> shown;
    if (m_dataLink->Active())
        for (TField *f : DataSet()->Fields())
            if (f->Visible())
                shown.append(f);
    const QFontMetrics titleMetrics(m_titleFont);
    const int zero = zeroWidth();
    for (TField *f : std::as_const(shown)) {
        Column c;
        c.field = f;
        c.width = f->DisplayWidth() * zero + 4;
        if (m_options.testFlag(dgTitles))
            c.width = std::max(c.width, titleMetrics.horizontalAdvance(f->DisplayLabel()) + 4);
        c.readOnlyFlag = lineReadOnly(f);
        c.tabStop = !f->ReadOnly() && !c.readOnlyFlag && !f->Calculated();
        m_columns.append(c);
    }
    if (m_columns.isEmpty())
        m_columns.append(Column());
    m_dataLink->setFields(shown);
    m_col = std::clamp(m_col, 0, int(m_columns.size()) - 1);
    TwwDBGridAccessible::layoutChanged(this);
    updateScrollBars();
    updateEditorGeometry();
    viewport()->update();
}

void TwwCustomDBGrid::updateMetrics()
{
    const QFontMetrics fm(font());
    m_rowHeight = std::max(1, (fm.height() + 3) * m_rowHeightPercent / 100);
    const int h = viewport()->height() - TitleHeight();
    m_visibleRows = std::max(1, (h + m_rowHeight - 1) / m_rowHeight);
    updateBufferCount();
}

// The dataset is asked for exactly the rows that fit.
void TwwCustomDBGrid::updateBufferCount()
{
    if (m_dataLink->BufferCount() != m_visibleRows)
        m_dataLink->setBufferCount(m_visibleRows);
    m_markRow = CurrentRow();
    updateScrollBars();
    updateEditorGeometry();
    viewport()->update();
}

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

int TwwCustomDBGrid::dataLeft() const
{
    return m_options.testFlag(dgIndicator) ? IndicatorWidth : 0;
}

int TwwCustomDBGrid::columnX(int col) const
{
    int x = dataLeft();
    for (int i = 0; i < col && i < m_columns.size(); ++i)
        x += m_columns.at(i).width;
    if (col >= m_fixedCols)
        x -= m_hOffset;
    return x;
}

int TwwCustomDBGrid::columnAt(int x) const
{
    if (m_options.testFlag(dgIndicator) && x < IndicatorWidth)
        return -2;
    const int fixedRight = columnX(std::min(m_fixedCols, int(m_columns.size()))) + (m_fixedCols < m_columns.size() ? m_hOffset : 0);
    for (int i = 0; i < m_columns.size(); ++i) {
        const int left = columnX(i);
        if (i >= m_fixedCols && x < fixedRight)
            continue;
        if (x >= left && x < left + m_columns.at(i).width)
            return i;
    }
    return -1;
}

int TwwCustomDBGrid::rowAt(int y) const
{
    const int top = TitleHeight();
    if (y < top)
        return -1;
    const int row = (y - top) / m_rowHeight;
    return row < m_visibleRows ? row : -2;
}

int TwwCustomDBGrid::resizeBoundaryAt(int x) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        const int right = columnX(i) + m_columns.at(i).width;
        if (std::abs(x - right) <= 2 && m_columns.at(i).field)
            return i;
    }
    return -1;
}

// ---- link notifications ---------------------------------------------------

void TwwCustomDBGrid::linkActive()
{
    if (m_dataLink->Active()) {
        applySelected();
    } else {
        hideEditor();
        m_hOffset = 0;
    }
    rebuildColumns();
    m_markRow = CurrentRow();
    updateScrollBars();
    viewport()->update();
}

void TwwCustomDBGrid::linkDataSetChanged()
{
    if (!m_selfChange)
        hideEditor();
    m_markRow = CurrentRow();
    updateScrollBars();
    updateEditorGeometry();
    viewport()->update();
    TwwDBGridAccessible::dataChanged(this);
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
    updateScrollBars();
    updateEditorGeometry();
    TwwDBGridAccessible::dataChanged(this);
}

void TwwCustomDBGrid::linkRecordChanged(TField *field)
{
    invalidateRow(CurrentRow());
    if (m_selfChange || !m_editor->isVisible())
        return;
    if (!field || field == SelectedField())
        restoreEditor();
}

void TwwCustomDBGrid::linkEditingChanged()
{
    invalidateIndicator();
}

void TwwCustomDBGrid::linkLayoutChanged()
{
    rebuildColumns();
    linkDataSetChanged();
}

void TwwCustomDBGrid::linkUpdateData()
{
    commitEdit();
}

// ---- painting -------------------------------------------------------------

void TwwCustomDBGrid::invalidateRow(int row)
{
    if (row >= 0 && row < m_visibleRows)
        viewport()->update(QRect(0, TitleHeight() + row * m_rowHeight, viewport()->width(), m_rowHeight));
}

void TwwCustomDBGrid::invalidateIndicator()
{
    if (m_options.testFlag(dgIndicator))
        viewport()->update(QRect(0, TitleHeight() + CurrentRow() * m_rowHeight, IndicatorWidth, m_rowHeight));
}

bool TwwCustomDBGrid::editorHasFocus() const
{
    return m_editor->isVisible() && m_editor->hasFocus();
}

bool TwwCustomDBGrid::showsSelection() const
{
    return m_options.testFlag(dgAlwaysShowSelection) || hasFocus() || editorHasFocus();
}

void TwwCustomDBGrid::paintEvent(QPaintEvent *e)
{
    QPainter p(viewport());
    p.fillRect(e->rect(), m_color);
    if (m_options.testFlag(dgTitles) && e->rect().top() < TitleHeight())
        paintTitles(p, e->rect());
    const int top = TitleHeight();
    for (int row = 0; row < m_visibleRows; ++row) {
        const QRect r(0, top + row * m_rowHeight, viewport()->width(), m_rowHeight);
        if (r.intersects(e->rect()))
            paintRow(p, row);
    }
}

namespace {

// The style keeps each drawn header in its pixmap cache under a name that
// includes the palette's identity. A palette changed afresh for every cell
// would add an entry on every paint, and the names pile up without end, so
// each colour's palette is made once.
const QPalette &headerPalette(const QWidget *w, const QColor &color)
{
    static QHash<QPair<qint64, QRgb>, QPalette> palettes;
    const QPair<qint64, QRgb> key(w->palette().cacheKey(), color.rgba());
    auto it = palettes.find(key);
    if (it == palettes.end()) {
        if (palettes.size() >= 64)
            palettes.clear();
        QPalette made = w->palette();
        made.setColor(QPalette::Button, color);
        made.setColor(QPalette::Window, color);
        it = palettes.insert(key, made);
    }
    return *it;
}

void drawHeaderCell(QPainter &p, const QWidget *w, const QRect &r, const QColor &color)
{
    QStyleOptionHeader opt;
    opt.initFrom(w);
    opt.rect = r;
    opt.state = QStyle::State_Enabled | QStyle::State_Raised | QStyle::State_Horizontal;
    opt.palette = headerPalette(w, color);
    p.fillRect(r, color);
    w->style()->drawControl(QStyle::CE_HeaderSection, &opt, &p, w);
}

} // namespace

void TwwCustomDBGrid::paintTitles(QPainter &p, const QRect &clip)
{
    const int h = TitleHeight();
    if (m_options.testFlag(dgIndicator))
        drawHeaderCell(p, this, QRect(0, 0, IndicatorWidth, h), m_titleColor);
    p.setFont(m_titleFont);
    const int fixedRight = columnX(std::min(m_fixedCols, int(m_columns.size()))) +
                           (m_fixedCols < m_columns.size() ? m_hOffset : 0);
    for (int col = 0; col < m_columns.size(); ++col) {
        const QRect r = TitleRect(col);
        if (!r.intersects(clip))
            continue;
        p.save();
        if (col >= m_fixedCols)
            p.setClipRect(QRect(QPoint(fixedRight, 0), QPoint(viewport()->width(), h)));
        drawHeaderCell(p, this, r, m_titleColor);
        p.setPen(palette().color(QPalette::ButtonText));
        drawCellText(p, r.adjusted(2, 0, -2, 0), ColumnTitle(col), m_titleAlignment, m_titleLines > 1);
        p.restore();
    }
}

// The glyphs of the indicator column, 6 x 11 pixels, black, centred in the cell.
void TwwCustomDBGrid::drawIndicator(QPainter &p, const QRect &r, int row)
{
    if (row != CurrentRow() || row >= RecordRowCount())
        return;
    const int x = r.left() + (r.width() - 6) / 2;
    const int y = r.top() + (r.height() - 11) / 2;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    switch (DataSet() ? DataSet()->State() : TDataSetState::dsInactive) {
    case TDataSetState::dsEdit:
        // I-beam
        p.drawLine(x, y, x + 5, y);
        p.drawLine(x, y + 10, x + 5, y + 10);
        p.drawLine(x + 2, y, x + 2, y + 10);
        p.drawLine(x + 3, y, x + 3, y + 10);
        break;
    case TDataSetState::dsInsert:
        // asterisk
        p.drawLine(x + 2, y + 2, x + 2, y + 8);
        p.drawLine(x + 3, y + 2, x + 3, y + 8);
        p.drawLine(x, y + 3, x + 5, y + 7);
        p.drawLine(x, y + 7, x + 5, y + 3);
        break;
    case TDataSetState::dsBrowse: {
        // arrow pointing at the row
        const QPoint arrow[3] = {QPoint(x, y), QPoint(x + 5, y + 5), QPoint(x, y + 10)};
        p.drawPolygon(arrow, 3);
        break;
    }
    case TDataSetState::dsInactive:
        break;
    }
    p.restore();
}

void TwwCustomDBGrid::paintRow(QPainter &p, int row)
{
    const int y = TitleHeight() + row * m_rowHeight;
    const bool hasRecord = row < RecordRowCount();
    const bool isCurrent = hasRecord && row == CurrentRow();
    const bool selection = isCurrent && showsSelection();
    const bool rowLines = m_options.testFlag(dgRowLines);
    const bool colLines = m_options.testFlag(dgColLines);
    const QColor lineColor = palette().color(QPalette::Mid);

    if (m_options.testFlag(dgIndicator)) {
        const QRect r(0, y, IndicatorWidth, m_rowHeight);
        drawHeaderCell(p, this, r, m_titleColor);
        drawIndicator(p, r, row);
    }
    if (hasRecord)
        m_dataLink->setActiveRecord(row);
    p.setFont(font());
    const int fixedRight = columnX(std::min(m_fixedCols, int(m_columns.size()))) +
                           (m_fixedCols < m_columns.size() ? m_hOffset : 0);
    for (int col = 0; col < m_columns.size(); ++col) {
        const QRect r = CellRect(row, col);
        if (r.right() < 0 || r.left() > viewport()->width())
            continue;
        p.save();
        if (col >= m_fixedCols)
            p.setClipRect(QRect(QPoint(fixedRight, y), QPoint(viewport()->width(), y + m_rowHeight - 1)));
        const QRect inner = r.adjusted(0, 0, colLines ? -1 : 0, rowLines ? -1 : 0);
        const bool highlighted = selection && (m_options.testFlag(dgRowSelect) || col == m_col);
        QColor background = m_color;
        // Only the cells the grid fills itself take the alternating colour:
        // the frozen columns.
        if (col < m_fixedCols && m_paintOptions.AlternatingRowColor.isValid() && row % 2 == 1)
            background = m_paintOptions.AlternatingRowColor;
        if (highlighted)
            background = palette().color(QPalette::Highlight);
        p.fillRect(inner, background);
        p.setPen(lineColor);
        if (colLines)
            p.drawLine(r.right(), r.top(), r.right(), r.bottom());
        if (rowLines)
            p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        if (const TField *f = ColumnField(col); f && hasRecord) {
            p.setPen(palette().color(highlighted ? QPalette::HighlightedText : QPalette::Text));
            drawCellText(p, inner.adjusted(2, 0, -2, 0), f->DisplayText(), fieldAlignment(f),
                         m_options.testFlag(dgWordWrap));
        }
        p.restore();
    }
    if (hasRecord)
        m_dataLink->setActiveRecord(m_dataLink->ActiveRecord());
}

void TwwCustomDBGrid::showEvent(QShowEvent *e)
{
    QAbstractScrollArea::showEvent(e);
    if (m_scrollBarsStale)
        guard([this] { updateScrollBars(); });
}

void TwwCustomDBGrid::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    guard([this] { updateMetrics(); });
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

void TwwCustomDBGrid::changeEvent(QEvent *e)
{
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        rebuildColumns();
        guard([this] { updateMetrics(); });
    }
}

// ---- actions --------------------------------------------------------------

bool TwwCustomDBGrid::guard(const std::function<void()> &action)
{
    return MessageDlg::Guard(this, action);
}

bool TwwCustomDBGrid::editsInPlace() const
{
    return m_options.testFlag(dgEditing) && !m_options.testFlag(dgRowSelect);
}

bool TwwCustomDBGrid::unchangedNewRecord() const
{
    const TDataSet *ds = DataSet();
    return ds && ds->State() == TDataSetState::dsInsert && !ds->Modified() && !m_dataLink->Modified();
}

void TwwCustomDBGrid::moveBy(int distance)
{
    if (TDataSet *ds = DataSet(); ds && m_dataLink->Active() && distance != 0)
        ds->MoveBy(distance);
}

void TwwCustomDBGrid::keyUp()
{
    TDataSet *ds = DataSet();
    if (unchangedNewRecord() && ds->Eof())
        ds->Cancel();
    else
        ds->Prior();
}

void TwwCustomDBGrid::keyDown(bool autoAppend)
{
    TDataSet *ds = DataSet();
    if (unchangedNewRecord()) {
        if (ds->Eof())
            return;
        ds->Cancel();
        return;
    }
    ds->Next();
    if (autoAppend && ds->Eof() && ds->CanModify() && m_options.testFlag(dgEditing) &&
        m_keyOptions.testFlag(dgAllowInsert))
        ds->Append();
}

// Makes the record shown on `row` current. An unchanged new record is
// dropped on the way, which moves the rows below it up by one.
void TwwCustomDBGrid::moveToRow(int row)
{
    const int current = CurrentRow();
    if (row == current)
        return;
    int distance = row - current;
    if (unchangedNewRecord() && row > current)
        --distance;
    moveBy(distance);
}

void TwwCustomDBGrid::moveColumn(int col)
{
    col = std::clamp(col, 0, int(m_columns.size()) - 1);
    if (col == m_col)
        return;
    commitEdit();
    const bool editing = m_editor->isVisible();
    invalidateRow(CurrentRow());
    m_col = col;
    // Bring the column into view.
    if (col >= m_fixedCols) {
        const int left = columnX(col);
        const int right = left + m_columns.at(col).width;
        const int fixedRight = columnX(std::min(m_fixedCols, int(m_columns.size()))) +
                               (m_fixedCols < m_columns.size() ? m_hOffset : 0);
        QScrollBar *hb = horizontalScrollBar();
        if (left < fixedRight)
            hb->setValue(hb->value() - (fixedRight - left));
        else if (right > viewport()->width())
            hb->setValue(hb->value() + std::min(right - viewport()->width(), left - fixedRight));
    }
    invalidateRow(CurrentRow());
    if (editing)
        showEditor(true);
    TwwDBGridAccessible::currentChanged(this);
}

void TwwCustomDBGrid::firstColumn()
{
    moveColumn(0);
}

void TwwCustomDBGrid::lastColumn()
{
    moveColumn(int(m_columns.size()) - 1);
}

void TwwCustomDBGrid::tabForward()
{
    for (int c = m_col + 1; c < m_columns.size(); ++c)
        if (m_columns.at(c).tabStop) {
            moveColumn(c);
            return;
        }
    // Past the last column: the next record, starting at its first column.
    commitEdit();
    keyDown(true);
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns.at(c).tabStop) {
            moveColumn(c);
            return;
        }
}

void TwwCustomDBGrid::tabBackward()
{
    for (int c = m_col - 1; c >= 0; --c)
        if (m_columns.at(c).tabStop) {
            moveColumn(c);
            return;
        }
    commitEdit();
    keyUp();
    for (int c = int(m_columns.size()) - 1; c >= 0; --c)
        if (m_columns.at(c).tabStop) {
            moveColumn(c);
            return;
        }
}

void TwwCustomDBGrid::keyEscape()
{
    TDataSet *ds = DataSet();
    if (m_editor->isVisible() && m_dataLink->Modified()) {
        restoreEditor();
    } else if (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert) {
        if (!ds->Modified()) {
            ds->Cancel();
        } else if (MessageDlg::MessageDlg(QStringLiteral("Discard changes to this record?"),
                                          MessageDlg::TMsgDlgType::mtConfirmation, MessageDlg::mbYes | MessageDlg::mbNo,
                                          this) == MessageDlg::TModalResult::mrYes) {
            ds->Cancel();
        }
    }
    hideEditor();
}

void TwwCustomDBGrid::keyInsert()
{
    if (m_readOnly || !m_options.testFlag(dgEditing) || !m_keyOptions.testFlag(dgAllowInsert))
        return;
    DataSet()->Insert();
}

void TwwCustomDBGrid::keyCtrlDelete()
{
    TDataSet *ds = DataSet();
    if (!m_keyOptions.testFlag(dgAllowDelete) || m_readOnly || !ds->CanModify() || !m_options.testFlag(dgEditing))
        return;
    if (!m_options.testFlag(dgConfirmDelete) ||
        MessageDlg::MessageDlg(QStringLiteral("Delete record?"), MessageDlg::TMsgDlgType::mtConfirmation,
                               MessageDlg::mbOK | MessageDlg::mbCancel, this) != MessageDlg::TModalResult::mrCancel)
        ds->Delete();
    hideEditor();
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

// ---- keys -----------------------------------------------------------------

bool TwwCustomDBGrid::windowTakesEnter() const
{
    const auto *dialog = qobject_cast<const QDialog *>(window());
    if (!dialog)
        return false;
    const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
    return std::any_of(buttons.begin(), buttons.end(), [](const QPushButton *b) { return b->isDefault(); });
}

bool TwwCustomDBGrid::windowTakesEscape() const
{
    return qobject_cast<const QDialog *>(window()) != nullptr;
}

// Which keys the grid takes before the window's shortcuts and buttons: a
// row-select grid only the moving keys; a grid that edits in place also Tab
// (with dgTabs) and Enter.
bool TwwCustomDBGrid::claimsKey(const QKeyEvent *e) const
{
    switch (e->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_F2:
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return !e->modifiers().testFlag(Qt::AltModifier) && m_options.testFlag(dgTabs) && editsInPlace();
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return editsInPlace();
    default:
        return false;
    }
}

bool TwwCustomDBGrid::event(QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if (claimsKey(ke)) {
            ke->accept();
            return true;
        }
    } else if (e->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) && claimsKey(ke)) {
            keyPressEvent(ke);
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void TwwCustomDBGrid::keyPressEvent(QKeyEvent *e)
{
    if (!processKey(e, false))
        QAbstractScrollArea::keyPressEvent(e);
}

bool TwwCustomDBGrid::processKey(QKeyEvent *e, bool fromEditor)
{
    int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const bool shift = mods.testFlag(Qt::ShiftModifier);
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;

    // Keys the window's buttons take before the grid.
    if (!fromEditor) {
        if (enter && !editsInPlace() && windowTakesEnter())
            return false;
        if (key == Qt::Key_Escape && windowTakesEscape())
            return false;
    }
    if (OnKeyDown) {
        OnKeyDown(this, key, mods);
        if (key == 0)
            return true;
    }
    if (!m_dataLink->Active())
        return false;
    TDataSet *ds = DataSet();
    const bool rowSelect = m_options.testFlag(dgRowSelect);
    const bool homeEndMoveRecords = rowSelect || ds->FieldCount() == 1;

    switch (key) {
    case Qt::Key_Up:
        guard([&] { ctrl ? moveBy(-CurrentRow()) : keyUp(); });
        return true;
    case Qt::Key_Down:
        guard([&] { ctrl ? moveBy(RecordRowCount() - 1 - CurrentRow()) : keyDown(true); });
        return true;
    case Qt::Key_PageUp:
        guard([&] { moveBy(ctrl ? -CurrentRow() : -m_visibleRows); });
        return true;
    case Qt::Key_PageDown:
        guard([&] { moveBy(ctrl ? RecordRowCount() - 1 - CurrentRow() : m_visibleRows); });
        return true;
    case Qt::Key_Home:
        guard([&] { (ctrl || homeEndMoveRecords) ? ds->First() : firstColumn(); });
        return true;
    case Qt::Key_End:
        guard([&] { (ctrl || homeEndMoveRecords) ? ds->Last() : lastColumn(); });
        return true;
    case Qt::Key_Left:
        guard([&] {
            if (ctrl)
                firstColumn();
            else if (rowSelect)
                keyUp();
            else
                moveColumn(m_col - 1);
        });
        return true;
    case Qt::Key_Right:
        guard([&] {
            if (ctrl)
                lastColumn();
            else if (rowSelect)
                keyDown(true);
            else
                moveColumn(m_col + 1);
        });
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (mods.testFlag(Qt::AltModifier))
            return false;
        if (!m_options.testFlag(dgTabs) || rowSelect) {
            focusNextPrevChild(key == Qt::Key_Tab && !shift);
            return true;
        }
        guard([&] { (key == Qt::Key_Backtab || shift) ? tabBackward() : tabForward(); });
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_keyOptions.testFlag(dgEnterToTab))
            guard([&] { shift ? tabBackward() : tabForward(); });
        else if (!rowSelect && m_editor->isVisible())
            guard([&] { commitEdit(); });
        else if (!rowSelect)
            showEditor(true);
        return true;
    case Qt::Key_Escape:
        guard([&] { keyEscape(); });
        return true;
    case Qt::Key_Insert:
        if (!ctrl && !shift)
            guard([&] { keyInsert(); });
        return true;
    case Qt::Key_F2:
        showEditor(true);
        return true;
    case Qt::Key_Delete:
        if (ctrl) {
            guard([&] { keyCtrlDelete(); });
        } else if (!fromEditor && editsInPlace() && !m_readOnly) {
            showEditor(true);
            QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text());
            QCoreApplication::sendEvent(m_editor, &copy);
        }
        return true;
    default:
        break;
    }
    // A typed character opens the cell editor and goes into it.
    const QString text = e->text();
    if (!fromEditor && !text.isEmpty() && text.at(0).isPrint() && !ctrl && !mods.testFlag(Qt::AltModifier) &&
        editsInPlace()) {
        if (!m_editor->isVisible())
            showEditor(true);
        if (m_editor->isVisible()) {
            QKeyEvent copy(e->type(), e->key(), e->modifiers(), text);
            QCoreApplication::sendEvent(m_editor, &copy);
        }
        return true;
    }
    return false;
}

// ---- mouse ----------------------------------------------------------------

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

// ---- focus ----------------------------------------------------------------

void TwwCustomDBGrid::focusInEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusInEvent(e);
    invalidateRow(CurrentRow());
}

void TwwCustomDBGrid::focusOutEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusOutEvent(e);
    invalidateRow(CurrentRow());
    if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason)
        return;
    if (QApplication::focusWidget() == m_editor)
        return;
    focusLeft();
}

// When the focus goes to another control, a pending cell edit is written; an
// untouched new record is dropped instead with dgCancelOnExit.
void TwwCustomDBGrid::focusLeft()
{
    if (!m_dataLink->Active())
        return;
    TDataSet *ds = DataSet();
    const bool ok = guard([&] {
        if (m_options.testFlag(dgCancelOnExit) && unchangedNewRecord())
            ds->Cancel();
        else
            commitEdit();
    });
    if (ok)
        hideEditor();
    invalidateRow(CurrentRow());
}

// ---- the cell editor ------------------------------------------------------

void TwwCustomDBGrid::showEditor(bool selectAll)
{
    if (!editsInPlace() || !m_dataLink->Active())
        return;
    TField *f = SelectedField();
    if (!f)
        return;
    if (!m_editor->isVisible()) {
        m_editor->setFont(font());
        m_editor->setAlignment(fieldAlignment(f) | Qt::AlignVCenter);
        m_editor->setMaxLength(f->DataType() == TFieldType::String && f->Size() > 0 ? f->Size() : 32767);
        m_editor->setText(f->Text());
        m_editor->setModified(false);
        m_dataLink->setModified(false);
        updateEditorGeometry();
        m_editor->show();
    }
    m_editor->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        m_editor->selectAll();
    invalidateRow(CurrentRow());
}

void TwwCustomDBGrid::hideEditor()
{
    if (!m_editor->isVisible()) {
        m_dataLink->setModified(false);
        return;
    }
    if (m_editor->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_editor->hide();
    m_dataLink->setModified(false);
    invalidateRow(CurrentRow());
}

void TwwCustomDBGrid::updateEditorGeometry()
{
    if (!m_editor || !m_editor->isVisible())
        return;
    const QRect r = CellRect(CurrentRow(), m_col).adjusted(0, 0, m_options.testFlag(dgColLines) ? -1 : 0,
                                                           m_options.testFlag(dgRowLines) ? -1 : 0);
    m_editor->setGeometry(r);
}

void TwwCustomDBGrid::editorTextEdited()
{
    m_dataLink->setModified(true);
}

// The first change in the editor decides whether the cell may change at all,
// and puts the dataset into edit state (an empty dataset starts a record).
bool TwwCustomDBGrid::editorChangeAllowed()
{
    if (m_dataLink->Modified())
        return true;
    if (m_readOnly || !m_dataLink->Active() || m_dataLink->ReadOnly())
        return false;
    const TField *f = SelectedField();
    if (!f || !f->CanModify() || f->ReadOnly() || m_columns.at(m_col).readOnlyFlag)
        return false;
    TDataSet *ds = DataSet();
    if (ds->IsEmpty() && ds->State() == TDataSetState::dsBrowse && !m_keyOptions.testFlag(dgAllowInsert))
        return false;
    bool editing = false;
    {
        FlagScope scope(m_selfChange);
        guard([&] { editing = m_dataLink->Edit(); });
    }
    if (!editing)
        return false;
    updateEditorGeometry();
    m_dataLink->setModified(true);
    return true;
}

// Writes the editor's text into its field. The text stays in the editor when
// it does not convert (the error goes to whoever handles the action).
void TwwCustomDBGrid::commitEdit()
{
    if (!m_dataLink->Modified() || !m_editor->isVisible())
        return;
    TField *f = SelectedField();
    if (!f)
        return;
    {
        FlagScope scope(m_selfChange);
        f->setText(m_editor->text());
    }
    m_dataLink->setModified(false);
    m_editor->setModified(false);
    invalidateRow(CurrentRow());
}

void TwwCustomDBGrid::restoreEditor()
{
    const TField *f = SelectedField();
    m_editor->setText(f ? f->Text() : QString());
    m_editor->setModified(false);
    m_editor->selectAll();
    m_dataLink->setModified(false);
}
