#include "TwwNavButton.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int PictureSize = 18;

// Draws the sign of a command on an 18 x 18 transparent square.
void drawSign(QPainter &p, TNavButtonStyle style, const QColor &colour, const QPointF &offset)
{
    p.save();
    p.translate(offset);
    QPen pen(colour, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    p.setPen(pen);
    switch (style) {
    case TNavButtonStyle::nbsInsert:
        p.drawLine(QPointF(9, 3.5), QPointF(9, 14.5));
        p.drawLine(QPointF(3.5, 9), QPointF(14.5, 9));
        break;
    case TNavButtonStyle::nbsDelete:
        p.drawLine(QPointF(3.5, 9), QPointF(14.5, 9));
        break;
    case TNavButtonStyle::nbsPost: {
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        QPainterPath tick;
        tick.moveTo(3.5, 9.5);
        tick.lineTo(7.5, 13.5);
        tick.lineTo(14.5, 4.5);
        p.drawPath(tick);
        break;
    }
    case TNavButtonStyle::nbsCancel:
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(4.5, 4.5), QPointF(13.5, 13.5));
        p.drawLine(QPointF(13.5, 4.5), QPointF(4.5, 13.5));
        break;
    }
    p.restore();
}

QColor signColour(TNavButtonStyle style)
{
    switch (style) {
    case TNavButtonStyle::nbsInsert:
    case TNavButtonStyle::nbsDelete:
        return QColor(0, 0, 128);
    case TNavButtonStyle::nbsPost:
        return QColor(0, 128, 0);
    case TNavButtonStyle::nbsCancel:
        return QColor(192, 0, 0);
    }
    return Qt::black;
}

} // namespace

TwwNavButton::TwwNavButton(TNavButtonStyle style, int index, QWidget *parent)
    : QToolButton(parent), m_style(style), m_index(index)
{
    setAutoRaise(true);
    setAutoRepeat(false);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(PictureSize, PictureSize));
    QIcon icon;
    icon.addPixmap(picture(style, true), QIcon::Normal);
    icon.addPixmap(picture(style, false), QIcon::Disabled);
    setIcon(icon);
    setText(commandName(style));
    setHint(defaultHint(style));
}

TwwNavButton::~TwwNavButton() = default;

void TwwNavButton::setHint(const QString &hint)
{
    m_hint = hint;
    setAccessibleName(hint);
    setToolTip(m_showHint ? hint : QString());
}

void TwwNavButton::setShowHint(bool show)
{
    m_showHint = show;
    setToolTip(show ? m_hint : QString());
}

// The enabled picture in the command's colour; the greyed one embossed in
// grey with a white shadow, as disabled pictures are drawn on a button face.
QPixmap TwwNavButton::picture(TNavButtonStyle style, bool enabled)
{
    QPixmap pm(PictureSize, PictureSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (enabled) {
        drawSign(p, style, signColour(style), QPointF(0, 0));
    } else {
        drawSign(p, style, Qt::white, QPointF(1, 1));
        drawSign(p, style, QColor(128, 128, 128), QPointF(0, 0));
    }
    return pm;
}

QString TwwNavButton::defaultHint(TNavButtonStyle style)
{
    switch (style) {
    case TNavButtonStyle::nbsInsert:
        return QStringLiteral("Insert new record");
    case TNavButtonStyle::nbsDelete:
        return QStringLiteral("Delete current record");
    case TNavButtonStyle::nbsPost:
        return QStringLiteral("Post changes of current record");
    case TNavButtonStyle::nbsCancel:
        return QStringLiteral("Cancel changes made to current record");
    }
    return QString();
}

QString TwwNavButton::commandName(TNavButtonStyle style)
{
    switch (style) {
    case TNavButtonStyle::nbsInsert:
        return QStringLiteral("Insert");
    case TNavButtonStyle::nbsDelete:
        return QStringLiteral("Delete");
    case TNavButtonStyle::nbsPost:
        return QStringLiteral("Post");
    case TNavButtonStyle::nbsCancel:
        return QStringLiteral("Cancel");
    }
    return QString();
}
