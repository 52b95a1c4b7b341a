#include "frmAccountsUnit.h"
#include "ui_frmAccountsUnit.h"

#include "DMUnit.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TTable.h"

TfrmAccounts::TfrmAccounts(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmAccounts)
{
    ui->setupUi(this);
    // A resizable window with the system menu and the close, minimise and
    // maximise boxes.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setFont(FormSupport::font(FormSupport::MSSansSerif, 11));

    TwwDBGrid *g = ui->wwDBGrid1;
    g->setFont(FormSupport::font(FormSupport::Tahoma, 11));
    g->setTitleFont(FormSupport::font(FormSupport::MSSansSerif, 11));
    g->setTitleColor(palette().color(QPalette::Button));
    g->setTitleAlignment(Qt::AlignLeft);
    g->setTitleLines(1);
    g->setTitleButtons(false);
    g->setFixedCols(0);
    g->setShowHorzScrollBar(true);
    g->setOptions(TwwCustomDBGrid::DefaultOptions);
    g->setKeyOptions(dgEnterToTab | dgAllowDelete | dgAllowInsert);
    g->setSelected({QStringLiteral("AccName\t30\tAcc Name\tF")});
    g->setDataSource(DM->AccountsDS);

    ui->wwDBNavigator1->setShowHint(true);
    ui->wwDBNavigator1->setDataSource(DM->AccountsDS);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    g->setFocus();
}

// The program closes the window only through OK, which leaves nothing
// pending; a window destroyed while still open (the program ending under a
// modal window) drops what it left, so that the shared table is never left
// in the middle of a change nobody will finish.
TfrmAccounts::~TfrmAccounts()
{
    if (DM &&
        (DM->AccountsTable->State() == TDataSetState::dsEdit || DM->AccountsTable->State() == TDataSetState::dsInsert))
        DM->AccountsTable->Cancel();
    delete ui;
}

void TfrmAccounts::Execute(QWidget *parent)
{
    TfrmAccounts window(parent);
    window.exec();
}

void TfrmAccounts::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

// The test is the state alone: an inserted record is posted even when
// nothing was typed into it. Posting takes over the text still being typed
// in the grid's cell.
void TfrmAccounts::BitBtn1Click(QObject *)
{
    TTable *table = DM->AccountsTable;
    const bool stored = MessageDlg::Guard(this, [&] {
        if (table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert)
            table->Post();
    });
    if (stored)
        accept();
}

void TfrmAccounts::reject()
{
    BitBtn1Click(ui->BitBtn1);
}
