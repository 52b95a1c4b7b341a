#include "TLinkLabel.h"

#include <QAccessible>
#include <QMouseEvent>

TLinkLabel::TLinkLabel(QWidget *parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setLinkColor(QColor(0, 128, 255));
}

void TLinkLabel::setLinkColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent *e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && OnClick)
        OnClick(this);
}

// A window's font may be set after the label is made: keep it underlined.
void TLinkLabel::changeEvent(QEvent *e)
{
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange && !font().underline()) {
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
    }
    if (e->type() == QEvent::FontChange || e->type() == QEvent::PaletteChange)
        update();
}

// Assistive technology can press the link like a button.
void TLinkLabel::keyPressEvent(QKeyEvent *e)
{
    if ((e->key() == Qt::Key_Space || e->key() == Qt::Key_Return) && OnClick) {
        OnClick(this);
        return;
    }
    QLabel::keyPressEvent(e);
}
