#include "TwwInplaceEdit.h"

#include "TField.h"
#include "TwwCustomDBGrid.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>

TwwInplaceEdit::TwwInplaceEdit(TwwCustomDBGrid *grid) : QLineEdit(grid->viewport()), m_grid(grid)
{
    setFrame(false);
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool TwwInplaceEdit::passesToGrid(const QKeyEvent *e) const
{
    switch (e->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    case Qt::Key_Delete:
        return e->modifiers().testFlag(Qt::ControlModifier);
    default:
        return false;
    }
}

bool TwwInplaceEdit::event(QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        // While it is open the editor claims every key from the window, but
        // for the commands the grid carries (Export to CSV), which work
        // from the cell as from the grid.
        const QKeySequence pressed(static_cast<QKeyEvent *>(e)->keyCombination());
        for (const QAction *action : m_grid->actions()) {
            if (action->shortcut() == pressed)
                return QLineEdit::event(e);
        }
        e->accept();
        return true;
    }
    if (e->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) {
            keyPressEvent(ke);
            return true;
        }
    }
    return QLineEdit::event(e);
}

void TwwInplaceEdit::keyPressEvent(QKeyEvent *e)
{
    if (passesToGrid(e)) {
        m_grid->processKey(e, true);
        e->accept();
        return;
    }
    // Keys that would change the text ask the grid first; characters the
    // field cannot hold are refused.
    const QString text = e->text();
    const bool typing = !text.isEmpty() && text.at(0).isPrint() &&
                        !e->modifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier);
    const bool changing = typing || e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete ||
                          e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) ||
                          e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo);
    if (changing) {
        if (typing) {
            const TField *f = m_grid->SelectedField();
            for (const QChar c : text)
                if (f && !f->IsValidChar(c)) {
                    QApplication::beep();
                    e->accept();
                    return;
                }
        }
        if (!m_grid->editorChangeAllowed()) {
            e->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
    e->accept();
}

void TwwInplaceEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason)
        return;
    if (QApplication::focusWidget() == m_grid)
        return;
    m_grid->focusLeft();
}
