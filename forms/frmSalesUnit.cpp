#include "frmSalesUnit.h"
#include "ui_frmSalesUnit.h"

#include "DMUnit.h"
#include "DialogKeys.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TDBEdit.h"
#include "TDataSource.h"
#include "TTable.h"

TfrmSales::TfrmSales(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmSales)
{
    ui->setupUi(this);
    // A fixed dialog frame whose title bar shows the caption only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(542, 296);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setFont(FormSupport::font(FormSupport::Verdana, 11));
    // Names and free text are written in Tahoma.
    const QFont tahoma = FormSupport::font(FormSupport::Tahoma, 11);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->DBEdit3, ui->DBEdit4, ui->DBEdit7, ui->DBLookupComboBox1})
        w->setFont(tahoma);

    for (TDBEdit *e : {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4, ui->DBEdit5, ui->DBEdit7})
        e->setDataSource(DM->SalesDS);
    ui->DBLookupComboBox1->setDataSource(DM->SalesDS);
    // Enter and Esc are offered to the controls in the order they were
    // created, which decides who takes Enter while a list is open.
    m_keys = new DialogKeys(this,
                            {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4, ui->DBEdit5, ui->DBEdit7,
                             ui->DBLookupComboBox1, ui->BitBtn1, ui->BitBtn2},
                            ui->BitBtn1, ui->BitBtn2);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(ui->BitBtn2); });
    ui->DBEdit1->setFocus(Qt::OtherFocusReason);
}

TfrmSales::~TfrmSales()
{
    delete ui;
}

void TfrmSales::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TfrmSales::BitBtn1Click(QObject *)
{
    // Leaving the box being edited commits its text. A box whose text does
    // not convert keeps the focus and the text, and has shown why: nothing is
    // stored then.
    ui->BitBtn1->setFocus(Qt::OtherFocusReason);
    if (auto *box = qobject_cast<TDBEdit *>(focusWidget()); box && box->Modified())
        return;
    TTable *table = DM->SalesTable;
    // A record opened by Edit and left unchanged is still browsing: nothing
    // to post. The post commits any box still holding text, and a refused
    // post leaves the record pending.
    const bool stored = MessageDlg::Guard(this, [table] {
        if (table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert)
            table->Post();
    });
    if (stored)
        QDialog::accept();
}

void TfrmSales::BitBtn2Click(QObject *)
{
    TTable *table = DM->SalesTable;
    MessageDlg::Guard(this, [table] { table->Cancel(); });
    QDialog::reject();
}

void TfrmSales::reject()
{
    BitBtn2Click(this);
}
