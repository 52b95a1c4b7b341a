#include "TStatementPrint.h"

#include "EDatabaseError.h"
#include "FieldText.h"
#include "FormatSettings.h"
#include "RecordReader.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>

namespace {

QString cellText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
        return FieldText::formatGeneral(value.toDouble(), FormatSettings());
    case QMetaType::QDate:
        return FieldText::formatDate(value.toDate(), FormatSettings());
    default:
        return value.toString();
    }
}

} // namespace

// Where everything goes on a page, in the device's pixels.
struct TStatementPrint::Layout
{
    QFont titleFont, headFont, bodyFont, totalFont;
    int pad = 0;        // inside a cell, on each side
    QRect page;         // the printable area
    int titleHeight = 0;
    int headerBottom = 0;  // below the column titles
    int bodyBottom = 0;    // above the page number
    QList<int> left, width;
    QList<bool> numeric;
    QString period;

    int rowHeight(const QFont &font, const QPaintDevice *device, const QStringList &texts) const
    {
        const QFontMetrics fm(font, device);
        int h = fm.height();
        for (int c = 0; c < texts.size(); ++c) {
            if (numeric.at(c) || texts.at(c).isEmpty())
                continue;
            const QRect box(0, 0, std::max(1, width.at(c) - 2 * pad), 1 << 20);
            h = std::max(h, fm.boundingRect(box, Qt::TextWordWrap | Qt::AlignLeft, texts.at(c)).height());
        }
        return h + 2 * pad;
    }

    void paintRow(QPainter &p, int y, int h, const QStringList &texts) const
    {
        for (int c = 0; c < texts.size(); ++c) {
            const QRect cell(left.at(c) + pad, y + pad, width.at(c) - 2 * pad, h - 2 * pad);
            const int align = numeric.at(c) ? (Qt::AlignRight | Qt::AlignTop) : (Qt::AlignLeft | Qt::AlignTop);
            p.drawText(cell, align | Qt::TextWordWrap, texts.at(c));
        }
    }
};

TStatementPrint::TStatementPrint(TDataSet *dataSet, const QList<Column> &columns, const QString &title)
    : m_dataSet(dataSet), m_columns(columns), m_title(title)
{
}

void TStatementPrint::paintHeader(QPainter &p, const Layout &l, int page, int pages) const
{
    const QRect &area = l.page;
    p.setFont(l.titleFont);
    p.drawText(QRect(area.left(), area.top(), area.width(), l.titleHeight), Qt::AlignLeft | Qt::AlignTop,
               m_title + QLatin1Char('\n') + l.period);

    QStringList titles;
    for (const Column &c : m_columns)
        titles << c.title;
    p.setFont(l.headFont);
    const int top = area.top() + l.titleHeight;
    l.paintRow(p, top, l.headerBottom - top, titles);
    p.drawLine(area.left(), l.headerBottom, area.right(), l.headerBottom);

    p.setFont(l.bodyFont);
    p.drawText(QRect(area.left(), l.bodyBottom, area.width(), area.bottom() - l.bodyBottom),
               Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("Page %1 of %2").arg(page).arg(pages));
}

