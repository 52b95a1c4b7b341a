// The built program, end to end, as a keyboard user drives it: the real
// executable on a real X server (a private Xvfb), fresh books made by the
// administration tool, keys sent with xdotool, and the stored rows read back
// through a connection of the test's own.

#include "EngineConfig.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Every wait is bounded: a program that stops answering fails the test
// instead of holding up CI until CTest's own timeout.
constexpr int StartMs = 20000;
constexpr int WindowMs = 15000;
constexpr int ToolMs = 10000;
constexpr int ExitMs = 15000;

// Captions are compared whole, as the window system's title bar shows them
// (_NET_WM_NAME): nothing may be added to them.
const QString MainCaption = QStringLiteral("Ardentry");
const QString SalesCaption = QStringLiteral("Sales And Income");
const QString AccountsCaption = QStringLiteral("Accounts List");
const QString TransferCaption = QStringLiteral("Double Account Transaction");
const QString AboutCaption = QStringLiteral("About");
const QString StartUpErrorCaption = QStringLiteral("Application Error");

// xdotool's pattern (a POSIX extended expression) for exactly this caption.
QString wholeCaption(const QString &caption)
{
    QString pattern = QStringLiteral("^");
    for (QChar c : caption) {
        if (QStringLiteral(".[]{}()*+?^$|\\").contains(c))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return pattern + QLatin1Char('$');
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void saleNewAccountAndTransferThroughTheKeyboard();
    void boxesKeepTheirOwnCaptions();

private:
    QProcessEnvironment childEnvironment() const;
    bool createBooks();
    // Starts the program; startProgram also waits for its main window and
    // gives it the keyboard.
    bool launchProgram();
    bool startProgram();

    // xdotool against the private display; false (with m_error set) when it
    // fails or outlasts its bound.
    bool xdotool(const QStringList &args, QByteArray *out = nullptr, int timeoutMs = ToolMs);
    bool keys(const QStringList &keyNames);
    bool type(const QString &text);
    // A mapped window with this caption: X's old WM_NAME finds it, and the
    // title a desktop shows (_NET_WM_NAME) must then be the caption whole.
    bool waitForWindow(const QString &caption, QString *id = nullptr);
    bool waitWindowGone(const QString &caption);
    bool shownTitle(const QString &id, QString *title);
    // There is no window manager on the private display: when a dialog
    // closes, nobody gives the keyboard back to the main window. A person's
    // desktop does that; the test does it the same way, through X.
    bool focusMainWindow();

    QString failure(const QString &step);
    void saveScreenshot();

    QVariant scalar(const QString &sql, const QVariantList &params = {});

    QProcess m_xvfb;
    QString m_display;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_program;
    QByteArray m_programOutput;
    QString m_mainWindow;
    QString m_error;
    QString m_connection;
};

// ---- the X server ----------------------------------------------------------------

void TestEndToEnd::initTestCase()
{
    for (const char *tool : {"Xvfb", "xdotool", "xprop"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is not installed: run scripts/install-deps").arg(QString::fromLatin1(tool))));
    QVERIFY2(QFile::exists(QStringLiteral(ARDENTRY_EXE)), ARDENTRY_EXE);
    QVERIFY2(QFile::exists(QStringLiteral(ARDENTRY_DB_EXE)), ARDENTRY_DB_EXE);

    // -displayfd makes the server choose a free display number itself and
    // write it out once it accepts connections: no guessing, no race with
    // other servers on the machine.
    m_xvfb.setProgram(QStringLiteral("Xvfb"));
    m_xvfb.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
    m_xvfb.setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb.start();
    QVERIFY2(m_xvfb.waitForStarted(StartMs), qPrintable(m_xvfb.errorString()));
    QDeadlineTimer deadline(StartMs);
    QByteArray number;
    while (!number.contains('\n') && !deadline.hasExpired() && m_xvfb.state() == QProcess::Running) {
        m_xvfb.waitForReadyRead(200);
        number += m_xvfb.readAllStandardOutput();
    }
    QVERIFY2(number.contains('\n'),
             qPrintable(QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(m_xvfb.readAllStandardError())));
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
}

void TestEndToEnd::cleanupTestCase()
{
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000)) {
            m_xvfb.kill();
            m_xvfb.waitForFinished(5000);
        }
    }
}

// ---- fresh books -----------------------------------------------------------------------

void TestEndToEnd::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_error.clear();
    m_mainWindow.clear();
}

