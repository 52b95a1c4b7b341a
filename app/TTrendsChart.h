#pragma once

#include "TrendFigures.h"

#include <QChartView>

class QBarCategoryAxis;
class QBarSet;
class QCategoryAxis;
class QLineSeries;

// Twelve months at a glance: sales and income, expenses and purchases as
// grouped bars and the profit as a line, month names along the bottom in the
// user's regional settings, amounts up the side in the general number
// format, the line of zero drawn across so that a loss shows below it.
// Hovering a bar or a point of the line shows its month and figure.
// Assistive technology reads the chart as a table: a row per month, a column
// per figure (TTrendsChartAccessible).
class TTrendsChart : public QChartView
{
    Q_OBJECT
    Q_DISABLE_COPY(TTrendsChart)

public:
    // The four figures of a month, in column order.
    enum Figure { Sales, Expenses, Purchases, Profit, FigureCount };

    explicit TTrendsChart(QWidget *parent = nullptr);

    // Charts these months (none: an empty chart).
    void setFigures(const QList<TrendFigures::TMonth> &months);
    const QList<TrendFigures::TMonth> &figures() const { return m_months; }

    // The caption of a figure, as the Summary names it.
    static QString figureName(int figure);
    double figure(int month, int figure) const;
    // A month as a title or a table's row names it ("March 2024"), in the
    // user's regional settings.
    QString monthName(int month) const;
    // A figure in the general number format.
    QString figureText(int month, int figure) const;
    // What hovering shows: the month, then the figure's name and value.
    QString hoverText(int month, int figure) const;

    // The parts of the chart, for those who read or test it.
    QBarSet *barSet(int figure) const;
    QLineSeries *profitLine() const { return m_profit; }
    QBarCategoryAxis *monthAxis() const { return m_monthAxis; }
    QCategoryAxis *amountAxis() const { return m_amountAxis; }
    // Where a month's bars and point stand, in the viewport's coordinates.
    QRect monthRect(int month) const;

protected:
    void changeEvent(QEvent *e) override;

private:
    void relabel();
    void showHover(int month, int figure, bool on);

    QList<TrendFigures::TMonth> m_months;
    QBarSet *m_sets[Profit] = {};
    QLineSeries *m_profit = nullptr;
    QLineSeries *m_zero = nullptr;
    QBarCategoryAxis *m_monthAxis = nullptr;
    QCategoryAxis *m_amountAxis = nullptr;
};
