#include "FieldText.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr int SignificantDigits = 15;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Adds a decimal digit to a non-negative count that saturates at limit, so
// that texts of any length are read without overflow.
qint64 addDigit(qint64 value, QChar digit, qint64 limit)
{
    const qint64 next = value * 10 + (digit.unicode() - '0');
    return next > limit ? limit : next;
}

// A run of decimal digits from pos: the number of digits and their value,
// saturated at limit.
struct DigitRun
{
    qsizetype length = 0;
    qint64 value = 0;
};

DigitRun scanDigits(const QString &text, qsizetype &pos, qint64 limit)
{
    DigitRun run;
    while (pos < text.size() && isAsciiDigit(text.at(pos))) {
        run.value = addDigit(run.value, text.at(pos), limit);
        ++run.length;
        ++pos;
    }
    return run;
}

void skipSpaces(const QString &text, qsizetype &pos)
{
    while (pos < text.size() && text.at(pos) == QLatin1Char(' '))
        ++pos;
}

enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

// The first of the letters d, m and y decides; a format with none of them
// reads month first, as the default format does.
DateOrder dateOrder(const QString &format)
{
    for (const QChar c : format) {
        switch (c.toLower().unicode()) {
        case 'd':
            return DateOrder::DayMonthYear;
        case 'm':
            return DateOrder::MonthDayYear;
        case 'y':
            return DateOrder::YearMonthDay;
        default:
            break;
        }
    }
    return DateOrder::MonthDayYear;
}

// One element of a date format as formatDate and dateFormatIsReadable see it:
// a run of one of the letters d, m, y (either case), quoted text, or one
// other character.
struct DateFormatToken
{
    QChar letter; // 'd', 'm' or 'y' for a run of letters, null otherwise
    qsizetype count = 0;
    QString text; // quoted text without its quotes, or the other character
};

template<typename Visit>
void forEachDateFormatToken(const QString &format, Visit visit)
{
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype close = format.indexOf(c, i + 1);
            const qsizetype end = close < 0 ? n : close;
            visit(DateFormatToken{QChar(), 0, format.mid(i + 1, end - i - 1)});
            i = close < 0 ? n : close + 1;
            continue;
        }
        const QChar lower = c.toLower();
        if (lower == QLatin1Char('d') || lower == QLatin1Char('m') || lower == QLatin1Char('y')) {
            qsizetype run = 1;
            while (i + run < n && format.at(i + run).toLower() == lower)
                ++run;
            visit(DateFormatToken{lower, run, QString()});
            i += run;
            continue;
        }
        visit(DateFormatToken{QChar(), 0, QString(c)});
        ++i;
    }
}

QString zeroPadded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

} // namespace

QString FieldText::formatGeneral(double value, const TFormatSettings &fs)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    // Scientific notation with 14 digits after the point rounds correctly to
    // 15 significant digits and tells the decimal exponent after rounding
    // (9.999999999999999E14 becomes 1E15). to_chars ignores the C locale.
    char buffer[64];
    const std::to_chars_result written = std::to_chars(
        buffer, buffer + sizeof buffer, value, std::chars_format::scientific, SignificantDigits - 1);
    Q_ASSERT(written.ec == std::errc());
    const std::string scientific(buffer, written.ptr);

    const std::size_t e = scientific.find('e');
    Q_ASSERT(e != std::string::npos);
    QString digits;
    for (std::size_t i = 0; i < e; ++i) {
        if (scientific[i] >= '0' && scientific[i] <= '9')
            digits += QLatin1Char(scientific[i]);
    }
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    const int exponent = std::stoi(scientific.substr(e + 1));

    QString result;
    if (value < 0)
        result += QLatin1Char('-');
    if (exponent >= -4 && exponent < SignificantDigits) {
        if (exponent >= 0) {
            const qsizetype integerDigits = exponent + 1;
            result += digits.left(integerDigits);
            if (digits.size() < integerDigits)
                result += QString(integerDigits - digits.size(), QLatin1Char('0'));
            if (digits.size() > integerDigits)
                result += fs.DecimalSeparator + digits.mid(integerDigits);
        } else {
            result += QLatin1Char('0');
            result += fs.DecimalSeparator;
            result += QString(-exponent - 1, QLatin1Char('0'));
            result += digits;
        }
    } else {
        result += digits.front();
        if (digits.size() > 1)
            result += fs.DecimalSeparator + digits.mid(1);
        result += QLatin1Char('E') + QString::number(exponent);
    }
    return result;
}

