#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QPainter;
class QPagedPaintDevice;
class TDataSet;
class TField;

// A statement on paper: every record a dataset shows, in its order, in the
// columns of its grid. Each page carries the title (what the statement is
// of), the dates it covers, the column titles and "Page n of m"; numbers are
// right-aligned in the general number format, a record is never split
// across two pages, and the last page ends with the totals of the number
// columns.
//
// The records are read twice through a reader of their own (the dataset's
// current record stays where it is): once to lay the pages out, once to
// draw them, one batch at a time, so a long statement needs no more memory
// than a short one.
class TStatementPrint
{
public:
    struct Column
    {
        TField *field = nullptr;
        QString title;
        int width = 10;  // in characters, as the grid shows it
    };

    TStatementPrint(TDataSet *dataSet, const QList<Column> &columns, const QString &title);

    // Draws the statement on `device` (a printer, a PDF file) from its first
    // page. Throws EDatabaseError when a record cannot be read.
    void print(QPagedPaintDevice *device);

    // The pages of the last print.
    int pageCount() const { return m_pages; }

private:
    struct Layout;
    void paintHeader(QPainter &p, const Layout &l, int page, int pages) const;

    TDataSet *m_dataSet;
    QList<Column> m_columns;
    QString m_title;
    int m_pages = 0;
};
