#pragma once

#include <QDialog>

namespace Ui {
class TfrmAccTrans;
}
class DialogKeys;

// The "Account Transaction" dialog: one raise or fall of one account's
// balance. Its bound editors edit the current record of AccTransTable,
// which the opener has appended (a new record, in insert state) or left on
// the record to change (browse state until the user changes a value). OK
// stores an empty increase or decrease as 0.
//
// The constructor binds the editors and leaves the dataset as it is.
class TfrmAccTrans : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmAccTrans)

public:
    explicit TfrmAccTrans(QWidget *parent = nullptr);
    ~TfrmAccTrans() override;

    Ui::TfrmAccTrans *ui;

    // OK: commits the editors, fills empty amounts with 0, stores the
    // pending record and closes. Any error (a text that does not convert, a
    // refused post) is shown and stops it, the record still pending and the
    // dialog open.
    void BitBtn1Click(QObject *Sender);
    // Cancel: discards the pending change and closes.
    void BitBtn2Click(QObject *Sender);

    // Every other way of closing the window (the window manager's close,
    // Alt+F4) is Cancel, so that no pending record is left behind in the
    // shared dataset.
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    DialogKeys *m_keys;
};
