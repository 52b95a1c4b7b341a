#include "Clock.h"
#include "DMUnit.h"
#include "EngineCatalog.h"
#include "FieldText.h"
#include "FilterExpr.h"
#include "FormatSettings.h"
#include "LocalSql.h"
#include "TDBEdit.h"
#include "TDataSource.h"
#include "TDateField.h"
#include "TField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TTable.h"
#include "TestAlias.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QVBoxLayout>
#include <QtTest>
#include <cmath>
#include <limits>

// Whatever a user can type or paste into a number, integer or date, and
// whatever text reaches a filter or a local SQL statement, either gives the
// field's message or a value, and a value is stored exactly as it was read:
// never a crash, an exception of another kind, NaN, infinity or a value that
// differs from what the parse gave.

namespace {

const QDate Today(2024, 3, 13);

TFormatSettings settings(QChar decimalSeparator, QChar dateSeparator, const QString &shortDateFormat)
{
    TFormatSettings fs;
    fs.DecimalSeparator = decimalSeparator;
    fs.DateSeparator = dateSeparator;
    fs.ShortDateFormat = shortDateFormat;
    return fs;
}

// The settings the fields run under in the table of nasty cases.
TFormatSettings dayFirst()
{
    return settings(QLatin1Char('.'), QLatin1Char('/'), QStringLiteral("dd/mm/yyyy"));
}

// The settings matrix the parsers are fuzzed under.
QList<TFormatSettings> settingsMatrix()
{
    return {
        TFormatSettings(),
        dayFirst(),
        settings(QLatin1Char(','), QLatin1Char('.'), QStringLiteral("dd/mm/yy")),
        settings(QLatin1Char('.'), QLatin1Char('-'), QStringLiteral("yyyy/mm/dd")),
        settings(QLatin1Char(','), QLatin1Char(' '), QStringLiteral("d/m/yyyy")),
    };
}

// What one field is expected to do with a text: refuse it (an invalid
// QVariant) or store this value.
const QVariant Refused;

QString utf16(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QString repeated(const char *piece, int times)
{
    return QString::fromUtf8(piece).repeated(times);
}

// Random texts for the parsers: mostly what numbers and dates are made of,
// with blanks, controls and a few characters from other scripts mixed in.
class TextGenerator
{
public:
    explicit TextGenerator(quint32 seed) : m_random(seed) {}

    QChar character()
    {
        static const QString common = QStringLiteral("0123456789012345678901234567890123456789+-+-.,.,//--eEeE  ");
        static const QString rare = QStringLiteral("xX_#'\"()=<>;:") + QChar(0) + QChar(u'\t') + QChar(u'\n')
                                    + QChar(0x1b) + QChar(0x7f) + QChar(0x200f) + QChar(0x0661) + QChar(0xff11)
                                    + QChar(0x00a0) + QChar(0xd83d) + QChar(0xfeff);
        if (m_random.bounded(8) == 0)
            return rare.at(m_random.bounded(int(rare.size())));
        return common.at(m_random.bounded(int(common.size())));
    }

    QString text(int maxLength)
    {
        const int length = m_random.bounded(maxLength + 1);
        QString s;
        s.reserve(length);
        for (int i = 0; i < length; ++i)
            s += character();
        return s;
    }

    // A text made of the pieces filters and statements are built from, with
    // random characters and literals between them.
    QString pieces(const QStringList &words, int maxPieces)
    {
        const int count = m_random.bounded(maxPieces + 1);
        QString s;
        for (int i = 0; i < count; ++i) {
            switch (m_random.bounded(4)) {
            case 0:
                s += QLatin1Char('\'') + text(12) + (m_random.bounded(10) ? QStringLiteral("'") : QString());
                break;
            case 1:
                s += text(3);
                break;
            default:
                s += words.at(m_random.bounded(int(words.size())));
                break;
            }
            if (m_random.bounded(3))
                s += QLatin1Char(' ');
        }
        return s;
    }

    int bounded(int n) { return m_random.bounded(n); }

private:
    QRandomGenerator m_random;
};

// Each fuzz target runs a bounded number of rounds and stops early after a
// few seconds, so that a slow (sanitized) build stays quick. The clock only
// ends the loop; the count is reported, never checked.
constexpr int FuzzRounds = 200000;
constexpr qint64 FuzzMilliseconds = 3000;

template<typename Round>
void fuzz(const char *target, Round round)
{
    QElapsedTimer timer;
    timer.start();
    int rounds = 0;
    while (rounds < FuzzRounds && timer.elapsed() < FuzzMilliseconds) {
        round();
        if (QTest::currentTestFailed())
            return;
        ++rounds;
    }
    qInfo("%s: %d rounds", target, rounds);
}

// Reports the text that broke an invariant in a form that survives controls.
QByteArray shown(const QString &text)
{
    QByteArray out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            out += char(c.unicode());
        else
            out += QByteArray("\\u") + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
    }
    return out;
}

// A parsed float shown as the program shows it and read again is the same
// value to 15 significant digits, and shows the same again.
bool roundTripsAsShown(double value, const TFormatSettings &fs)
{
    const QString text = FieldText::formatGeneral(value, fs);
    const std::optional<double> again = FieldText::parseFloat(text, fs);
    if (!again)
        return false;
    return std::abs(*again - value) <= 1e-14 * std::abs(value) && FieldText::formatGeneral(*again, fs) == text;
}

// The dates whose written form names them unambiguously: any date with a
// four-digit year, and with a two-digit year those in the hundred years the
// reader places such a year in.
bool dateIsWrittenUnambiguously(const QDate &date, const TFormatSettings &fs, const QDate &today)
{
    if (fs.ShortDateFormat.contains(QLatin1String(")yyy"), Qt::CaseInsensitive))
        return true;
    return date.year() >= today.year() - 50 && date.year() <= today.year() + 49;
}

// The Sales columns the filter parser resolves, as a table resolves them.
std::optional<TFilterExpr::Column> salesColumn(const QString &name)
{
    if (const TColumnDef *c = EngineCatalog::find(QStringLiteral("Sales"))->column(name))
        return TFilterExpr::Column{c->name, c->type};
    return std::nullopt;
}

} // namespace

