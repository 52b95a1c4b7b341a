#include "ModalAnswer.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

ModalAnswer::ModalAnswer(const QStringList &keys) : m_keys(keys)
{
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

ModalAnswer::~ModalAnswer() = default;

void ModalAnswer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || modal == m_last || !modal->isVisible() || m_titles.size() >= m_keys.size())
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
    const QKeySequence seq(m_keys.at(m_titles.size() - 1));
    const QKeyCombination k = seq[0];
    QWidget *target = modal->focusWidget() ? modal->focusWidget() : modal;
    QTest::keyClick(target, k.key(), k.keyboardModifiers());
}
