#include "Startup.h"

#include "AppFonts.h"
#include "BackupCommands.h"
#include "DMUnit.h"
#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "FormatSettings.h"
#include "MessageDlg.h"
#include "TDataSet.h"
#include "frmMainUnit.h"

#include <QApplication>
#include <QTimer>

// The pictures live in a static library: pull them in by name (from the
// global namespace, where the resource's functions are).
static void initResources()
{
    Q_INIT_RESOURCE(ardentry);
}

bool Startup::start()
{
    initResources();
    // The name only: a display name would make Qt append " — Ardentry" to
    // every caption on the window system's title bar ("Warning — Ardentry"),
    // where the program's captions stand exactly as they are.
    QApplication::setApplicationName(QStringLiteral("Ardentry"));
    QApplication::setWindowIcon(AppFonts::applicationIcon());
    AppFonts::setUp();
    FormatSettings() = TFormatSettings::fromSystem();

    TDataSet::setViewErrorReporter(&MessageDlg::ShowErrorLater);
    frmMain = new TfrmMain();
    try {
        DM = new TDM();
    } catch (const EDatabaseError &e) {
        MessageDlg::ShowApplicationError(e.message());
        finish();
        return false;
    }
    frmMain->BindDataModule();
    // Read-only books (a backup copy, a share) open for viewing. The user is
    // told once, over the main window as soon as it shows; each post is then
    // refused with the engine's own message.
    if (DM->ReadOnlyBooks()) {
        QTimer::singleShot(0, frmMain, [] {
            MessageDlg::MessageDlg(QStringLiteral("The books are read-only: you can view them, but changes cannot be "
                                                  "saved (the database file or its folder cannot be written)."),
                                   MessageDlg::TMsgDlgType::mtWarning, MessageDlg::mbOK, frmMain);
        });
    }
    return true;
}

void Startup::finish()
{
    delete frmMain;
    frmMain = nullptr;
    delete DM;
    DM = nullptr;
    TEngineDatabase::closeAll();
}

int Startup::run(QApplication &app)
{
    if (!start())
        return 1;
    frmMain->show();
    const int code = app.exec();
    if (auto *backups = frmMain->findChild<TBackupCommands *>())
        backups->backUpAtExit();
    finish();
    return code;
}