class tst_BadInput : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;

    QVariant stored(const QString &column) const
    {
        return m_alias->scalar(QStringLiteral("SELECT \"%1\" FROM Sales").arg(column));
    }
    bool salesTableExists() const
    {
        return m_alias->scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'Sales'"))
                   .toInt()
               == 1;
    }

    // Assigns the text to the field of the one sales record and checks the
    // outcome: the field's message with the value unchanged, or exactly the
    // expected value in the database after the post.
    void assign(TField *field, const QString &text, const QVariant &expected, const QString &message);

private Q_SLOTS:
    void init()
    {
        FormatSettings() = dayFirst();
        Clock::setTodaySource([] { return Today; });
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Customer, Total) "
                                     "VALUES (7, '2024-03-01', 'Ann', 12.5)"));
        QVERIFY_DB(DM = new TDM());
    }
    void cleanup()
    {
        delete DM;
        DM = nullptr;
        m_alias.reset();
        Clock::setTodaySource({});
        FormatSettings() = TFormatSettings();
    }

    void nastyTextInFields_data();
    void nastyTextInFields();
    void hostileFilters_data();
    void hostileFilters();
    void fuzzParseFloat();
    void fuzzParseInteger();
    void fuzzParseDate();
    void fuzzFilterExpr();
    void fuzzLocalSql();
    void boundBoxesTakeNastyText_data();
    void boundBoxesTakeNastyText();
};

void tst_BadInput::assign(TField *field, const QString &text, const QVariant &expected, const QString &message)
{
    QVERIFY_DB(DM->SalesTable->Edit());
    const QVariant before = field->Value();
    QString raised;
    try {
        field->setAsString(text);
    } catch (const EDatabaseError &e) {
        raised = e.message();
    }
    if (!expected.isValid()) {
        QCOMPARE(raised, message);
        QCOMPARE(field->Value(), before);
        DM->SalesTable->Cancel();
        return;
    }
    QCOMPARE(raised, QString());
    QVERIFY_DB(DM->SalesTable->Post());
    const QVariant actual = stored(field->FieldName());
    switch (field->DataType()) {
    case TFieldType::Float:
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT typeof(Total) FROM Sales")).toString(), QStringLiteral("real"));
        QVERIFY(std::isfinite(actual.toDouble()));
        QCOMPARE(actual.toDouble(), expected.toDouble()); // exactly, not fuzzily
        break;
    case TFieldType::Integer:
        QCOMPARE(actual.toLongLong(), expected.toLongLong());
        break;
    case TFieldType::Date:
        QCOMPARE(actual.toString(), expected.toDate().toString(Qt::ISODate));
        break;
    default:
        QFAIL("not a field of the table of nasty cases");
    }
}

