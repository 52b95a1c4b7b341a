#include "FieldText.h"
#include "FormatSettings.h"

#include <QLocale>
#include <QProcess>
#include <QTest>
#include <limits>

Q_DECLARE_METATYPE(TFormatSettings)

namespace {

TFormatSettings settings(QChar decimalSeparator, QChar dateSeparator, const QString &shortDateFormat)
{
    TFormatSettings fs;
    fs.DecimalSeparator = decimalSeparator;
    fs.DateSeparator = dateSeparator;
    fs.ShortDateFormat = shortDateFormat;
    return fs;
}

// The matrix of user settings the tests run under.
TFormatSettings dayFirst()
{
    return settings(QLatin1Char('.'), QLatin1Char('/'), QStringLiteral("dd/mm/yyyy"));
}

TFormatSettings monthFirst()
{
    return TFormatSettings();
}

TFormatSettings dotDateCommaDecimal()
{
    return settings(QLatin1Char(','), QLatin1Char('.'), QStringLiteral("dd/mm/yy"));
}

TFormatSettings yearFirst()
{
    return settings(QLatin1Char('.'), QLatin1Char('-'), QStringLiteral("yyyy/mm/dd"));
}

TFormatSettings spelledMonth()
{
    return settings(QLatin1Char('.'), QLatin1Char('-'), QStringLiteral("dd/mmm/yyyy"));
}

const QDate Today2024(2024, 6, 15);

} // namespace

class tst_FieldText : public QObject
{
    Q_OBJECT

private slots:
    void formatGeneral_data();
    void formatGeneral();
    void parseFloat_data();
    void parseFloat();
    void parseInteger_data();
    void parseInteger();
    void parseDate_data();
    void parseDate();
    void formatDate_data();
    void formatDate();
    void dateRoundTrip_data();
    void dateRoundTrip();
    void dateFormatIsReadable_data();
    void dateFormatIsReadable();
    void fromLocale_data();
    void fromLocale();
    void fromTheSystemsSettings_data();
    void fromTheSystemsSettings();
    void withFullStop_data();
    void withFullStop();
};

void tst_FieldText::formatGeneral_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QChar>("decimalSeparator");
    QTest::addColumn<QString>("expected");

    const QChar point = QLatin1Char('.');
    const QChar comma = QLatin1Char(',');
    // Kept from constant folding so that the binary error really occurs.
    volatile double threeTenths = 0.3;
    const double residue = threeTenths - 0.1 - 0.2;
    volatile double oneTenth = 0.1;
    const double pointThree = oneTenth + 0.2;

    QTest::newRow("binary error rounded away") << pointThree << point << QStringLiteral("0.3");
    QTest::newRow("integer") << 1500.0 << point << QStringLiteral("1500");
    QTest::newRow("fraction") << 1234.5 << point << QStringLiteral("1234.5");
    QTest::newRow("negative") << -1234.5 << point << QStringLiteral("-1234.5");
    QTest::newRow("comma separator") << 1234.5 << comma << QStringLiteral("1234,5");
    QTest::newRow("zero") << 0.0 << point << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0 << point << QStringLiteral("0");
    QTest::newRow("largest fixed") << 999999999999999.0 << point << QStringLiteral("999999999999999");
    QTest::newRow("1E15") << 1e15 << point << QStringLiteral("1E15");
    QTest::newRow("rounds up into scientific") << 999999999999999.9 << point << QStringLiteral("1E15");
    QTest::newRow("smallest fixed") << 0.0001 << point << QStringLiteral("0.0001");
    QTest::newRow("just below fixed") << 0.00009999 << point << QStringLiteral("9.999E-5");
    QTest::newRow("small scientific") << 1.5e-5 << point << QStringLiteral("1.5E-5");
    QTest::newRow("small scientific, comma") << -1.5e-5 << comma << QStringLiteral("-1,5E-5");
    QTest::newRow("residue of 0.3-0.1-0.2") << residue << point << QStringLiteral("-2.77555756156289E-17");
    QTest::newRow("large, rounded") << 123456789012345678.0 << point << QStringLiteral("1.23456789012346E17");
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << point
                                    << QStringLiteral("1.79769313486232E308");
    QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << point
                                        << QStringLiteral("4.94065645841247E-324");
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << point << QStringLiteral("INF");
    QTest::newRow("negative infinity") << -std::numeric_limits<double>::infinity() << point
                                       << QStringLiteral("-INF");
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << point << QStringLiteral("NAN");
}

