#pragma once

#include <QLabel>
#include <QPointer>

// A label that shows a figure (a Summary total) beside the label that names
// it. No digit is ever cut: the label grows with its figure, never below the
// width it was laid out with, and the widget placed after it (a link) moves
// with its right edge, keeping the distance between them. Assistive
// technology reads it as static text named by its caption and its figure
// ("Sales And Income: 1500"), whose value is the figure as shown.
class TFigureLabel : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(TFigureLabel)

public:
    explicit TFigureLabel(QWidget *parent = nullptr);
    ~TFigureLabel() override;

    // Binds the figure to the label that names it and to the widget after it
    // (none for the last one in its row). Call once the window is laid out:
    // the present width becomes the least width, and the present distance to
    // `follower` the distance kept.
    void setUp(QLabel *caption, QWidget *follower = nullptr);
    // Shows a figure.
    void setFigure(const QString &text);

    // The caption's text without its access-key marks.
    QString captionText() const;

protected:
    void changeEvent(QEvent *e) override;

private:
    void fit();

    QPointer<QLabel> m_caption;
    QPointer<QWidget> m_follower;
    int m_leastWidth = 0;
    int m_gap = 0;
    bool m_bound = false;  // laid out and set up: the widths are known
};
