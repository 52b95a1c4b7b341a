#include "Clock.h"
#include "FieldText.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "Startup.h"
#include "TPageControl.h"
#include "TTrendsChart.h"
#include "TTrendsTab.h"
#include "TestAlias.h"
#include "frmMainUnit.h"
#include "ui_frmMainUnit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QToolTip>
#include <QtTest>

// The Trends tab as a user meets it: after the four record tabs, charting
// the twelve months that end with the chosen period's month from the books
// in a temporary alias, following the Summary while on view.
class tst_TrendsTab : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    QDate m_today;
    QLocale m_locale;  // the default locale before any test set another

    Ui::TfrmMain *ui() const { return frmMain->ui; }
    TTrendsTab *tab() const { return frmMain->findChild<TTrendsTab *>(QStringLiteral("TabSheetTrends")); }
    TTrendsChart *chart() const { return tab()->chart(); }

    void start(const QDate &today)
    {
        m_today = today;
        Clock::setTodaySource([this] { return m_today; });
        QVERIFY(Startup::start());
        FormatSettings() = TFormatSettings();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }
    void showTrends()
    {
        ui()->Pages->setActivePage(tab());
        QTRY_VERIFY(tab()->isVisible());
        QVERIFY(chart());
        // The chart lays itself out to the view's size in a posted event.
        QTRY_VERIFY(chart()->chart()->plotArea().width() > chart()->width() / 2);
    }

    void sale(const QString &day, double total)
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (DocDate, Total) VALUES (?, ?)"), {day, total});
    }
    // Known months, twelve to March 2024: a leap February, an empty
    // January, a loss in December.
    void knownMonths()
    {
        sale(QStringLiteral("2023-04-01"), 10);
        sale(QStringLiteral("2024-02-29"), 1500.25);
        sale(QStringLiteral("2024-02-01"), 0.1);
        sale(QStringLiteral("2024-03-13"), 1234.5);
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES "
                                     "('2023-12-05', 1, 300), ('2024-02-29', 1, 0.2)"));
        m_alias->exec(QStringLiteral("INSERT INTO Purchases (DocDate, Total) VALUES ('2023-12-20', 45.5), "
                                     "('2024-03-01', 1000)"));
    }
    // One journal's total for one month, straight from SQLite.
    double sqlSum(const char *table, const char *amount, const QDate &first)
    {
        return m_alias
            ->scalar(QStringLiteral("SELECT total(%1) FROM %2 WHERE DocDate BETWEEN ? AND ?")
                         .arg(QLatin1String(amount), QLatin1String(table)),
                     {first.toString(Qt::ISODate), first.addMonths(1).addDays(-1).toString(Qt::ISODate)})
            .toDouble();
    }
    // The chart's figure for a month, read from its bars and its line.
    double charted(int month, int figure) const
    {
        return figure == TTrendsChart::Profit ? chart()->profitLine()->at(month).y()
                                              : chart()->barSet(figure)->at(month);
    }

