#include "BackupCommands.h"
#include "BooksBackup.h"
#include "Clock.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "ReadOnlyPath.h"
#include "Startup.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "frmMainUnit.h"
#include "frmRestoreUnit.h"
#include "ui_frmMainUnit.h"
#include "ui_frmRestoreUnit.h"

#include <QMenuBar>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSqlQuery>
#include <QtTest>

namespace {

// Records every progress window that shows: its title and its labels.
class ProgressWatcher : public QObject
{
public:
    ProgressWatcher() { qApp->installEventFilter(this); }
    ~ProgressWatcher() override { qApp->removeEventFilter(this); }
    QStringList titles;
    QStringList labels;
    int largestValue = -1;
    int maximum = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (auto *d = qobject_cast<QProgressDialog *>(watched)) {
            if (e->type() == QEvent::Show && !titles.contains(d->windowTitle()))
                titles << d->windowTitle();
            if (e->type() == QEvent::Paint || e->type() == QEvent::Show) {
                if (!labels.contains(d->labelText()))
                    labels << d->labelText();
                largestValue = std::max(largestValue, d->value());
                maximum = d->maximum();
            }
        }
        return false;
    }
};

// The sales a fresh connection reads from the books file: after a restore,
// a connection opened before it still reads the file it replaced.
int salesIn(const QString &file)
{
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst_backupcommands"));
        db.setDatabaseName(file);
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT count(*) FROM Sales")) && q.next())
            n = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tst_backupcommands"));
    return n;
}

void press(QWidget *w, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QApplication::setActiveWindow(w);
    QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, key, modifiers);
}

} // namespace

// "Back Up Now" and "Restore..." in the Options menu, and the backups the
// program makes by itself, on the real main window over real books.
class tst_BackupCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    QDateTime m_now;

    Ui::TfrmMain *ui() const { return frmMain->ui; }
    QString books() const { return m_alias->databaseFile(); }
    TBackupCommands *commands() const { return frmMain->findChild<TBackupCommands *>(); }

    void sale(int id, double total)
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total, AccID) VALUES (?, '2026-03-10', ?, 1)"),
                      {id, total});
    }

    // A sale posted through the data module, as the program stores one.
    void postSale(int id, double total)
    {
        DM->SalesTable->Append();
        DM->SalesTableId->setAsInteger(id);
        DM->SalesTableTotal->setAsFloat(total);
        DM->SalesTable->Post();
    }

    void start()
    {
        QVERIFY(Startup::start());
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    // Opens the Options menu with the mouse and clicks one of its items.
    void choose(QAction *item)
    {
        QMenuBar *bar = frmMain->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(ui()->Options1->menuAction()).center());
        QTRY_VERIFY(ui()->Options1->isVisible());
        QTest::mouseClick(ui()->Options1, Qt::LeftButton, {}, ui()->Options1->actionGeometry(item).center());
    }

