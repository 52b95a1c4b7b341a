#include "frmSalesUnit.h"
#include "ui_frmSalesUnit.h"

#include "DMUnit.h"
#include "TDBEdit.h"
#include "TDataSource.h"

TfrmSales::TfrmSales(QWidget *parent) : TEntryDialog(parent), ui(new Ui::TfrmSales)
{
    ui->setupUi(this);
    // Names and free text are written in Tahoma.
    setUpFrame(QSize(542, 296), {ui->DBEdit3, ui->DBEdit4, ui->DBEdit7, ui->DBLookupComboBox1});

    for (TDBEdit *e : {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4, ui->DBEdit5, ui->DBEdit7})
        e->setDataSource(DM->SalesDS);
    ui->DBLookupComboBox1->setDataSource(DM->SalesDS);
    // Enter and Esc are offered to the controls in the order they were
    // created, which decides who takes Enter while a list is open.
    setUpKeys(&TDM::SalesTable,
              {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4, ui->DBEdit5, ui->DBEdit7, ui->DBLookupComboBox1,
               ui->BitBtn1, ui->BitBtn2},
              ui->BitBtn1, ui->BitBtn2);
    ui->DBEdit1->setFocus(Qt::OtherFocusReason);
}

TfrmSales::~TfrmSales()
{
    delete ui;
}
