#pragma once

#include <QDialog>

namespace Ui {
class TfrmSales;
}
class DialogKeys;

// The "Sales And Income" dialog: one sale or other income.
// Its bound editors edit the current record of SalesTable, which the
// opener has appended (a new record, in insert state) or left on the record
// to change (browse state until the user changes a value). The dialog checks
// no value itself: the editors convert their texts and the engine refuses
// what it will not store; either error is shown and the dialog stays open on
// the pending record.
//
// The constructor binds the editors and leaves the dataset as it is.
class TfrmSales : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmSales)

public:
    explicit TfrmSales(QWidget *parent = nullptr);
    ~TfrmSales() override;

    Ui::TfrmSales *ui;

    // OK: stores the pending record and closes; on an error the dialog
    // stays open.
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
