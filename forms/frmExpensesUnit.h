#pragma once

#include "TEntryDialog.h"

namespace Ui {
class TfrmExpenses;
}

// The "Expenses" dialog: one expense of one expense type, the current
// record of ExpensesTable, edited as TEntryDialog describes.
//
// The constructor binds the editors and leaves the dataset as it is.
class TfrmExpenses : public TEntryDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmExpenses)

public:
    explicit TfrmExpenses(QWidget *parent = nullptr);
    ~TfrmExpenses() override;

    Ui::TfrmExpenses *ui;
};