private Q_SLOTS:
    void init()
    {
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash')"));
        sale(1, 100);
        sale(2, 20.5);
        Clock::setTodaySource([] { return QDate(2026, 3, 13); });
        m_now = QDateTime(QDate(2026, 3, 13), QTime(9, 30));
        Clock::setNowSource([this] { return m_now; });
        FormatSettings() = TFormatSettings();
        TBackupCommands::progressDelayMs = 0;
    }
    void cleanup()
    {
        Startup::finish();
        m_alias.reset();
        Clock::setTodaySource({});
        Clock::setNowSource({});
        TBackupCommands::progressDelayMs = 500;
    }

    // The two items come after the lists and before Exit, which stays where
    // it was with its separator.
    void optionsMenuOrder()
    {
        start();
        QStringList items;
        for (QAction *a : ui()->Options1->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(items, (QStringList{QStringLiteral("Accounts List"), QStringLiteral("Expenses Types List"),
                                     QStringLiteral("-"), QStringLiteral("Back Up Now"), QStringLiteral("Restore..."),
                                     QStringLiteral("-"), QStringLiteral("Exit")}));
    }

    void backUpNow()
    {
        start();
        ProgressWatcher progress;
        ModalAnswer done(QStringLiteral("Return"));
        choose(ui()->BackUpNow1);
        QTRY_COMPARE(done.count(), 1);
        const QList<BooksBackup::TBackupInfo> made = BooksBackup::list(books());
        QCOMPARE(made.size(), 1);
        QCOMPARE(made.first().taken, m_now);
        QCOMPARE(made.first().counts.last().rows, 2);
        QCOMPARE(done.title(), QStringLiteral("Information"));
        QVERIFY2(done.text().startsWith(QStringLiteral("The books are backed up in %1 (Accounts.db 1,")
                                            .arg(QDir::toNativeSeparators(made.first().file))),
                 qPrintable(done.text()));
        QCOMPARE(progress.titles, QStringList{QStringLiteral("Back Up Now")});
        QVERIFY2(progress.labels.contains(QStringLiteral("Copying the books...")), qPrintable(progress.labels.join(u'|')));
        QVERIFY2(progress.labels.contains(QStringLiteral("Checking the copy...")), qPrintable(progress.labels.join(u'|')));
    }

    void backUpNowIntoReadOnlyFolderShowsWhy()
    {
        QVERIFY(QDir().mkpath(BooksBackup::backupsFolder(books())));
        ReadOnlyPath readOnly(BooksBackup::backupsFolder(books()));
        if (!readOnly.possible())
            QSKIP("this file system cannot make a folder read-only");
        start();
        ModalAnswer error(QStringLiteral("Return"));
        choose(ui()->BackUpNow1);
        QTRY_COMPARE(error.count(), 1);
        QCOMPARE(error.title(), QStringLiteral("Ardentry"));
        QVERIFY2(error.text().contains(QStringLiteral("the folder cannot be written")), qPrintable(error.text()));
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("120.5"));
    }

    // The list shows each backup's date and records; the question names the
    // books and what each holds; the restored books are open at once, and
    // what is stored next goes into them.
    void restoreListsAsksAndOpensTheRestoredBooks()
    {
        BooksBackup::TBackupInfo made;
        QVERIFY_DB(made = BooksBackup::backUp(books()));
        sale(3, 1000);
        start();
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("1120.5"));
        m_now = m_now.addSecs(3600);

        QStringList rows;
        ProgressWatcher progress;
        ModalAnswer answers(QList<ModalAnswer::Step>{
            [&rows](QWidget *d) {
                auto *list = d->findChild<QTreeWidget *>(QStringLiteral("lvBackups"));
                QStringList titles;
                for (int c = 0; c < list->columnCount(); ++c)
                    titles << list->headerItem()->text(c);
                rows << titles.join(u'|');
                for (int r = 0; r < list->topLevelItemCount(); ++r) {
                    QStringList cells;
                    for (int c = 0; c < list->columnCount(); ++c)
                        cells << list->topLevelItem(r)->text(c);
                    rows << cells.join(u'|');
                }
                press(d, Qt::Key_Return);
            },
            [](QWidget *box) { press(box, Qt::Key_Return); },
            [](QWidget *box) { press(box, Qt::Key_Return); }});
        choose(ui()->Restore1);
        QTRY_COMPARE(answers.count(), 3);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0), QStringLiteral("Date|Size|Accounts.db|AccTrans.db|Expenses.db|ExpTypes.db|Purchases.DB|Sales.DB"));
        QVERIFY2(rows.at(1).startsWith(QStringLiteral("3/13/26 09:30:00|")), qPrintable(rows.at(1)));
        QVERIFY2(rows.at(1).endsWith(QStringLiteral("|1|0|0|0|0|2")), qPrintable(rows.at(1)));
        QCOMPARE(answers.titles(), (QStringList{QStringLiteral("Restore"), QStringLiteral("Confirm"),
                                                QStringLiteral("Information")}));
        QCOMPARE(answers.texts().at(1),
                 QStringLiteral("Replace the books %1 (Accounts.db 1, AccTrans.db 0, Expenses.db 0, ExpTypes.db 0, "
                                "Purchases.DB 0, Sales.DB 3) with the backup of 3/13/26 09:30:00 (Accounts.db 1, "
                                "AccTrans.db 0, Expenses.db 0, ExpTypes.db 0, Purchases.DB 0, Sales.DB 2)?\n"
                                "The books as they are now are backed up first.")
                     .arg(QDir::toNativeSeparators(books())));
        QVERIFY2(answers.texts().at(2).startsWith(QStringLiteral("The books are restored from the backup of 3/13/26 09:30:00")),
                 qPrintable(answers.texts().at(2)));
        QCOMPARE(progress.titles, QStringList{QStringLiteral("Restore")});
        QVERIFY2(progress.labels.contains(QStringLiteral("Replacing the books...")), qPrintable(progress.labels.join(u'|')));

        QCOMPARE(salesIn(books()), 2);
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("120.5"));
        QCOMPARE(ui()->optMonth->isChecked(), true);
        // The books as they were are a backup of their own.
        const QList<BooksBackup::TBackupInfo> backups = BooksBackup::list(books());
        QCOMPARE(backups.size(), 2);
        QCOMPARE(backups.first().counts.last().rows, 3);

        postSale(4, 5);
        QCOMPARE(salesIn(books()), 3);
    }

    void restoreAnsweredNoChangesNothing()
    {
        QVERIFY_DB(BooksBackup::backUp(books()));
        sale(3, 1000);
        start();
        ModalAnswer answers(QStringList{QStringLiteral("Return"), QStringLiteral("Escape")});
        choose(ui()->Restore1);
        QTRY_COMPARE(answers.count(), 2);
        QCOMPARE(answers.titles().at(1), QStringLiteral("Confirm"));
        QCOMPARE(salesIn(books()), 3);
        QCOMPARE(BooksBackup::list(books()).size(), 1);
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("1120.5"));
    }

    // A backup that is not sound books is refused; the program goes on with
    // its books open as they were.
    void restoreOfDamagedBackupKeepsTheBooks()
    {
        QVERIFY(QDir().mkpath(BooksBackup::backupsFolder(books())));
        QFile bad(QDir(BooksBackup::backupsFolder(books())).filePath(QStringLiteral("books-2026-03-01-120000.db")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray("not the books\n").repeated(300));
        bad.close();
        start();
        QString listed;
        ModalAnswer answers(QList<ModalAnswer::Step>{
            [&listed](QWidget *d) {
                listed = d->findChild<QTreeWidget *>(QStringLiteral("lvBackups"))->topLevelItem(0)->text(2);
                press(d, Qt::Key_Return);
            },
            [](QWidget *box) { press(box, Qt::Key_Return); },
            [](QWidget *box) { press(box, Qt::Key_Return); }});
        choose(ui()->Restore1);
        QTRY_COMPARE(answers.count(), 3);
        QCOMPARE(listed, QStringLiteral("cannot be read"));
        QCOMPARE(answers.titles().at(2), QStringLiteral("Ardentry"));
        QVERIFY2(answers.texts().at(2).contains(QStringLiteral("it is not a sound set of the books")),
                 qPrintable(answers.texts().at(2)));
        QVERIFY2(answers.texts().at(2).endsWith(QStringLiteral("Nothing was replaced.")), qPrintable(answers.texts().at(2)));
        QCOMPARE(salesIn(books()), 2);
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("120.5"));
        postSale(3, 1);
        QCOMPARE(salesIn(books()), 3);
    }

    void restoreWithoutBackups()
    {
        start();
        ModalAnswer box(QStringLiteral("Return"));
        choose(ui()->Restore1);
        QTRY_COMPARE(box.count(), 1);
        QCOMPARE(box.title(), QStringLiteral("Information"));
        QCOMPARE(box.text(), QStringLiteral("There are no backups of the books yet."));
    }

    // The program backs up by itself only after a change of its own: when it
    // ends, and when the newest backup is a day old.
    void automaticBackups()
    {
        start();
        TBackupCommands *c = commands();
        c->backUpAtExit();
        c->backUpIfDue();
        QCOMPARE(BooksBackup::list(books()).size(), 0);

        postSale(3, 7);
        c->backUpIfDue();  // there is no backup yet
        QCOMPARE(BooksBackup::list(books()).size(), 1);
        postSale(4, 7);
        m_now = m_now.addSecs(23 * 3600);
        c->backUpIfDue();  // the newest is less than a day old
        QCOMPARE(BooksBackup::list(books()).size(), 1);
        m_now = m_now.addSecs(3600);
        c->backUpIfDue();
        QCOMPARE(BooksBackup::list(books()).size(), 2);
        m_now = m_now.addSecs(2 * 24 * 3600);
        c->backUpIfDue();  // nothing changed since
        QCOMPARE(BooksBackup::list(books()).size(), 2);

        postSale(5, 7);
        m_now = m_now.addSecs(60);
        c->backUpAtExit();
        const QList<BooksBackup::TBackupInfo> made = BooksBackup::list(books());
        QCOMPARE(made.size(), 3);
        QCOMPARE(made.first().counts.last().rows, 5);
        c->backUpAtExit();
        QCOMPARE(BooksBackup::list(books()).size(), 3);
    }

    // The program's own end: a change, then Exit, and the books are backed
    // up before the program returns.
    void exitAfterAChangeBacksUp()
    {
        QTimer::singleShot(0, [this] {
            postSale(3, 7);
            frmMain->ui->Exit1->trigger();
        });
        QCOMPARE(Startup::run(*qApp), 0);
        const QList<BooksBackup::TBackupInfo> made = BooksBackup::list(books());
        QCOMPARE(made.size(), 1);
        QCOMPARE(made.first().counts.last().rows, 3);
    }
};

QTEST_MAIN(tst_BackupCommands)
#include "tst_backupcommands.moc"
