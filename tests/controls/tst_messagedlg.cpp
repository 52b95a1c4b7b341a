#include "EDatabaseError.h"
#include "MessageDlg.h"
#include "ModalAnswer.h"

#include <QMessageBox>
#include <QtTest>

using namespace MessageDlg;

// The message-box convention every window relies on: captions and icons by
// kind, the default and Esc answers, and the standard error box.
class tst_MessageDlg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        const int yesNo = mbYes | mbNo, okCancel = mbOK | mbCancel;
        const int confirm = int(TMsgDlgType::mtConfirmation), warn = int(TMsgDlgType::mtWarning);
        QTest::newRow("yes/no, Enter takes Yes") << confirm << yesNo << "Return" << int(TModalResult::mrYes) << "Confirm"
                                                 << int(QMessageBox::Question);
        QTest::newRow("yes/no, Esc answers No") << confirm << yesNo << "Escape" << int(TModalResult::mrNo) << "Confirm"
                                                << int(QMessageBox::Question);
        QTest::newRow("yes/no, Alt+N") << warn << yesNo << "Alt+N" << int(TModalResult::mrNo) << "Warning"
                                       << int(QMessageBox::Warning);
        QTest::newRow("ok/cancel, Enter takes OK") << confirm << okCancel << "Return" << int(TModalResult::mrOk)
                                                   << "Confirm" << int(QMessageBox::Question);
        QTest::newRow("ok/cancel, Esc answers Cancel") << confirm << okCancel << "Escape" << int(TModalResult::mrCancel)
                                                       << "Confirm" << int(QMessageBox::Question);
        QTest::newRow("information") << int(TMsgDlgType::mtInformation) << int(mbOK) << "Return"
                                     << int(TModalResult::mrOk) << "Information" << int(QMessageBox::Information);
    }
    void answers()
    {
        QFETCH(int, type);
        QFETCH(int, buttons);
        QFETCH(QString, key);
        QFETCH(int, expected);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        ModalAnswer answer(key);
        const TModalResult r = MessageDlg::MessageDlg(QStringLiteral("Are you sure?"), TMsgDlgType(type), buttons);
        QCOMPARE(int(r), expected);
        QCOMPARE(answer.title(), caption);
        QCOMPARE(answer.text(), QStringLiteral("Are you sure?"));
        QCOMPARE(answer.icons().value(0), icon);
    }

    void errorBoxAddsAFullStopWhereDue_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Key violation" << "Key violation.";
        QTest::newRow("ends in a quoted field name")
            << "'x' is not a valid floating point value for field 'Total'"
            << "'x' is not a valid floating point value for field 'Total'";
        QTest::newRow("question mark") << "Really?" << "Really?.";
        QTest::newRow("full stop already") << "Done." << "Done.";
    }
    void errorBoxAddsAFullStopWhereDue()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        ModalAnswer answer(QStringLiteral("Return"));
        QVERIFY(!Guard(nullptr, [&] { throw EDatabaseError(message); }));
        QCOMPARE(answer.title(), QStringLiteral("Ardentry"));
        QCOMPARE(answer.text(), shown);
        QCOMPARE(answer.icons().value(0), int(QMessageBox::Critical));
    }

    void guardRunsAndReportsNothingOnSuccess()
    {
        ModalAnswer answer(QStringLiteral("Return"));
        bool ran = false;
        QVERIFY(Guard(nullptr, [&] { ran = true; }));
        QVERIFY(ran);
        QCOMPARE(answer.count(), 0);
    }
};

QTEST_MAIN(tst_MessageDlg)
#include "tst_messagedlg.moc"
