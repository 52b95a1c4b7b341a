#pragma once

#include <QString>
#include <functional>

class QWidget;

// The program's message boxes, in one place so that every window asks and
// reports the same way. Each is a real modal box: tests answer it by
// finding the active modal widget and pressing its keys.
namespace MessageDlg {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

enum TMsgDlgBtn { mbYes = 0x1, mbNo = 0x2, mbOK = 0x4, mbCancel = 0x8 };

enum class TModalResult { mrNone, mrOk, mrCancel, mrYes, mrNo };

// Asks a question in a box centred on the screen, sized to its text, with
// the icon and caption of its kind ("Warning", "Error", "Information",
// "Confirm") and one button per answer ("&Yes", "&No", "OK", "Cancel").
// The default button is OK when present, else Yes; Esc (or closing the box)
// answers Cancel when present, else No.
TModalResult MessageDlg(const QString &message, TMsgDlgType type, int buttons, QWidget *parent = nullptr);

// The application's standard error box: captioned with the application
// title "Ardentry", the error icon, an OK button, and the message with a
// full stop appended when its last character sorts after ".".
void ShowError(const QString &message, QWidget *parent = nullptr);

// The standard error box for an error met inside an event that no command
// handles (a window being laid out): shown once the event is over, never
// inside it, and not twice at once for the same message.
void ShowErrorLater(const QString &message);

// The box for an error before the program is running: captioned
// "Application Error", with the error icon and the message as it stands.
void ShowApplicationError(const QString &message);

// Runs a user's action; an EDatabaseError it raises abandons the action and
// is shown in the standard error box. Returns false when it failed.
bool Guard(QWidget *parent, const std::function<void()> &action);

} // namespace MessageDlg
