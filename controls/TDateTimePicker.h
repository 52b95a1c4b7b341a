#pragma once

#include <QDateEdit>
#include <functional>

// The date picker: one part of the date edited at a time, stepped with the
// arrow keys, with a drop-down month calendar; the date is written in the
// program's short date format (FormatSettings()).
//
// Setting the date from the program (setDate) raises no OnChange; every
// change the user makes (typing or stepping a part, choosing a day in the
// calendar) raises OnChange once, at the moment of the change.
//
// Keyboard and mouse as in the usual desktop picker: the picker is one stop
// in the Tab order (Tab leaves it, whatever part is selected); a click on a
// part of the date selects that part, so that typed digits replace it; F4,
// Alt+Down and Alt+Up drop the calendar down without changing the date.
class TDateTimePicker : public QDateEdit
{
    Q_OBJECT
    Q_DISABLE_COPY(TDateTimePicker)

public:
    explicit TDateTimePicker(QWidget *parent = nullptr);
    ~TDateTimePicker() override;

    QDate Date() const { return date(); }
    // Sets the shown date from the program, without raising OnChange.
    // (Hides QDateEdit::setDate, which the calendar uses for the user's
    // choices.)
    void setDate(const QDate &date);

    // Takes the short date format and date separator from FormatSettings()
    // again (done at creation and when the locale changes).
    void applyFormatSettings();

    std::function<void(QObject *Sender)> OnChange;

    // Drops the calendar down on the shown date.
    void openCalendar();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void userChanged();
    QDateTimeEdit::Section sectionAtCaret() const;

    bool m_settingFromProgram = false;
};
