#pragma once

#include <QLabel>
#include <functional>

// A label that acts as a link: underlined, in the link colour, with a hand
// cursor; a click raises OnClick. Assistive technology sees a link with the
// caption as its name.
class TLinkLabel : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(TLinkLabel)

public:
    explicit TLinkLabel(QWidget *parent = nullptr);

    // The link colour; the main window's links are (0, 128, 255).
    void setLinkColor(const QColor &color);

    std::function<void(QObject *Sender)> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void changeEvent(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};
