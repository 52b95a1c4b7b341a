#include "frmExpensesUnit.h"
#include "ui_frmExpensesUnit.h"

#include "DMUnit.h"
#include "DialogKeys.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TDBEdit.h"
#include "TDataSource.h"
#include "TTable.h"

TfrmExpenses::TfrmExpenses(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmExpenses)
{
    ui->setupUi(this);
    // A fixed dialog frame whose title bar shows the caption only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(540, 215);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setFont(FormSupport::font(FormSupport::Verdana, 11));
    // Names and free text are written in Tahoma.
    const QFont tahoma = FormSupport::font(FormSupport::Tahoma, 11);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->DBEdit5, ui->DBLookupComboBox1, ui->DBLookupComboBox2})
        w->setFont(tahoma);

    for (TDBEdit *e : {ui->DBEdit1, ui->DBEdit4, ui->DBEdit5})
        e->setDataSource(DM->ExpensesDS);
    ui->DBLookupComboBox1->setDataSource(DM->ExpensesDS);
    ui->DBLookupComboBox2->setDataSource(DM->ExpensesDS);
    // Enter and Esc are offered to the controls in the order they were
    // created, which decides who takes Enter while a list is open.
    m_keys = new DialogKeys(
        this,
        {ui->BitBtn1, ui->BitBtn2, ui->DBEdit1, ui->DBEdit4, ui->DBEdit5, ui->DBLookupComboBox1, ui->DBLookupComboBox2},
        ui->BitBtn1, ui->BitBtn2);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(ui->BitBtn2); });
    ui->DBEdit1->setFocus(Qt::OtherFocusReason);
}

TfrmExpenses::~TfrmExpenses()
{
    delete ui;
}

void TfrmExpenses::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TfrmExpenses::BitBtn1Click(QObject *)
{
    // Leaving the box being edited commits its text. A box whose text does
    // not convert keeps the focus and the text, and has shown why: nothing is
    // stored then.
    ui->BitBtn1->setFocus(Qt::OtherFocusReason);
    if (auto *box = qobject_cast<TDBEdit *>(focusWidget()); box && box->Modified())
        return;
    TTable *table = DM->ExpensesTable;
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

void TfrmExpenses::BitBtn2Click(QObject *)
{
    TTable *table = DM->ExpensesTable;
    MessageDlg::Guard(this, [table] { table->Cancel(); });
    QDialog::reject();
}

void TfrmExpenses::reject()
{
    BitBtn2Click(this);
}