void tst_BadInput::nastyTextInFields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("asFloat");
    QTest::addColumn<QVariant>("asInteger");
    QTest::addColumn<QVariant>("asDate");

    const auto row = [](const char *name, const QString &text, const QVariant &f, const QVariant &i, const QVariant &d) {
        QTest::newRow(name) << text << f << i << d;
    };
    const auto refusedEverywhere = [&row](const char *name, const QString &text) {
        row(name, text, Refused, Refused, Refused);
    };
    const QString fortyDigits = QStringLiteral("1234567890123456789012345678901234567890");

    refusedEverywhere("largest decimal exponent", utf16(u"1E308"));
    // Amounts stay below 1E15, so that no sum of them ever overflows.
    row("largest amount", utf16(u"999999999999999.9"), 999999999999999.9, Refused, Refused);
    refusedEverywhere("smallest amount too large", utf16(u"1E15"));
    refusedEverywhere("negative amount too large", utf16(u"-1000000000000000"));
    refusedEverywhere("exponent past the largest double", utf16(u"1E309"));
    refusedEverywhere("negative value past the largest double", utf16(u"-1E400"));
    row("too small to represent reads as zero", utf16(u"1e-400"), 0.0, Refused, Refused);
    row("smallest subnormal", utf16(u"4.9406564584124654E-324"), std::numeric_limits<double>::denorm_min(), Refused,
        Refused);
    row("exponent of a million digits saturates", utf16(u"1e-") + repeated("9", 400), 0.0, Refused, Refused);
    refusedEverywhere("nan", utf16(u"nan"));
    refusedEverywhere("NaN", utf16(u"NaN"));
    refusedEverywhere("inf", utf16(u"inf"));
    refusedEverywhere("-Infinity", utf16(u"-Infinity"));
    refusedEverywhere("1.#INF", utf16(u"1.#INF"));
    refusedEverywhere("1.#QNAN", utf16(u"1.#QNAN"));
    refusedEverywhere("forty-digit integer", fortyDigits);
    refusedEverywhere("negative forty-digit integer", utf16(u"-") + fortyDigits);
    row("largest 32-bit integer", utf16(u"2147483647"), 2147483647.0, 2147483647, Refused);
    row("one past the largest 32-bit integer", utf16(u"2147483648"), 2147483648.0, Refused, Refused);
    row("smallest 32-bit integer", utf16(u"-2147483648"), -2147483648.0, qint64(-2147483648LL), Refused);
    row("one below the smallest 32-bit integer", utf16(u"-2147483649"), -2147483649.0, Refused, Refused);
    refusedEverywhere("NUL inside digits", utf16(u"1") + QString(QChar(0)) + utf16(u"2"));
    refusedEverywhere("NUL after digits", utf16(u"12") + QString(QChar(0)));
    refusedEverywhere("NUL inside a date", utf16(u"1/2") + QString(QChar(0)) + utf16(u"/2024"));
    refusedEverywhere("tab before digits", utf16(u"\t12"));
    refusedEverywhere("newline after digits", utf16(u"12\n"));
    refusedEverywhere("newline after a date", utf16(u"1/2/2024\n"));
    refusedEverywhere("escape inside digits", utf16(u"1\x1b" u"2"));
    refusedEverywhere("DEL after digits", utf16(u"12\x7f"));
    refusedEverywhere("right-to-left mark before digits", utf16(u"\u200f12"));
    refusedEverywhere("right-to-left mark after a date", utf16(u"1/2/2024\u200f"));
    refusedEverywhere("left-to-right embedding around digits", utf16(u"\u202a12\u202c"));
    refusedEverywhere("Arabic-Indic digits", utf16(u"\u0661\u0662\u0663"));
    refusedEverywhere("Arabic-Indic date", utf16(u"\u0661/\u0662/\u0662\u0660\u0662\u0664"));
    refusedEverywhere("full-width digits", utf16(u"\uff11\uff12\uff13"));
    refusedEverywhere("no-break space before digits", utf16(u"\u00a012"));
    // (built from a QChar: reading UTF-16 text drops a leading byte-order mark)
    refusedEverywhere("byte-order mark before digits", QString(QChar(0xfeff)) + utf16(u"12"));
    refusedEverywhere("lone surrogate", utf16(u"1") + QString(QChar(0xd83d)));
    refusedEverywhere("hexadecimal", utf16(u"0x10"));
    refusedEverywhere("digit group underscore", utf16(u"1_000"));
    refusedEverywhere("digit group comma", utf16(u"1,000"));
    refusedEverywhere("two decimal separators", utf16(u"1.2.3"));
    refusedEverywhere("separator alone", utf16(u"."));
    refusedEverywhere("sign alone", utf16(u"-"));
    refusedEverywhere("two signs", utf16(u"+-1"));
    refusedEverywhere("exponent without digits", utf16(u"1e"));
    refusedEverywhere("exponent without mantissa", utf16(u"e5"));
    refusedEverywhere("blanks only", utf16(u"   "));
    row("leading separator", utf16(u".5"), 0.5, Refused, Refused);
    row("trailing separator", utf16(u"5."), 5.0, Refused, Refused);
    row("blanks around", utf16(u"  12  "), 12.0, Refused, Refused);
    row("leading blanks", utf16(u"  -12"), -12.0, -12, Refused);
    row("negative zero", utf16(u"-0"), 0.0, 0, Refused);
    row("date", utf16(u"1/2/2024"), Refused, Refused, QDate(2024, 2, 1));
    row("date with a trailing separator", utf16(u"1/2/2024/"), Refused, Refused, QDate(2024, 2, 1));
    refusedEverywhere("date with two trailing separators", utf16(u"1/2/2024//"));
    refusedEverywhere("date with a leading separator", utf16(u"/1/2/2024"));
    row("day and month", utf16(u"1/2/"), Refused, Refused, QDate(2024, 2, 1));
    refusedEverywhere("no such day", utf16(u"30/2/2024"));
    refusedEverywhere("year 0", utf16(u"1/1/0000"));
    refusedEverywhere("year 10000", utf16(u"1/1/10000"));
    row("year 1", utf16(u"1/1/0001"), Refused, Refused, QDate(1, 1, 1));
    row("year 9999", utf16(u"31/12/9999"), Refused, Refused, QDate(9999, 12, 31));
    refusedEverywhere("huge day", utf16(u"99999999999999999999/1/2024"));
    refusedEverywhere("10,000 ones", repeated("1", 10000));
    row("10,000 zeros", repeated("0", 10000), 0.0, 0, Refused);
    row("10,000-digit fraction", utf16(u"0.") + repeated("3", 9998), 1.0 / 3, Refused, Refused);
    row("date with a 10,000-digit year of leading zeros", utf16(u"1/1/") + repeated("0", 9996) + utf16(u"2024"), Refused, Refused,
        QDate(2024, 1, 1));
    refusedEverywhere("10,000 separators", repeated("/", 10000));
    refusedEverywhere("10,000 characters of a pasted page", repeated("Total 12.5 on 1/2/2024\n", 435));
}

