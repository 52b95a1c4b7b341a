#include "FormSupport.h"

#include "TwwDBGrid.h"

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

void FormSupport::setUpDialogLook(QWidget *dialog, const QList<QWidget *> &tahomaControls)
{
    QPalette white = dialog->palette();
    white.setColor(QPalette::Window, Qt::white);
    dialog->setPalette(white);
    dialog->setAutoFillBackground(true);
    dialog->setFont(font(Verdana, 11));
    const QFont tahoma = font(Tahoma, 11);
    for (QWidget *w : tahomaControls)
        w->setFont(tahoma);
}

void FormSupport::setUpListGrid(TwwDBGrid *grid, const QFont &titleFont, const QColor &titleColor)
{
    grid->setFont(font(Tahoma, 11));
    grid->setTitleFont(titleFont);
    grid->setTitleColor(titleColor);
    grid->setTitleAlignment(Qt::AlignLeft);
    grid->setTitleLines(1);
    grid->setTitleButtons(false);
    grid->setFixedCols(0);
    grid->setShowHorzScrollBar(true);
}
