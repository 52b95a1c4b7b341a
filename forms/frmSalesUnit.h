#pragma once

#include "TEntryDialog.h"

namespace Ui {
class TfrmSales;
}

// The "Sales And Income" dialog: one sale or other income, the current
// record of SalesTable, edited as TEntryDialog describes.
//
// The constructor binds the editors and leaves the dataset as it is.
class TfrmSales : public TEntryDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmSales)

public:
    explicit TfrmSales(QWidget *parent = nullptr);
    ~TfrmSales() override;

    Ui::TfrmSales *ui;
};