void tst_BadInput::nastyTextInFields()
{
    QFETCH(QString, text);
    QFETCH(QVariant, asFloat);
    QFETCH(QVariant, asInteger);
    QFETCH(QVariant, asDate);

    TField *total = DM->SalesTableTotal;
    TField *id = DM->SalesTableId;
    TField *date = DM->SalesTableDocDate;
    assign(total, text, asFloat,
           QStringLiteral("'%1' is not a valid floating point value for field 'Total'").arg(text));
    if (QTest::currentTestFailed())
        return;
    assign(id, text, asInteger, QStringLiteral("'%1' is not a valid integer value for field 'Invoice ID'").arg(text));
    if (QTest::currentTestFailed())
        return;
    assign(date, text, asDate, QStringLiteral("'%1' is not a valid date").arg(text));
    if (QTest::currentTestFailed())
        return;

    // What a field accepted is exactly what the parse gives.
    if (asFloat.isValid())
        QCOMPARE(FieldText::parseFloat(text, FormatSettings()), std::optional<double>(asFloat.toDouble()));
    if (asInteger.isValid())
        QCOMPARE(FieldText::parseInteger(text), std::optional<qint32>(asInteger.toInt()));
}

void tst_BadInput::hostileFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("applies");

    QTest::newRow("empty") << QString() << true;
    QTest::newRow("blanks and controls") << utf16(u" \t\n ") << true;
    QTest::newRow("quotes only") << utf16(u"''''") << false;
    QTest::newRow("unterminated quote") << utf16(u"Customer = 'Ann") << false;
    QTest::newRow("injection in a literal") << utf16(u"Customer = '''); DROP TABLE Sales; --'") << true;
    QTest::newRow("injection after a literal") << utf16(u"Customer = 'Ann'); DROP TABLE Sales; --") << false;
    QTest::newRow("injection as a field") << utf16(u"Sales; DROP TABLE Sales = 1") << false;
    QTest::newRow("quoted quote") << utf16(u"Customer = 'O''Brien'") << true;
    QTest::newRow("huge date") << utf16(u"DocDate >= '99/99/99999999999999999999'") << false;
    QTest::newRow("last date") << utf16(u"DocDate <= '31/12/9999'") << true;
    QTest::newRow("date as a 10,000-digit number") << utf16(u"DocDate = ") + repeated("9", 10000) << false;
    QTest::newRow("huge exponent") << utf16(u"Total > 1E400") << false;
    QTest::newRow("nan") << utf16(u"Total <> nan") << false;
    QTest::newRow("integer too large") << utf16(u"Id = 99999999999") << false;
    QTest::newRow("open parenthesis") << utf16(u"(Total > 1") << false;
    QTest::newRow("close parenthesis") << utf16(u"Total > 1)") << false;
    QTest::newRow("parentheses only") << utf16(u"()") << false;
    QTest::newRow("nested 32 deep") << repeated("(", 32) + utf16(u"Total > 1") + repeated(")", 32) << true;
    QTest::newRow("nested 33 deep") << repeated("(", 33) + utf16(u"Total > 1") + repeated(")", 33) << false;
    QTest::newRow("nested 5,000 deep") << repeated("(", 5000) + utf16(u"Total > 1") + repeated(")", 5000) << false;
    QTest::newRow("100,000 open parentheses") << repeated("(", 100000) << false;
    QTest::newRow("32 NOTs") << repeated("NOT ", 32) + utf16(u"Total > 1") << true;
    QTest::newRow("NOTs and groups 32 deep") << repeated("NOT (", 16) + utf16(u"Total > 1") + repeated(")", 16) << true;
    QTest::newRow("100,000 NOTs") << repeated("NOT ", 100000) + utf16(u"Total > 1") << false;
    QTest::newRow("2,000 ANDs") << repeated("Total > 1 AND ", 2000) + utf16(u"Total > 1") << false;
    QTest::newRow("NUL in a literal") << utf16(u"Customer = 'A") + QString(QChar(0)) + utf16(u"'") << true;
    QTest::newRow("right-to-left field name") << utf16(u"\u0627\u0644\u0645\u062c\u0645\u0648\u0639 = 1") << false;
}

