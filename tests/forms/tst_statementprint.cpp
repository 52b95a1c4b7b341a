#include "DMUnit.h"
#include "FieldText.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "TestAlias.h"
#include "frmAccStatementUnit.h"
#include "rptExpensesStatementUnit.h"
#include "ui_frmAccStatementUnit.h"
#include "ui_rptExpensesStatementUnit.h"

#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

namespace {

// A word pdftotext found, with the right edge of its box.
struct Word
{
    QString text;
    double right = 0;
};

// The text of each page of a PDF file, and each page's words in reading
// order (Debian's poppler-utils).
struct PdfText
{
    QStringList pages;
    QList<QList<Word>> words;
};

PdfText readPdf(const QString &file)
{
    PdfText pdf;
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!text.waitForFinished(60000) || text.exitCode() != 0)
        return pdf;
    pdf.pages = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pdf.pages.isEmpty() && pdf.pages.constLast().trimmed().isEmpty())
        pdf.pages.removeLast();

    QProcess boxes;
    boxes.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    if (!boxes.waitForFinished(60000) || boxes.exitCode() != 0)
        return pdf;
    const QString html = QString::fromUtf8(boxes.readAllStandardOutput());
    static const QRegularExpression page(QStringLiteral("<page [^>]*>(.*?)</page>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression word(QStringLiteral("<word xMin=\"[^\"]*\" yMin=\"[^\"]*\" xMax=\"([^\"]*)\"[^>]*>([^<]*)</word>"));
    for (auto p = page.globalMatch(html); p.hasNext();) {
        QList<Word> words;
        const QString body = p.next().captured(1);
        for (auto w = word.globalMatch(body); w.hasNext();) {
            const auto m = w.next();
            words << Word{m.captured(2), m.captured(1).toDouble()};
        }
        pdf.words << words;
    }
    return pdf;
}

} // namespace

// The account history and the expense statement on paper, printed to PDF
// and read back with pdftotext: what each page carries, that no record is
// split between pages, that numbers line up on the right and that the last
// page ends with the totals; and the "Print..." button's preview.
class tst_StatementPrint : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    QTemporaryDir m_dir;

    static QString day(const QDate &d) { return FieldText::formatDate(d, FormatSettings()); }