void tst_FieldText::formatGeneral()
{
    QFETCH(double, value);
    QFETCH(QChar, decimalSeparator);
    QFETCH(QString, expected);

    TFormatSettings fs;
    fs.DecimalSeparator = decimalSeparator;
    QCOMPARE(FieldText::formatGeneral(value, fs), expected);
}

void tst_FieldText::parseFloat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("decimalSeparator");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("expected");

    const QChar point = QLatin1Char('.');
    const QChar comma = QLatin1Char(',');
    const auto accepted = [](const char *name, const char *text, QChar separator, double value) {
        QTest::newRow(name) << QString::fromUtf8(text) << separator << true << value;
    };
    const auto refused = [](const char *name, const char *text, QChar separator) {
        QTest::newRow(name) << QString::fromUtf8(text) << separator << false << 0.0;
    };

    accepted("trailing zero", "12.50", point, 12.5);
    accepted("exponent", "1E3", point, 1000);
    accepted("lower-case exponent with signs", "-2.5e-3", point, -0.0025);
    accepted("exponent with plus", "1E+2", point, 100);
    accepted("comma separator", "12,5", comma, 12.5);
    accepted("no integer digits", ".5", point, 0.5);
    accepted("no fraction digits", "5.", point, 5);
    accepted("plus sign", "+7", point, 7);
    accepted("spaces around", "  -3.25  ", point, -3.25);
    accepted("underflow reads as zero", "1E-400", point, 0);
    accepted("underflow of a long mantissa", "123456789E-500", point, 0);
    accepted("huge negative exponent", "0.1E-99999999999999999999", point, 0);
    accepted("near the largest double", "1000E305", point, 1e308);

    refused("empty", "", point);
    refused("spaces only", "   ", point);
    refused("grouping with full stop separator", "1,000", point);
    refused("full stop with comma separator", "1.5", comma);
    refused("separator alone", ".", point);
    refused("sign alone", "+", point);
    refused("exponent without digits", "1e", point);
    refused("exponent without mantissa", "e5", point);
    refused("exponent sign without digits", "1e-", point);
    refused("inner space", "1 000", point);
    refused("space after sign", "- 5", point);
    refused("two signs", "--5", point);
    refused("hexadecimal", "0x10", point);
    refused("infinity word", "inf", point);
    refused("nan word", "nan", point);
    refused("two separators", "1.2.3", point);
    refused("fractional exponent", "1e5.5", point);
    refused("overflow", "1E400", point);
    refused("overflow by mantissa length", "10000E305", point);
    refused("huge exponent", "1E99999999999999999999", point);
    refused("non-ASCII digits", "\u0661\u0662", point);
}

void tst_FieldText::parseFloat()
{
    QFETCH(QString, text);
    QFETCH(QChar, decimalSeparator);
    QFETCH(bool, valid);
    QFETCH(double, expected);

    TFormatSettings fs;
    fs.DecimalSeparator = decimalSeparator;
    const std::optional<double> value = FieldText::parseFloat(text, fs);
    QCOMPARE(value.has_value(), valid);
    if (valid)
        QCOMPARE(*value, expected);
}

void tst_FieldText::parseInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("leading spaces") << QStringLiteral("  12") << true << 12;
    QTest::newRow("plus sign") << QStringLiteral("+5") << true << 5;
    QTest::newRow("leading zeros") << QStringLiteral("-007") << true << -7;
    QTest::newRow("smallest") << QStringLiteral("-2147483648") << true << std::numeric_limits<qint32>::min();
    QTest::newRow("largest") << QStringLiteral("2147483647") << true << std::numeric_limits<qint32>::max();

    QTest::newRow("trailing space") << QStringLiteral("12 ") << false << 0;
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("sign alone") << QStringLiteral("-") << false << 0;
    QTest::newRow("space after sign") << QStringLiteral("- 5") << false << 0;
    QTest::newRow("one past largest") << QStringLiteral("2147483648") << false << 0;
    QTest::newRow("one past smallest") << QStringLiteral("-2147483649") << false << 0;
    QTest::newRow("forty digits") << QStringLiteral("1234567890123456789012345678901234567890") << false << 0;
    QTest::newRow("fraction") << QStringLiteral("1.0") << false << 0;
    QTest::newRow("hexadecimal") << QStringLiteral("0x10") << false << 0;
}

void tst_FieldText::parseInteger()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint32, expected);

    const std::optional<qint32> value = FieldText::parseInteger(text);
    QCOMPARE(value.has_value(), valid);
    if (valid)
        QCOMPARE(*value, expected);
}

