#pragma once

#include <QDialog>

class DialogKeys;
class QPushButton;
class QSize;
class TDM;
class TTable;

// What the record dialogs (sale, purchase, expense, account transaction)
// share: a dialog whose bound editors edit the current record of one table
// of the data module, which the opener has appended (a new record, in insert
// state) or left on the record to change (browse state until the user
// changes a value). The dialog checks no value itself: the editors convert
// their texts and the engine refuses what it will not store; either error is
// shown and the dialog stays open on the pending record.
//
// A window calls setUpFrame after setupUi, binds its editors, then calls
// setUpKeys; the constructor leaves the dataset as it is.
class TEntryDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TEntryDialog)

public:
    ~TEntryDialog() override;

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
    explicit TEntryDialog(QWidget *parent);

    // A fixed dialog frame of `size` showing the caption only, on white, in
    // Verdana; `tahomaControls` are written in Tahoma.
    void setUpFrame(const QSize &size, const QList<QWidget *> &tahomaControls);
    // The record is the current one of DM->*table, looked up when OK or
    // Cancel acts. `controls` are in the order the dialog created them, for
    // Enter and Esc; `ok` and `cancel` among them become OK and Cancel.
    void setUpKeys(TTable *TDM::*table, const QList<QWidget *> &controls, QPushButton *ok, QPushButton *cancel);

    // Called by OK, inside its error guard, on a record being edited or
    // inserted, just before the post; an error it throws is shown and leaves
    // the record pending. Does nothing unless a window has more to do.
    virtual void beforePost(TTable *table);

    void showEvent(QShowEvent *e) override;

private:
    TTable *TDM::*m_table = nullptr;
    QPushButton *m_ok = nullptr;
    DialogKeys *m_keys = nullptr;
};
