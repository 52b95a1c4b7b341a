#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

// Enter and Esc in a dialog. Pressed without Shift, Ctrl or Alt, the key is
// offered to the dialog's controls one at a time, in the order the dialog
// created them (not the focus order), until one takes it:
// - a button takes Enter when it has the focus; the default button takes
//   Enter also while the focus is on no button; the cancel button takes Esc;
//   a button that takes the key presses itself;
// - a lookup box takes Enter (accept the highlighted row) and Esc (close
//   without a change) only while its list is dropped down;
// - text boxes take neither.
// A key that no control takes does nothing. Tab and Shift+Tab are left to
// the focus chain; the box that loses the focus commits.
//
// The dialog creates one after setupUi, naming its controls in creation
// order; the default button is the QPushButton among them that isDefault(),
// unless set; the object belongs to the dialog.
class DialogKeys : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(DialogKeys)

public:
    DialogKeys(QWidget *dialog, const QList<QWidget *> &controls, QAbstractButton *defaultButton = nullptr,
               QAbstractButton *cancelButton = nullptr);
    ~DialogKeys() override;

    void setDefaultButton(QAbstractButton *button) { m_default = button; }
    void setCancelButton(QAbstractButton *button) { m_cancel = button; }
    QAbstractButton *defaultButton() const;
    QAbstractButton *cancelButton() const { return m_cancel; }

    // Offers Enter (true) or Esc (false) to the controls; returns whether
    // one took it.
    bool offer(bool enter);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_dialog;
    QList<QPointer<QWidget>> m_controls;
    QPointer<QAbstractButton> m_default;
    QPointer<QAbstractButton> m_cancel;
};
