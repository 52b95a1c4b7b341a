#pragma once

#include <QString>
#include <QWidget>

class TTrendsChart;

// The main window's "Trends" page: the twelve months that end with the month
// of the chosen period's last day, charted. It follows the Summary: each
// time the Summary is recomputed the chart is too, but only while the page
// is on view. A refresh while it is hidden marks it stale, and showing it
// recomputes; so the chart costs nothing at start-up or on a period switch
// while nobody looks at it.
class TTrendsTab : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(TTrendsTab)

public:
    explicit TTrendsTab(QWidget *parent = nullptr);

    // The Summary was recomputed for the period of this condition (the
    // Summary's own, "DocDate >= 'mm/dd/yyyy' AND ..."). On view, the chart
    // follows at once and an error raised on the way is the caller's to
    // show; hidden, it waits.
    void summaryRefreshed(const QString &periodWhere);

    // Whether the chart waits to be recomputed when the page shows.
    bool isStale() const { return m_stale; }
    // The chart, made the first time the page shows (null before).
    TTrendsChart *chart() const { return m_chart; }

protected:
    void showEvent(QShowEvent *e) override;

private:
    void recompute();

    QString m_periodWhere;
    bool m_stale = true;
    TTrendsChart *m_chart = nullptr;
};
