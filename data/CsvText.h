#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

// The text of a CSV file as RFC 4180 defines it, for an owner's accountant,
// bank, spreadsheet or script: UTF-8, fields separated by commas, records
// ended by CR LF, and values written so that any reader gets back exactly
// what is stored, whatever the regional settings of the machine that reads
// them. Pure functions; the export drives them.
namespace CsvText {

inline constexpr char Separator = ',';
inline constexpr QByteArrayView LineEnd = "\r\n";

// Appends one field: as it stands, or between double quotes with every
// quote doubled when it holds a comma, a double quote, a carriage return or
// a line feed.
void appendField(QByteArray &line, QByteArrayView utf8);
void appendField(QByteArray &line, const QString &text);

// The shortest text that reads back as exactly this double (up to 17
// significant digits), with "." before the fraction and no grouping: fixed
// notation for 0.0001 <= |v| < 1E15, as the program shows amounts, else
// d.dddE[-]x with the exponent unpadded. Zero is "0" (a negative zero too).
// Infinities and NaN, which the books never hold, are "INF", "-INF", "NAN".
QByteArray number(double v);

// A whole number in decimal digits, "-" before a negative one.
QByteArray integer(qint64 v);

// A date as ISO "yyyy-mm-dd"; empty for an invalid date.
QByteArray date(const QDate &d);

} // namespace CsvText