void tst_FieldText::parseDate_data()
{
    QTest::addColumn<TFormatSettings>("fs");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid when the text is refused

    const QDate refused;
    const auto row = [](const char *name, const TFormatSettings &fs, const QDate &today, const char *text,
                        const QDate &expected) {
        QTest::newRow(name) << fs << today << QString::fromUtf8(text) << expected;
    };

    row("day first, two numbers", dayFirst(), Today2024, "5/3", QDate(2024, 3, 5));
    row("day first, two-digit year in the past", dayFirst(), Today2024, "5/3/74", QDate(1974, 3, 5));
    row("day first, two-digit year in the future", dayFirst(), Today2024, "5/3/73", QDate(2073, 3, 5));
    row("one-digit year", dayFirst(), Today2024, "5/3/9", QDate(2009, 3, 5));
    row("three-digit year as written", dayFirst(), Today2024, "5/3/074", QDate(74, 3, 5));
    row("window starts 50 years back", dayFirst(), QDate(2000, 1, 1), "1/1/50", QDate(1950, 1, 1));
    row("window ends 49 years ahead", dayFirst(), QDate(2000, 1, 1), "1/1/49", QDate(2049, 1, 1));
    row("leap day", dayFirst(), Today2024, "29/2/2024", QDate(2024, 2, 29));
    row("spaces, trailing separator", dayFirst(), Today2024, " 5 / 3 /2024 /  ", QDate(2024, 3, 5));
    row("trailing separator after two numbers", dayFirst(), Today2024, "5/3/", QDate(2024, 3, 5));
    row("month first", monthFirst(), Today2024, "3/5/2024", QDate(2024, 3, 5));
    row("month first, two numbers", monthFirst(), Today2024, "3/5", QDate(2024, 3, 5));
    row("dot separator", dotDateCommaDecimal(), Today2024, "5.3.24", QDate(2024, 3, 5));
    row("dot separator, two numbers and trailing dot", dotDateCommaDecimal(), Today2024, "5.3.", QDate(2024, 3, 5));
    row("year first", yearFirst(), Today2024, "2024-3-5", QDate(2024, 3, 5));
    row("year first, two numbers are month and day", yearFirst(), Today2024, "3-5", QDate(2024, 3, 5));
    row("space separator", settings(QLatin1Char('.'), QLatin1Char(' '), QStringLiteral("d/m/yyyy")), Today2024,
        "5  3 2024", QDate(2024, 3, 5));
    row("upper-case format letters", settings(QLatin1Char('.'), QLatin1Char('/'), QStringLiteral("DD/MM/YYYY")),
        Today2024, "5/3", QDate(2024, 3, 5));

    row("day first, no such date", dayFirst(), Today2024, "31/2/2024", refused);
    row("no leap day", dayFirst(), Today2024, "29/2/2023", refused);
    row("month 13", dayFirst(), Today2024, "5/13/2024", refused);
    row("day 0", dayFirst(), Today2024, "0/3/2024", refused);
    row("year 0", dayFirst(), Today2024, "5/3/0000", refused);
    row("five-digit year", dayFirst(), Today2024, "5/3/10000", refused);
    row("huge day", dayFirst(), Today2024, "99999999999999999999/3/2024", refused);
    row("huge year", dayFirst(), Today2024, "5/3/99999999999999999999", refused);
    row("empty", dayFirst(), Today2024, "", refused);
    row("one number", dayFirst(), Today2024, "5", refused);
    row("one number and separator", dayFirst(), Today2024, "5/", refused);
    row("leading separator", dayFirst(), Today2024, "/5/3", refused);
    row("four numbers", dayFirst(), Today2024, "5/3/2024/1", refused);
    row("two trailing separators", dayFirst(), Today2024, "5/3/2024//", refused);
    row("trailing text", dayFirst(), Today2024, "5/3/2024 x", refused);
    row("another user's separator", dayFirst(), Today2024, "5.3.2024", refused);
    row("slash with dot separator", dotDateCommaDecimal(), Today2024, "5/3/24", refused);
    row("spelled month format, numbers", spelledMonth(), Today2024, "05-03-2024", refused);
    row("spelled month format, as written", spelledMonth(), Today2024, "05-Mar-2024", refused);
}

void tst_FieldText::parseDate()
{
    QFETCH(TFormatSettings, fs);
    QFETCH(QDate, today);
    QFETCH(QString, text);
    QFETCH(QDate, expected);

    const std::optional<QDate> date = FieldText::parseDate(text, fs, today);
    QCOMPARE(date.has_value(), expected.isValid());
    if (date)
        QCOMPARE(*date, expected);
}

