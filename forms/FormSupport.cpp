#include "FormSupport.h"

#include <QScreen>
#include <QWidget>

QFont FormSupport::font(Family family, int pixelSize, bool bold)
{
    static const char *const names[] = {"Verdana", "Tahoma", "MS Sans Serif"};
    QFont f(QString::fromLatin1(names[family]));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void FormSupport::centreOverParent(QWidget *window)
{
    QRect r = window->frameGeometry();
    if (QWidget *p = window->parentWidget())
        r.moveCenter(p->window()->frameGeometry().center());
    else if (const QScreen *s = window->screen())
        r.moveCenter(s->availableGeometry().center());
    window->move(r.topLeft());
}
