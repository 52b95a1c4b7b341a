#pragma once

#include "BooksBackup.h"

#include <QDialog>
#include <optional>

namespace Ui {
class TfrmRestore;
}

// The list the "Restore..." command offers: every backup of the books with
// the date and time it was made, its size and the records of each table,
// newest first and chosen on opening. Restore (or Enter, or a double click)
// takes the chosen one; Cancel or Esc takes none.
class TfrmRestore : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmRestore)

public:
    TfrmRestore(const QList<BooksBackup::TBackupInfo> &backups, QWidget *parent = nullptr);
    ~TfrmRestore() override;

    Ui::TfrmRestore *ui;

    // The backup chosen now; none when the list is empty.
    std::optional<BooksBackup::TBackupInfo> chosen() const;

    // Shows the list over `parent` and returns the backup taken.
    static std::optional<BooksBackup::TBackupInfo> Execute(QWidget *parent,
                                                           const QList<BooksBackup::TBackupInfo> &backups);

    // How the list writes when a backup was made: the user's short date and
    // the time to the second.
    static QString takenText(const QDateTime &taken);

protected:
    void showEvent(QShowEvent *e) override;

private:
    QList<BooksBackup::TBackupInfo> m_backups;
};
