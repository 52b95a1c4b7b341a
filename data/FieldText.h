#pragma once

#include "FormatSettings.h"

#include <QDate>
#include <QString>
#include <optional>

// Text forms of field values: pure functions, no dataset involved. Every
// float the program shows goes through formatGeneral; every text typed into a
// number, integer or date goes through the matching parse function.
namespace FieldText {

// General number format: rounded to 15 significant digits, only significant
// digits written, no thousands separator, the user's decimal separator.
// Fixed notation for 0.0001 <= |v| < 1E15 (judged after rounding), otherwise
// d.dddE[-]x with the exponent unpadded. Zero is "0". Infinities and NaN,
// which the program never stores, show as "INF", "-INF" and "NAN".
QString formatGeneral(double value, const TFormatSettings &fs);

// Number syntax: optional leading spaces, optional sign, digits with an
// optional decimal separator (the user's) and fraction, at least one digit,
// optional exponent (E or e, optional sign, digits), optional trailing
// spaces, nothing else. A value that overflows a double is refused.
// Returns nothing when the text does not follow the syntax.
std::optional<double> parseFloat(const QString &text, const TFormatSettings &fs);

// Amounts are kept below 1E15 in magnitude, where the general number format
// turns to exponents: no small business reaches that, and ten years of a
// million records each stay far from overflowing a double. A larger amount
// is refused when typed and is a damaged value when found stored.
inline constexpr double AmountLimit = 1e15;
inline bool fitsAmount(double v)
{
    return v > -AmountLimit && v < AmountLimit;  // false for NaN too
}

// Integer syntax: optional leading spaces, optional sign, then decimal digits
// to the end of the text; the value must fit a signed 32-bit integer.
std::optional<qint32> parseInteger(const QString &text);

// Date syntax: two or three numbers separated by the user's date separator,
// spaces allowed before each number and each separator, one trailing
// separator and trailing spaces allowed. The order comes from the first of
// d, m, y (any case) in the short date format. Two numbers: the year is
// today's. A one- or two-digit year falls in the window from 50 years before
// today's year to 49 after it. The numbers must form a real date. A short
// date format that spells the month (mmm) cannot be read back: nothing is
// returned then.
std::optional<QDate> parseDate(const QString &text, const TFormatSettings &fs, const QDate &today);

// Writes a date with a format of the letters above; "/" in the format is the
// user's date separator, text in double or single quotes is copied, any
// other character is copied as it stands.
QString formatDate(const QDate &date, const QString &format, const TFormatSettings &fs);

// The date in the user's short date format.
inline QString formatDate(const QDate &date, const TFormatSettings &fs)
{
    return formatDate(date, fs.ShortDateFormat, fs);
}

// True when the short date format can be read back by parseDate (it does not
// spell the month in letters).
bool dateFormatIsReadable(const TFormatSettings &fs);

// Texts are sized in characters, each a Unicode code point: a character
// outside the basic plane is one character though it takes two 16-bit units.
qsizetype characterCount(const QString &text);
// The first `count` characters of a text; never half of a character.
QString leftCharacters(const QString &text, qsizetype count);
// How many 16-bit units the first `count` characters take.
qsizetype unitsOfCharacters(const QString &text, qsizetype count);

// Appends "." to a message whose last character sorts after "." (a letter, a
// digit, "?"...), as the standard error box shows it.
QString withFullStop(const QString &message);

} // namespace FieldText
