#include "CsvText.h"

#include <charconv>
#include <cmath>

namespace CsvText {

void appendField(QByteArray &line, QByteArrayView utf8)
{
    bool quote = false;
    for (const char c : utf8) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        line.append(utf8);
        return;
    }
    line.append('"');
    for (const char c : utf8) {
        if (c == '"')
            line.append('"');
        line.append(c);
    }
    line.append('"');
}

void appendField(QByteArray &line, const QString &text)
{
    appendField(line, QByteArrayView(text.toUtf8()));
}

QByteArray number(double v)
{
    if (std::isnan(v))
        return QByteArrayLiteral("NAN");
    if (std::isinf(v))
        return v < 0 ? QByteArrayLiteral("-INF") : QByteArrayLiteral("INF");
    if (v == 0)
        return QByteArrayLiteral("0");
    // Without a precision, to_chars writes the fewest digits that read back
    // as the same double, in the notation asked for.
    char buf[64];
    const double magnitude = std::fabs(v);
    if (magnitude >= 1e-4 && magnitude < 1e15) {
        const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
        return QByteArray(buf, r.ptr - buf);
    }
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    // "1.5e-05" becomes "1.5E-5", "1e+15" becomes "1E15".
    const QByteArrayView text(buf, r.ptr - buf);
    const qsizetype e = text.indexOf('e');
    QByteArray out = text.first(e).toByteArray();
    out.append('E');
    qsizetype i = e + 1;
    if (text.at(i) == '-')
        out.append('-');
    if (text.at(i) == '-' || text.at(i) == '+')
        ++i;
    while (i < text.size() - 1 && text.at(i) == '0')
        ++i;
    out.append(text.sliced(i));
    return out;
}

QByteArray integer(qint64 v)
{
    return QByteArray::number(v);
}

QByteArray date(const QDate &d)
{
    if (!d.isValid())
        return QByteArray();
    char buf[16];
    const int y = d.year();
    if (y < 1 || y > 9999)
        return d.toString(Qt::ISODate).toUtf8();
    const int m = d.month(), day = d.day();
    buf[0] = char('0' + y / 1000);
    buf[1] = char('0' + y / 100 % 10);
    buf[2] = char('0' + y / 10 % 10);
    buf[3] = char('0' + y % 10);
    buf[4] = '-';
    buf[5] = char('0' + m / 10);
    buf[6] = char('0' + m % 10);
    buf[7] = '-';
    buf[8] = char('0' + day / 10);
    buf[9] = char('0' + day % 10);
    return QByteArray(buf, 10);
}

} // namespace CsvText
