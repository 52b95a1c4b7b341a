#pragma once

#include <QDialog>

namespace Ui {
class TfrmExpensesTypes;
}

// The expense types list: the name of every expense type in a grid that
// edits in place, over the data module's ExpTypesTable, with a navigator bar
// above it. The names typed here are what every "Expenses" column and lookup
// box of the program shows, as soon as those read the table again.
//
// Its title bar shows the caption alone, without a close box; a close request
// that reaches it all the same (from the window manager or the keyboard) is
// treated as Esc outside a cell is: it presses OK. OK posts a record being
// edited or inserted, an inserted one even when nothing was typed into it;
// when the engine refuses, its error is shown and the window stays open with
// the change pending.
class TfrmExpensesTypes : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmExpensesTypes)

public:
    // Binds the grid and the navigator to the data module, which must exist.
    explicit TfrmExpensesTypes(QWidget *parent = nullptr);
    ~TfrmExpensesTypes() override;

    Ui::TfrmExpensesTypes *ui;

    // Creates the list over `parent`, shows it modally and destroys it.
    static void Execute(QWidget *parent);

    void BitBtn1Click(QObject *Sender);

public Q_SLOTS:
    // Esc outside a cell and a close request arrive here: they press OK.
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
};
