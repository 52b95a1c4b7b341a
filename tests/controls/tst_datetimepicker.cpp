#include "FieldText.h"
#include "FormatSettings.h"
#include "TDateTimePicker.h"

#include <QAccessible>
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

// The date picker: written in the program's short date format; the
// program's own setDate raises nothing, each change by the user raises
// OnChange once.
class tst_DateTimePicker : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_window;
    TDateTimePicker *m_picker = nullptr;
    QList<QDate> m_changes;  // Date() as each OnChange saw it

    void create()
    {
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        auto *label = new QLabel(QStringLiteral("&From"), m_window.get());
        m_picker = new TDateTimePicker(m_window.get());
        label->setBuddy(m_picker);
        layout->addWidget(label);
        layout->addWidget(m_picker);
        m_picker->OnChange = [this](QObject *sender) {
            QCOMPARE(sender, m_picker);
            m_changes << m_picker->Date();
        };
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

private Q_SLOTS:
    void init()
    {
        FormatSettings() = TFormatSettings();
        m_changes.clear();
    }
    void cleanup()
    {
        m_window.reset();
        FormatSettings() = TFormatSettings();
    }

    void writesTheShortDateFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("shown");
        QTest::newRow("default m/d/yy") << "m/d/yy" << QChar(QLatin1Char('/')) << "3/5/24";
        QTest::newRow("day first, full stops") << "dd/mm/yyyy" << QChar(QLatin1Char('.')) << "05.03.2024";
        QTest::newRow("year first, dashes") << "yyyy/mm/dd" << QChar(QLatin1Char('-')) << "2024-03-05";
        QTest::newRow("quoted text and month name") << "d mmm yyyy \"r\"" << QChar(QLatin1Char('/'))
                                                   << "5 Mar 2024 r";
    }
    void writesTheShortDateFormat()
    {
        QFETCH(QString, format);
        QFETCH(QChar, separator);
        QFETCH(QString, shown);
        FormatSettings().ShortDateFormat = format;
        FormatSettings().DateSeparator = separator;
        create();
        const QDate d(2024, 3, 5);
        m_picker->setDate(d);
        QCOMPARE(m_picker->text(), shown);
        QCOMPARE(shown, FieldText::formatDate(d, FormatSettings()));
        QCOMPARE(m_picker->Date(), d);
        QVERIFY(m_picker->calendarPopup());
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(m_picker);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("From"));
        QCOMPARE(a->text(QAccessible::Value), shown);
    }

    void theProgramsDateRaisesNothing()
    {
        create();
        m_picker->setDate(QDate(2024, 1, 31));
        m_picker->setDate(QDate(2023, 12, 1));
        QCOMPARE(m_picker->Date(), QDate(2023, 12, 1));
        QVERIFY(m_changes.isEmpty());
    }

    // Each change by the user, one OnChange with the new date.
    void eachChangeByTheUserRaisesOnce_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QList<QDate>>("changes");
        QTest::newRow("Up steps the month")
            << "up" << QList<QDate>{QDate(2024, 4, 5)};
        QTest::newRow("Up twice") << "up up" << QList<QDate>{QDate(2024, 4, 5), QDate(2024, 5, 5)};
        QTest::newRow("typing the day") << "right type9" << QList<QDate>{QDate(2024, 3, 9)};
        QTest::newRow("a day chosen in the calendar, then closed")
            << "calendar" << QList<QDate>{QDate(2024, 3, 20)};
    }
    void eachChangeByTheUserRaisesOnce()
    {
        QFETCH(QString, action);
        QFETCH(QList<QDate>, changes);
        FormatSettings().ShortDateFormat = QStringLiteral("m/d/yyyy");
        create();
        m_picker->setDate(QDate(2024, 3, 5));
        m_picker->setFocus();
        m_picker->setSelectedSection(QDateTimeEdit::MonthSection);
        for (const QString &a : action.split(QLatin1Char(' '))) {
            if (a == QLatin1String("up")) {
                QTest::keyClick(m_picker, Qt::Key_Up);
            } else if (a == QLatin1String("right")) {
                m_picker->setSelectedSection(QDateTimeEdit::DaySection);
            } else if (a.startsWith(QLatin1String("type"))) {
                QTest::keyClicks(m_picker, a.mid(4));
            } else if (a == QLatin1String("calendar")) {
                QCalendarWidget *calendar = m_picker->calendarWidget();
                // The drop-down button at the right end of the box.
                QTest::mouseClick(m_picker, Qt::LeftButton, {}, QPoint(m_picker->width() - 4, m_picker->height() / 2));
                QVERIFY(calendar->isVisible());
                calendar->setSelectedDate(QDate(2024, 3, 20));
                QTest::keyClick(calendar, Qt::Key_Escape);
                calendar->window()->hide();
            }
        }
        QCOMPARE(m_changes, changes);
        QCOMPARE(m_picker->Date(), changes.last());
    }

    // The picker is one stop in the Tab order, both ways, and Tab lands on
    // a whole part.
    void oneTabStop()
    {
        create();
        auto *before = new QLineEdit(m_window.get());
        auto *after = new QLineEdit(m_window.get());
        m_window->layout()->addWidget(before);
        m_window->layout()->addWidget(after);
        before->show();
        after->show();
        QWidget::setTabOrder(before, m_picker);
        QWidget::setTabOrder(m_picker, after);
        m_picker->setDate(QDate(2024, 3, 5));
        before->setFocus();
        QTest::keyClick(before, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_picker);
        QVERIFY(!m_picker->findChild<QLineEdit *>()->selectedText().isEmpty());
        QTest::keyClick(m_picker, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), after);
        QTest::keyClick(after, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), m_picker);
        QTest::keyClick(m_picker, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), before);
        QVERIFY(m_changes.isEmpty());
    }

    // A click on a part selects it, and the digits typed next replace it.
    void aClickedPartIsReplacedByTyping_data()
    {
        QTest::addColumn<int>("character");  // the character of "3/5/2024" clicked on
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date");
        QTest::newRow("day") << 2 << "9" << QDate(2024, 3, 9);
        QTest::newRow("month") << 0 << "7" << QDate(2024, 7, 5);
        QTest::newRow("year") << 6 << "2023" << QDate(2023, 3, 5);
    }
    void aClickedPartIsReplacedByTyping()
    {
        QFETCH(int, character);
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        FormatSettings().ShortDateFormat = QStringLiteral("m/d/yyyy");
        create();
        m_picker->setDate(QDate(2024, 3, 5));
        QLineEdit *edit = m_picker->findChild<QLineEdit *>();
        QCOMPARE(edit->text(), QStringLiteral("3/5/2024"));
        // Just left of the middle of the character: where the caret would go
        // after it, less one pixel.
        QPoint at;
        for (int x = 1; x < edit->width() && at.isNull(); ++x) {
            if (edit->cursorPositionAt(QPoint(x, edit->height() / 2)) == character + 1)
                at = QPoint(x - 1, edit->height() / 2);
        }
        QVERIFY(!at.isNull());
        QTest::mouseClick(edit, Qt::LeftButton, {}, at);
        QCOMPARE(QApplication::focusWidget(), m_picker);
        QTest::keyClicks(m_picker, typed);
        QCOMPARE(m_picker->Date(), date);
        QVERIFY(!m_changes.isEmpty());
        QCOMPARE(m_changes.last(), date);
    }

    // F4, Alt+Down and Alt+Up drop the calendar down on the shown date and
    // change nothing; Esc closes it again.
    void keysOpenTheCalendar_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("F4") << int(Qt::Key_F4) << int(Qt::NoModifier);
        QTest::newRow("Alt+Down") << int(Qt::Key_Down) << int(Qt::AltModifier);
        QTest::newRow("Alt+Up") << int(Qt::Key_Up) << int(Qt::AltModifier);
    }
    void keysOpenTheCalendar()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        create();
        m_picker->setDate(QDate(2024, 3, 5));
        m_picker->setFocus();
        QTest::keyClick(m_picker, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCalendarWidget *calendar = m_picker->calendarWidget();
        QTRY_VERIFY(calendar->isVisible());
        QCOMPARE(calendar->selectedDate(), QDate(2024, 3, 5));
        QCOMPARE(m_picker->Date(), QDate(2024, 3, 5));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!calendar->isVisible());
        QCOMPARE(m_picker->Date(), QDate(2024, 3, 5));
        QVERIFY(m_changes.isEmpty());
    }
};

QTEST_MAIN(tst_DateTimePicker)
#include "tst_datetimepicker.moc"