std::optional<double> FieldText::parseFloat(const QString &text, const TFormatSettings &fs)
{
    // The text is checked against the number syntax here and rewritten in
    // the plain form that from_chars reads whatever the user's separator.
    const qsizetype n = text.size();
    qsizetype pos = 0;
    skipSpaces(text, pos);

    bool negative = false;
    if (pos < n && (text.at(pos) == QLatin1Char('+') || text.at(pos) == QLatin1Char('-'))) {
        negative = text.at(pos) == QLatin1Char('-');
        ++pos;
    }

    const qsizetype integerStart = pos;
    const DigitRun integerPart = scanDigits(text, pos, 0);
    const QString integerDigits = text.mid(integerStart, integerPart.length);

    QString fractionDigits;
    if (pos < n && text.at(pos) == fs.DecimalSeparator) {
        ++pos;
        const qsizetype fractionStart = pos;
        const DigitRun fraction = scanDigits(text, pos, 0);
        fractionDigits = text.mid(fractionStart, fraction.length);
    }
    if (integerDigits.isEmpty() && fractionDigits.isEmpty())
        return std::nullopt;

    // A saturated exponent is enough: beyond this bound every mantissa
    // overflows or underflows alike.
    constexpr qint64 ExponentLimit = 1000000;
    qint64 exponent = 0;
    QString exponentText;
    if (pos < n && (text.at(pos) == QLatin1Char('E') || text.at(pos) == QLatin1Char('e'))) {
        ++pos;
        bool negativeExponent = false;
        if (pos < n && (text.at(pos) == QLatin1Char('+') || text.at(pos) == QLatin1Char('-'))) {
            negativeExponent = text.at(pos) == QLatin1Char('-');
            ++pos;
        }
        const qsizetype exponentStart = pos;
        const DigitRun run = scanDigits(text, pos, ExponentLimit);
        if (run.length == 0)
            return std::nullopt;
        exponent = negativeExponent ? -run.value : run.value;
        exponentText = (negativeExponent ? QStringLiteral("e-") : QStringLiteral("e"))
                     + text.mid(exponentStart, run.length);
    }

    skipSpaces(text, pos);
    if (pos != n)
        return std::nullopt;

    QString plain = integerDigits.isEmpty() ? QStringLiteral("0") : integerDigits;
    if (!fractionDigits.isEmpty()) {
        plain += QLatin1Char('.');
        plain += fractionDigits;
    }
    plain += exponentText;
    const QByteArray ascii = plain.toLatin1();
    double magnitude = 0;
    const std::from_chars_result read = std::from_chars(ascii.data(), ascii.data() + ascii.size(), magnitude);
    if (read.ptr != ascii.data() + ascii.size())
        return std::nullopt;
    if (read.ec == std::errc::result_out_of_range) {
        // Out of range either way; the position of the first significant
        // digit tells a value too large (refused) from one too small to
        // represent (read as zero).
        qint64 scale = 0;
        const qsizetype firstNonZero = [&] {
            for (qsizetype i = 0; i < integerDigits.size(); ++i) {
                if (integerDigits.at(i) != QLatin1Char('0'))
                    return i;
            }
            return integerDigits.size();
        }();
        if (firstNonZero < integerDigits.size()) {
            scale = integerDigits.size() - firstNonZero;
        } else {
            qsizetype zeros = 0;
            while (zeros < fractionDigits.size() && fractionDigits.at(zeros) == QLatin1Char('0'))
                ++zeros;
            scale = -zeros;
        }
        if (scale + exponent > 0)
            return std::nullopt;
        magnitude = 0;
    } else if (read.ec != std::errc()) {
        return std::nullopt;
    }
    return negative ? -magnitude : magnitude;
}

