#include "MessageDlg.h"

#include "EDatabaseError.h"
#include "FieldText.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {

using namespace MessageDlg;

QMessageBox::Icon iconOf(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QMessageBox::Warning;
    case TMsgDlgType::mtError:
        return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
        return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString captionOf(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QStringLiteral("Warning");
    case TMsgDlgType::mtError:
        return QStringLiteral("Error");
    case TMsgDlgType::mtInformation:
        return QStringLiteral("Information");
    case TMsgDlgType::mtConfirmation:
        return QStringLiteral("Confirm");
    }
    return QString();
}

// The boxes stand in the middle of the screen, as the user expects a
// question to, whatever window asked it.
void centreOnScreen(QMessageBox &box)
{
    box.adjustSize();
    if (const QScreen *screen = box.screen()) {
        QRect r = box.frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        box.move(r.topLeft());
    }
}

} // namespace

TModalResult MessageDlg::MessageDlg(const QString &message, TMsgDlgType type, int buttons, QWidget *parent)
{
    QMessageBox box(iconOf(type), captionOf(type), message, QMessageBox::NoButton, parent);
    box.setAccessibleName(captionOf(type));
    box.setAccessibleDescription(message);
    struct Choice
    {
        int flag;
        const char *caption;
        QMessageBox::ButtonRole role;
        TModalResult result;
    };
    const Choice choices[] = {
        {mbYes, "&Yes", QMessageBox::YesRole, TModalResult::mrYes},
        {mbNo, "&No", QMessageBox::NoRole, TModalResult::mrNo},
        {mbOK, "OK", QMessageBox::AcceptRole, TModalResult::mrOk},
        {mbCancel, "Cancel", QMessageBox::RejectRole, TModalResult::mrCancel},
    };
    QHash<QAbstractButton *, TModalResult> results;
    QPushButton *yes = nullptr, *no = nullptr, *ok = nullptr, *cancel = nullptr;
    for (const Choice &c : choices) {
        if (!(buttons & c.flag))
            continue;
        QPushButton *b = box.addButton(QString::fromLatin1(c.caption), c.role);
        b->setAccessibleName(QString(QString::fromLatin1(c.caption)).remove(QLatin1Char('&')));
        results.insert(b, c.result);
        (c.flag == mbYes ? yes : c.flag == mbNo ? no : c.flag == mbOK ? ok : cancel) = b;
    }
    box.setDefaultButton(ok ? ok : yes);
    QAbstractButton *escape = cancel ? static_cast<QAbstractButton *>(cancel) : no;
    box.setEscapeButton(escape);
    centreOnScreen(box);
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    if (!clicked || !results.contains(clicked))
        return escape ? results.value(escape) : TModalResult::mrNone;
    return results.value(clicked);
}

void MessageDlg::ShowError(const QString &message, QWidget *parent)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ardentry"), FieldText::withFullStop(message),
                    QMessageBox::NoButton, parent);
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    ok->setAccessibleName(QStringLiteral("OK"));
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.setAccessibleName(QStringLiteral("Ardentry"));
    box.setAccessibleDescription(box.text());
    centreOnScreen(box);
    box.exec();
}

namespace {

// Messages waiting to be shown or on the screen now.
QStringList &pendingErrors()
{
    static QStringList pending;
    return pending;
}

} // namespace

void MessageDlg::ShowErrorLater(const QString &message)
{
    if (pendingErrors().contains(message))
        return;
    pendingErrors() << message;
    QTimer::singleShot(0, qApp, [message] {
        ShowError(message);
        pendingErrors().removeOne(message);
    });
}

void MessageDlg::ShowApplicationError(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"), message);
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.setAccessibleName(QStringLiteral("Application Error"));
    box.setAccessibleDescription(message);
    centreOnScreen(box);
    box.exec();
}

bool MessageDlg::Guard(QWidget *parent, const std::function<void()> &action)
{
    try {
        action();
        return true;
    } catch (const EDatabaseError &e) {
        ShowError(e.message(), parent);
        return false;
    }
}