void tst_BadInput::hostileFilters()
{
    QFETCH(QString, filter);
    QFETCH(bool, applies);

    bool raised = false;
    try {
        DM->SalesTable->setFilter(filter);
        DM->SalesTable->setFiltered(true);
        DM->SalesTable->First();
        while (!DM->SalesTable->Eof())
            DM->SalesTable->Next();
    } catch (const EDatabaseError &e) {
        raised = true;
        QVERIFY2(!e.message().isEmpty(), "an error without a message");
    }
    QCOMPARE(!raised, applies);
    QVERIFY(salesTableExists());
    QCOMPARE(m_alias->scalar(QStringLiteral("SELECT count(*) FROM Sales")).toInt(), 1);
}

void tst_BadInput::fuzzParseFloat()
{
    TextGenerator gen(0x5eed0001);
    const QList<TFormatSettings> matrix = settingsMatrix();
    fuzz("parseFloat", [&] {
        const QString text = gen.text(gen.bounded(20) ? 24 : 400);
        for (const TFormatSettings &fs : matrix) {
            const std::optional<double> v = FieldText::parseFloat(text, fs);
            if (!v)
                continue;
            QVERIFY2(std::isfinite(*v), shown(text));
            QVERIFY2(roundTripsAsShown(*v, fs), shown(text));
        }
    });
}

