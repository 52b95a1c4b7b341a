#include "frmAccountsUnit.h"
#include "ui_frmAccountsUnit.h"

#include "DMUnit.h"

TfrmAccounts::TfrmAccounts(QWidget *parent) : TMasterListDialog(parent), ui(new Ui::TfrmAccounts)
{
    ui->setupUi(this);
    // A resizable window with the system menu and the close, minimise and
    // maximise boxes.
    setUpList(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint,
              FormSupport::MSSansSerif, ui->wwDBGrid1, ui->wwDBNavigator1, ui->BitBtn1, &TDM::AccountsTable,
              DM->AccountsDS, QStringLiteral("AccName\t30\tAcc Name\tF"));
}

TfrmAccounts::~TfrmAccounts()
{
    delete ui;
}

void TfrmAccounts::Execute(QWidget *parent)
{
    TfrmAccounts window(parent);
    window.exec();
}
