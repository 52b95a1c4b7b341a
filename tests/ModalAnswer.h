#pragma once

#include <QKeySequence>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QWidget;

// Answers the modal boxes and dialogs a step opens, as a user would: each
// time a new modal widget shows, it records the widget's title and text and
// presses the next key in it. Create it before the step, check what it saw
// after.
class ModalAnswer
{
    Q_DISABLE_COPY(ModalAnswer)

public:
    // keys: one answer per expected box, in order ("Return", "Escape", "Alt+Y").
    explicit ModalAnswer(const QStringList &keys);
    // steps: what to do in each expected box or dialog, in order; each gets
    // the modal widget and drives it as a user would (typing, pressing keys).
    using Step = std::function<void(QWidget *modal)>;
    explicit ModalAnswer(const QList<Step> &steps);
    explicit ModalAnswer(const QString &key) : ModalAnswer(QStringList{key}) {}
    ~ModalAnswer();

    // Progress windows are passed over unless this is called: then they
    // are answered like any other modal window (to press Cancel).
    void answerProgressWindows() { m_answersProgress = true; }

    int count() const { return int(m_titles.size()); }
    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    QString title() const { return m_titles.value(0); }
    QString text() const { return m_texts.value(0); }
    // The icon of each box that was a message box (QMessageBox::Icon).
    QList<int> icons() const { return m_icons; }
    QStringList defaultButtons() const { return m_defaults; }

private:
    void poll();

    QStringList m_keys;
    QList<Step> m_steps;
    QStringList m_titles;
    QStringList m_texts;
    QList<int> m_icons;
    QStringList m_defaults;
    QPointer<QWidget> m_last;
    bool m_answersProgress = false;
    QTimer m_timer;
};
