#include "TDBEdit.h"

#include "CharacterLimit.h"
#include "ClickSwallower.h"
#include "EDatabaseError.h"
#include "FieldText.h"
#include "MessageDlg.h"
#include "TDataSource.h"
#include "TField.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QValidator>

namespace {

// Holds a box to its most characters counted as code points (QLineEdit's
// own limit counts 16-bit units and cuts a pair in half). What was just
// typed or pasted is cut back, by whole characters, so that the text fits.
// A character typed as text (not a control character of a shortcut).
bool isTypedCharacter(QChar c)
{
    return c.unicode() >= 0x20 && c.unicode() != 0x7f;
}

// Keys that change the text: they need the dataset in edit state first.
bool changesText(const QKeyEvent *e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    switch (e->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Insert:
        return mods == Qt::ShiftModifier;
    case Qt::Key_V:
    case Qt::Key_X:
        if (mods == Qt::ControlModifier)
            return true;
        break;
    default:
        break;
    }
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Undo) ||
        e->matches(QKeySequence::Redo))
        return true;
    if (mods & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QString text = e->text();
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTypedCharacter);
}

} // namespace

TDBEdit::TDBEdit(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
    m_dataLink.OnDataChange = [this] { dataChange(); };
    m_dataLink.OnEditingChange = [this] { editingChange(); };
    m_dataLink.OnUpdateData = [this] { updateData(); };
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!m_settingText)
            m_dataLink.setModified();
    });
}

TDBEdit::~TDBEdit() = default;

TDataSource *TDBEdit::DataSource() const
{
    return m_dataLink.DataSource();
}

void TDBEdit::setDataSource(TDataSource *source)
{
    m_dataLink.setDataSource(source);
}

void TDBEdit::setDataField(const QString &name)
{
    m_dataLink.setFieldName(name);
}

void TDBEdit::setMaxLength(int characters)
{
    m_maxCharacters = std::max(characters, 0);
    delete validator();
    setValidator(m_maxCharacters > 0 ? new CharacterLimit(m_maxCharacters, this) : nullptr);
}

void TDBEdit::dataChange()
{
    showField();
}

void TDBEdit::editingChange()
{
    setReadOnly(!m_dataLink.Editing());
}

// What the box shows: nothing without a field; the edit text while it has
// the focus and the field can be changed; otherwise the display text,
// aligned as the field's class says (numbers to the right) while it has no
// focus. Only a text that is not the field's value yet is kept.
void TDBEdit::showField()
{
    TField *field = m_dataLink.Field();
    const bool focusedEditing = m_focused && field && m_dataLink.CanModify();
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (field && !focusedEditing && field->Alignment() == TAlignment::taRightJustify)
        horizontal = Qt::AlignRight;
    else if (field && !focusedEditing && field->Alignment() == TAlignment::taCenter)
        horizontal = Qt::AlignHCenter;
    setAlignment(horizontal | Qt::AlignVCenter);

    if (m_dataLink.Modified())
        return;
    if (field && field->DataType() == TFieldType::String && field->FieldKind() == TFieldKind::fkData &&
        m_maxCharacters == 0 && field->Size() > 0)
        setMaxLength(field->Size());
    const QString shown = !field ? QString() : focusedEditing ? field->Text() : field->DisplayText();
    if (shown != text()) {
        m_settingText = true;
        setText(shown);
        m_settingText = false;
    }
}

// The commit: the box's text goes into the field through the field's own
// text conversion, which throws when it does not convert.
void TDBEdit::updateData()
{
    if (TField *field = m_dataLink.Field())
        field->setText(text());
}

bool TDBEdit::requestEdit()
{
    if (m_dataLink.Editing())
        return true;
    bool editing = false;
    MessageDlg::Guard(window(), [&] { editing = m_dataLink.Edit(); });
    return editing;
}

void TDBEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    const bool isText = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), isTypedCharacter) &&
                        !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (isText) {
        if (TField *field = m_dataLink.Field()) {
            for (QChar c : typed) {
                if (!field->IsValidChar(c)) {
                    QApplication::beep();
                    event->accept();
                    return;
                }
            }
        }
    }
    if (changesText(event) && !requestEdit()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString committed = event->commitString();
    if (!committed.isEmpty()) {
        if (TField *field = m_dataLink.Field()) {
            for (QChar c : committed) {
                if (!field->IsValidChar(c)) {
                    QApplication::beep();
                    event->accept();
                    return;
                }
            }
        }
        if (!requestEdit()) {
            event->accept();
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

// The standard menu, whose cut, paste, undo, redo and delete commands first
// ask the data source to edit, as the keys do.
void TDBEdit::contextMenuEvent(QContextMenuEvent *event)
{
    const bool wasReadOnly = isReadOnly();
    const bool mayEdit = m_dataLink.CanModify();
    if (mayEdit)
        setReadOnly(false);
    QMenu *menu = createStandardContextMenu();
    setReadOnly(wasReadOnly);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    static const char *const changing[] = {"edit-undo", "edit-redo", "edit-cut", "edit-paste", "edit-delete"};
    for (QAction *action : menu->actions()) {
        const QByteArray name = action->objectName().toLatin1();
        if (std::none_of(std::begin(changing), std::end(changing), [&](const char *n) { return name == n; }))
            continue;
        if (!mayEdit) {
            action->setEnabled(false);
            continue;
        }
        // Take the command over: edit first, then run it.
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, [this, name] {
            if (!requestEdit())
                return;
            if (name == "edit-undo")
                undo();
            else if (name == "edit-redo")
                redo();
            else if (name == "edit-cut")
                cut();
            else if (name == "edit-paste")
                paste();
            else
                del();
        });
    }
    menu->popup(event->globalPos());
}

void TDBEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason ||
        m_takingFocusBack)
        return;
    m_focused = true;
    showField();
}

// Leaving the box commits its text. When that fails, the box keeps the
// focus with its text selected and the error is shown; the click that
// tried to move the focus away is swallowed.
void TDBEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || m_takingFocusBack)
        return;
    m_focused = false;
    QString error;
    try {
        m_dataLink.UpdateRecord();
    } catch (const EDatabaseError &e) {
        error = e.message();
    }
    if (error.isNull()) {
        showField();
        return;
    }
    keepFocusAfterError(error);
    if (reason == Qt::MouseFocusReason)
        ClickSwallower::swallowCurrentClick();
}

bool TDBEdit::commitLeaving()
{
    QString error;
    try {
        m_dataLink.UpdateRecord();
    } catch (const EDatabaseError &e) {
        error = e.message();
    }
    if (error.isNull())
        return true;
    keepFocusAfterError(error);
    return false;
}

// The focus stays (or comes back) here with the whole text selected, so that
// typing replaces it, and the error is shown. Once the box closes the window
// takes the keyboard back: the focus is then where the user sees it, even
// where nobody else activates the window again (no window manager).
void TDBEdit::keepFocusAfterError(const QString &error)
{
    m_focused = true;
    m_takingFocusBack = true;
    setFocus(Qt::OtherFocusReason);
    m_takingFocusBack = false;
    selectAll();
    MessageDlg::ShowError(error, window());
    if (!isVisible())
        return;
    window()->activateWindow();
    m_takingFocusBack = true;
    setFocus(Qt::OtherFocusReason);
    m_takingFocusBack = false;
    selectAll();
}
