#pragma once

#include <QDialog>

namespace Ui {
class TfrmAccounts;
}

// The accounts list: the name of every account in a grid that edits in
// place, over the data module's AccountsTable, with a navigator bar above it.
// The names typed here are what every "Account" column and lookup box of the
// program shows, as soon as those read the table again.
//
// Leaving the window stores what is pending: OK, Esc outside a cell and a
// close request from the title bar all post a record being edited or
// inserted, an inserted one even when nothing was typed into it. When the
// engine refuses, its error is shown and the window stays open with the
// change pending. A change is dropped with the navigator's Cancel (or Esc in
// the cell), never by leaving.
class TfrmAccounts : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmAccounts)

public:
    // Binds the grid and the navigator to the data module, which must exist.
    explicit TfrmAccounts(QWidget *parent = nullptr);
    ~TfrmAccounts() override;

    Ui::TfrmAccounts *ui;

    // Creates the list over `parent`, shows it modally and destroys it.
    static void Execute(QWidget *parent);

    void BitBtn1Click(QObject *Sender);

public Q_SLOTS:
    // Esc outside a cell and a close request arrive here: they press OK.
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
};
