#include "TDateTimePicker.h"

#include "FormatSettings.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>

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
    lineEdit()->installEventFilter(this);
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

void TDateTimePicker::openCalendar()
{
    // The calendar drops down when its button is pressed; Qt offers no other
    // way in, so the press is made where the button is.
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QRect button = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this);
    const QPointF at = button.center();
    QMouseEvent press(QEvent::MouseButtonPress, at, mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QDateEdit::mousePressEvent(&press);
}

void TDateTimePicker::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool f4 = event->key() == Qt::Key_F4 && mods == Qt::NoModifier;
    const bool altArrow = (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) && mods == Qt::AltModifier;
    if ((f4 || altArrow) && !isReadOnly()) {
        openCalendar();
        event->accept();
        return;
    }
    QDateEdit::keyPressEvent(event);
}

// Tab and Shift+Tab leave the picker: its parts are reached with the mouse
// or the arrow keys, not with Tab.
bool TDateTimePicker::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

// A click that puts the caret into a part selects the whole part, so that
// digits typed next replace it. A drag that selected text keeps its
// selection.
bool TDateTimePicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        // The box finishes the click first: a release may still drop a
        // selection the press landed in.
        static_cast<QObject *>(lineEdit())->event(event);
        if (!lineEdit()->hasSelectedText() && hasFocus()) {
            const QDateTimeEdit::Section part = sectionAtCaret();
            if (part != QDateTimeEdit::NoSection) {
                // Qt finds its current part again only when the caret
                // moves: move it away first, or it would select the part it
                // last knew.
                const int caret = lineEdit()->cursorPosition();
                lineEdit()->setCursorPosition(caret == 0 ? int(lineEdit()->text().size()) : 0);
                setSelectedSection(part);
            }
        }
        return true;
    }
    return QDateEdit::eventFilter(watched, event);
}

// The part of the date the caret stands in or at the end of. The parts are
// found in the shown text in their order (Qt keeps their places to itself;
// its current part is not moved by a click that leaves the caret where it
// was).
QDateTimeEdit::Section TDateTimePicker::sectionAtCaret() const
{
    const QString shown = lineEdit()->text();
    const int caret = lineEdit()->cursorPosition();
    QDateTimeEdit::Section atEnd = QDateTimeEdit::NoSection;
    qsizetype from = 0;
    for (int i = 0; i < sectionCount(); ++i) {
        const QDateTimeEdit::Section part = sectionAt(i);
        const QString text = sectionText(part);
        const qsizetype start = shown.indexOf(text, from);
        if (text.isEmpty() || start < 0)
            return QDateTimeEdit::NoSection;
        const qsizetype end = start + text.size();
        if (caret >= start && caret < end)
            return part;
        if (caret == end)
            atEnd = part;
        from = end;
    }
    return atEnd;
}

// Every change that does not come from setDate is the user's.
void TDateTimePicker::userChanged()
{
    if (!m_settingFromProgram && OnChange)
        OnChange(this);
}
