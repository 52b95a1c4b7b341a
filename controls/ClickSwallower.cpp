#include "ClickSwallower.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

ClickSwallower::ClickSwallower()
{
    qApp->installEventFilter(this);
}

ClickSwallower::~ClickSwallower()
{
    qApp->removeEventFilter(this);
}

void ClickSwallower::swallowCurrentClick()
{
    auto *s = new ClickSwallower();
    // The press being delivered reaches the filter before control returns to
    // the event loop; a release that follows at once (a click sent in one
    // go) as well. Anything later is the user's next click.
    QTimer::singleShot(0, s, [s] {
        if (!s->m_pressed)
            s->finish();
    });
}

// Stops swallowing at once (the next click is the user's), and goes.
void ClickSwallower::finish()
{
    qApp->removeEventFilter(this);
    deleteLater();
}

bool ClickSwallower::eventFilter(QObject *watched, QEvent *event)
{
    Q_UNUSED(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_pressed = true;
        QTimer::singleShot(0, this, [this] { finish(); });
        return true;
    case QEvent::MouseButtonRelease:
        finish();
        return true;
    default:
        return false;
    }
}
