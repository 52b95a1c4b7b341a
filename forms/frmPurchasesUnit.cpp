#include "frmPurchasesUnit.h"
#include "ui_frmPurchasesUnit.h"

#include "DMUnit.h"
#include "DialogKeys.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TDBEdit.h"
#include "TDataSource.h"
#include "TTable.h"

TfrmPurchases::TfrmPurchases(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmPurchases)
{
    ui->setupUi(this);
    // A fixed dialog frame whose title bar shows the caption only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(540, 253);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setFont(FormSupport::font(FormSupport::Verdana, 11));
    // Names and free text are written in Tahoma.
    const QFont tahoma = FormSupport::font(FormSupport::Tahoma, 11);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->DBEdit2, ui->DBEdit5, ui->DBLookupComboBox1})
        w->setFont(tahoma);

    for (TDBEdit *e : {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4, ui->DBEdit5})
        e->setDataSource(DM->PurchasesDS);
    ui->DBLookupComboBox1->setDataSource(DM->PurchasesDS);
    // Enter and Esc are offered to the controls in the order they were
    // created, which decides who takes Enter while a list is open.
    m_keys = new DialogKeys(this,
                            {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit5, ui->BitBtn1, ui->BitBtn2,
                             ui->DBLookupComboBox1, ui->DBEdit4},
                            ui->BitBtn1, ui->BitBtn2);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(ui->BitBtn2); });
    ui->DBEdit4->setFocus(Qt::OtherFocusReason);
}

TfrmPurchases::~TfrmPurchases()
{
    delete ui;
}

void TfrmPurchases::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TfrmPurchases::BitBtn1Click(QObject *)
{
    // Leaving the box being edited commits its text. A box whose text does
    // not convert keeps the focus and the text, and has shown why: nothing is
    // stored then.
    ui->BitBtn1->setFocus(Qt::OtherFocusReason);
    if (auto *box = qobject_cast<TDBEdit *>(focusWidget()); box && box->Modified())
        return;
    TTable *table = DM->PurchasesTable;
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

void TfrmPurchases::BitBtn2Click(QObject *)
{
    TTable *table = DM->PurchasesTable;
    MessageDlg::Guard(this, [table] { table->Cancel(); });
    QDialog::reject();
}

void TfrmPurchases::reject()
{
    BitBtn2Click(this);
}
