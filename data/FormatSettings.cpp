#include "FormatSettings.h"

#include <QList>
#include <QLocale>
#include <optional>

namespace {

// One piece of a Qt date format: a date part (a run of d, M or y) or a
// character that stands for itself.
struct QtFormatToken
{
    QChar letter; // 'd', 'M' or 'y' for a date part, null for a literal
    qsizetype count = 0; // letters in the run
    QChar literal;
    bool quoted = false; // the literal came from quoted text
};

// Splits a Qt date format. In Qt's syntax text in single quotes is literal,
// and two single quotes stand for one, inside or outside quoted text.
QList<QtFormatToken> tokenizeQtDateFormat(const QString &format)
{
    QList<QtFormatToken> tokens;
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            if (i + 1 < n && format.at(i + 1) == QLatin1Char('\'')) {
                tokens.append({QChar(), 0, c, true});
                i += 2;
                continue;
            }
            ++i;
            while (i < n) {
                const QChar q = format.at(i);
                if (q == QLatin1Char('\'')) {
                    if (i + 1 < n && format.at(i + 1) == QLatin1Char('\'')) {
                        tokens.append({QChar(), 0, q, true});
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                tokens.append({QChar(), 0, q, true});
                ++i;
            }
            continue;
        }
        if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
            qsizetype run = 1;
            while (i + run < n && format.at(i + run) == c)
                ++run;
            tokens.append({c, run, QChar(), false});
            i += run;
            continue;
        }
        tokens.append({QChar(), 0, c, false});
        ++i;
    }
    return tokens;
}

// Bidirectional marks and similar invisible characters shape how a date is
// displayed, not what it says; a typed date never contains them.
bool isInvisible(QChar c)
{
    return c.category() == QChar::Other_Format;
}

// Writes a character that must stay literal in the program's date format:
// letters and quotes that the format would take as its own are quoted.
void appendLiteral(QString &out, QChar c)
{
    switch (c.toLower().unicode()) {
    case 'd':
    case 'm':
    case 'y':
    case '/':
    case '\'':
        out += QLatin1Char('"');
        out += c;
        out += QLatin1Char('"');
        break;
    case '"':
        out += QLatin1Char('\'');
        out += c;
        out += QLatin1Char('\'');
        break;
    default:
        out += c;
    }
}

struct ConvertedDateFormat
{
    QString format;
    QChar separator;
};

// The Qt short date format in the program's letters, with the first
// separator character found between two date parts taken as the date
// separator and written as "/". Nothing when the format names the month or
// the weekday in words, which the program could not read back.
std::optional<ConvertedDateFormat> convertQtDateFormat(const QString &qtFormat)
{
    const QList<QtFormatToken> tokens = tokenizeQtDateFormat(qtFormat);

    qsizetype firstPart = -1;
    qsizetype lastPart = -1;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QtFormatToken &t = tokens.at(i);
        if (t.letter.isNull())
            continue;
        if (t.count >= 3 && t.letter != QLatin1Char('y'))
            return std::nullopt;
        if (firstPart < 0)
            firstPart = i;
        lastPart = i;
    }

    ConvertedDateFormat result;
    result.separator = QLatin1Char('/');
    for (qsizetype i = firstPart + 1; firstPart >= 0 && i < lastPart; ++i) {
        const QtFormatToken &t = tokens.at(i);
        if (t.letter.isNull() && !t.quoted && !t.literal.isSpace() && !isInvisible(t.literal)) {
            result.separator = t.literal;
            break;
        }
    }

    for (const QtFormatToken &t : tokens) {
        if (t.letter == QLatin1Char('d')) {
            result.format += QString(t.count, QLatin1Char('d'));
        } else if (t.letter == QLatin1Char('M')) {
            result.format += QString(t.count, QLatin1Char('m'));
        } else if (t.letter == QLatin1Char('y')) {
            result.format += t.count >= 3 ? QStringLiteral("yyyy") : QStringLiteral("yy");
        } else if (t.quoted) {
            appendLiteral(result.format, t.literal);
        } else if (t.literal == result.separator) {
            result.format += QLatin1Char('/');
        } else if (!isInvisible(t.literal)) {
            appendLiteral(result.format, t.literal);
        }
    }
    return result;
}

// A decimal separator must not be a character that a number is written with
// otherwise: a digit, a sign, the exponent letter, or a space.
bool usableDecimalSeparator(QChar c)
{
    return !c.isDigit() && !c.isSpace() && c != QLatin1Char('+') && c != QLatin1Char('-') &&
           c.toUpper() != QLatin1Char('E');
}

} // namespace

TFormatSettings TFormatSettings::fromLocale(const QLocale &locale)
{
    return fromParts(locale.dateFormat(QLocale::ShortFormat), locale.decimalPoint());
}

// Each setting is taken on its own: a system whose dates follow one region
// and numbers another (LC_TIME and LC_NUMERIC apart) gives both, and only a
// setting that cannot be used falls back to its default.
TFormatSettings TFormatSettings::fromParts(const QString &shortDateFormat, const QString &decimalPoint)
{
    TFormatSettings fs;
    if (const std::optional<ConvertedDateFormat> date = convertQtDateFormat(shortDateFormat)) {
        fs.ShortDateFormat = date->format;
        fs.DateSeparator = date->separator;
    }
    if (decimalPoint.size() == 1 && usableDecimalSeparator(decimalPoint.front()))
        fs.DecimalSeparator = decimalPoint.front();
    return fs;
}

TFormatSettings TFormatSettings::fromSystem()
{
    return fromLocale(QLocale::system());
}

TFormatSettings &FormatSettings()
{
    static TFormatSettings settings;
    return settings;
}