void tst_BadInput::fuzzParseInteger()
{
    TextGenerator gen(0x5eed0002);
    fuzz("parseInteger", [&] {
        const QString text = gen.text(gen.bounded(20) ? 16 : 400);
        const std::optional<qint32> v = FieldText::parseInteger(text);
        if (!v)
            return;
        QVERIFY2(FieldText::parseInteger(QString::number(*v)) == v, shown(text));
        // An integer is a number too, of the same value.
        QVERIFY2(FieldText::parseFloat(text, TFormatSettings()) == std::optional<double>(*v), shown(text));
    });
}

void tst_BadInput::fuzzParseDate()
{
    TextGenerator gen(0x5eed0003);
    const QList<TFormatSettings> matrix = settingsMatrix();
    const QDate todays[] = {Today, QDate(1, 1, 1), QDate(9999, 12, 31), QDate(2049, 12, 31)};
    fuzz("parseDate", [&] {
        const QString text = gen.text(gen.bounded(20) ? 16 : 400);
        for (const TFormatSettings &fs : matrix) {
            for (const QDate &today : todays) {
                const std::optional<QDate> d = FieldText::parseDate(text, fs, today);
                if (!d)
                    continue;
                QVERIFY2(d->isValid() && d->year() >= 1 && d->year() <= 9999, shown(text));
                if (!dateIsWrittenUnambiguously(*d, fs, today))
                    continue;
                const QString written = FieldText::formatDate(*d, fs);
                QVERIFY2(FieldText::parseDate(written, fs, today) == d, shown(text + utf16(u" -> ") + written));
            }
        }
    });
}

void tst_BadInput::fuzzFilterExpr()
{
    TextGenerator gen(0x5eed0004);
    const QList<TFormatSettings> matrix = settingsMatrix();
    const QStringList words = {
        QStringLiteral("Total"), QStringLiteral("DocDate"), QStringLiteral("Id"),  QStringLiteral("Customer"),
        QStringLiteral("Nobody"), QStringLiteral("AND"),    QStringLiteral("or"),  QStringLiteral("NOT"),
        QStringLiteral("("),      QStringLiteral(")"),      QStringLiteral("="),   QStringLiteral("<>"),
        QStringLiteral("<="),     QStringLiteral(">"),      QStringLiteral("'1/2/2024'"), QStringLiteral("12.5"),
        QStringLiteral("''"),     QStringLiteral(";"),      QStringLiteral("--"),
    };
    // Every condition the parser gives must be valid SQL over the table.
    QSqlQuery query(m_alias->fixture());
    int i = 0;
    fuzz("TFilterExpr::parse", [&] {
        const QString text = gen.pieces(words, 10);
        const TFormatSettings &fs = matrix.at(i++ % matrix.size());
        TFilterExpr expr;
        try {
            expr = TFilterExpr::parse(text, salesColumn, fs, Today);
        } catch (const EDatabaseError &e) {
            QVERIFY2(!e.message().isEmpty(), shown(text));
            return;
        }
        if (expr.isEmpty()) {
            QVERIFY2(text.trimmed().isEmpty(), shown(text));
            return;
        }
        QVERIFY2(!expr.sql().contains(QLatin1Char('\'')), shown(text));
        QCOMPARE(expr.sql().count(QLatin1Char('?')), expr.params().size());
        QVERIFY2(query.prepare(QStringLiteral("SELECT count(*) FROM Sales WHERE ") + expr.sql()),
                 shown(text + utf16(u" -> ") + expr.sql() + utf16(u": ") + query.lastError().text()));
    });
    QVERIFY(salesTableExists());
}

void tst_BadInput::fuzzLocalSql()
{
    TextGenerator gen(0x5eed0005);
    const QStringList words = {
        QStringLiteral("SELECT"),    QStringLiteral("*"),     QStringLiteral("FROM"),  QStringLiteral("Sales"),
        QStringLiteral("WHERE"),     QStringLiteral("DocDate"), QStringLiteral("s.DocDate"), QStringLiteral("Total"),
        QStringLiteral("\"DocDate\""), QStringLiteral("AND"), QStringLiteral("="),     QStringLiteral(">="),
        QStringLiteral("<>"),        QStringLiteral("!="),    QStringLiteral("'3/1/2024'"), QStringLiteral("1e5"),
        QStringLiteral("--"),        QStringLiteral("/*"),    QStringLiteral("*/"),    QStringLiteral("\""),
    };
    fuzz("TLocalSql::prepare", [&] {
        const QString statement = gen.pieces(words, 12);
        TLocalSql out;
        try {
            out = TLocalSql::prepare(statement, EngineCatalog::isDateColumn);
        } catch (const EDatabaseError &e) {
            QVERIFY2(!e.message().isEmpty(), shown(statement));
            return;
        }
        // Without comments, quoted names or placeholders of its own, every
        // quote of the statement went into a parameter.
        if (statement.contains(QLatin1Char('?')) || statement.contains(QLatin1Char('"'))
            || statement.contains(QLatin1String("--")) || statement.contains(QLatin1String("/*")))
            return;
        QVERIFY2(!out.sql.contains(QLatin1Char('\'')), shown(statement));
        QVERIFY2(out.sql.count(QLatin1Char('?')) == out.params.size(), shown(statement));
    });
}

