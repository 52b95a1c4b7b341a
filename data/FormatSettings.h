#pragma once

#include <QChar>
#include <QString>

class QLocale;

// The user's regional settings that the program reads: how numbers and dates
// are written. ShortDateFormat uses the letters d, dd, m, mm, mmm, mmmm, yy and
// yyyy; a "/" in it stands for DateSeparator.
struct TFormatSettings
{
    QChar DecimalSeparator = QLatin1Char('.');
    QChar DateSeparator = QLatin1Char('/');
    QString ShortDateFormat = QStringLiteral("m/d/yy");

    // Settings taken from a locale, each on its own: the date format and
    // separator from its short date format, the decimal separator from its
    // decimal point. A setting the locale does not give in a usable form
    // keeps its default above: a short format that spells the month (as the
    // C and POSIX locales' does) cannot be read back.
    static TFormatSettings fromLocale(const QLocale &locale);
    static TFormatSettings fromParts(const QString &qtShortDateFormat, const QString &decimalPoint);
    // The settings of the system, from its locale (on Unix, the date format
    // comes from LC_TIME and the decimal separator from LC_NUMERIC).
    static TFormatSettings fromSystem();

    bool operator==(const TFormatSettings &) const = default;
};

// The settings in force for the whole program. Start-up fills them from the
// system locale and again when the system announces a change; tests assign
// them directly.
TFormatSettings &FormatSettings();