void tst_FieldText::formatDate_data()
{
    QTest::addColumn<TFormatSettings>("fs");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const QDate march5(2024, 3, 5);
    QTest::newRow("day first") << dayFirst() << march5 << QStringLiteral("dd/mm/yyyy") << QStringLiteral("05/03/2024");
    QTest::newRow("month first") << monthFirst() << march5 << QStringLiteral("m/d/yy") << QStringLiteral("3/5/24");
    QTest::newRow("dot separator") << dotDateCommaDecimal() << march5 << QStringLiteral("dd/mm/yy")
                                   << QStringLiteral("05.03.24");
    QTest::newRow("upper-case letters") << dayFirst() << march5 << QStringLiteral("D/M/YY") << QStringLiteral("5/3/24");
    QTest::newRow("month names") << dayFirst() << march5 << QStringLiteral("mmmm d, yyyy (mmm)")
                                 << QStringLiteral("March 5, 2024 (Mar)");
    QTest::newRow("quoted text") << dayFirst() << march5 << QStringLiteral("\"day\" d 'of month' m")
                                 << QStringLiteral("day 5 of month 3");
    QTest::newRow("other characters copied") << dotDateCommaDecimal() << march5 << QStringLiteral("yyyy-mm-dd")
                                             << QStringLiteral("2024-03-05");
    QTest::newRow("early year padded") << dayFirst() << QDate(74, 3, 5) << QStringLiteral("d/m/yyyy|yy")
                                       << QStringLiteral("5/3/0074|74");
}

void tst_FieldText::formatDate()
{
    QFETCH(TFormatSettings, fs);
    QFETCH(QDate, date);
    QFETCH(QString, format);
    QFETCH(QString, expected);

    QCOMPARE(FieldText::formatDate(date, format, fs), expected);
}

// A date written in the user's short date format reads back as the same date
// under every readable setting, including those taken from real locales.
void tst_FieldText::dateRoundTrip_data()
{
    QTest::addColumn<TFormatSettings>("fs");

    QTest::newRow("day first") << dayFirst();
    QTest::newRow("month first") << monthFirst();
    QTest::newRow("dot separator") << dotDateCommaDecimal();
    QTest::newRow("year first") << yearFirst();
    for (const char *name : {"en_US", "de_DE", "fr_FR", "hu_HU", "ko_KR", "ar_SA"})
        QTest::newRow(name) << TFormatSettings::fromLocale(QLocale(QString::fromLatin1(name)));
}

void tst_FieldText::dateRoundTrip()
{
    QFETCH(TFormatSettings, fs);

    // Within the two-digit year window around today.
    for (const QDate &date : {QDate(1974, 1, 31), QDate(2024, 2, 29), QDate(2073, 12, 9)}) {
        const QString text = FieldText::formatDate(date, fs);
        const std::optional<QDate> read = FieldText::parseDate(text, fs, Today2024);
        QVERIFY2(read.has_value(), qPrintable(text));
        QCOMPARE(*read, date);
    }
}

void tst_FieldText::dateFormatIsReadable_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("readable");

    QTest::newRow("numbers only") << QStringLiteral("dd/mm/yyyy") << true;
    QTest::newRow("short month name") << QStringLiteral("dd/mmm/yyyy") << false;
    QTest::newRow("long month name, upper case") << QStringLiteral("MMMM D YYYY") << false;
}

void tst_FieldText::dateFormatIsReadable()
{
    QFETCH(QString, format);
    QFETCH(bool, readable);

    TFormatSettings fs;
    fs.ShortDateFormat = format;
    QCOMPARE(FieldText::dateFormatIsReadable(fs), readable);
}

void tst_FieldText::fromLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QChar>("decimalSeparator");
    QTest::addColumn<QChar>("dateSeparator");
    QTest::addColumn<QString>("shortDateFormat");

    const QChar point = QLatin1Char('.');
    const QChar comma = QLatin1Char(',');
    const QChar slash = QLatin1Char('/');

    QTest::newRow("C") << QLocale::c() << point << slash << QStringLiteral("m/d/yy");
    QTest::newRow("POSIX") << QLocale(QStringLiteral("POSIX")) << point << slash << QStringLiteral("m/d/yy");
    QTest::newRow("en_US") << QLocale(QStringLiteral("en_US")) << point << slash << QStringLiteral("m/d/yy");
    QTest::newRow("de_DE") << QLocale(QStringLiteral("de_DE")) << comma << point << QStringLiteral("dd/mm/yy");
    QTest::newRow("fr_FR") << QLocale(QStringLiteral("fr_FR")) << comma << slash << QStringLiteral("dd/mm/yyyy");
    // "yyyy. MM. dd.": the separator is the first character between parts
    // that is not a space; the spaces and the closing dot stay in the format.
    QTest::newRow("hu_HU") << QLocale(QStringLiteral("hu_HU")) << comma << point << QStringLiteral("yyyy/ mm/ dd/");
    // The right-to-left marks around the slashes are dropped.
    QTest::newRow("ar_SA") << QLocale(QStringLiteral("ar_SA")) << QChar(0x066B) << slash << QStringLiteral("d/m/yyyy");
}

