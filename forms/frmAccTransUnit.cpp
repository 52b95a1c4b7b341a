#include "frmAccTransUnit.h"
#include "ui_frmAccTransUnit.h"

#include "DMUnit.h"
#include "TDBEdit.h"
#include "TDataSource.h"
#include "TFloatField.h"
#include "TTable.h"

TfrmAccTrans::TfrmAccTrans(QWidget *parent) : TEntryDialog(parent), ui(new Ui::TfrmAccTrans)
{
    ui->setupUi(this);
    // The account, the texts and the amounts are written in Tahoma.
    setUpFrame(QSize(501, 216), {ui->DBLookupComboBox1, ui->DBEdit4, ui->DBEdit5, ui->DBEdit6, ui->DBEdit7});

    for (TDBEdit *e : {ui->DBEdit2, ui->DBEdit4, ui->DBEdit5, ui->DBEdit6, ui->DBEdit7})
        e->setDataSource(DM->AccTransDS);
    ui->DBLookupComboBox1->setDataSource(DM->AccTransDS);
    // Enter and Esc are offered to the controls in the order they were
    // created: the buttons come before the account box, so Enter presses OK
    // even while its list is open.
    setUpKeys(&TDM::AccTransTable,
              {ui->DBEdit2, ui->DBEdit4, ui->DBEdit5, ui->DBEdit6, ui->DBEdit7, ui->BitBtn1, ui->BitBtn2,
               ui->DBLookupComboBox1},
              ui->BitBtn1, ui->BitBtn2);
    ui->DBEdit2->setFocus(Qt::OtherFocusReason);
}

TfrmAccTrans::~TfrmAccTrans()
{
    delete ui;
}

void TfrmAccTrans::beforePost(TTable *table)
{
    // Every box still holding text commits first (a text that does not
    // convert stops OK here); filling a field would otherwise make its box
    // drop the text it holds.
    table->UpdateRecord();
    if (DM->AccTransTableIncrease->IsNull())
        DM->AccTransTableIncrease->setAsFloat(0);
    if (DM->AccTransTableDecrease->IsNull())
        DM->AccTransTableDecrease->setAsFloat(0);
}
