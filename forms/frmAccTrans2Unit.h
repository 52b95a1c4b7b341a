#pragma once

#include <QDialog>

namespace Ui {
class TfrmAccTrans2;
}
class DialogKeys;
class TDBLookupComboBox;

// The "Double Account Transaction" dialog: a transfer of an amount from one
// account to another. Its boxes are plain and unbound; OK appends and stores
// two records in AccTransTable: a decrease of the amount on the "From"
// account and an increase of the same amount on the "To" account, both with
// the date, transaction text and remarks typed.
//
// A transfer is stored whole or not at all: every input is checked before
// the first record is started, and the two records are stored in one engine
// transaction. When OK fails, its error is shown, nothing is stored, nothing
// is left pending in AccTransTable and the dialog stays open. Cancel (the
// button, Esc, or closing the window) only closes: nothing is ever pending
// while the dialog waits for the user.
class TfrmAccTrans2 : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmAccTrans2)

public:
    explicit TfrmAccTrans2(QWidget *parent = nullptr);
    ~TfrmAccTrans2() override;

    Ui::TfrmAccTrans2 *ui;

    // Creation: the date box starts with today's date.
    void FormCreate(QObject *Sender);
    // OK: stores the transfer and closes.
    void BitBtn1Click(QObject *Sender);
    // Cancel: closes.
    void BitBtn2Click(QObject *Sender);

protected:
    void showEvent(QShowEvent *e) override;

private:
    // The text each amount field is given: "0" before the amount typed, so
    // that an empty amount stores 0.
    QString amountText() const;
    // Throws the error that storing would meet first, in the order the
    // records meet the inputs: date, "From Account", amount, "To Account".
    void checkInputs() const;
    // Appends one record of the transfer and posts it.
    void storeRecord(TDBLookupComboBox *account, bool from) const;
    void storeTransfer();

    DialogKeys *m_keys;
};
