#pragma once

#include "TDataLink.h"

#include <QVariant>
#include <QWidget>

class QScrollBar;
class TDataSet;
class TDataSource;
class TDBLookupComboBox;

// The dropped-down list of a lookup box: a window of rows over the list
// table (as many as the box's DropDownRows allows), each showing the list
// field, with the highlighted row the one whose key is the highlight key.
// It never takes the focus; its box hands it the keys. The rows it shows
// are the list table's records around its current record, read through a
// data link of its own while the list is shown.
class LookupDropDown : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(LookupDropDown)

public:
    explicit LookupDropDown(TDBLookupComboBox *box);
    ~LookupDropDown() override;

    // Shows the list below (or above) the box, positioned on `key` (on the
    // first row when the key is null or missing).
    void open(const QVariant &key);
    void close();

    int rowCount() const { return m_rows; }
    int rowHeight() const;
    // The key and text of a visible row (0 = top); null past the last record.
    QVariant rowKey(int row) const;
    QString rowText(int row) const;
    // The visible row under a point of the list; -1 when none.
    int rowAt(const QPoint &pos) const;

    const QVariant &highlightKey() const { return m_highlight; }
    QString highlightText() const { return m_highlightText; }
    // Moves the highlight: by `delta` rows, or to the first (INT_MIN) or
    // last (INT_MAX) row.
    void moveHighlight(int delta);
    // Highlights the list table's current record (after a search moved it).
    void highlightCurrent();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class ListLink;
    friend class ListLink;

    TDataSet *table() const;
    void placeCurrentOnHighlight();
    void updateScrollBar();
    void scrollTo(int topRecNo);
    QRect rowsRect() const;

    TDBLookupComboBox *m_box;
    TDataSource *m_source;
    std::unique_ptr<ListLink> m_link;
    QScrollBar *m_scrollBar;
    int m_rows = 7;
    QVariant m_highlight;
    QString m_highlightText;
    bool m_updatingScrollBar = false;
};
