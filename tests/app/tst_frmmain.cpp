#include "Clock.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "Startup.h"
#include "TDateTimePicker.h"
#include "TFloatField.h"
#include "TStringField.h"
#include "TLinkLabel.h"
#include "TPageControl.h"
#include "TQuery.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TwwDBGrid.h"
#include "frmMainUnit.h"
#include "ui_frmMainUnit.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QMessageBox>
#include <QScrollBar>
#include <QtTest>

// Catches the addresses the program hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

// The main window as a user meets it: start-up, the period selector, the
// Summary figures, the menu, over real books in a temporary alias.
class tst_frmMain : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    QDate m_today;

    Ui::TfrmMain *ui() const { return frmMain->ui; }

    void startWithToday(const QDate &today, const QString &shortDateFormat = QStringLiteral("m/d/yy"))
    {
        m_today = today;
        Clock::setTodaySource([this] { return m_today; });
        QVERIFY(Startup::start());
        FormatSettings() = TFormatSettings();
        FormatSettings().ShortDateFormat = shortDateFormat;
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    void sale(const QString &iso, double total)
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (DocDate, Total) VALUES (?, ?)"), {iso, total});
    }

private Q_SLOTS:
    void init()
    {
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent')"));
    }
    void cleanup()
    {
        Startup::finish();
        m_alias.reset();
        Clock::setTodaySource({});
        FormatSettings() = TFormatSettings();
    }

    void opensOnCurrentMonthWithThePickersOnToday()
    {
        sale(QStringLiteral("2024-03-01"), 1500);
        sale(QStringLiteral("2024-02-29"), 7);
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES ('2024-03-02', 1, 20)"));
        startWithToday(QDate(2024, 3, 13));
        QVERIFY(ui()->optMonth->isChecked());
        QCOMPARE(ui()->cboDateF->Date(), QDate(2024, 3, 13));
        QCOMPARE(ui()->cboDateT->Date(), QDate(2024, 3, 13));
        QCOMPARE(ui()->Pages->currentWidget(), ui()->TabSheet1);
        QCOMPARE(frmMain->periodFilter(), QStringLiteral("DocDate >= '3/1/24' AND DocDate <= '3/31/24'"));
        QCOMPARE(frmMain->periodWhere(), QStringLiteral("DocDate >= '03/01/2024' AND DocDate <= '03/31/2024'"));
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("1500"));
        QCOMPARE(ui()->lblExpenses->text(), QStringLiteral("20"));
        QCOMPARE(ui()->lblPurchases->text(), QStringLiteral("0"));
        QCOMPARE(ui()->lblProfits->text(), QStringLiteral("1480"));
        QCOMPARE(DM->SalesTable->RecordCount(), 1);
        QCOMPARE(frmMain->windowTitle(), QStringLiteral("Ardentry"));
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Ardentry"));
    }

    // A record tab first shown after start-up sizes its scroll bar to the
    // period's records, and follows a period change made while it was hidden.
    void recordTabsCountThePeriodWhenShown()
    {
        for (int i = 0; i < 30; ++i)
            sale(QStringLiteral("2023-05-01"), 1);
        sale(QStringLiteral("2024-03-01"), 1500);
        sale(QStringLiteral("2024-03-02"), 1);
        startWithToday(QDate(2024, 3, 13));
        QScrollBar *bar = ui()->wwDBGrid3->verticalScrollBar();
        ui()->Pages->setActivePage(ui()->TabSheetSales);
        QTRY_VERIFY(ui()->wwDBGrid3->isVisible());
        QCOMPARE(bar->maximum(), 2);
        ui()->Pages->setActivePage(ui()->TabSheet1);
        QTest::mouseClick(ui()->optYear, Qt::LeftButton);
        QVERIFY(ui()->optYear->isChecked());
        ui()->Pages->setActivePage(ui()->TabSheetSales);
        QTRY_VERIFY(ui()->wwDBGrid3->isVisible());
        QCOMPARE(bar->maximum(), 2);
        QTest::mouseClick(ui()->optYear, Qt::LeftButton);  // already chosen: nothing
        ui()->Pages->setActivePage(ui()->TabSheet1);
        m_today = QDate(2023, 5, 9);
        QTest::mouseClick(ui()->optToday, Qt::LeftButton);
        QTest::mouseClick(ui()->optMonth, Qt::LeftButton);
        ui()->Pages->setActivePage(ui()->TabSheetSales);
        QTRY_VERIFY(ui()->wwDBGrid3->isVisible());
        QCOMPARE(bar->maximum(), 30);
    }

    // The week runs from Saturday to Friday; the example day-first format.
    void periodTexts_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("where");
        QTest::newRow("week on a Wednesday") << QDate(2024, 3, 13) << "optWeek"
                                             << "DocDate >= '09/03/2024' AND DocDate <= '15/03/2024'"
                                             << "DocDate >= '03/09/2024' AND DocDate <= '03/15/2024'";
        QTest::newRow("week on its Saturday") << QDate(2024, 3, 9) << "optWeek"
                                              << "DocDate >= '09/03/2024' AND DocDate <= '15/03/2024'"
                                              << "DocDate >= '03/09/2024' AND DocDate <= '03/15/2024'";
        QTest::newRow("week on its Friday") << QDate(2024, 3, 15) << "optWeek"
                                            << "DocDate >= '09/03/2024' AND DocDate <= '15/03/2024'"
                                            << "DocDate >= '03/09/2024' AND DocDate <= '03/15/2024'";
        QTest::newRow("week on its Sunday") << QDate(2024, 3, 10) << "optWeek"
                                            << "DocDate >= '09/03/2024' AND DocDate <= '15/03/2024'"
                                            << "DocDate >= '03/09/2024' AND DocDate <= '03/15/2024'";
        QTest::newRow("month of a leap February") << QDate(2024, 2, 10) << "optMonth"
                                                  << "DocDate >= '01/02/2024' AND DocDate <= '29/02/2024'"
                                                  << "DocDate >= '02/01/2024' AND DocDate <= '02/29/2024'";
        QTest::newRow("yesterday on New Year's Day") << QDate(2024, 1, 1) << "optYesterday"
                                                     << "DocDate = '31/12/2023'" << "DocDate = '12/31/2023'";
        QTest::newRow("today") << QDate(2024, 1, 1) << "optToday" << "DocDate = '01/01/2024'"
                               << "DocDate = '01/01/2024'";
        QTest::newRow("year") << QDate(2024, 7, 4) << "optYear"
                              << "DocDate >= '01/01/2024' AND DocDate <= '31/12/2024'"
                              << "DocDate >= '01/01/2024' AND DocDate <= '12/31/2024'";
    }
    void periodTexts()
    {
        QFETCH(QDate, today);
        QFETCH(QString, button);
        QFETCH(QString, filter);
        QFETCH(QString, where);
        startWithToday(today, QStringLiteral("dd/mm/yyyy"));
        auto *b = frmMain->findChild<QRadioButton *>(button);
        QVERIFY(b);
        if (b == ui()->optMonth)
            ui()->optToday->click();
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, b->height() / 2));
        QVERIFY(b->isChecked());
        QCOMPARE(frmMain->periodFilter(), filter);
        QCOMPARE(frmMain->periodWhere(), where);
        QCOMPARE(DM->SalesTable->Filter(), filter);
        QVERIFY(DM->AccTransTable->Filtered() && DM->PurchasesTable->Filtered() && DM->ExpensesTable->Filtered());
    }

    void customRanges_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("sales");
        QTest::addColumn<int>("records");
        QTest::newRow("from after to matches nothing") << QDate(2024, 3, 5) << QDate(2024, 3, 1) << "0" << 0;
        QTest::newRow("from equal to to is that day") << QDate(2024, 3, 2) << QDate(2024, 3, 2) << "20" << 1;
        QTest::newRow("a range, both ends included") << QDate(2024, 3, 1) << QDate(2024, 3, 2) << "30" << 2;
    }
    void customRanges()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, sales);
        QFETCH(int, records);
        sale(QStringLiteral("2024-03-01"), 10);
        sale(QStringLiteral("2024-03-02"), 20);
        sale(QStringLiteral("2024-03-03"), 40);
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES ('2024-03-04', 1, 5)"));
        startWithToday(QDate(2024, 3, 13));
        ui()->cboDateF->setDate(from);
        ui()->cboDateT->setDate(to);
        // Setting the pickers from code changes no period.
        QVERIFY(ui()->optMonth->isChecked());
        ui()->optCustomeDate->click();
        QVERIFY(ui()->optCustomeDate->isChecked());
        QCOMPARE(ui()->lblSales->text(), sales);
        QCOMPARE(DM->SalesTable->RecordCount(), records);
        QCOMPARE(ui()->lblExpenses->text(), QStringLiteral("0"));
        QCOMPARE(DM->ExpTotalsQuery->RecordCount(), 0);
        QCOMPARE(frmMain->periodFilter(), QStringLiteral("DocDate >= '%1' AND DocDate <= '%2'")
                                              .arg(from.toString(QStringLiteral("M/d/yy")), to.toString(QStringLiteral("M/d/yy"))));
    }

    void aPickerChangeSelectsCustom()
    {
        sale(QStringLiteral("2024-03-10"), 10);
        sale(QStringLiteral("2024-03-12"), 20);
        startWithToday(QDate(2024, 3, 13));
        ui()->cboDateF->setDate(QDate(2024, 3, 11));
        // The user steps the "To" date back by one day.
        ui()->cboDateT->setFocus();
        ui()->cboDateT->setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(ui()->cboDateT, Qt::Key_Down);
        QVERIFY(ui()->optCustomeDate->isChecked());
        QCOMPARE(ui()->cboDateT->Date(), QDate(2024, 3, 12));
        QCOMPARE(frmMain->periodFilter(), QStringLiteral("DocDate >= '3/11/24' AND DocDate <= '3/12/24'"));
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("20"));
    }

    // After midnight, Today keeps the day it was chosen on until another
    // period is chosen.
    void clickingTheSelectedPeriodRecomputesNothing()
    {
        startWithToday(QDate(2024, 3, 13));
        ui()->optToday->click();
        QCOMPARE(frmMain->periodFilter(), QStringLiteral("DocDate = '3/13/24'"));
        sale(QStringLiteral("2024-03-13"), 5);
        m_today = QDate(2024, 3, 14);
        QTest::mouseClick(ui()->optToday, Qt::LeftButton, {}, QPoint(5, 8));
        QCOMPARE(frmMain->periodFilter(), QStringLiteral("DocDate = '3/13/24'"));
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("0"));
        ui()->optYesterday->click();
        ui()->optToday->click();
        QCOMPARE(frmMain->periodFilter(), QStringLiteral("DocDate = '3/14/24'"));
    }

    void figuresInTheGeneralNumberFormat_data()
    {
        QTest::addColumn<QList<double>>("sales");
        QTest::addColumn<QList<double>>("expenses");
        QTest::addColumn<QList<double>>("purchases");
        QTest::addColumn<QString>("salesText");
        QTest::addColumn<QString>("profitText");
        QTest::addColumn<QColor>("profitColour");
        const QColor green(0, 128, 64), red(255, 0, 0);
        QTest::newRow("0.1 + 0.2") << QList<double>{0.1, 0.2} << QList<double>{} << QList<double>{} << "0.3" << "0.3" << green;
        QTest::newRow("1500") << QList<double>{1500} << QList<double>{} << QList<double>{} << "1500" << "1500" << green;
        QTest::newRow("1234.5") << QList<double>{1234.5} << QList<double>{} << QList<double>{} << "1234.5" << "1234.5"
                                << green;
        QTest::newRow("a profit a hair below zero")
            << QList<double>{0.3} << QList<double>{0.1} << QList<double>{0.2} << "0.3" << "-2.77555756156289E-17" << red;
        QTest::newRow("exactly zero is green") << QList<double>{5} << QList<double>{5} << QList<double>{} << "5" << "0"
                                               << green;
        QTest::newRow("nothing at all") << QList<double>{} << QList<double>{} << QList<double>{} << "0" << "0" << green;
    }
    void figuresInTheGeneralNumberFormat()
    {
        QFETCH(QList<double>, sales);
        QFETCH(QList<double>, expenses);
        QFETCH(QList<double>, purchases);
        QFETCH(QString, salesText);
        QFETCH(QString, profitText);
        QFETCH(QColor, profitColour);
        for (double v : sales)
            sale(QStringLiteral("2024-03-05"), v);
        for (double v : expenses)
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES ('2024-03-05', 1, ?)"),
                          {v});
        for (double v : purchases)
            m_alias->exec(QStringLiteral("INSERT INTO Purchases (DocDate, Total) VALUES ('2024-03-05', ?)"), {v});
        // A sale without a total counts as 0.
        m_alias->exec(QStringLiteral("INSERT INTO Sales (DocDate) VALUES ('2024-03-06')"));
        startWithToday(QDate(2024, 3, 13));
        QCOMPARE(ui()->lblSales->text(), salesText);
        QCOMPARE(ui()->lblProfits->text(), profitText);
        QCOMPARE(ui()->lblProfits->palette().color(QPalette::WindowText), profitColour);
        QCOMPARE(ui()->lblSales->palette().color(QPalette::WindowText), QColor(0, 0, 160));
    }

    // No figure loses a digit: a label grows with its figure and the link
    // beside it moves along; short figures keep the places laid out. A
    // screen reader reads each figure with its caption.
    void figuresShowEveryDigitAndAreReadWithTheirCaptions_data()
    {
        QTest::addColumn<double>("salesTotal");
        QTest::addColumn<double>("expense");
        QTest::addColumn<double>("purchase");
        QTest::addColumn<QStringList>("figures");  // sales, expenses, purchases, profit
        QTest::newRow("short figures") << 1500.0 << 0.0 << 0.0 << QStringList{"1500", "0", "0", "1500"};
        QTest::newRow("nine digits and three decimals")
            << 123456793.425 << 0.0 << 0.0 << QStringList{"123456793.425", "0", "0", "123456793.425"};
        QTest::newRow("fifteen digits") << 0.0 << 888888888888888.0 << 0.0
                                        << QStringList{"0", "888888888888888", "0", "-888888888888888"};
        QTest::newRow("the longest text a figure can have")
            << 0.0 << 0.0 << 8.88888888888888E-300
            << QStringList{"0", "0", "8.88888888888888E-300", "-8.88888888888888E-300"};
    }
    void figuresShowEveryDigitAndAreReadWithTheirCaptions()
    {
        QFETCH(double, salesTotal);
        QFETCH(double, expense);
        QFETCH(double, purchase);
        QFETCH(QStringList, figures);
        sale(QStringLiteral("2024-03-05"), salesTotal);
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES ('2024-03-05', 1, ?)"),
                      {expense});
        m_alias->exec(QStringLiteral("INSERT INTO Purchases (DocDate, Total) VALUES ('2024-03-05', ?)"), {purchase});
        startWithToday(QDate(2024, 3, 13));

        const QList<QLabel *> labels{ui()->lblSales, ui()->lblExpenses, ui()->lblPurchases, ui()->lblProfits};
        const QStringList captions{"Sales And Income", "Expenses", "Purchases", "Profits"};
        const QList<QWidget *> links{ui()->Label12, ui()->Label13, ui()->Label14, nullptr};
        for (int i = 0; i < labels.size(); ++i) {
            QLabel *label = labels.at(i);
            const QString name = label->objectName();
            QCOMPARE(label->text(), figures.at(i));
            // Every digit is drawn inside the label, and nothing lies over it.
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                     qPrintable(name));
            QCOMPARE(label->x(), 160);
            QVERIFY2(label->width() >= (i < 3 ? 78 : 160), qPrintable(name));
            if (QWidget *link = links.at(i))
                QVERIFY2(link->x() > label->geometry().right() && link->x() >= 240, qPrintable(name));
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(label);
            QVERIFY(a);
            QCOMPARE(a->role(), QAccessible::StaticText);
            QCOMPARE(a->text(QAccessible::Name), captions.at(i) + QStringLiteral(": ") + figures.at(i));
            QCOMPARE(a->text(QAccessible::Value), figures.at(i));
        }
        if (QTest::currentDataTag() == QLatin1String("short figures")) {
            QCOMPARE(ui()->lblSales->width(), 78);
            QCOMPARE(ui()->Label12->x(), 240);
            QCOMPARE(ui()->Label14->x(), 240);
        }
    }

    void balancesIgnoreThePeriod()
    {
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, AccID, Increase, Decrease) VALUES "
                                     "('2020-01-01', 1, 100, 0), ('2024-03-13', 1, 0, 30), ('2024-03-13', 2, 5, 0)"));
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES "
                                     "('2024-03-13', 1, 4), ('2024-03-01', 1, 6)"));
        startWithToday(QDate(2024, 3, 13));
        auto balances = [] {
            QStringList rows;
            for (DM->AccBalancesQuery->First(); !DM->AccBalancesQuery->Eof(); DM->AccBalancesQuery->Next())
                rows << DM->AccBalancesQueryAccount->DisplayText() + QLatin1Char('=') +
                            DM->AccBalancesQueryBalance->DisplayText();
            DM->AccBalancesQuery->First();
            return rows;
        };
        const QStringList month = balances();
        QCOMPARE(month, (QStringList{"Cash=70", "Bank=5"}));
        QCOMPARE(ui()->wwDBGrid6->CellText(0, 1), QStringLiteral("10"));
        ui()->optToday->click();
        QCOMPARE(balances(), month);
        QCOMPARE(ui()->wwDBGrid6->CellText(0, 1), QStringLiteral("4"));
        QCOMPARE(ui()->wwDBGrid1->CellText(1, 0), QStringLiteral("Bank"));
        QCOMPARE(ui()->wwDBGrid1->CurrentRow(), 0);
    }

    // A short date format that spells the month cannot be read back.
    // A period the filter cannot read is refused, and the screen keeps
    // showing the period before it: buttons, texts, lists and figures.
    void unreadableDateFormatStopsTheRun()
    {
        sale(QStringLiteral("2024-03-01"), 1500);
        sale(QStringLiteral("2024-03-13"), 7);
        startWithToday(QDate(2024, 3, 13));
        FormatSettings().ShortDateFormat = QStringLiteral("dd mmm yyyy");
        const QString before = ui()->lblSales->text();
        ModalAnswer answer(QStringLiteral("Return"));
        ui()->optToday->click();
        QCOMPARE(answer.title(), QStringLiteral("Ardentry"));
        QCOMPARE(answer.text(), QStringLiteral("'13 Mar 2024' is not a valid date."));
        QVERIFY(ui()->optMonth->isChecked());
        QVERIFY(!ui()->optToday->isChecked());
        QCOMPARE(frmMain->periodFilter(), QStringLiteral("DocDate >= '3/1/24' AND DocDate <= '3/31/24'"));
        QVERIFY(DM->SalesTable->Filtered());
        QCOMPARE(DM->SalesTable->RecordCount(), 2);
        QCOMPARE(ui()->lblSales->text(), before);
    }

    // Another program holds the books locked while a period or a picker is
    // changed: the change is refused with the engine's message, and every
    // part of the screen still shows the month it showed.
    void lockedBooksRefuseAPeriodChangeWhole_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("Current Year") << "year";
        QTest::newRow("the From picker") << "picker";
    }
    void lockedBooksRefuseAPeriodChangeWhole()
    {
        QFETCH(QString, change);
        sale(QStringLiteral("2024-03-01"), 1500);
        sale(QStringLiteral("2024-01-13"), 7);
        startWithToday(QDate(2024, 3, 13));
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("1500"));
        m_alias->exec(QStringLiteral("BEGIN EXCLUSIVE"));
        ModalAnswer answer(QStringLiteral("Return"));
        if (change == QLatin1String("year")) {
            QTest::mouseClick(ui()->optYear, Qt::LeftButton);
        } else {
            ui()->cboDateF->setFocus();
            QTest::keyClick(ui()->cboDateF, Qt::Key_Down);
        }
        QTRY_COMPARE(answer.count(), 1);
        QCOMPARE(answer.text(), QStringLiteral("The database is locked by another program; try again later."));
        m_alias->exec(QStringLiteral("ROLLBACK"));
        QVERIFY(ui()->optMonth->isChecked());
        QVERIFY(!ui()->optYear->isChecked() && !ui()->optCustomeDate->isChecked());
        QCOMPARE(ui()->cboDateF->Date(), QDate(2024, 3, 13));
        QCOMPARE(frmMain->periodFilter(), QStringLiteral("DocDate >= '3/1/24' AND DocDate <= '3/31/24'"));
        QCOMPARE(DM->SalesTable->RecordCount(), 1);
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("1500"));
        // Once the books are free, the same change goes through.
        QTest::mouseClick(ui()->optYear, Qt::LeftButton);
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("1507"));
    }

    void startUpFailuresEndWithExitCode1_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing alias") << "alias" << "Unknown database alias: ARD";
        QTest::newRow("missing table") << "table" << "Table does not exist: Purchases.DB";
        QTest::newRow("not a database") << "garbage" << "file is not a database";
    }
    void startUpFailuresEndWithExitCode1()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        if (damage == QLatin1String("alias")) {
            QFile::remove(m_alias->configFile());
        } else if (damage == QLatin1String("table")) {
            m_alias->exec(QStringLiteral("DROP TABLE Purchases"));
        } else {
            m_alias->fixture().close();
            QFile f(m_alias->databaseFile());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(8192, 'z'));
        }
        ModalAnswer answer(QStringLiteral("Return"));
        QCOMPARE(Startup::run(*qApp), 1);
        QCOMPARE(answer.title(), QStringLiteral("Application Error"));
        QVERIFY2(answer.text().contains(message), qPrintable(answer.text()));
        QCOMPARE(answer.icons().value(0), int(QMessageBox::Critical));
        QVERIFY(!frmMain);
        QVERIFY(!DM);
    }

    void helpOpensTheMakersAddresses()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
        startWithToday(QDate(2024, 3, 13));
        ui()->WebSite1->trigger();
        ui()->SendMailtotheAuthor1->trigger();
        {
            // The About box's links open the same two, and it stays open.
            QString title;
            bool stayedOpen = false;
            QTimer::singleShot(50, [&] {
                auto *about = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                QVERIFY(about);
                title = about->windowTitle();
                for (const char *link : {"Label4", "Label6"})
                    QTest::mouseClick(about->findChild<TLinkLabel *>(QLatin1String(link)), Qt::LeftButton);
                stayedOpen = about->isVisible();
                QTest::keyClick(about, Qt::Key_Escape);
            });
            ui()->About1->trigger();
            QCOMPARE(title, QStringLiteral("About"));
            QVERIFY(stayedOpen);
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
        QCOMPARE(catcher.urls.size(), 4);
        QCOMPARE(catcher.urls.at(0).scheme(), QStringLiteral("http"));
        QCOMPARE(catcher.urls.at(1).scheme(), QStringLiteral("mailto"));
        QCOMPARE(catcher.urls.at(2), catcher.urls.at(0));
        QCOMPARE(catcher.urls.at(3), catcher.urls.at(1));
    }

    void layoutAndKeys()
    {
        startWithToday(QDate(2024, 3, 13));
        QCOMPARE(ui()->btnNewSale->text(), QStringLiteral("New &Sale && Income        "));
        QCOMPARE(ui()->btnNewExpense->text(), QStringLiteral("New &Expense                 "));
        QCOMPARE(ui()->btnNewPurchase->text(), QStringLiteral("New &Purchase                "));
        QCOMPARE(ui()->Panel1->width(), 181);
        // Focus starts on the side bar.
        QCOMPARE(QApplication::focusWidget(), ui()->btnNewTrans);
        // Exit keeps its distance from the bottom when the window grows.
        const int fromBottom = ui()->Panel1->height() - ui()->btnExit->y();
        frmMain->resize(frmMain->width(), frmMain->height() + 100);
        QTRY_COMPARE(ui()->Panel1->height() - ui()->btnExit->y(), fromBottom);
        QCOMPARE(ui()->btnNewTrans->y(), 208);
        // Tabs wrap onto a second row when five no longer fit.
        QCOMPARE(ui()->Pages->TabRows(), 1);
        frmMain->resize(181 + 350, frmMain->height());
        QTRY_COMPARE(ui()->Pages->TabRows(), 2);
        // The keyboard moves between pages: Ctrl+Tab, and the arrows on a tab.
        QTest::keyClick(frmMain, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(ui()->Pages->currentWidget(), ui()->TabSheetAccounts);
        ui()->Pages->tabButton(1)->setFocus();
        QTest::keyClick(ui()->Pages->tabButton(1), Qt::Key_Right);
        QCOMPARE(ui()->Pages->currentWidget(), ui()->TabSheetSales);
        QTest::keyClick(ui()->Pages->tabButton(2), Qt::Key_Left);
        QTest::keyClick(ui()->Pages->tabButton(1), Qt::Key_Left);
        QCOMPARE(ui()->Pages->currentWidget(), ui()->TabSheet1);
        // Alt+X presses Exit, which closes the window.
        QTest::keyClick(frmMain, Qt::Key_X, Qt::AltModifier);
        QTRY_VERIFY(!frmMain->isVisible());
    }

    void controlsCarryTheirCaptionsForAssistiveTechnology()
    {
        startWithToday(QDate(2024, 3, 13));
        for (QWidget *w : std::initializer_list<QWidget *>{ui()->btnNewSale, ui()->btnExit, ui()->optMonth, ui()->cboDateF,
                                                            ui()->lblSales, ui()->Label12, ui()->wwDBGrid1})
        {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            QVERIFY(a);
            QVERIFY2(!a->text(QAccessible::Name).isEmpty(), qPrintable(w->objectName()));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(ui()->btnNewSale)->text(QAccessible::Name),
                 QStringLiteral("New Sale & Income"));
        QCOMPARE(QAccessible::queryAccessibleInterface(ui()->optMonth)->text(QAccessible::Name),
                 QStringLiteral("Current Month"));
        QCOMPARE(QAccessible::queryAccessibleInterface(ui()->Pages->tabButton(2))->text(QAccessible::Name),
                 QStringLiteral("Sales & Income"));
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
