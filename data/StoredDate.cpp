#include "StoredDate.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads one to `most` digits at s[i]; -1 when there is none.
int digits(const char *s, qsizetype n, qsizetype &i, int least, int most)
{
    int v = 0;
    int count = 0;
    while (i < n && count < most && isDigit(s[i])) {
        v = v * 10 + (s[i] - '0');
        ++i;
        ++count;
    }
    if (count < least || (i < n && isDigit(s[i])))
        return -1;
    return v;
}

bool expect(const char *s, qsizetype n, qsizetype &i, char c)
{
    if (i < n && s[i] == c) {
        ++i;
        return true;
    }
    return false;
}

// hh:mm[:ss[.fff]] then an optional zone, as SQLite's own date functions
// write and read them.
bool timeOfDay(const char *s, qsizetype n, qsizetype &i)
{
    const int h = digits(s, n, i, 2, 2);
    if (h < 0 || h > 23 || !expect(s, n, i, ':'))
        return false;
    const int m = digits(s, n, i, 2, 2);
    if (m < 0 || m > 59)
        return false;
    if (expect(s, n, i, ':')) {
        const int sec = digits(s, n, i, 2, 2);
        if (sec < 0 || sec > 59)
            return false;
        if (expect(s, n, i, '.')) {
            if (i >= n || !isDigit(s[i]))
                return false;
            while (i < n && isDigit(s[i]))
                ++i;
        }
    }
    if (expect(s, n, i, 'Z'))
        return true;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        ++i;
        const int zh = digits(s, n, i, 2, 2);
        if (zh < 0 || zh > 14 || !expect(s, n, i, ':'))
            return false;
        const int zm = digits(s, n, i, 2, 2);
        return zm >= 0 && zm <= 59;
    }
    return true;
}

} // namespace

bool StoredDate::isCanonical(const char *s, qsizetype n)
{
    if (n != 10 || s[4] != '-' || s[7] != '-')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!isDigit(s[i]))
            return false;
    const int y = (s[0] - '0') * 1000 + (s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0');
    const int m = (s[5] - '0') * 10 + (s[6] - '0');
    const int d = (s[8] - '0') * 10 + (s[9] - '0');
    return QDate::isValid(y, m, d) && y >= 1;
}

QDate StoredDate::day(const char *s, qsizetype n)
{
    if (!s)
        return {};
    if (isCanonical(s, n))
        return QDate((s[0] - '0') * 1000 + (s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0'),
                     (s[5] - '0') * 10 + (s[6] - '0'), (s[8] - '0') * 10 + (s[9] - '0'));
    qsizetype i = 0;
    const int y = digits(s, n, i, 4, 4);
    if (y < 1 || !expect(s, n, i, '-'))
        return {};
    const int m = digits(s, n, i, 1, 2);
    if (m < 0 || !expect(s, n, i, '-'))
        return {};
    const int d = digits(s, n, i, 1, 2);
    if (d < 0 || !QDate::isValid(y, m, d))
        return {};
    if (i < n && (s[i] == ' ' || s[i] == 'T')) {
        // A blank may also just start the trailing blanks.
        qsizetype t = i + 1;
        if (t < n && isDigit(s[t])) {
            if (!timeOfDay(s, n, t))
                return {};
            i = t;
        }
    }
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (i != n)
        return {};
    return QDate(y, m, d);
}

QDate StoredDate::day(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return day(utf8.constData(), utf8.size());
}

bool StoredDate::isStorable(const QDate &d)
{
    return d.isValid() && d.year() >= 1 && d.year() <= 9999;
}

QString StoredDate::canonical(const QDate &d)
{
    Q_ASSERT(isStorable(d));
    return d.toString(Qt::ISODate);
}
