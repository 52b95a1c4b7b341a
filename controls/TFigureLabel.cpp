#include "TFigureLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>

namespace {

// Static text whose name joins the caption to the figure, so that a screen
// reader meeting the figure says what it is; the value is the figure alone.
class FigureLabelAccessible : public QAccessibleWidget
{
public:
    explicit FigureLabelAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        const auto *label = static_cast<const TFigureLabel *>(widget());
        switch (t) {
        case QAccessible::Name: {
            const QString caption = label->captionText();
            return caption.isEmpty() ? label->text() : caption + QStringLiteral(": ") + label->text();
        }
        case QAccessible::Value:
            return label->text();
        default:
            return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface *figureLabelAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("TFigureLabel") && object && object->isWidgetType())
        return new FigureLabelAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

TFigureLabel::TFigureLabel(QWidget *parent) : QLabel(parent)
{
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(figureLabelAccessible);
        return true;
    }();
    Q_UNUSED(accessibleInstalled);
}

TFigureLabel::~TFigureLabel() = default;

void TFigureLabel::setUp(QLabel *caption, QWidget *follower)
{
    m_caption = caption;
    m_follower = follower;
    m_leastWidth = width();
    m_gap = follower ? follower->x() - (x() + width()) : 0;
    m_bound = true;
    fit();
}

QString TFigureLabel::captionText() const
{
    if (!m_caption)
        return QString();
    QString caption = m_caption->text();
    // "&&" stands for "&"; a single "&" marks the access key.
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption;
}

void TFigureLabel::setFigure(const QString &text)
{
    setText(text);
    fit();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

// As wide as the figure needs, never narrower than laid out; the follower
// keeps its distance from the right edge.
void TFigureLabel::fit()
{
    if (!m_bound)
        return;
    const int wanted = std::max(m_leastWidth, sizeHint().width());
    if (wanted != width())
        resize(wanted, height());
    if (m_follower)
        m_follower->move(x() + width() + m_gap, m_follower->y());
}

void TFigureLabel::changeEvent(QEvent *e)
{
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        fit();
}
