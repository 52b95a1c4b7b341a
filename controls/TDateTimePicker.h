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

protected:
    void changeEvent(QEvent *event) override;

private:
    void userChanged();

    bool m_settingFromProgram = false;
};
