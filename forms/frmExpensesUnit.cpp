#include "frmExpensesUnit.h"
#include "ui_frmExpensesUnit.h"

#include "DMUnit.h"
#include "TDBEdit.h"
#include "TDataSource.h"

TfrmExpenses::TfrmExpenses(QWidget *parent) : TEntryDialog(parent), ui(new Ui::TfrmExpenses)
{
    ui->setupUi(this);
    // Names and free text are written in Tahoma.
    setUpFrame(QSize(540, 215), {ui->DBEdit5, ui->DBLookupComboBox1, ui->DBLookupComboBox2});

    for (TDBEdit *e : {ui->DBEdit1, ui->DBEdit4, ui->DBEdit5})
        e->setDataSource(DM->ExpensesDS);
    ui->DBLookupComboBox1->setDataSource(DM->ExpensesDS);
    ui->DBLookupComboBox2->setDataSource(DM->ExpensesDS);
    // Enter and Esc are offered to the controls in the order they were
    // created, which decides who takes Enter while a list is open.
    setUpKeys(&TDM::ExpensesTable,
              {ui->BitBtn1, ui->BitBtn2, ui->DBEdit1, ui->DBEdit4, ui->DBEdit5, ui->DBLookupComboBox1,
               ui->DBLookupComboBox2},
              ui->BitBtn1, ui->BitBtn2);
    ui->DBEdit1->setFocus(Qt::OtherFocusReason);
}

TfrmExpenses::~TfrmExpenses()
{
    delete ui;
}
