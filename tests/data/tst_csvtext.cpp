#include "CsvText.h"

#include <QRandomGenerator>
#include <QtTest>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

// The texts of a CSV file: quoting, and numbers and dates that read back
// exactly whatever the reader's regional settings.
class tst_CsvText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << QStringLiteral("Cash box") << QByteArray("Cash box");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("blanks kept, not quoted") << QStringLiteral(" a ") << QByteArray(" a ");
        QTest::newRow("comma") << QStringLiteral("1,000") << QByteArray("\"1,000\"");
        QTest::newRow("quotes doubled") << QStringLiteral("say \"hi\"") << QByteArray("\"say \"\"hi\"\"\"");
        QTest::newRow("only a quote") << QStringLiteral("\"") << QByteArray("\"\"\"\"");
        QTest::newRow("line feed") << QStringLiteral("a\nb") << QByteArray("\"a\nb\"");
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QByteArray("\"a\r\nb\"");
        QTest::newRow("bare CR") << QStringLiteral("a\rb") << QByteArray("\"a\rb\"");
        QTest::newRow("semicolon and tab stay bare") << QStringLiteral("a;\tb") << QByteArray("a;\tb");
        QTest::newRow("non-ASCII as UTF-8")
            << QStringLiteral("Gr\u00fc\u00dfe \u65e5\u672c") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e \xe6\x97\xa5\xe6\x9c\xac");
        QTest::newRow("right-to-left with a comma")
            << QStringLiteral("\u0645\u0631\u062d\u0628\u0627, \u05e9\u05dc\u05d5\u05dd")
            << QByteArray("\"\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7, \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d\"");
    }
    void fields()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, written);
        QByteArray line("x,");
        CsvText::appendField(line, text);
        QCOMPARE(line, QByteArray("x,") + written);
    }

    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("zero") << 0.0 << QByteArray("0");
        QTest::newRow("negative zero") << -0.0 << QByteArray("0");
        QTest::newRow("whole") << 1500.0 << QByteArray("1500");
        QTest::newRow("negative fraction") << -1234.5 << QByteArray("-1234.5");
        QTest::newRow("0.1") << 0.1 << QByteArray("0.1");
        QTest::newRow("0.1 + 0.2 needs 17 digits") << 0.1 + 0.2 << QByteArray("0.30000000000000004");
        QTest::newRow("smallest fixed") << 0.0001 << QByteArray("0.0001");
        QTest::newRow("1E-5") << 1e-5 << QByteArray("1E-5");
        QTest::newRow("1.5E-5") << 1.5e-5 << QByteArray("1.5E-5");
        QTest::newRow("largest amount below 1E15")
            << std::nextafter(1e15, 0.0) << QByteArray("999999999999999.9");
        QTest::newRow("1E15") << 1e15 << QByteArray("1E15");
        QTest::newRow("-1E21") << -1e21 << QByteArray("-1E21");
        QTest::newRow("0.3 - 0.1 - 0.2") << 0.3 - 0.1 - 0.2 << QByteArray("-2.7755575615628914E-17");
        QTest::newRow("largest double") << DBL_MAX << QByteArray("1.7976931348623157E308");
        QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << QByteArray("5E-324");
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QByteArray("INF");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << QByteArray("NAN");
    }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, written);
        QCOMPARE(CsvText::number(value), written);
    }

    // Whatever the double, its text reads back bit for bit with the C
    // library's reader, in at most 17 significant digits.
    void numbersReadBackExactly()
    {
        QRandomGenerator random(15);
        for (int i = 0; i < 100000; ++i) {
            double v;
            if (i % 2 == 0) {
                const quint64 bits = random.generate64();
                std::memcpy(&v, &bits, sizeof v);
                if (!std::isfinite(v))
                    continue;
            } else {
                // Amounts as people type them: cents and a few decimals.
                v = double(qint64(random.generate64() % 2000000000000ULL) - 1000000000000LL) /
                    std::pow(10.0, double(random.bounded(7)));
            }
            const QByteArray text = CsvText::number(v);
            const double back = std::strtod(text.constData(), nullptr);
            QVERIFY2(back == v || (v == 0 && back == 0), text.constData());
            int digits = 0;
            bool leading = true;
            for (const char c : text) {
                if (c == 'E')
                    break;
                if (c >= '1' && c <= '9')
                    leading = false;
                if (c >= '0' && c <= '9' && !leading)
                    ++digits;
            }
            // Trailing zeros of a whole number are not significant digits.
            QVERIFY2(digits <= 17 || !text.contains('.'), text.constData());
        }
    }

    void dates_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("day and month padded") << QDate(2024, 3, 5) << QByteArray("2024-03-05");
        QTest::newRow("first day") << QDate(1, 1, 1) << QByteArray("0001-01-01");
        QTest::newRow("last day") << QDate(9999, 12, 31) << QByteArray("9999-12-31");
        QTest::newRow("invalid") << QDate() << QByteArray();
    }
    void dates()
    {
        QFETCH(QDate, date);
        QFETCH(QByteArray, written);
        QCOMPARE(CsvText::date(date), written);
    }
};

QTEST_APPLESS_MAIN(tst_CsvText)
#include "tst_csvtext.moc"
