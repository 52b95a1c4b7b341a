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

    // Settings taken from a locale. The C and POSIX locales carry no regional
    // settings of their own (their short format spells the month, which could
    // not be read back), so they give the defaults above.
    static TFormatSettings fromLocale(const QLocale &locale);

    bool operator==(const TFormatSettings &) const = default;
};

// The settings in force for the whole program. Start-up fills them from the
// system locale and again when the system announces a change; tests assign
// them directly.
TFormatSettings &FormatSettings();
