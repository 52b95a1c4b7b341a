#include "DialogKeys.h"

#include "TDBLookupComboBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

DialogKeys::DialogKeys(QWidget *dialog, const QList<QWidget *> &controls, QAbstractButton *defaultButton,
                       QAbstractButton *cancelButton)
    : QObject(dialog), m_dialog(dialog), m_default(defaultButton), m_cancel(cancelButton)
{
    for (QWidget *c : controls)
        m_controls.append(c);
    // The key must be seen before the focused control acts on it, whichever
    // control of the dialog that is.
    qApp->installEventFilter(this);
}

DialogKeys::~DialogKeys()
{
    qApp->removeEventFilter(this);
}

QAbstractButton *DialogKeys::defaultButton() const
{
    if (m_default)
        return m_default;
    for (const QPointer<QWidget> &c : m_controls)
        if (auto *b = qobject_cast<QPushButton *>(c.data()); b && b->isDefault())
            return b;
    return nullptr;
}

bool DialogKeys::offer(bool enter)
{
    QWidget *focus = QApplication::focusWidget();
    const bool focusOnButton = qobject_cast<QAbstractButton *>(focus) != nullptr;
    QAbstractButton *def = defaultButton();
    for (const QPointer<QWidget> &c : m_controls) {
        QWidget *control = c.data();
        if (!control || !control->isVisible() || !control->isEnabled())
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(control)) {
            const bool takes = enter ? (button == focus || (button == def && !focusOnButton)) : button == m_cancel;
            if (takes) {
                button->click();
                return true;
            }
        } else if (auto *box = qobject_cast<TDBLookupComboBox *>(control)) {
            if (box->ListVisible()) {
                box->CloseUp(enter);
                return true;
            }
        }
    }
    return false;
}

bool DialogKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !m_dialog)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter && key->key() != Qt::Key_Escape)
        return false;
    if (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return false;
    auto *w = static_cast<QWidget *>(watched);
    if (w != m_dialog && !m_dialog->isAncestorOf(w))
        return false;
    // Taken or not, the key goes no further: no control acts on it alone.
    offer(enter);
    return true;
}