void TestEndToEnd::cleanup()
{
    if (QTest::currentTestFailed())
        saveScreenshot();
    // A program still running here is stuck or was left behind by a failed
    // step: it has nothing more to say.
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished(5000);
    }
    if (!m_connection.isEmpty()) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
        m_connection.clear();
    }
    m_dir.reset();
}

QProcessEnvironment TestEndToEnd::childEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The test itself runs offscreen; the program must use xcb on the
    // private display, as it would on a desktop.
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("ARDENTRY_ENGINE_CONFIG"), m_dir->filePath(QStringLiteral("engine.ini")));
    // The amounts typed below use a decimal point; the program reads numbers
    // in the regional settings, so the settings are fixed.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    const QString runtime = m_dir->filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("HOME"), m_dir->path());
    return env;
}

// The books come from the administration tool, as on a user's machine, and
// get two accounts so that the lookup boxes have something to offer.
bool TestEndToEnd::createBooks()
{
    const QString folder = m_dir->filePath(QStringLiteral("books"));
    QProcess tool;
    tool.setProcessEnvironment(childEnvironment());
    tool.start(QStringLiteral(ARDENTRY_DB_EXE), {QStringLiteral("create"), folder});
    if (!tool.waitForFinished(ToolMs) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        m_error = QStringLiteral("ardentry-db create failed: ") + QString::fromLocal8Bit(tool.readAllStandardError());
        return false;
    }
    m_connection = QStringLiteral("e2e:") + m_dir->path();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(EngineConfig::databaseFile(folder));
    if (!db.open()) {
        m_error = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Bank'), ('Cash')"))) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
}

QVariant TestEndToEnd::scalar(const QString &sql, const QVariantList &params)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.prepare(sql))
        return QStringLiteral("<%1>").arg(q.lastError().text());
    for (qsizetype i = 0; i < params.size(); ++i)
        q.bindValue(int(i), params.at(i));
    if (!q.exec())
        return QStringLiteral("<%1>").arg(q.lastError().text());
    return q.next() ? q.value(0) : QVariant();
}

// ---- the program and its windows --------------------------------------------------------------

bool TestEndToEnd::launchProgram()
{
    m_program.setProcessEnvironment(childEnvironment());
    m_program.setProcessChannelMode(QProcess::MergedChannels);
    m_program.start(QStringLiteral(ARDENTRY_EXE), QStringList());
    if (!m_program.waitForStarted(StartMs)) {
        m_error = m_program.errorString();
        return false;
    }
    return true;
}

bool TestEndToEnd::startProgram()
{
    if (!launchProgram())
        return false;
    if (!waitForWindow(MainCaption, &m_mainWindow))
        return false;
    return focusMainWindow();
}

bool TestEndToEnd::xdotool(const QStringList &args, QByteArray *out, int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(childEnvironment());
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        m_error = QStringLiteral("xdotool %1 did not finish").arg(args.join(QLatin1Char(' ')));
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("xdotool %1 failed: %2")
                      .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    return true;
}

bool TestEndToEnd::keys(const QStringList &keyNames)
{
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30")} + keyNames);
}

bool TestEndToEnd::type(const QString &text)
{
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

// Waits, within WindowMs, for a mapped window whose caption matches; the
// program's hidden helper windows share the main caption, hence
// --onlyvisible.
bool TestEndToEnd::waitForWindow(const QString &caption, QString *id)
{
    QByteArray out;
    if (!xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                  QStringLiteral("--name"), wholeCaption(caption)},
                 &out, WindowMs)) {
        m_error = QStringLiteral("no window \"%1\" appeared (%2)").arg(caption, m_error);
        return false;
    }
    const QString found = QString::fromLatin1(out.split('\n').value(0).trimmed());
    QString title;
    if (!shownTitle(found, &title))
        return false;
    if (title != caption) {
        m_error = QStringLiteral("the window \"%1\" shows the title \"%2\"").arg(caption, title);
        return false;
    }
    if (id)
        *id = found;
    return true;
}