void TStatementPrint::print(QPagedPaintDevice *device)
{
    QList<TField *> fields;
    for (const Column &c : m_columns)
        fields << c.field;

    Layout l;
    l.page = QRect(0, 0, device->width(), device->height());
    const int dpi = device->logicalDpiY();
    l.pad = std::max(1, dpi / 25);  // a millimetre
    l.bodyFont = QFont(QStringLiteral("Verdana"));
    l.bodyFont.setPointSizeF(9);
    l.headFont = l.bodyFont;
    l.headFont.setBold(true);
    l.totalFont = l.headFont;
    l.titleFont = l.headFont;
    l.titleFont.setPointSizeF(12);

    // Columns share the width as the grid shares its own.
    int chars = 0;
    for (const Column &c : m_columns)
        chars += std::max(1, c.width);
    int x = l.page.left();
    for (const Column &c : m_columns) {
        const int w = l.page.width() * std::max(1, c.width) / std::max(1, chars);
        l.left << x;
        l.width << w;
        x += w;
    }

    // First pass: the dates covered, the totals, and the records that open
    // each page after the first. A record that does not fit goes whole to
    // the next page, and so do the totals.
    QList<double> totals(m_columns.size(), 0.0);
    QDate first, last;
    QList<qint64> pageStarts;
    qint64 records = 0;
    int y = 0;
    {
        TRecordReader reader(m_dataSet, fields);
        for (int c = 0; c < reader.columnCount(); ++c)
            l.numeric << (reader.columnType(c) == TFieldType::Float);
        const QFontMetrics titleMetrics(l.titleFont, device);
        l.titleHeight = 2 * titleMetrics.height() + titleMetrics.height() / 2;
        QStringList titles;
        for (const Column &c : m_columns)
            titles << c.title;
        l.headerBottom = l.page.top() + l.titleHeight + l.rowHeight(l.headFont, device, titles);
        l.bodyBottom = l.page.bottom() - QFontMetrics(l.bodyFont, device).height() * 2;
        y = l.headerBottom;
        while (reader.next()) {
            QStringList texts;
            for (int c = 0; c < reader.columnCount(); ++c) {
                const QVariant v = reader.value(c);
                texts << cellText(v);
                if (l.numeric.at(c) && v.isValid()) {
                    totals[c] += v.toDouble();
                } else if (v.typeId() == QMetaType::QDate && v.toDate().isValid()) {
                    const QDate d = v.toDate();
                    first = first.isValid() ? std::min(first, d) : d;
                    last = last.isValid() ? std::max(last, d) : d;
                }
            }
            const int h = l.rowHeight(l.bodyFont, device, texts);
            if (y + h > l.bodyBottom && y > l.headerBottom) {
                pageStarts << records;
                y = l.headerBottom;
            }
            y += h;
            ++records;
        }
    }
    l.period = first.isValid() ? QStringLiteral("All dates: %1 to %2")
                                     .arg(FieldText::formatDate(first, FormatSettings()),
                                          FieldText::formatDate(last, FormatSettings()))
                               : QStringLiteral("No records");

    QStringList totalTexts;
    for (int c = 0; c < m_columns.size(); ++c)
        totalTexts << (l.numeric.at(c) ? FieldText::formatGeneral(totals.at(c), FormatSettings()) : QString());
    if (!totalTexts.isEmpty())
        totalTexts[0] = QStringLiteral("Total");
    const int totalHeight = l.rowHeight(l.totalFont, device, totalTexts);
    if (y + totalHeight > l.bodyBottom && y > l.headerBottom)
        pageStarts << records;
    m_pages = int(pageStarts.size()) + 1;

    // Second pass: the pages. Should another desk have changed the records
    // meanwhile, a record that no longer fits still goes to a new page.
    QPainter p;
    if (!p.begin(device))
        throw EDatabaseError(QStringLiteral("The statement cannot be printed: the printer or file is not ready"));
    int page = 1;
    const auto nextPage = [&] {
        device->newPage();
        paintHeader(p, l, ++page, std::max(m_pages, page));
        y = l.headerBottom;
    };
    paintHeader(p, l, page, m_pages);
    TRecordReader reader(m_dataSet, fields);
    y = l.headerBottom;
    qint64 record = 0;
    while (reader.next()) {
        QStringList texts;
        for (int c = 0; c < reader.columnCount(); ++c)
            texts << cellText(reader.value(c));
        const int h = l.rowHeight(l.bodyFont, device, texts);
        if ((page - 1 < pageStarts.size() && record == pageStarts.at(page - 1)) ||
            (y + h > l.bodyBottom && y > l.headerBottom))
            nextPage();
        p.setFont(l.bodyFont);
        l.paintRow(p, y, h, texts);
        y += h;
        ++record;
    }
    if (page < m_pages || (y + totalHeight > l.bodyBottom && y > l.headerBottom))
        nextPage();
    p.drawLine(l.page.left(), y, l.page.right(), y);
    p.setFont(l.totalFont);
    l.paintRow(p, y, totalHeight, totalTexts);
    p.end();
    m_pages = page;
}
