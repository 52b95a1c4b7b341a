#include "TTrendsChart.h"

#include "FieldText.h"
#include "FormatSettings.h"
#include "TTrendsChartAccessible.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QCursor>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

namespace {

// The Summary's own colours for a profit and a loss; the bars in colours
// that stay apart from both.
const QColor SalesColour(31, 90, 180);
const QColor ExpensesColour(240, 140, 20);
const QColor PurchasesColour(130, 100, 180);
const QColor ProfitColour(0, 128, 64);
const QColor LossColour(255, 0, 0);

} // namespace

// The chart is handed over as the view is made: a view made without one
// makes a chart of its own, which setChart would release, not delete.
TTrendsChart::TTrendsChart(QWidget *parent) : QChartView(new QChart, parent)
{
    TTrendsChartAccessible::install();
    QChart *chart = this->chart();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);

    auto *bars = new QBarSeries(chart);
    const QColor colours[] = {SalesColour, ExpensesColour, PurchasesColour};
    for (int f = Sales; f < Profit; ++f) {
        m_sets[f] = new QBarSet(figureName(f), bars);
        m_sets[f]->setColor(colours[f]);
        m_sets[f]->setBorderColor(colours[f].darker(130));
        bars->append(m_sets[f]);
        connect(m_sets[f], &QBarSet::hovered, this, [this, f](bool on, int month) { showHover(month, f, on); });
    }
    m_profit = new QLineSeries(chart);
    m_profit->setName(figureName(Profit));
    m_profit->setPen(QPen(ProfitColour, 2));
    m_profit->setPointsVisible(true);
    connect(m_profit, &QLineSeries::hovered, this,
            [this](const QPointF &p, bool on) { showHover(qRound(p.x()), Profit, on); });
    m_zero = new QLineSeries(chart);
    m_zero->setPen(QPen(Qt::black, 1));

    chart->addSeries(bars);
    chart->addSeries(m_profit);
    chart->addSeries(m_zero);
    m_monthAxis = new QBarCategoryAxis(chart);
    m_amountAxis = new QCategoryAxis(chart);
    m_amountAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart->addAxis(m_monthAxis, Qt::AlignBottom);
    chart->addAxis(m_amountAxis, Qt::AlignLeft);
    for (QAbstractSeries *s : chart->series()) {
        s->attachAxis(m_monthAxis);
        s->attachAxis(m_amountAxis);
    }
    // The line of zero is a guide, not a figure.
    for (QLegendMarker *m : chart->legend()->markers(m_zero))
        m->setVisible(false);

    setRenderHint(QPainter::Antialiasing);
    setAccessibleName(QStringLiteral("Trends"));
}

QString TTrendsChart::figureName(int figure)
{
    switch (figure) {
    case Sales:
        return QStringLiteral("Sales And Income");
    case Expenses:
        return QStringLiteral("Expenses");
    case Purchases:
        return QStringLiteral("Purchases");
    case Profit:
        return QStringLiteral("Profits");
    default:
        return QString();
    }
}

double TTrendsChart::figure(int month, int figure) const
{
    if (month < 0 || month >= m_months.size())
        return 0;
    const TrendFigures::TMonth &m = m_months.at(month);
    switch (figure) {
    case Sales:
        return m.sales;
    case Expenses:
        return m.expenses;
    case Purchases:
        return m.purchases;
    case Profit:
        return m.profit;
    default:
        return 0;
    }
}

QString TTrendsChart::monthName(int month) const
{
    if (month < 0 || month >= m_months.size())
        return QString();
    const QDate d = m_months.at(month).first;
    return QLocale().standaloneMonthName(d.month(), QLocale::LongFormat) + QLatin1Char(' ') +
           QString::number(d.year());
}

QString TTrendsChart::figureText(int month, int figure) const
{
    if (month < 0 || month >= m_months.size() || figure < 0 || figure >= FigureCount)
        return QString();
    return FieldText::formatGeneral(this->figure(month, figure), FormatSettings());
}

QString TTrendsChart::hoverText(int month, int figure) const
{
    if (month < 0 || month >= m_months.size() || figure < 0 || figure >= FigureCount)
        return QString();
    return monthName(month) + QLatin1Char('\n') + figureName(figure) + QStringLiteral(": ") +
           figureText(month, figure);
}

QBarSet *TTrendsChart::barSet(int figure) const
{
    return figure >= Sales && figure < Profit ? m_sets[figure] : nullptr;
}

void TTrendsChart::setFigures(const QList<TrendFigures::TMonth> &months)
{
    m_months = months;
    relabel();
    const qsizetype n = m_months.size();
    double low = 0;
    double high = 0;
    for (int f = Sales; f < Profit; ++f) {
        QList<qreal> values;
        for (int i = 0; i < n; ++i)
            values.append(figure(i, f));
        m_sets[f]->remove(0, m_sets[f]->count());
        m_sets[f]->append(values);
    }
    QList<QPointF> points;
    m_profit->clearPointsConfiguration();
    for (int i = 0; i < n; ++i) {
        points.append(QPointF(i, m_months.at(i).profit));
        for (int f = Sales; f < FigureCount; ++f) {
            low = std::min(low, figure(i, f));
            high = std::max(high, figure(i, f));
        }
    }
    m_profit->replace(points);
    for (int i = 0; i < n; ++i)
        if (m_months.at(i).profit < 0)
            m_profit->setPointConfiguration(i, QXYSeries::PointConfiguration::Color, LossColour);
    if (n > 0)
        m_zero->replace({QPointF(-0.5, 0), QPointF(double(n) - 0.5, 0)});
    else
        m_zero->clear();

    // The amounts' lines and labels, in the general number format.
    for (const QString &label : m_amountAxis->categoriesLabels())
        m_amountAxis->remove(label);
    const QList<double> ticks = TrendFigures::axisTicks(low, high);
    m_amountAxis->setRange(ticks.first(), ticks.last());
    m_amountAxis->setStartValue(ticks.first());
    for (double t : ticks)
        m_amountAxis->append(FieldText::formatGeneral(t, FormatSettings()), t);

    TAccessibleTable::reset(this);
}

// The texts that depend on the regional settings: the months' names and the
// chart's title.
void TTrendsChart::relabel()
{
    QStringList names;
    const QLocale locale;
    for (const TrendFigures::TMonth &m : std::as_const(m_months))
        names.append(locale.standaloneMonthName(m.first.month(), QLocale::ShortFormat));
    m_monthAxis->clear();
    m_monthAxis->append(names);
    chart()->setTitle(m_months.isEmpty() ? QString()
                                         : monthName(0) + QStringLiteral(" \u2013 ") + monthName(int(m_months.size()) - 1));
}

void TTrendsChart::changeEvent(QEvent *e)
{
    // The main window takes the new settings in the same round of events:
    // the labels follow once it has.
    if (e->type() == QEvent::LocaleChange)
        QTimer::singleShot(0, this, [this] { setFigures(m_months); });
    QChartView::changeEvent(e);
}

void TTrendsChart::showHover(int month, int figure, bool on)
{
    if (on && month >= 0 && month < m_months.size())
        QToolTip::showText(QCursor::pos(), hoverText(month, figure), this);
    else
        QToolTip::hideText();
}

QRect TTrendsChart::monthRect(int month) const
{
    if (month < 0 || month >= m_months.size())
        return QRect();
    const QRectF plot = chart()->plotArea();
    const double band = plot.width() / double(m_months.size());
    const QRectF r(plot.left() + band * month, plot.top(), band, plot.height());
    return mapFromScene(r).boundingRect();
}