// The title as a desktop shows it: the window's _NET_WM_NAME, read by xprop
// (which writes it as _NET_WM_NAME(UTF8_STRING) = "text").
bool TestEndToEnd::shownTitle(const QString &id, QString *title)
{
    QProcess p;
    p.setProcessEnvironment(childEnvironment());
    p.start(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_NAME")});
    if (!p.waitForFinished(ToolMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        p.waitForFinished(5000);
        m_error = QStringLiteral("xprop could not read the title of window %1").arg(id);
        return false;
    }
    const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    const qsizetype open = out.indexOf(QLatin1Char('"'));
    if (open < 0 || !out.endsWith(QLatin1Char('"')) || out.size() - open < 2) {
        m_error = QStringLiteral("window %1 has no title a desktop would show: %2").arg(id, out);
        return false;
    }
    *title = out.mid(open + 1, out.size() - open - 2);
    return true;
}

bool TestEndToEnd::waitWindowGone(const QString &caption)
{
    QDeadlineTimer deadline(WindowMs);
    while (!deadline.hasExpired()) {
        QProcess p;
        p.setProcessEnvironment(childEnvironment());
        p.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), wholeCaption(caption)});
        if (!p.waitForFinished(ToolMs)) {
            p.kill();
            p.waitForFinished(5000);
        } else if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 1) {
            return true;  // xdotool's "nothing found"
        }
        QTest::qWait(100);
    }
    m_error = QStringLiteral("the window \"%1\" did not close").arg(caption);
    return false;
}

bool TestEndToEnd::focusMainWindow()
{
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_mainWindow});
}

QString TestEndToEnd::failure(const QString &step)
{
    QString text = step + QStringLiteral(": ") + m_error;
    if (m_program.state() == QProcess::NotRunning)
        text += QStringLiteral(" (the program has ended with code %1)").arg(m_program.exitCode());
    // QVERIFY2 builds its message even when the step passes: keep what was read.
    m_programOutput += m_program.readAll();
    if (!m_programOutput.isEmpty())
        text += QStringLiteral("\nprogram output:\n") + QString::fromLocal8Bit(m_programOutput.right(6000));
    return text;
}

