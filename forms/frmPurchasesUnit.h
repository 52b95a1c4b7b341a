#pragma once

#include "TEntryDialog.h"

namespace Ui {
class TfrmPurchases;
}

// The "Purchases" dialog: one purchase, the current record of
// PurchasesTable, edited as TEntryDialog describes.
//
// The constructor binds the editors and leaves the dataset as it is.
class TfrmPurchases : public TEntryDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmPurchases)

public:
    explicit TfrmPurchases(QWidget *parent = nullptr);
    ~TfrmPurchases() override;

    Ui::TfrmPurchases *ui;
};
