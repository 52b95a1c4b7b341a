#include "frmExpensesTypesUnit.h"
#include "ui_frmExpensesTypesUnit.h"

#include "DMUnit.h"

TfrmExpensesTypes::TfrmExpensesTypes(QWidget *parent) : TMasterListDialog(parent), ui(new Ui::TfrmExpensesTypes)
{
    ui->setupUi(this);
    // A resizable window whose title bar shows the caption only: no system
    // menu, so no close, minimise or maximise box.
    setUpList(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint, FormSupport::Verdana, ui->wwDBGrid1,
              ui->wwDBNavigator1, ui->BitBtn1, &TDM::ExpTypesTable, DM->ExpTypesDS,
              QStringLiteral("ExpType\t30\tExpenses Type"));
}

TfrmExpensesTypes::~TfrmExpensesTypes()
{
    delete ui;
}

void TfrmExpensesTypes::Execute(QWidget *parent)
{
    TfrmExpensesTypes window(parent);
    window.exec();
}