// Cheap evidence of what the screen showed: an xwd dump beside the test
// (when x11-apps is there), viewable with any image tool that reads xwd.
void TestEndToEnd::saveScreenshot()
{
    if (m_display.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xwd")).isEmpty())
        return;
    const QString file = QDir::current().absoluteFilePath(QStringLiteral("tst_endtoend-failure.xwd"));
    QProcess p;
    p.setProcessEnvironment(childEnvironment());
    p.start(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-out"), file});
    if (p.waitForFinished(ToolMs) && p.exitCode() == 0)
        qWarning("screen at the failure: %s", qPrintable(file));
}

// ---- the session -------------------------------------------------------------------------------

void TestEndToEnd::saleNewAccountAndTransferThroughTheKeyboard()
{
    const QDate firstDay = QDate::currentDate();
    QVERIFY2(createBooks(), qPrintable(m_error));
    const int bank = scalar(QStringLiteral("SELECT AccID FROM Accounts WHERE AccName = 'Bank'")).toInt();
    const int cash = scalar(QStringLiteral("SELECT AccID FROM Accounts WHERE AccName = 'Cash'")).toInt();
    QVERIFY(bank > 0 && cash > 0);
    QVERIFY2(startProgram(), qPrintable(failure(QStringLiteral("start"))));

    // A sale: the side bar's access key; the dialog opens on the proposed
    // invoice number, Tab walks Date, Customer, Sales Man, Total, Account.
    // Alt+Down drops the account list, typing finds "Cash", Enter takes the
    // highlighted row, and the next Enter is the dialog's OK.
    QVERIFY2(keys({QStringLiteral("alt+s")}), qPrintable(failure(QStringLiteral("Alt+S"))));
    QVERIFY2(waitForWindow(SalesCaption), qPrintable(failure(QStringLiteral("sale dialog"))));
    QVERIFY2(keys({QStringLiteral("Tab"), QStringLiteral("Tab")}), qPrintable(failure(QStringLiteral("sale"))));
    QVERIFY2(type(QStringLiteral("Acme Ltd")), qPrintable(failure(QStringLiteral("customer"))));
    QVERIFY2(keys({QStringLiteral("Tab"), QStringLiteral("Tab")}), qPrintable(failure(QStringLiteral("sale"))));
    QVERIFY2(type(QStringLiteral("125.50")), qPrintable(failure(QStringLiteral("total"))));
    QVERIFY2(keys({QStringLiteral("Tab"), QStringLiteral("alt+Down")}), qPrintable(failure(QStringLiteral("account list"))));
    QVERIFY2(type(QStringLiteral("Ca")), qPrintable(failure(QStringLiteral("account search"))));
    QVERIFY2(keys({QStringLiteral("Return")}), qPrintable(failure(QStringLiteral("account choice"))));
    QVERIFY2(keys({QStringLiteral("Return")}), qPrintable(failure(QStringLiteral("sale OK"))));
    QVERIFY2(waitWindowGone(SalesCaption), qPrintable(failure(QStringLiteral("sale dialog"))));

    // Options > Accounts List: Alt alone selects the menu bar, Down opens
    // "Options" on its first item, Enter runs it. Insert starts a new row
    // in the grid, typing fills its only column, Enter stores the row (and,
    // past the last row, starts another, empty one, which Up drops again).
    // The window's OK cannot be reached from the grid, which keeps Tab and
    // Enter; Esc closes the window with OK's rule (store what is pending).
    QVERIFY2(focusMainWindow(), qPrintable(failure(QStringLiteral("focus"))));
    QVERIFY2(keys({QStringLiteral("alt")}), qPrintable(failure(QStringLiteral("menu bar"))));
    QVERIFY2(keys({QStringLiteral("Down")}), qPrintable(failure(QStringLiteral("Options menu"))));
    QVERIFY2(keys({QStringLiteral("Return")}), qPrintable(failure(QStringLiteral("Accounts List item"))));
    QVERIFY2(waitForWindow(AccountsCaption), qPrintable(failure(QStringLiteral("accounts window"))));
    QVERIFY2(keys({QStringLiteral("Insert")}), qPrintable(failure(QStringLiteral("new account row"))));
    QVERIFY2(type(QStringLiteral("Savings")), qPrintable(failure(QStringLiteral("account name"))));
    QVERIFY2(keys({QStringLiteral("Return"), QStringLiteral("Up"), QStringLiteral("Escape")}),
             qPrintable(failure(QStringLiteral("close accounts window"))));
    QVERIFY2(waitWindowGone(AccountsCaption), qPrintable(failure(QStringLiteral("accounts window"))));

    // A transfer: the page tabs have no access keys and make one stop in the
    // Tab order, reached backwards from the side bar's first button. The
    // arrows move among the tabs (Left as far as it goes lands on Summary
    // whichever tab held the stop), Space opens Accounts; four Shift+Tabs
    // pass the page's grid, Delete and Edit to "New Double Transaction".
    QVERIFY2(focusMainWindow(), qPrintable(failure(QStringLiteral("focus"))));
    QVERIFY2(keys({QStringLiteral("shift+Tab"), QStringLiteral("Left"), QStringLiteral("Left"), QStringLiteral("Left"),
                   QStringLiteral("Left"), QStringLiteral("Right"), QStringLiteral("space")}),
             qPrintable(failure(QStringLiteral("Accounts tab"))));
    QVERIFY2(keys({QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"),
                   QStringLiteral("shift+Tab"), QStringLiteral("space")}),
             qPrintable(failure(QStringLiteral("New Double Transaction"))));
    QVERIFY2(waitForWindow(TransferCaption), qPrintable(failure(QStringLiteral("transfer dialog"))));
    // The date is proposed; a closed lookup box takes the account typed at
    // once ("Ba" is Bank, "Sav" the account made above). Enter with the
    // focus on a text box is OK.
    QVERIFY2(keys({QStringLiteral("Tab")}), qPrintable(failure(QStringLiteral("from account"))));
    QVERIFY2(type(QStringLiteral("Ba")), qPrintable(failure(QStringLiteral("from account"))));
    QVERIFY2(keys({QStringLiteral("Tab")}), qPrintable(failure(QStringLiteral("to account"))));
    QVERIFY2(type(QStringLiteral("Sav")), qPrintable(failure(QStringLiteral("to account"))));
    QVERIFY2(keys({QStringLiteral("Tab")}), qPrintable(failure(QStringLiteral("transaction"))));
    QVERIFY2(type(QStringLiteral("Deposit")), qPrintable(failure(QStringLiteral("transaction"))));
    QVERIFY2(keys({QStringLiteral("Tab")}), qPrintable(failure(QStringLiteral("amount"))));
    QVERIFY2(type(QStringLiteral("40.25")), qPrintable(failure(QStringLiteral("amount"))));
    QVERIFY2(keys({QStringLiteral("Return")}), qPrintable(failure(QStringLiteral("transfer OK"))));
    QVERIFY2(waitWindowGone(TransferCaption), qPrintable(failure(QStringLiteral("transfer dialog"))));

    // Exit by the side bar's access key.
    QVERIFY2(focusMainWindow(), qPrintable(failure(QStringLiteral("focus"))));
    QVERIFY2(keys({QStringLiteral("alt+x")}), qPrintable(failure(QStringLiteral("Alt+X"))));
    QVERIFY2(m_program.waitForFinished(ExitMs), qPrintable(failure(QStringLiteral("exit"))));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    // What the program printed says why it did not end cleanly.
    QVERIFY2(m_program.exitCode() == 0, qPrintable(failure(QStringLiteral("exit code"))));
    const QDate lastDay = QDate::currentDate();

    // What the books hold, read beside the engine.
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM Sales")).toInt(), 1);
    QCOMPARE(scalar(QStringLiteral("SELECT Id FROM Sales")).toInt(), 1);
    QCOMPARE(scalar(QStringLiteral("SELECT Customer FROM Sales")).toString(), QStringLiteral("Acme Ltd"));
    QCOMPARE(scalar(QStringLiteral("SELECT Total FROM Sales")).toDouble(), 125.5);
    QCOMPARE(scalar(QStringLiteral("SELECT AccID FROM Sales")).toInt(), cash);
    const QDate saleDate = QDate::fromString(scalar(QStringLiteral("SELECT DocDate FROM Sales")).toString(), Qt::ISODate);
    QVERIFY2(saleDate >= firstDay && saleDate <= lastDay, qPrintable(saleDate.toString(Qt::ISODate)));

    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM Accounts")).toInt(), 3);
    const int savings = scalar(QStringLiteral("SELECT AccID FROM Accounts WHERE AccName = 'Savings'")).toInt();
    QVERIFY(savings > 0 && savings != bank && savings != cash);

    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM AccTrans")).toInt(), 2);
    const QString leg = QStringLiteral("SELECT %1 FROM AccTrans WHERE AccID = ?");
    QCOMPARE(scalar(leg.arg(QStringLiteral("COUNT(*)")), {bank}).toInt(), 1);
    QCOMPARE(scalar(leg.arg(QStringLiteral("Decrease")), {bank}).toDouble(), 40.25);
    QCOMPARE(scalar(leg.arg(QStringLiteral("Increase")), {bank}).toDouble(), 0.0);
    QCOMPARE(scalar(leg.arg(QStringLiteral("\"Transaction\"")), {bank}).toString(), QStringLiteral("Deposit"));
    QCOMPARE(scalar(leg.arg(QStringLiteral("COUNT(*)")), {savings}).toInt(), 1);
    QCOMPARE(scalar(leg.arg(QStringLiteral("Increase")), {savings}).toDouble(), 40.25);
    QCOMPARE(scalar(leg.arg(QStringLiteral("Decrease")), {savings}).toDouble(), 0.0);
    QCOMPARE(scalar(leg.arg(QStringLiteral("\"Transaction\"")), {savings}).toString(), QStringLiteral("Deposit"));
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(DISTINCT DocDate) FROM AccTrans")).toInt(), 1);
}

// The boxes of the start-up and of the Help menu carry their captions as
// they are, with nothing added: an error before the program runs (no books
// at the alias) and the About box.
void TestEndToEnd::boxesKeepTheirOwnCaptions()
{
    QVERIFY2(launchProgram(), qPrintable(failure(QStringLiteral("start without books"))));
    QString box;
    QVERIFY2(waitForWindow(StartUpErrorCaption, &box), qPrintable(failure(QStringLiteral("start-up error box"))));
    QVERIFY2(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box}),
             qPrintable(failure(QStringLiteral("focus the box"))));
    QVERIFY2(keys({QStringLiteral("Return")}), qPrintable(failure(QStringLiteral("answer the box"))));
    QVERIFY2(m_program.waitForFinished(ExitMs), qPrintable(failure(QStringLiteral("exit after the error"))));
    QCOMPARE(m_program.exitCode(), 1);

    QVERIFY2(createBooks(), qPrintable(m_error));
    QVERIFY2(startProgram(), qPrintable(failure(QStringLiteral("start"))));
    // Help > About: Alt selects the menu bar, Right moves to "Help", Down
    // opens it on its first item, Up comes round to the last, "About".
    QVERIFY2(keys({QStringLiteral("alt"), QStringLiteral("Right"), QStringLiteral("Down"), QStringLiteral("Up"),
                   QStringLiteral("Return")}),
             qPrintable(failure(QStringLiteral("Help > About"))));
    QVERIFY2(waitForWindow(AboutCaption), qPrintable(failure(QStringLiteral("About box"))));
    QVERIFY2(keys({QStringLiteral("Return")}), qPrintable(failure(QStringLiteral("close About"))));
    QVERIFY2(waitWindowGone(AboutCaption), qPrintable(failure(QStringLiteral("About box"))));
    QVERIFY2(focusMainWindow(), qPrintable(failure(QStringLiteral("focus"))));
    QVERIFY2(keys({QStringLiteral("alt+x")}), qPrintable(failure(QStringLiteral("Alt+X"))));
    QVERIFY2(m_program.waitForFinished(ExitMs), qPrintable(failure(QStringLiteral("exit"))));
    QCOMPARE(m_program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
