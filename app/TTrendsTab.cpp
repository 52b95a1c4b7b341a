#include "TTrendsTab.h"

#include "DMUnit.h"
#include "EDatabaseError.h"
#include "MessageDlg.h"
#include "TTrendsChart.h"
#include "TrendFigures.h"

#include <QVBoxLayout>

TTrendsTab::TTrendsTab(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheetTrends"));
    setWindowTitle(QStringLiteral("Trends"));
    setAccessibleName(QStringLiteral("Trends"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
}

void TTrendsTab::summaryRefreshed(const QString &periodWhere)
{
    m_periodWhere = periodWhere;
    m_stale = true;
    if (isVisible())
        recompute();
}

void TTrendsTab::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (!m_stale)
        return;
    // No command is running that an error could abandon: the page shows
    // an empty chart and the error box follows once the page is shown.
    try {
        recompute();
    } catch (const EDatabaseError &error) {
        MessageDlg::ShowErrorLater(error.message());
    }
}

// Stays stale when the books refuse: the chart is then empty rather than
// showing months that are not the period's, and the next showing tries
// again.
void TTrendsTab::recompute()
{
    if (!m_chart) {
        m_chart = new TTrendsChart(this);
        m_chart->setObjectName(QStringLiteral("TrendsChart"));
        layout()->addWidget(m_chart);
    }
    try {
        const QDate last = TrendFigures::lastDayOf(m_periodWhere);
        m_chart->setFigures(last.isValid() ? TrendFigures::compute(QString::fromLatin1(TDM::DatabaseAlias), last)
                                           : QList<TrendFigures::TMonth>{});
    } catch (const EDatabaseError &) {
        m_chart->setFigures({});
        throw;
    }
    m_stale = false;
}
