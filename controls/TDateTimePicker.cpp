#include "TDateTimePicker.h"

#include "FormatSettings.h"

#include <QEvent>

namespace {

// The program's short date format (letters d, m, y in runs, "/" for the date
// separator, quoted text) as a Qt display format that writes the same text
// as FieldText::formatDate: the picker then edits one part at a time.
QString qtDisplayFormat(const TFormatSettings &fs)
{
    const QString &format = fs.ShortDateFormat;
    QString out;
    // Literal text is gathered and written as one quoted run, since two
    // quoted runs side by side would read as an escaped quote.
    QString pending;
    auto flush = [&] {
        if (pending.isEmpty())
            return;
        pending.replace(QLatin1Char('\''), QStringLiteral("''"));
        out += QLatin1Char('\'') + pending + QLatin1Char('\'');
        pending.clear();
    };
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype close = format.indexOf(c, i + 1);
            const qsizetype end = close < 0 ? n : close;
            pending += format.mid(i + 1, end - i - 1);
            i = close < 0 ? n : close + 1;
            continue;
        }
        const QChar lower = c.toLower();
        if (lower == QLatin1Char('d') || lower == QLatin1Char('m') || lower == QLatin1Char('y')) {
            flush();
            qsizetype run = 1;
            while (i + run < n && format.at(i + run).toLower() == lower)
                ++run;
            i += run;
            // Runs longer than four letters go on as further groups.
            while (run > 0) {
                const qsizetype take = std::min<qsizetype>(run, 4);
                run -= take;
                if (lower == QLatin1Char('y'))
                    out += take <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
                else
                    out += QString(take, lower == QLatin1Char('d') ? QLatin1Char('d') : QLatin1Char('M'));
            }
            continue;
        }
        pending += c == QLatin1Char('/') ? fs.DateSeparator : c;
        ++i;
    }
    flush();
    return out;
}

} // namespace

TDateTimePicker::TDateTimePicker(QWidget *parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    // Day and month names as the program writes them.
    setLocale(QLocale::c());
    m_settingFromProgram = true;
    QDateEdit::setDate(QDate::currentDate());
    m_settingFromProgram = false;
    applyFormatSettings();
    connect(this, &QDateEdit::dateChanged, this, [this] { userChanged(); });
}

TDateTimePicker::~TDateTimePicker() = default;

void TDateTimePicker::setDate(const QDate &date)
{
    m_settingFromProgram = true;
    QDateEdit::setDate(date);
    m_settingFromProgram = false;
}

void TDateTimePicker::applyFormatSettings()
{
    const QString format = qtDisplayFormat(FormatSettings());
    if (format == displayFormat())
        return;
    m_settingFromProgram = true;
    setDisplayFormat(format);
    m_settingFromProgram = false;
}

void TDateTimePicker::changeEvent(QEvent *event)
{
    QDateEdit::changeEvent(event);
    if (event->type() == QEvent::LocaleChange)
        applyFormatSettings();
}

// Every change that does not come from setDate is the user's.
void TDateTimePicker::userChanged()
{
    if (!m_settingFromProgram && OnChange)
        OnChange(this);
}
