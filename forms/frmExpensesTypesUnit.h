#pragma once

#include "TMasterListDialog.h"

namespace Ui {
class TfrmExpensesTypes;
}

// The expense types list: the name of every expense type, over the data
// module's ExpTypesTable, kept as TMasterListDialog describes. The names
// typed here are what every "Expenses" column and lookup box of the program
// shows, as soon as those read the table again.
//
// Its title bar shows the caption alone, without a close box; a close request
// that reaches it all the same (from the window manager or the keyboard) is
// treated as Esc outside a cell is: it presses OK.
class TfrmExpensesTypes : public TMasterListDialog
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
};