std::optional<qint32> FieldText::parseInteger(const QString &text)
{
    qsizetype pos = 0;
    skipSpaces(text, pos);
    bool negative = false;
    if (pos < text.size() && (text.at(pos) == QLatin1Char('+') || text.at(pos) == QLatin1Char('-'))) {
        negative = text.at(pos) == QLatin1Char('-');
        ++pos;
    }
    // One past the largest magnitude, so that saturation still shows as too
    // large for either sign.
    constexpr qint64 Limit = qint64(std::numeric_limits<qint32>::max()) + 2;
    const DigitRun run = scanDigits(text, pos, Limit);
    if (run.length == 0 || pos != text.size())
        return std::nullopt;
    const qint64 value = negative ? -run.value : run.value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

std::optional<QDate> FieldText::parseDate(const QString &text, const TFormatSettings &fs, const QDate &today)
{
    if (!dateFormatIsReadable(fs))
        return std::nullopt;

    // No part of a valid date reaches this; larger numbers stay at it.
    constexpr qint64 NumberLimit = 100000;
    const qsizetype n = text.size();
    qsizetype pos = 0;

    const auto scanNumber = [&](DigitRun &number) {
        skipSpaces(text, pos);
        number = scanDigits(text, pos, NumberLimit);
        return number.length > 0;
    };
    const auto scanSeparator = [&] {
        qsizetype at = pos;
        // Spaces before a separator are skipped, unless the separator is
        // itself a space.
        if (fs.DateSeparator != QLatin1Char(' '))
            skipSpaces(text, at);
        if (at < n && text.at(at) == fs.DateSeparator) {
            pos = at + 1;
            return true;
        }
        return false;
    };

    DigitRun numbers[3];
    int count = 0;
    if (!scanNumber(numbers[0]) || !scanSeparator() || !scanNumber(numbers[1]))
        return std::nullopt;
    count = 2;
    if (scanSeparator()) {
        if (scanNumber(numbers[2])) {
            count = 3;
            scanSeparator();
        }
    }
    skipSpaces(text, pos);
    if (pos != n)
        return std::nullopt;

    DigitRun day;
    DigitRun month;
    DigitRun year;
    const DateOrder order = dateOrder(fs.ShortDateFormat);
    if (count == 2) {
        if (order == DateOrder::DayMonthYear) {
            day = numbers[0];
            month = numbers[1];
        } else {
            month = numbers[0];
            day = numbers[1];
        }
    } else {
        switch (order) {
        case DateOrder::DayMonthYear:
            day = numbers[0];
            month = numbers[1];
            year = numbers[2];
            break;
        case DateOrder::MonthDayYear:
            month = numbers[0];
            day = numbers[1];
            year = numbers[2];
            break;
        case DateOrder::YearMonthDay:
            year = numbers[0];
            month = numbers[1];
            day = numbers[2];
            break;
        }
    }

    qint64 fullYear = today.year();
    if (count == 3) {
        fullYear = year.value;
        if (year.length <= 2) {
            // The hundred years from 50 before today's year to 49 after it.
            const int first = today.year() - 50;
            const int century = first - first % 100;
            fullYear = century + year.value;
            if (fullYear < first)
                fullYear += 100;
        }
    }
    if (fullYear < 1 || fullYear > 9999)
        return std::nullopt;
    const QDate date(int(fullYear), int(month.value), int(day.value));
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString FieldText::formatDate(const QDate &date, const QString &format, const TFormatSettings &fs)
{
    const QLocale names = QLocale::c();
    QString result;
    forEachDateFormatToken(format, [&](const DateFormatToken &token) {
        if (token.letter.isNull()) {
            if (token.text == QLatin1String("/"))
                result += fs.DateSeparator;
            else
                result += token.text;
            return;
        }
        // Runs longer than the longest letter group go on as further groups.
        qsizetype left = token.count;
        while (left > 0) {
            const qsizetype take = qMin<qsizetype>(left, 4);
            left -= take;
            switch (token.letter.unicode()) {
            case 'd':
                if (take <= 2)
                    result += zeroPadded(date.day(), int(take));
                else
                    result += names.dayName(date.dayOfWeek(), take == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
                break;
            case 'm':
                if (take <= 2)
                    result += zeroPadded(date.month(), int(take));
                else
                    result += names.monthName(date.month(), take == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
                break;
            case 'y':
                result += take <= 2 ? zeroPadded(date.year() % 100, 2) : zeroPadded(date.year(), 4);
                break;
            }
        }
    });
    return result;
}

bool FieldText::dateFormatIsReadable(const TFormatSettings &fs)
{
    bool readable = true;
    forEachDateFormatToken(fs.ShortDateFormat, [&](const DateFormatToken &token) {
        if (token.letter == QLatin1Char('m') && token.count >= 3)
            readable = false;
    });
    return readable;
}

qsizetype FieldText::characterCount(const QString &text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    return count;
}

qsizetype FieldText::unitsOfCharacters(const QString &text, qsizetype count)
{
    qsizetype units = 0;
    for (qsizetype taken = 0; taken < count && units < text.size(); ++taken) {
        if (text.at(units).isHighSurrogate() && units + 1 < text.size() && text.at(units + 1).isLowSurrogate())
            ++units;
        ++units;
    }
    return units;
}

QString FieldText::leftCharacters(const QString &text, qsizetype count)
{
    return text.left(unitsOfCharacters(text, count));
}

QString FieldText::withFullStop(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}
