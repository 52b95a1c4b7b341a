#include "frmPurchasesUnit.h"
#include "ui_frmPurchasesUnit.h"

#include "DMUnit.h"
#include "TDBEdit.h"
#include "TDataSource.h"

TfrmPurchases::TfrmPurchases(QWidget *parent) : TEntryDialog(parent), ui(new Ui::TfrmPurchases)
{
    ui->setupUi(this);
    // Names and free text are written in Tahoma.
    setUpFrame(QSize(540, 253), {ui->DBEdit2, ui->DBEdit5, ui->DBLookupComboBox1});

    for (TDBEdit *e : {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4, ui->DBEdit5})
        e->setDataSource(DM->PurchasesDS);
    ui->DBLookupComboBox1->setDataSource(DM->PurchasesDS);
    // Enter and Esc are offered to the controls in the order they were
    // created, which decides who takes Enter while a list is open.
    setUpKeys(&TDM::PurchasesTable,
              {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit5, ui->BitBtn1, ui->BitBtn2, ui->DBLookupComboBox1,
               ui->DBEdit4},
              ui->BitBtn1, ui->BitBtn2);
    ui->DBEdit4->setFocus(Qt::OtherFocusReason);
}

TfrmPurchases::~TfrmPurchases()
{
    delete ui;
}
