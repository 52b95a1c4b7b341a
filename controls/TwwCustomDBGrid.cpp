#include "TwwCustomDBGrid.h"

#include "MessageDlg.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TField.h"
#include "TwwDBGridAccessible.h"
#include "TwwGridDataLink.h"
#include "TwwInplaceEdit.h"

#include <QScrollBar>

#include <algorithm>

// The record grid's settings, its columns and metrics, and its reactions to
// the data link. The rest of the class lives beside this file, one concern
// a file: TwwCustomDBGridPaint.cpp (drawing), TwwCustomDBGridScrolling.cpp
// (scroll bars and rows moving with the data), TwwCustomDBGridKeys.cpp
// (keys and the moves they make), TwwCustomDBGridMouse.cpp (clicks, drags,
// wheel) and TwwCustomDBGridEditing.cpp (the cell editor and the focus).

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
    return QRect(columnX(col), rowTop(row), ColumnWidth(col), m_rowHeight);
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
    updateRowOffset();
    updateScrollBars();
    updateEditorGeometry();
    viewport()->update();
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
    const int row = (y - top + m_rowOffset) / m_rowHeight;
    return row < m_visibleRows ? row : -2;
}

int TwwCustomDBGrid::rowTop(int row) const
{
    return TitleHeight() + row * m_rowHeight - m_rowOffset;
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
    updateRowOffset();
    updateScrollBars();
    viewport()->update();
}

void TwwCustomDBGrid::linkDataSetChanged()
{
    if (!m_selfChange)
        hideEditor();
    m_markRow = CurrentRow();
    updateRowOffset();
    updateScrollBars();
    updateEditorGeometry();
    viewport()->update();
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

// ---- size and font --------------------------------------------------------

void TwwCustomDBGrid::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    guard([this] { updateMetrics(); });
}

void TwwCustomDBGrid::changeEvent(QEvent *e)
{
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        rebuildColumns();
        guard([this] { updateMetrics(); });
    }
}

// ---- shared by the keys, the mouse and the editor --------------------------

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
