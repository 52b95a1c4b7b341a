#pragma once

#include "TFieldDataLink.h"

#include <QLineEdit>

class TDataSource;
class TField;

// The bound text box: shows one field of its data source's current record
// (the edit text while it has the focus, the display text otherwise, numbers
// right-aligned without the focus) and writes what the user types back into
// the field as text when it loses the focus or when the dataset asks its
// controls to commit (at the start of a post).
//
// It takes input only while the dataset is in edit or insert state; a key
// that would change the text first asks the data source to edit. A
// character the field does not accept is refused with a beep. A commit that
// fails on focus loss keeps the focus in the box with its text selected,
// shows the error in the standard error box and swallows the click that
// moved the focus; a commit that fails on the dataset's request ends that
// request (the post) with the error.
//
// Enter and Esc are not the box's: they go to the dialog (see DialogKeys).
class TDBEdit : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY(TDBEdit)

public:
    explicit TDBEdit(QWidget *parent = nullptr);
    ~TDBEdit() override;

    TDataSource *DataSource() const;
    void setDataSource(TDataSource *source);
    const QString &DataField() const { return m_dataLink.FieldName(); }
    void setDataField(const QString &name);
    // The bound field; null while the dataset is closed.
    TField *Field() const { return m_dataLink.Field(); }

    // The most characters (code points) the box holds; 0 for no limit. A box
    // on a string field takes the field's size the first time it shows it.
    // Typing or pasting past it keeps what fits, never half a character.
    int MaxLength() const { return m_maxCharacters; }
    void setMaxLength(int characters);

    // The box holds text that has not been written into the field yet.
    bool Modified() const { return m_dataLink.Modified(); }
    // The box takes input (its dataset is in edit or insert state and the
    // field can be modified).
    bool Editing() const { return m_dataLink.Editing(); }

    // Commits the text as leaving the box does, for an action about to take
    // the focus away (a dialog's OK). On failure the box keeps the focus
    // with its text selected, the error is shown, and false is returned.
    // Unlike the focus change itself this does not depend on the window
    // being active: a window system may deliver keys to a window nobody
    // has activated again since a box over it closed.
    bool commitLeaving();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void dataChange();
    void editingChange();
    void updateData();
    void showField();
    bool requestEdit();
    void keepFocusAfterError(const QString &error);

    TFieldDataLink m_dataLink;
    bool m_focused = false;      // the box has the focus as the dialog sees it
    bool m_settingText = false;  // the text is being set from the field
    bool m_takingFocusBack = false;
    int m_maxCharacters = 0;
};