private Q_SLOTS:
    void init()
    {
        FormatSettings() = TFormatSettings();
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent')"));
        try {
            DM = new TDM();
        } catch (const EDatabaseError &e) {
            QFAIL(qPrintable(e.message()));
        }
    }
    void cleanup()
    {
        delete DM;
        DM = nullptr;
        m_alias.reset();
    }

    // `records` account transactions, one a day from 1 January 2024, every
    // fifth with a remark long enough to take several lines; the record
    // numbers are in the Transaction column ("r1", "r2", ...) and each
    // remark ends with its record's number, so a record split between two
    // pages shows.
    void historyPrints_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("pages");
        QTest::newRow("one page") << 3 << 1;
        QTest::newRow("several pages") << 160 << 0;  // 0: more than one
    }
    void historyPrints()
    {
        QFETCH(int, records);
        QFETCH(int, pages);
        const QString insert = QStringLiteral("INSERT INTO AccTrans (DocDate, \"Transaction\", Increase, Decrease, Remarks, "
                                              "AccID) VALUES (?, ?, ?, ?, ?, 1)");
        const QDate start(2024, 1, 1);
        double increases = 0, decreases = 0;
        QSqlDatabase db = m_alias->fixture();
        QVERIFY(db.transaction());
        for (int i = 1; i <= records; ++i) {
            const double increase = i % 2 ? i * 1.25 : 0.0;
            const double decrease = i % 2 ? 0.0 : 1E-5 * i;
            increases += increase;
            decreases += decrease;
            const QString remark = i % 5 ? QStringLiteral("short end%1").arg(i)
                                         : QStringLiteral("a remark that is long enough to wrap over several lines of "
                                                          "its column on paper and still ends with end%1")
                                               .arg(i);
            m_alias->exec(insert, {start.addDays(i - 1).toString(Qt::ISODate), QStringLiteral("r%1").arg(i), increase,
                                   decrease, remark});
        }
        QVERIFY(db.commit());

        TfrmAccStatement window;
        window.setSubject(QStringLiteral("Cash"));
        QVERIFY_DB(window.OpenStatement(
            QStringLiteral("select * From AccTrans Where AccID = 1 Order By DocDate")));
        const QString file = m_dir.filePath(QStringLiteral("history.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageSize(QPageSize(QPageSize::A4));
        QVERIFY_DB(window.printTo(&printer));

        const PdfText pdf = readPdf(file);
        QVERIFY2(!pdf.pages.isEmpty(), "pdftotext read nothing");
        if (pages)
            QCOMPARE(pdf.pages.size(), pages);
        else
            QVERIFY(pdf.pages.size() > 1);

        const QString period = QStringLiteral("All dates: %1 to %2").arg(day(start), day(start.addDays(records - 1)));
        int next = 1;  // the record expected next, in order
        for (int p = 0; p < pdf.pages.size(); ++p) {
            const QString &page = pdf.pages.at(p);
            QVERIFY2(page.contains(QStringLiteral("Account Transactions History: Cash")), qPrintable(page));
            QVERIFY(page.contains(period));
            QVERIFY(page.contains(QRegularExpression(QStringLiteral("DocDate +Transaction +Increase +Decrease +Remarks"))));
            QVERIFY(page.contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pdf.pages.size())));
            // Every record on this page whole: its number and its remark's
            // last word, in date order.
            static const QRegularExpression number(QStringLiteral("\\br(\\d+)\\b"));
            for (auto m = number.globalMatch(page); m.hasNext();) {
                const int r = m.next().captured(1).toInt();
                QCOMPARE(r, next);
                QVERIFY2(page.contains(QStringLiteral("end%1").arg(r)), qPrintable(QStringLiteral("record %1 split").arg(r)));
                ++next;
            }
        }
        QCOMPARE(next, records + 1);

        // The totals close the last page, and every number of a column ends
        // at the same right edge as that column's total.
        const QString total = FieldText::formatGeneral(increases, FormatSettings());
        QVERIFY(pdf.pages.constLast().contains(QRegularExpression(
            QStringLiteral("Total +%1 +%2").arg(QRegularExpression::escape(total),
                                                 QRegularExpression::escape(FieldText::formatGeneral(decreases, FormatSettings()))))));
        const QList<Word> &last = pdf.words.constLast();
        const auto totalWord = std::find_if(last.begin(), last.end(), [&](const Word &w) { return w.text == total; });
        QVERIFY(totalWord != last.end());
        const QString firstIncrease = FieldText::formatGeneral(1.25, FormatSettings());
        const auto first = std::find_if(pdf.words.constFirst().begin(), pdf.words.constFirst().end(),
                                        [&](const Word &w) { return w.text == firstIncrease; });
        QVERIFY(first != pdf.words.constFirst().end());
        QVERIFY2(qAbs(first->right - totalWord->right) < 1.0,
                 qPrintable(QStringLiteral("%1 ends at %2, the total at %3").arg(first->text).arg(first->right).arg(totalWord->right)));
    }

    // The expense statement prints its type and its amounts, extreme ones
    // written as the grid writes them.
    void expenseStatementPrints()
    {
        const QString insert =
            QStringLiteral("INSERT INTO Expenses (DocDate, Amount, Remarks, AccID, ExpType) VALUES (?, ?, ?, 1, 1)");
        m_alias->exec(insert, {QStringLiteral("2024-02-10"), 1E-5, QStringLiteral("\u00c9cole, \"caf\u00e9\"")});
        m_alias->exec(insert, {QStringLiteral("2024-02-11"), 123456789012.5, QStringLiteral("big")});
        TrptExpensesStatement window;
        window.setSubject(QStringLiteral("Rent"));
        QVERIFY_DB(window.OpenStatement(QStringLiteral("select * From Expenses Where ExpType = 1 Order By DocDate")));
        const QString file = m_dir.filePath(QStringLiteral("rent.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        QVERIFY_DB(window.printTo(&printer));
        const PdfText pdf = readPdf(file);
        QCOMPARE(pdf.pages.size(), 1);
        const QString &page = pdf.pages.constFirst();
        QVERIFY2(page.contains(QStringLiteral("Expense Statements: Rent")), qPrintable(page));
        QVERIFY(page.contains(QRegularExpression(QStringLiteral("DocDate +Amount +Remarks"))));
        QVERIFY(page.contains(QStringLiteral("1E-5")));
        QVERIFY(page.contains(QStringLiteral("\u00c9cole, \"caf\u00e9\"")));
        QVERIFY(page.contains(QRegularExpression(QStringLiteral("Total +123456789012.5\\b"))));
        QVERIFY(page.contains(QStringLiteral("Page 1 of 1")));
    }

    // "Print..." sits beside Close, which stays the window's cancel button;
    // Ctrl+P opens the preview with the statement's pages in it.
    void printButtonOpensThePreview()
    {
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, \"Transaction\", Increase, AccID) VALUES "
                                     "('2024-01-02', 'Opening', 10, 1)"));
        TfrmAccStatement window;
        QVERIFY_DB(window.OpenStatement(QStringLiteral("select * From AccTrans Where AccID = 1 Order By DocDate")));
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QPushButton *print = window.ui->btnPrint;
        QCOMPARE(print->text(), QStringLiteral("Print..."));
        QCOMPARE(print->accessibleName(), QStringLiteral("Print..."));
        QVERIFY(print->geometry().right() < window.ui->BitBtn1->geometry().left());
        QVERIFY(!print->isDefault());

        int previewPages = -1;
        ModalAnswer answer(QList<ModalAnswer::Step>{[&](QWidget *preview) {
            auto *widget = preview->findChild<QPrintPreviewWidget *>();
            QVERIFY(widget);
            QTRY_VERIFY(widget->pageCount() > 0);
            previewPages = widget->pageCount();
            QApplication::setActiveWindow(preview);
            QTest::keyClick(preview, Qt::Key_Escape);
        }});
        QTest::keyClick(window.ui->wwDBGrid2, Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE(answer.count(), 1);
        QCOMPARE(answer.title(), QStringLiteral("Print Preview"));
        QCOMPARE(previewPages, 1);
        QVERIFY(window.isVisible());
        QTest::keyClick(window.ui->wwDBGrid2, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(tst_StatementPrint)
#include "tst_statementprint.moc"
