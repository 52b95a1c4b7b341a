#include "frmExpensesTypesUnit.h"
#include "ui_frmExpensesTypesUnit.h"

#include "DMUnit.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TTable.h"

TfrmExpensesTypes::TfrmExpensesTypes(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmExpensesTypes)
{
    ui->setupUi(this);
    // A resizable window whose title bar shows the caption only: no system
    // menu, so no close, minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    const QFont verdana = FormSupport::font(FormSupport::Verdana, 11);
    setFont(verdana);

    TwwDBGrid *g = ui->wwDBGrid1;
    g->setFont(FormSupport::font(FormSupport::Tahoma, 11));
    g->setTitleFont(verdana);
    g->setTitleColor(palette().color(QPalette::Button));
    g->setTitleAlignment(Qt::AlignLeft);
    g->setTitleLines(1);
    g->setTitleButtons(false);
    g->setFixedCols(0);
    g->setShowHorzScrollBar(true);
    g->setOptions(TwwCustomDBGrid::DefaultOptions);
    g->setKeyOptions(dgEnterToTab | dgAllowDelete | dgAllowInsert);
    g->setSelected({QStringLiteral("ExpType\t30\tExpenses Type")});
    g->setDataSource(DM->ExpTypesDS);

    ui->wwDBNavigator1->setShowHint(true);
    ui->wwDBNavigator1->setDataSource(DM->ExpTypesDS);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    g->setFocus();
}

// The program closes the window only through OK, which leaves nothing
// pending; a window destroyed while still open (the program ending under a
// modal window) drops what it left, so that the shared table is never left
// in the middle of a change nobody will finish.
TfrmExpensesTypes::~TfrmExpensesTypes()
{
    if (DM &&
        (DM->ExpTypesTable->State() == TDataSetState::dsEdit || DM->ExpTypesTable->State() == TDataSetState::dsInsert))
        DM->ExpTypesTable->Cancel();
    delete ui;
}

void TfrmExpensesTypes::Execute(QWidget *parent)
{
    TfrmExpensesTypes window(parent);
    window.exec();
}

void TfrmExpensesTypes::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

// The test is the state alone: an inserted record is posted even when
// nothing was typed into it. Posting takes over the text still being typed
// in the grid's cell.
void TfrmExpensesTypes::BitBtn1Click(QObject *)
{
    TTable *table = DM->ExpTypesTable;
    const bool stored = MessageDlg::Guard(this, [&] {
        if (table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert)
            table->Post();
    });
    if (stored)
        accept();
}

void TfrmExpensesTypes::reject()
{
    BitBtn1Click(ui->BitBtn1);
}