void tst_FieldText::fromLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QChar, decimalSeparator);
    QFETCH(QChar, dateSeparator);
    QFETCH(QString, shortDateFormat);

    const TFormatSettings fs = TFormatSettings::fromLocale(locale);
    QCOMPARE(fs.DecimalSeparator, decimalSeparator);
    QCOMPARE(fs.DateSeparator, dateSeparator);
    QCOMPARE(fs.ShortDateFormat, shortDateFormat);
}

// The settings a session's environment gives, each taken on its own: the
// date format from LC_TIME, the decimal separator from LC_NUMERIC, LC_ALL
// over both and LANG under them. Only what the system does not give in a
// usable form takes its default ("." and "m/d/yy" with "/"). Each case runs
// the program's reading of the system in a process of its own, started with
// that environment.
void tst_FieldText::fromTheSystemsSettings_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("settings");  // decimal separator|date separator|short date format

    QTest::newRow("German") << QStringList{"LANG=de_DE.UTF-8"} << ",|.|dd/mm/yy";
    QTest::newRow("German numbers, C dates") << QStringList{"LANG=de_DE.UTF-8", "LC_TIME=C"} << ",|/|m/d/yy";
    QTest::newRow("C numbers, German dates") << QStringList{"LANG=C.UTF-8", "LC_TIME=de_DE.UTF-8"} << ".|.|dd/mm/yy";
    QTest::newRow("US dates, French numbers")
        << QStringList{"LANG=en_US.UTF-8", "LC_NUMERIC=fr_FR.UTF-8"} << ",|/|m/d/yy";
    QTest::newRow("French dates, US numbers")
        << QStringList{"LANG=en_US.UTF-8", "LC_TIME=fr_FR.UTF-8"} << ".|/|dd/mm/yyyy";
    QTest::newRow("LC_ALL over the rest") << QStringList{"LANG=fr_FR.UTF-8", "LC_TIME=de_DE.UTF-8", "LC_ALL=C"}
                                         << ".|/|m/d/yy";
    QTest::newRow("C") << QStringList{"LANG=C.UTF-8"} << ".|/|m/d/yy";
    QTest::newRow("nothing set") << QStringList{} << ".|/|m/d/yy";
}

void tst_FieldText::fromTheSystemsSettings()
{
    QFETCH(QStringList, environment);
    QFETCH(QString, settings);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : env.keys()) {
        if (name == QLatin1String("LANG") || name == QLatin1String("LANGUAGE") || name.startsWith(QLatin1String("LC_")))
            env.remove(name);
    }
    for (const QString &setting : environment)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    QProcess reader;
    reader.setProcessEnvironment(env);
    reader.start(QStringLiteral(SYSTEM_SETTINGS), QStringList());
    QVERIFY2(reader.waitForFinished(30000), qPrintable(reader.errorString()));
    QCOMPARE(reader.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()).trimmed(), settings);
}

void tst_FieldText::withFullStop_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("letter") << QStringLiteral("'x' is not a valid date") << QStringLiteral("'x' is not a valid date.");
    QTest::newRow("digit") << QStringLiteral("Error 5") << QStringLiteral("Error 5.");
    QTest::newRow("question mark") << QStringLiteral("Really?") << QStringLiteral("Really?.");
    QTest::newRow("slash sorts after") << QStringLiteral("a/") << QStringLiteral("a/.");
    QTest::newRow("non-ASCII letter") << QStringLiteral("caf\u00e9") << QStringLiteral("caf\u00e9.");
    QTest::newRow("apostrophe")
        << QStringLiteral("'x' is not a valid integer value for field 'AccID'")
        << QStringLiteral("'x' is not a valid integer value for field 'AccID'");
    QTest::newRow("full stop") << QStringLiteral("Done.") << QStringLiteral("Done.");
    QTest::newRow("hyphen") << QStringLiteral("a -") << QStringLiteral("a -");
    QTest::newRow("space") << QStringLiteral("a ") << QStringLiteral("a ");
}

void tst_FieldText::withFullStop()
{
    QFETCH(QString, message);
    QFETCH(QString, expected);

    QCOMPARE(FieldText::withFullStop(message), expected);
}

QTEST_GUILESS_MAIN(tst_FieldText)
#include "tst_fieldtext.moc"
