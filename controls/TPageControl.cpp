#include "TPageControl.h"

#include <QButtonGroup>
#include <algorithm>
#include <QKeyEvent>
#include <QShortcut>
#include <QChildEvent>
#include <QTimer>
#include <QToolButton>

TPageControl::TPageControl(QWidget *parent) : QStackedWidget(parent)
{
    // Made here rather than in the initialiser list: each child announces
    // itself to childEvent, which reads members that must be set by then.
    m_strip = new QWidget(this);
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    m_strip->setObjectName(QStringLiteral("tabStrip"));
    m_strip->setAccessibleName(QStringLiteral("Pages"));
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { setCurrentIndex(id); });
    connect(this, &QStackedWidget::currentChanged, this, [this](int index) {
        if (QAbstractButton *b = m_group->button(index))
            b->setChecked(true);
    });
    connect(this, &QStackedWidget::widgetRemoved, this, [this] { rebuildTabs(); });
    m_tabHeight = fontMetrics().height() + 8;
    // The keyboard moves between pages as in any tabbed window: Ctrl+Tab and
    // Ctrl+Shift+Tab anywhere in the window, the arrow keys on the tabs.
    auto *next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    auto *prior = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), this);
    auto *prior2 = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), this);
    for (QShortcut *sc : {next, prior, prior2})
        sc->setContext(Qt::WindowShortcut);
    connect(next, &QShortcut::activated, this, [this] { stepPage(1, true); });
    connect(prior, &QShortcut::activated, this, [this] { stepPage(-1, true); });
    connect(prior2, &QShortcut::activated, this, [this] { stepPage(-1, true); });
}

void TPageControl::stepPage(int by, bool wrap)
{
    if (count() == 0)
        return;
    // Ctrl+Tab goes round; the arrows stop at the first and the last tab, as
    // on any row of tabs.
    const int next = currentIndex() + by;
    setCurrentIndex(wrap ? (next + count()) % count() : std::clamp(next, 0, count() - 1));
    if (QAbstractButton *b = m_group->button(currentIndex()); b && m_strip->isAncestorOf(focusWidget()))
        b->setFocus(Qt::TabFocusReason);
}

bool TPageControl::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && m_group->buttons().contains(qobject_cast<QAbstractButton *>(watched))) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            stepPage(key == Qt::Key_Right ? 1 : -1, false);
            if (QAbstractButton *b = m_group->button(currentIndex()))
                b->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, e);
}

void TPageControl::setTabWidth(int width)
{
    m_tabWidth = width;
    layoutTabs();
}

QAbstractButton *TPageControl::tabButton(int index) const
{
    return m_group->button(index);
}

void TPageControl::childEvent(QChildEvent *e)
{
    QStackedWidget::childEvent(e);
    // Pages come from the window's layout one by one: make the tabs once
    // they are all there.
    if (e->type() == QEvent::ChildAdded && !m_rebuildPending) {
        m_rebuildPending = true;
        QTimer::singleShot(0, this, [this] { rebuildTabs(); });
    }
}

bool TPageControl::event(QEvent *e)
{
    if (e->type() == QEvent::Polish || e->type() == QEvent::Show)
        rebuildTabs();
    return QStackedWidget::event(e);
}

void TPageControl::rebuildTabs()
{
    m_rebuildPending = false;
    const QList<QAbstractButton *> old = m_group->buttons();
    bool same = old.size() == count();
    for (int i = 0; same && i < count(); ++i)
        same = old.at(i)->text() == widget(i)->windowTitle();
    if (!same) {
        for (QAbstractButton *b : old) {
            m_group->removeButton(b);
            b->deleteLater();
        }
        for (int i = 0; i < count(); ++i) {
            auto *b = new QToolButton(m_strip);
            b->setText(widget(i)->windowTitle());
            b->setAccessibleName(QString(widget(i)->windowTitle()).replace(QStringLiteral("&&"), QStringLiteral("\x01"))
                                     .remove(QLatin1Char('&'))
                                     .replace(QLatin1Char('\x01'), QLatin1Char('&')));
            b->setCheckable(true);
            b->setAutoRaise(false);
            b->setFocusPolicy(Qt::TabFocus);
            b->installEventFilter(this);
            b->setChecked(i == currentIndex());
            b->show();
            m_group->addButton(b, i);
        }
    }
    layoutTabs();
}

void TPageControl::layoutTabs()
{
    const int perRow = std::max(1, width() / std::max(1, m_tabWidth));
    const QList<QAbstractButton *> buttons = m_group->buttons();
    m_rows = std::max(1, int((buttons.size() + perRow - 1) / perRow));
    for (int i = 0; i < buttons.size(); ++i)
        buttons.at(i)->setGeometry((i % perRow) * m_tabWidth, (i / perRow) * m_tabHeight, m_tabWidth, m_tabHeight);
    m_strip->setGeometry(0, 0, width(), m_rows * m_tabHeight);
    setContentsMargins(0, m_rows * m_tabHeight, 0, 0);
    m_strip->raise();
}

void TPageControl::resizeEvent(QResizeEvent *e)
{
    QStackedWidget::resizeEvent(e);
    layoutTabs();
}
