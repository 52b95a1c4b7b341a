#pragma once

#include "BooksBackup.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

class TfrmMain;

// Keeping the books safe from the main window: the commands "Back Up Now"
// and "Restore..." of the Options menu, and the backups the program makes by
// itself: when it ends normally after a change, and once a day while it runs
// with changes. Each shows its progress in a progress bar over the window.
//
// A restore lets go of the program's own connection to the books first (a
// restore waits for nobody to have them open), and opens the books again in
// place afterwards: every dataset of the data module closes and opens again
// with the filter it had, and the Summary shows the period it showed.
class TBackupCommands : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TBackupCommands)

public:
    // Wires the two menu items of `main` and starts the daily check.
    explicit TBackupCommands(TfrmMain *main);

    void BackUpNow1Click(QObject *Sender);
    void Restore1Click(QObject *Sender);

    // The program ends normally: backs up when this run changed the books
    // since its last backup. A failure is shown in the standard error box.
    void backUpAtExit();

    // Backs up when this run changed the books since its last backup, and
    // the newest backup is a day old or more (or there is none). It tries
    // once a day at most, so a failure is shown once a day at most. The
    // daily timer calls it.
    void backUpIfDue();

    // How often the daily timer looks.
    static constexpr int CheckIntervalMs = 15 * 60 * 1000;
    // How long an operation runs before its progress bar shows; a quick
    // backup of small books shows none.
    static int progressDelayMs;

private:
    BooksBackup::TBackupInfo backUp(const QString &title, QWidget *parent);
    quint64 generation() const;
    QString booksFile() const;
    bool onServer() const;
    bool saidBackupsAreTheServers();
    void closeBooks();
    void openBooks();

    TfrmMain *m_main;
    QTimer m_daily;
    quint64 m_backedUpGeneration = 0;
    QDateTime m_lastAutomaticTry;
    bool m_busy = false;
};
