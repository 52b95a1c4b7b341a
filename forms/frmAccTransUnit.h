#pragma once

#include "TEntryDialog.h"

namespace Ui {
class TfrmAccTrans;
}

// The "Account Transaction" dialog: one raise or fall of one account's
// balance, the current record of AccTransTable, edited as TEntryDialog
// describes. OK stores an empty increase or decrease as 0: it commits the
// editors, fills empty amounts with 0, then stores the pending record and
// closes. Any error (a text that does not convert, a refused post) is shown
// and stops it, the record still pending and the dialog open.
//
// The constructor binds the editors and leaves the dataset as it is.
class TfrmAccTrans : public TEntryDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmAccTrans)

public:
    explicit TfrmAccTrans(QWidget *parent = nullptr);
    ~TfrmAccTrans() override;

    Ui::TfrmAccTrans *ui;

protected:
    // Commits the editors and fills empty amounts with 0.
    void beforePost(TTable *table) override;
};
