#include "TwwCustomDBGrid.h"

#include "TDataSet.h"
#include "TField.h"
#include "TwwGridDataLink.h"
#include "TwwInplaceEdit.h"

#include <QHash>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QTextLayout>

#include <algorithm>

// Painting of the record grid: the title row, the indicator column and the
// data cells, and the invalidation of the rows that change.

namespace {

// Numbers and dates are never broken at a line's end nor cut at the cell's
// edge: a part of one reads as another value ("0." for 0.666666666666667).
bool keptWhole(const TField *f)
{
    return f && f->DataType() != TFieldType::String;
}

// Text broken at word boundaries into the lines of r that it fits whole (at
// least one), as a cell draws it with wrapping. `whole` tells whether all of
// the text found room.
struct WrappedText
{
    WrappedText(const QString &text, const QFont &font, const QRect &r, Qt::Alignment align)
        : layout(text, font)
    {
        const int fits = std::max(1, r.height() / std::max(1, QFontMetrics(font).lineSpacing()));
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        option.setAlignment(align);
        layout.setTextOption(option);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(r.width());
            if (lines == fits || line.naturalTextWidth() > r.width())
                whole = false;
            if (lines == fits)
                break;
            line.setPosition(QPointF(0, height));
            height += line.height();
            ++lines;
        }
        layout.endLayout();
    }

    QTextLayout layout;
    int lines = 0;
    qreal height = 0;
    bool whole = true;
};

// Draws text inside r, which the caller clips to. With wrapping, the text is
// broken at word boundaries and only the lines that fit whole are drawn, so
// a one-line cell ends at the last whole word that fits.
void drawCellText(QPainter &p, const QRect &r, const QString &text, Qt::Alignment align, bool wrap)
{
    if (text.isEmpty() || r.width() <= 0)
        return;
    if (!wrap) {
        p.drawText(r, int(align | Qt::AlignVCenter | Qt::TextSingleLine), text);
        return;
    }
    const WrappedText wrapped(text, p.font(), r, align);
    const qreal top = r.top() + std::max<qreal>(0, (r.height() - wrapped.height) / 2);
    for (int i = 0; i < wrapped.lines; ++i)
        wrapped.layout.lineAt(i).draw(&p, QPointF(r.left(), top));
}

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

Qt::Alignment TwwCustomDBGrid::fieldAlignment(const TField *f)
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

QRect TwwCustomDBGrid::cellTextRect(int row, int col) const
{
    return CellRect(row, col).adjusted(2, 0, m_options.testFlag(dgColLines) ? -3 : -2,
                                       m_options.testFlag(dgRowLines) ? -1 : 0);
}

QString TwwCustomDBGrid::shownText(const TField *f, const QString &text, const QRect &area) const
{
    if (!keptWhole(f))
        return text;
    const QFontMetrics fm(font());
    if (fm.horizontalAdvance(text) <= area.width())
        return text;
    const int marks = area.width() / std::max(1, fm.horizontalAdvance(QLatin1Char('#')));
    return QString(std::max(1, marks), QLatin1Char('#'));
}

bool TwwCustomDBGrid::showsWhole(const TField *f, const QString &text, const QRect &area) const
{
    if (text.isEmpty())
        return true;
    if (keptWhole(f))
        return shownText(f, text, area) == text;
    if (!m_options.testFlag(dgWordWrap))
        return QFontMetrics(font()).horizontalAdvance(text) <= area.width();
    return WrappedText(text, font(), area, fieldAlignment(f)).whole;
}

QString TwwCustomDBGrid::ShownText(int row, int col) const
{
    return shownText(ColumnField(col), CellText(row, col), cellTextRect(row, col));
}

void TwwCustomDBGrid::invalidateRow(int row)
{
    if (row >= 0 && row < m_visibleRows)
        viewport()->update(QRect(0, rowTop(row), viewport()->width(), m_rowHeight));
}

void TwwCustomDBGrid::invalidateIndicator()
{
    if (m_options.testFlag(dgIndicator))
        viewport()->update(QRect(0, rowTop(CurrentRow()), IndicatorWidth, m_rowHeight));
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
    // The top row may be partly under the titles (see updateRowOffset).
    p.setClipRect(QRect(0, TitleHeight(), viewport()->width(), viewport()->height() - TitleHeight()));
    // The rows that hold a record, or one blank row for an empty dataset;
    // below them only the grid's colour.
    const int rows = std::min(m_visibleRows, std::max(1, RecordRowCount()));
    for (int row = 0; row < rows; ++row) {
        const QRect r(0, rowTop(row), viewport()->width(), m_rowHeight);
        if (r.intersects(e->rect()))
            paintRow(p, row);
    }
}

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
        p.setClipRect(r, Qt::IntersectClip);
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
    const int y = rowTop(row);
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
            p.setClipRect(QRect(QPoint(fixedRight, y), QPoint(viewport()->width(), y + m_rowHeight - 1)),
                          Qt::IntersectClip);
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
            // Nothing of a cell's text is drawn outside the cell.
            p.setClipRect(inner, Qt::IntersectClip);
            p.setPen(palette().color(highlighted ? QPalette::HighlightedText : QPalette::Text));
            const QRect area = cellTextRect(row, col);
            drawCellText(p, area, shownText(f, f->DisplayText(), area), fieldAlignment(f),
                         m_options.testFlag(dgWordWrap) && !keptWhole(f));
        }
        p.restore();
    }
    if (hasRecord)
        m_dataLink->setActiveRecord(m_dataLink->ActiveRecord());
}
