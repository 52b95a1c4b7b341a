#include "ModalAnswer.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

ModalAnswer::ModalAnswer(const QStringList &keys) : m_keys(keys)
{
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

ModalAnswer::ModalAnswer(const QList<Step> &steps) : m_steps(steps)
{
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

ModalAnswer::~ModalAnswer() = default;

void ModalAnswer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    const qsizetype expected = m_steps.isEmpty() ? m_keys.size() : m_steps.size();
    // A progress window asks nothing: the step it belongs to goes on by
    // itself, and the boxes after it are the ones answered, unless the test
    // means to press its Cancel.
    if (!modal || modal == m_last || !modal->isVisible() || m_titles.size() >= expected ||
        (!m_answersProgress && qobject_cast<QProgressDialog *>(modal)))
        return;
    m_last = modal;
    m_titles << modal->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        m_texts << box->text();
        m_icons << int(box->icon());
        m_defaults << (box->defaultButton() ? box->defaultButton()->text() : QString());
    } else {
        m_texts << QString();
        m_icons << int(QMessageBox::NoIcon);
        m_defaults << QString();
    }
    if (!m_steps.isEmpty()) {
        // The step may open a box of its own: it is answered by the next step.
        const Step step = m_steps.at(m_titles.size() - 1);
        step(modal);
        return;
    }
    const QKeySequence seq(m_keys.at(m_titles.size() - 1));
    const QKeyCombination k = seq[0];
    // A window manager activates a box as it shows; the offscreen platform
    // may not have yet, and an access key (Alt+N) reaches only the active
    // window's shortcuts: without this the key is lost and the box waits.
    if (QApplication::activeWindow() != modal)
        QApplication::setActiveWindow(modal);
    QWidget *target = modal->focusWidget() ? modal->focusWidget() : modal;
    QTest::keyClick(target, k.key(), k.keyboardModifiers());
}
