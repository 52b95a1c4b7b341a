#pragma once

#include "TMasterListDialog.h"

namespace Ui {
class TfrmAccounts;
}

// The accounts list: the name of every account, over the data module's
// AccountsTable, kept as TMasterListDialog describes. The names typed here
// are what every "Account" column and lookup box of the program shows, as
// soon as those read the table again.
class TfrmAccounts : public TMasterListDialog
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
};