private Q_SLOTS:
    void initTestCase() { m_locale = QLocale(); }
    void init()
    {
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent')"));
    }
    void cleanup()
    {
        Startup::finish();
        m_alias.reset();
        Clock::setTodaySource({});
        FormatSettings() = TFormatSettings();
        QLocale::setDefault(m_locale);
    }

    // The tab comes after Purchases; it computes nothing until it shows, and
    // then charts the twelve months that end with the period's month, each
    // figure the SQL sum of its month.
    void chartsTheSqlSumsOfTwelveMonths()
    {
        knownMonths();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        start(QDate(2024, 3, 13));
        QCOMPARE(ui()->Pages->indexOf(tab()), ui()->Pages->indexOf(ui()->TabSheetPurchases) + 1);
        QTRY_COMPARE(ui()->Pages->tabButton(ui()->Pages->indexOf(tab()))->text(), QStringLiteral("Trends"));
        QVERIFY(tab()->isStale());
        QVERIFY(!chart());

        showTrends();
        QVERIFY(!tab()->isStale());
        QCOMPARE(chart()->figures().size(), 12);
        QCOMPARE(chart()->monthAxis()->categories().first(), QStringLiteral("Apr"));
        QCOMPARE(chart()->monthAxis()->categories().last(), QStringLiteral("Mar"));
        QCOMPARE(chart()->chart()->title(), QStringLiteral("April 2023 \u2013 March 2024"));
        for (int i = 0; i < 12; ++i) {
            const QDate first = QDate(2023, 4, 1).addMonths(i);
            const double sales = sqlSum("Sales", "Total", first);
            const double expenses = sqlSum("Expenses", "Amount", first);
            const double purchases = sqlSum("Purchases", "Total", first);
            QCOMPARE(chart()->figures().at(i).first, first);
            QCOMPARE(charted(i, TTrendsChart::Sales), sales);
            QCOMPARE(charted(i, TTrendsChart::Expenses), expenses);
            QCOMPARE(charted(i, TTrendsChart::Purchases), purchases);
            QCOMPARE(charted(i, TTrendsChart::Profit), sales - expenses - purchases);
        }
        QCOMPARE(charted(10, TTrendsChart::Sales), 1500.25 + 0.1);  // the leap February
        QCOMPARE(charted(9, TTrendsChart::Sales), 0.0);             // an empty January
        QCOMPARE(charted(8, TTrendsChart::Profit), -345.5);         // December's loss

        // The loss stands below the line of zero, which the amounts' axis
        // labels; the months' axis names every month.
        const QPointF loss = chart()->chart()->mapToPosition(QPointF(8, -345.5), chart()->profitLine());
        const QPointF zero = chart()->chart()->mapToPosition(QPointF(8, 0), chart()->profitLine());
        QVERIFY(loss.y() > zero.y() + 10);
        QVERIFY(chart()->amountAxis()->categoriesLabels().contains(QStringLiteral("0")));
        QVERIFY(chart()->amountAxis()->min() < -345.5);
        QVERIFY(chart()->amountAxis()->max() >= 1500.35);
        QCOMPARE(chart()->monthAxis()->count(), 12);
        QVERIFY(chart()->chart()->legend()->isVisible());
    }

    // A Summary refresh while the tab is hidden leaves it stale, and showing
    // it recomputes; on view, it follows each refresh at once, a new sale
    // from the side bar included.
    void followsTheSummaryWhileOnView()
    {
        knownMonths();
        start(QDate(2024, 3, 13));
        showTrends();
        QCOMPARE(charted(11, TTrendsChart::Sales), 1234.5);

        ui()->Pages->setActivePage(ui()->TabSheet1);
        sale(QStringLiteral("2024-12-31"), 7);
        QTest::mouseClick(ui()->optYear, Qt::LeftButton);
        QVERIFY(ui()->optYear->isChecked());
        QVERIFY(tab()->isStale());
        QCOMPARE(chart()->figures().last().first, QDate(2024, 3, 1));  // untouched while hidden

        showTrends();
        QVERIFY(!tab()->isStale());
        QCOMPARE(chart()->figures().first().first, QDate(2024, 1, 1));
        QCOMPARE(charted(11, TTrendsChart::Sales), 7.0);

        ModalAnswer dialog(QList<ModalAnswer::Step>{[](QWidget *d) {
            QApplication::setActiveWindow(d);
            auto *total = d->findChild<QWidget *>(QStringLiteral("DBEdit5"));
            total->setFocus();
            QTest::keyClick(total, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(total, QStringLiteral("120.5"));
            QTest::keyClick(total, Qt::Key_Return);
        }});
        ui()->btnNewSale->click();
        QCOMPARE(dialog.count(), 1);
        QVERIFY(!tab()->isStale());
        QCOMPARE(charted(2, TTrendsChart::Sales), 1234.5 + 120.5);  // today, 13 March
        QCOMPARE(ui()->Pages->ActivePage(), tab());
    }

    // Hovering a bar or a point shows its month and its figure in the
    // general number format.
    void hoverShowsTheMonthAndFigure_data()
    {
        QTest::addColumn<int>("figure");
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("text");
        QTest::newRow("a bar") << int(TTrendsChart::Sales) << 10 << "February 2024\nSales And Income: 1500,35";
        QTest::newRow("a loss on the line") << int(TTrendsChart::Profit) << 8 << "December 2023\nProfits: -345,5";
    }
    void hoverShowsTheMonthAndFigure()
    {
        QFETCH(int, figure);
        QFETCH(int, month);
        QFETCH(QString, text);
        knownMonths();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        start(QDate(2024, 3, 13));
        FormatSettings().DecimalSeparator = QLatin1Char(',');
        showTrends();
        QChart *c = chart()->chart();
        // Grouped bars share the middle half of their month; the line's
        // points stand in its middle.
        const double value = charted(month, figure);
        const QPointF at = figure == TTrendsChart::Profit
                               ? QPointF(month, value)
                               : QPointF(month - 0.25 + (figure + 0.5) * 0.5 / 3, value / 2);
        const QPoint p = chart()->mapFromScene(c->mapToScene(c->mapToPosition(at, chart()->profitLine())));
        QTest::mouseMove(chart()->viewport(), p + QPoint(1, 1));
        QTest::mouseMove(chart()->viewport(), p);
        QTRY_COMPARE(QToolTip::text(), text);
    }

    // Assistive technology reads the chart as a table: a row per month with
    // its name as the row's header, a column per figure.
    void readsAsATableOfMonthsAndFigures()
    {
        knownMonths();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        start(QDate(2024, 3, 13));
        showTrends();
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(chart());
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Table);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Trends"));
        QAccessibleTableInterface *table = a->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 12);
        QCOMPARE(table->columnCount(), 4);
        QCOMPARE(table->columnDescription(3), QStringLiteral("Profits"));
        QCOMPARE(table->rowDescription(10), QStringLiteral("February 2024"));
        QAccessibleInterface *cell = table->cellAt(8, 3);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("-345.5"));
        QCOMPARE(cell->role(), QAccessible::Cell);
        QAccessibleTableCellInterface *c = cell->tableCellInterface();
        QCOMPARE(c->rowHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("December 2023"));
        QCOMPARE(c->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("Profits"));
        QCOMPARE(a->indexOfChild(cell), 9 * 5 + 4);
        QCOMPARE(a->child(9 * 5 + 4), cell);
        QCOMPARE(a->childCount(), 13 * 5);
        QCOMPARE(table->cellAt(10, 0)->text(QAccessible::Name), QStringLiteral("1500.35"));
        // The tab's content, as a screen reader walks down to it.
        QAccessibleInterface *page = QAccessible::queryAccessibleInterface(tab());
        QVERIFY(page->indexOfChild(a) >= 0);
    }

    // The chart draws on the offscreen platform without a warning (but the
    // platform's own, that it cannot pass size hints to a window manager),
    // its bars and the loss's point in their colours.
    void rendersToAnImage()
    {
        knownMonths();
        start(QDate(2024, 3, 13));
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support)")));
        showTrends();
        const QImage image = chart()->grab().toImage();
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), chart()->size() * image.devicePixelRatio());
        const QColor wanted[] = {chart()->barSet(TTrendsChart::Sales)->color(),
                                 chart()->barSet(TTrendsChart::Purchases)->color(), QColor(255, 0, 0)};
        for (const QColor &colour : wanted) {
            bool found = false;
            for (int y = 0; y < image.height() && !found; ++y)
                for (int x = 0; x < image.width() && !found; ++x)
                    found = image.pixelColor(x, y) == colour;
            QVERIFY2(found, qPrintable(colour.name()));
        }
    }

    // Month names follow the regional settings, also when they change while
    // the chart shows.
    void monthNamesFollowTheRegionalSettings()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        start(QDate(2024, 3, 13));
        showTrends();
        QCOMPARE(chart()->monthAxis()->categories().at(10), QStringLiteral("Feb"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QEvent change(QEvent::LocaleChange);
        QApplication::sendEvent(chart(), &change);
        QTRY_COMPARE(chart()->monthAxis()->categories().at(8), QStringLiteral("Dez"));
        QCOMPARE(chart()->chart()->title(), QStringLiteral("April 2023 \u2013 M\u00e4rz 2024"));
    }

    // Books the chart cannot sum: the page shows an empty chart, the error
    // box says why, and the next showing tries again.
    void anErrorEmptiesTheChartAndSaysWhy()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (DocDate, Total) VALUES ('2023-11-02', 'twelve')"));
        start(QDate(2024, 3, 13));
        ModalAnswer box(QStringLiteral("Return"));
        showTrends();
        QTRY_COMPARE(box.count(), 1);
        QCOMPARE(box.title(), QStringLiteral("Ardentry"));
        QVERIFY2(box.text().contains(QLatin1String("Total")), qPrintable(box.text()));
        QVERIFY(chart()->figures().isEmpty());
        QVERIFY(tab()->isStale());

        m_alias->exec(QStringLiteral("UPDATE Sales SET Total = 12"));
        ui()->Pages->setActivePage(ui()->TabSheet1);
        showTrends();
        QVERIFY(!tab()->isStale());
        QCOMPARE(charted(7, TTrendsChart::Sales), 12.0);
    }
};

QTEST_MAIN(tst_TrendsTab)
#include "tst_trendstab.moc"