void tst_BadInput::boundBoxesTakeNastyText_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("pasted");

    const QString longNumber = repeated("1234567890", 1000);
    const QString controls = QStringLiteral("1\t2\n3") + QChar(0) + QChar(0x1b) + QStringLiteral("4");
    for (const char *field : {"Total", "Id", "DocDate"}) {
        const QByteArray name(field);
        QTest::newRow(name + ", 10,000 digits pasted") << QString::fromLatin1(field) << longNumber << true;
        QTest::newRow(name + ", 10,000 zeros pasted") << QString::fromLatin1(field) << repeated("0", 10000) << true;
        QTest::newRow(name + ", controls pasted") << QString::fromLatin1(field) << controls << true;
        QTest::newRow(name + ", controls typed") << QString::fromLatin1(field) << controls << false;
        QTest::newRow(name + ", right-to-left pasted")
            << QString::fromLatin1(field) << QString::fromUtf16(u"\u200f\u0661\u0662/\u0663/2024") << true;
        QTest::newRow(name + ", 1E309 typed") << QString::fromLatin1(field) << QStringLiteral("1E309") << false;
    }
}

// The bound box in a small window, driven by keys and the clipboard; the post
// commits the box's text, whatever it became, through the field.
void tst_BadInput::boundBoxesTakeNastyText()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(bool, pasted);

    QDialog window;
    auto *layout = new QVBoxLayout(&window);
    auto *box = new TDBEdit(&window);
    box->setDataSource(DM->SalesDS);
    box->setDataField(field);
    layout->addWidget(box);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    box->setFocus(Qt::TabFocusReason);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    if (pasted) {
        QApplication::clipboard()->setText(text);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    } else {
        // Typed one character at a time, controls included, as a keyboard
        // (or a stuck key) would send them.
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QCOMPARE(DM->SalesTable->State(), TDataSetState::dsEdit);

    const QString committed = box->text();
    TField *f = DM->SalesTable->FieldByName(field);
    QVariant expected;
    QString message;
    if (field == QLatin1String("Total")) {
        if (const std::optional<double> v = FieldText::parseFloat(committed, FormatSettings()))
            expected = *v;
        message = QStringLiteral("'%1' is not a valid floating point value for field 'Total'").arg(committed);
    } else if (field == QLatin1String("Id")) {
        if (const std::optional<qint32> v = FieldText::parseInteger(committed))
            expected = *v;
        message = QStringLiteral("'%1' is not a valid integer value for field 'Invoice ID'").arg(committed);
    } else {
        if (const std::optional<QDate> v = FieldText::parseDate(committed, FormatSettings(), Today))
            expected = *v;
        message = QStringLiteral("'%1' is not a valid date").arg(committed);
    }
    if (committed.isEmpty()) {
        QVERIFY_DB(DM->SalesTable->Post());
        QVERIFY(stored(field).isNull());
        return;
    }

    const QVariant before = f->Value();
    if (!expected.isValid()) {
        QVERIFY_DB_ERROR(DM->SalesTable->Post(), message);
        QCOMPARE(f->Value(), before);
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsEdit);
        DM->SalesTable->Cancel();
        return;
    }
    QVERIFY_DB(DM->SalesTable->Post());
    const QVariant actual = stored(field);
    if (field == QLatin1String("Total"))
        QCOMPARE(actual.toDouble(), expected.toDouble());
    else if (field == QLatin1String("Id"))
        QCOMPARE(actual.toLongLong(), expected.toLongLong());
    else
        QCOMPARE(actual.toString(), expected.toDate().toString(Qt::ISODate));
}

QTEST_MAIN(tst_BadInput)
#include "tst_badinput.moc"
