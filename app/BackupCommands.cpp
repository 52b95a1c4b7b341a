#include "BackupCommands.h"

#include "BooksCheck.h"
#include "Clock.h"
#include "DMUnit.h"
#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TQuery.h"
#include "TTable.h"
#include "frmMainUnit.h"
#include "frmRestoreUnit.h"
#include "ui_frmMainUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>
#include <QRadioButton>
#include <limits>

int TBackupCommands::progressDelayMs = 500;

namespace {

constexpr qint64 SecondsPerDay = 24 * 60 * 60;

// The progress of one operation, in a modal window over `parent` that
// shows once the operation has run for TBackupCommands::progressDelayMs.
// The operation runs on this thread: each report of progress lets the
// window paint (and keeps the program answering the desktop), while its
// modality keeps every other command waiting.
class TProgressWindow
{
    Q_DISABLE_COPY(TProgressWindow)

public:
    TProgressWindow(const QString &title, QWidget *parent) : m_dialog(parent)
    {
        m_dialog.setWindowTitle(title);
        m_dialog.setFont(FormSupport::font(FormSupport::Verdana, 11));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setCancelButton(nullptr);
        m_dialog.setAutoReset(false);
        m_dialog.setAutoClose(false);
        // Shown here, not by the dialog's own guess of the time left, which
        // starts again whenever a stage starts from nothing.
        m_dialog.setMinimumDuration(std::numeric_limits<int>::max());
        m_dialog.setRange(0, Steps);
        m_elapsed.start();
    }

    BooksBackup::TProgress callback()
    {
        return [this](const QString &stage, qint64 done, qint64 total) { report(stage, done, total); };
    }

private:
    static constexpr int Steps = 1000;

    void report(const QString &stage, qint64 done, qint64 total)
    {
        if (stage != m_stage) {
            m_stage = stage;
            m_dialog.setLabelText(stage + QStringLiteral("..."));
        }
        m_dialog.setValue(total > 0 ? int(std::clamp<qint64>(done * Steps / total, 0, Steps)) : 0);
        if (!m_dialog.isVisible() && m_elapsed.elapsed() >= TBackupCommands::progressDelayMs)
            m_dialog.show();
        if (m_dialog.isVisible())
            QCoreApplication::processEvents();
    }

    QProgressDialog m_dialog;
    QElapsedTimer m_elapsed;
    QString m_stage;
};

// The data module's datasets in the order it closes them; it opens them in
// the opposite order, the scratch query aside.
QList<TDataSet *> closingOrder()
{
    return {DM->ExpTotalsQuery, DM->AccBalancesQuery, DM->SalesTable,    DM->PurchasesTable, DM->ExpensesTable,
            DM->AccTransTable,  DM->ExpTypesTable,    DM->AccountsTable, DM->ds1};
}

} // namespace

TBackupCommands::TBackupCommands(TfrmMain *main) : QObject(main), m_main(main)
{
    connect(main->ui->BackUpNow1, &QAction::triggered, this,
            [this] { MessageDlg::Guard(m_main, [this] { BackUpNow1Click(m_main->ui->BackUpNow1); }); });
    connect(main->ui->Restore1, &QAction::triggered, this,
            [this] { MessageDlg::Guard(m_main, [this] { Restore1Click(m_main->ui->Restore1); }); });
    m_daily.setInterval(CheckIntervalMs);
    connect(&m_daily, &QTimer::timeout, this, [this] { MessageDlg::Guard(m_main, [this] { backUpIfDue(); }); });
    m_daily.start();
}

QString TBackupCommands::booksFile() const
{
    return TEngineDatabase::forAlias(QString::fromLatin1(TDM::DatabaseAlias)).file();
}

bool TBackupCommands::onServer() const
{
    return TEngineDatabase::forAlias(QString::fromLatin1(TDM::DatabaseAlias)).kind() == TEngineKind::PostgreSQL;
}

// Books on a database server are the server's to back up: its
// administrator's tools copy them whole while every desk goes on working.
bool TBackupCommands::saidBackupsAreTheServers()
{
    if (!onServer())
        return false;
    MessageDlg::MessageDlg(QStringLiteral("The books are on the database server %1: they are backed up and restored "
                                          "there (for example with pg_dump), not by Ardentry.")
                               .arg(booksFile()),
                           MessageDlg::TMsgDlgType::mtInformation, MessageDlg::mbOK, m_main);
    return true;
}

quint64 TBackupCommands::generation() const
{
    return TEngineDatabase::forAlias(QString::fromLatin1(TDM::DatabaseAlias)).generation();
}

BooksBackup::TBackupInfo TBackupCommands::backUp(const QString &title, QWidget *parent)
{
    const quint64 changes = generation();
    m_busy = true;
    try {
        TProgressWindow progress(title, parent);
        const BooksBackup::TBackupInfo made = BooksBackup::backUp(booksFile(), progress.callback());
        m_busy = false;
        m_backedUpGeneration = changes;
        return made;
    } catch (...) {
        m_busy = false;
        throw;
    }
}

