#pragma once

#include <QObject>

// Swallows the mouse click whose press is being delivered right now: the
// rest of that press and its release reach no widget. A control that
// refuses to give up the focus installs one, so that the click which tried
// to take the focus away has no further effect (a button it landed on is
// not pressed). It removes itself after the release, or once the event loop
// runs again without a release pending.
class ClickSwallower : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ClickSwallower)

public:
    // Starts swallowing; the object deletes itself.
    static void swallowCurrentClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ClickSwallower();
    ~ClickSwallower() override;
    void finish();

    bool m_pressed = false;
};
