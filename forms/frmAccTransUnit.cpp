#include "frmAccTransUnit.h"
#include "ui_frmAccTransUnit.h"

#include "DMUnit.h"
#include "DialogKeys.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TDBEdit.h"
#include "TDataSource.h"
#include "TFloatField.h"
#include "TTable.h"

TfrmAccTrans::TfrmAccTrans(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmAccTrans)
{
    ui->setupUi(this);
    // A fixed dialog frame whose title bar shows the caption only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(501, 216);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setFont(FormSupport::font(FormSupport::Verdana, 11));
    // The account, the texts and the amounts are written in Tahoma.
    const QFont tahoma = FormSupport::font(FormSupport::Tahoma, 11);
    for (QWidget *w :
         std::initializer_list<QWidget *>{ui->DBLookupComboBox1, ui->DBEdit4, ui->DBEdit5, ui->DBEdit6, ui->DBEdit7})
        w->setFont(tahoma);

    for (TDBEdit *e : {ui->DBEdit2, ui->DBEdit4, ui->DBEdit5, ui->DBEdit6, ui->DBEdit7})
        e->setDataSource(DM->AccTransDS);
    ui->DBLookupComboBox1->setDataSource(DM->AccTransDS);
    // Enter and Esc are offered to the controls in the order they were
    // created: the buttons come before the account box, so Enter presses OK
    // even while its list is open.
    m_keys = new DialogKeys(this,
                            {ui->DBEdit2, ui->DBEdit4, ui->DBEdit5, ui->DBEdit6, ui->DBEdit7, ui->BitBtn1, ui->BitBtn2,
                             ui->DBLookupComboBox1},
                            ui->BitBtn1, ui->BitBtn2);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(ui->BitBtn2); });
    ui->DBEdit2->setFocus(Qt::OtherFocusReason);
}

TfrmAccTrans::~TfrmAccTrans()
{
    delete ui;
}

void TfrmAccTrans::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TfrmAccTrans::BitBtn1Click(QObject *)
{
    // Leaving the box being edited commits its text. A box whose text does
    // not convert keeps the focus and the text, and has shown why: OK stops
    // there, so a rejected amount is never replaced by 0 and stored.
    ui->BitBtn1->setFocus(Qt::OtherFocusReason);
    if (auto *box = qobject_cast<TDBEdit *>(focusWidget()); box && box->Modified())
        return;
    TTable *table = DM->AccTransTable;
    const bool stored = MessageDlg::Guard(this, [table] {
        // A record opened by Edit and left unchanged is still browsing: there
        // is nothing to fill in and nothing to post.
        if (table->State() != TDataSetState::dsEdit && table->State() != TDataSetState::dsInsert)
            return;
        // Every box still holding text commits first (a text that does not
        // convert stops OK here); filling a field would otherwise make its
        // box drop the text it holds.
        table->UpdateRecord();
        if (DM->AccTransTableIncrease->IsNull())
            DM->AccTransTableIncrease->setAsFloat(0);
        if (DM->AccTransTableDecrease->IsNull())
            DM->AccTransTableDecrease->setAsFloat(0);
        table->Post();
    });
    if (stored)
        QDialog::accept();
}

void TfrmAccTrans::BitBtn2Click(QObject *)
{
    TTable *table = DM->AccTransTable;
    MessageDlg::Guard(this, [table] { table->Cancel(); });
    QDialog::reject();
}

void TfrmAccTrans::reject()
{
    BitBtn2Click(this);
}