void TBackupCommands::BackUpNow1Click(QObject *)
{
    if (m_busy || saidBackupsAreTheServers())
        return;
    const BooksBackup::TBackupInfo made = backUp(QStringLiteral("Back Up Now"), m_main);
    MessageDlg::MessageDlg(QStringLiteral("The books are backed up in %1 (%2).")
                               .arg(QDir::toNativeSeparators(made.file), BooksCheck::countsText(made.counts)),
                           MessageDlg::TMsgDlgType::mtInformation, MessageDlg::mbOK, m_main);
}

void TBackupCommands::backUpAtExit()
{
    if (m_busy || generation() == m_backedUpGeneration || onServer())
        return;
    MessageDlg::Guard(nullptr, [this] { backUp(QStringLiteral("Backing up the books"), nullptr); });
}

void TBackupCommands::backUpIfDue()
{
    if (m_busy || generation() == m_backedUpGeneration || onServer())
        return;
    const QDateTime now = Clock::now();
    if (m_lastAutomaticTry.isValid() && m_lastAutomaticTry.secsTo(now) < SecondsPerDay)
        return;
    const std::optional<QDateTime> newest = BooksBackup::newest(booksFile());
    if (newest && newest->secsTo(now) < SecondsPerDay)
        return;
    m_lastAutomaticTry = now;
    backUp(QStringLiteral("Backing up the books"), m_main);
}

// Lets go of the books: what is being typed in a grid is stored first, as
// leaving the grid would store it, then every dataset closes and the engine
// closes its connection (and with it its share of the books' lock).
void TBackupCommands::closeBooks()
{
    for (TDataSet *d : closingOrder())
        if (d->Active())
            d->CheckBrowseMode();
    for (TDataSet *d : closingOrder())
        d->Close();
    TEngineDatabase::closeAll();
}

// Opens the books again as the data module opened them, and shows the
// period the Summary showed.
void TBackupCommands::openBooks()
{
    for (TDataSet *d : {static_cast<TDataSet *>(DM->AccountsTable), static_cast<TDataSet *>(DM->AccTransTable),
                        static_cast<TDataSet *>(DM->ExpensesTable), static_cast<TDataSet *>(DM->ExpTypesTable),
                        static_cast<TDataSet *>(DM->PurchasesTable), static_cast<TDataSet *>(DM->SalesTable),
                        static_cast<TDataSet *>(DM->AccBalancesQuery), static_cast<TDataSet *>(DM->ExpTotalsQuery)})
        d->Open();
    m_backedUpGeneration = generation();
    const Ui::TfrmMain &ui = *m_main->ui;
    for (QRadioButton *b : {ui.optToday, ui.optYesterday, ui.optWeek, ui.optMonth, ui.optYear, ui.optCustomeDate})
        if (b->isChecked())
            m_main->optTodayClick(b);
}

void TBackupCommands::Restore1Click(QObject *)
{
    if (m_busy || saidBackupsAreTheServers())
        return;
    const QString books = booksFile();
    const QList<BooksBackup::TBackupInfo> backups = BooksBackup::list(books);
    if (backups.isEmpty()) {
        MessageDlg::MessageDlg(QStringLiteral("There are no backups of the books yet."),
                               MessageDlg::TMsgDlgType::mtInformation, MessageDlg::mbOK, m_main);
        return;
    }
    const std::optional<BooksBackup::TBackupInfo> chosen = TfrmRestore::Execute(m_main, backups);
    if (!chosen)
        return;
    const QString now =
        BooksCheck::countsText(BooksCheck::counts(TEngineDatabase::forAlias(QString::fromLatin1(TDM::DatabaseAlias))));
    const QString then = chosen->problem.isEmpty() ? BooksCheck::countsText(chosen->counts) : chosen->problem;
    if (MessageDlg::MessageDlg(QStringLiteral("Replace the books %1 (%2) with the backup of %3 (%4)?\n"
                                              "The books as they are now are backed up first.")
                                   .arg(QDir::toNativeSeparators(books), now, TfrmRestore::takenText(chosen->taken), then),
                               MessageDlg::TMsgDlgType::mtConfirmation, MessageDlg::mbYes | MessageDlg::mbNo,
                               m_main) != MessageDlg::TModalResult::mrYes)
        return;

    closeBooks();
    BooksBackup::TRestoreResult restored;
    m_busy = true;
    try {
        TProgressWindow progress(QStringLiteral("Restore"), m_main);
        restored = BooksBackup::restore(books, chosen->file, progress.callback());
    } catch (const EDatabaseError &e) {
        m_busy = false;
        // Nothing was replaced: the books the program had are opened again.
        try {
            openBooks();
        } catch (const EDatabaseError &reopen) {
            throw EDatabaseError(QStringLiteral("%1\nThe books cannot be opened again: %2\nClose Ardentry and start it again.")
                                     .arg(e.message(), reopen.message()));
        }
        throw;
    }
    m_busy = false;
    try {
        openBooks();
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("The books were restored, but they cannot be opened again: %1\n"
                                            "Close Ardentry and start it again.")
                                 .arg(e.message()));
    }
    MessageDlg::MessageDlg(QStringLiteral("The books are restored from the backup of %1 (%2).\n"
                                          "The books as they were are backed up in %3.")
                               .arg(TfrmRestore::takenText(chosen->taken), BooksCheck::countsText(restored.counts),
                                    QDir::toNativeSeparators(restored.previous.file)),
                           MessageDlg::TMsgDlgType::mtInformation, MessageDlg::mbOK, m_main);
}
