#include "DialogDriver.h"

#include "Clock.h"
#include "DMUnit.h"
#include "EDatabaseError.h"
#include "FormatSettings.h"
#include "TestAlias.h"

#include <QApplication>
#include <QWidget>
#include <QtTest>

void DialogDriver::typeInto(QWidget *box, const QString &text)
{
    QTRY_VERIFY(box->window()->isActiveWindow());
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), box);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        QTest::keyClicks(box, text);
}

void DialogDriver::press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTRY_VERIFY(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

void DialogDriver::type(const QString &text)
{
    QTRY_VERIFY(QApplication::focusWidget());
    QTest::keyClicks(QApplication::focusWidget(), text);
}

void DialogDriver::reactivate(QWidget *window)
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void DialogDriver::pickRow(QWidget *box, int n)
{
    box->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < n; ++i)
        QTest::keyClick(box, Qt::Key_Down);
}

DialogBooks::DialogBooks()
{
    FormatSettings() = TFormatSettings();
    Clock::setTodaySource([] { return QDate(2024, 3, 13); });
    m_alias = std::make_unique<TestAlias>();
    m_main = std::make_unique<QWidget>();
    m_main->resize(800, 600);
    m_main->show();
}

DialogBooks::~DialogBooks()
{
    m_main.reset();
    delete DM;
    DM = nullptr;
    m_alias.reset();
    Clock::setTodaySource({});
    FormatSettings() = TFormatSettings();
}

bool DialogBooks::createDM()
{
    try {
        DM = new TDM();
    } catch (const EDatabaseError &e) {
        qWarning("%s", qPrintable(e.message()));
        return false;
    }
    return true;
}
