#pragma once

#include <QString>
#include <Qt>
#include <memory>

class QWidget;
class TestAlias;

// Drives a window's controls as a user does: keys go where the focus is, a
// box is clicked into and typed over. A step that cannot be taken fails the
// running test (check QTest::currentTestFailed() where it matters).
namespace DialogDriver {

// Clicks into a box, selects what it holds and types over it; an empty
// text deletes it.
void typeInto(QWidget *box, const QString &text);
// A key pressed where the focus is.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Text typed where the focus is.
void type(const QString &text);
// Gives a window back the keyboard, as a window manager does once a box
// over it has closed (the offscreen platform does not).
void reactivate(QWidget *window);
// Takes the n-th row (1-based) of a closed lookup box with Down.
void pickRow(QWidget *box, int n);

} // namespace DialogDriver

// What a dialog suite starts each test with: fresh books in a private alias,
// today fixed on 13 March 2024, the default regional settings, and a plain
// main window for the dialogs to open over. Destroying it releases the data
// module, the window, the books, the clock and the settings, in that order.
class DialogBooks
{
    Q_DISABLE_COPY(DialogBooks)

public:
    DialogBooks();
    ~DialogBooks();

    TestAlias &alias() { return *m_alias; }
    QWidget *mainWindow() const { return m_main.get(); }

    // Creates the data module on the books; false, with the engine's message
    // printed, when the books fail.
    static bool createDM();

private:
    std::unique_ptr<TestAlias> m_alias;
    std::unique_ptr<QWidget> m_main;
};
