#pragma once

#include <QLineEdit>

class TwwCustomDBGrid;

// The record grid's in-place cell editor: a borderless text box laid over the
// current cell. While it is open it claims every key from the window; Tab,
// Esc, Up, Down, Page Up, Page Down, Insert, Ctrl+Delete and (with the grid's
// Enter-to-Tab option) Enter go on to the grid, while Left, Right, Home and
// End move the caret.
class TwwInplaceEdit : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY(TwwInplaceEdit)

public:
    explicit TwwInplaceEdit(TwwCustomDBGrid *grid);

    // Whether the text differs from the field's since the editor was filled.
    bool Modified() const { return isModified(); }

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    bool passesToGrid(const QKeyEvent *e) const;

    TwwCustomDBGrid *m_grid;
};
