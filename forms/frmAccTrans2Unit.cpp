#include "frmAccTrans2Unit.h"
#include "ui_frmAccTrans2Unit.h"

#include "Clock.h"
#include "DMUnit.h"
#include "DialogKeys.h"
#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "FieldText.h"
#include "FormSupport.h"
#include "FormatSettings.h"
#include "MessageDlg.h"
#include "TDateField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TStringField.h"
#include "TTable.h"

TfrmAccTrans2::TfrmAccTrans2(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmAccTrans2)
{
    ui->setupUi(this);
    // An ordinary window that can be resized, minimised and maximised; the
    // controls keep their places.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    resize(509, 284);
    // The accounts and the texts are written in Tahoma.
    FormSupport::setUpDialogLook(this, {ui->cboF, ui->cboT, ui->txtTrans, ui->txtRemarks});

    ui->cboF->setListSource(DM->AccountsDS);
    ui->cboT->setListSource(DM->AccountsDS);
    // Enter and Esc are offered to the controls in the order they were
    // created: the buttons come first, so Enter presses OK even while a list
    // is open.
    m_keys = new DialogKeys(
        this,
        {ui->BitBtn1, ui->BitBtn2, ui->txtDocDate, ui->txtTrans, ui->txtAmount, ui->txtRemarks, ui->cboF, ui->cboT},
        ui->BitBtn1, ui->BitBtn2);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(ui->BitBtn2); });
    ui->txtDocDate->setFocus(Qt::OtherFocusReason);
    FormCreate(this);
}

TfrmAccTrans2::~TfrmAccTrans2()
{
    delete ui;
}

void TfrmAccTrans2::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TfrmAccTrans2::FormCreate(QObject *)
{
    // The same text a date field writes for today.
    ui->txtDocDate->setText(FieldText::formatDate(Clock::today(), FormatSettings()));
}

QString TfrmAccTrans2::amountText() const
{
    return QStringLiteral("0") + ui->txtAmount->Text();
}

// The conversions here are the fields' own (the same parser, the same
// message), so the first failing input reports what its assignment would.
void TfrmAccTrans2::checkInputs() const
{
    const QString date = ui->txtDocDate->Text();
    if (!date.isEmpty() && !FieldText::parseDate(date, FormatSettings(), Clock::today()))
        throw EDatabaseError(QStringLiteral("'%1' is not a valid date").arg(date));
    ui->cboF->ChosenKeyText();
    const QString amount = amountText();
    if (!FieldText::parseFloat(amount, FormatSettings()))
        throw EDatabaseError(DM->AccTransTableDecrease->conversionError(amount, "floating point"));
    ui->cboT->ChosenKeyText();
}

void TfrmAccTrans2::storeRecord(TDBLookupComboBox *account, bool from) const
{
    const QString zero = QStringLiteral("0");
    DM->AccTransTable->Append();
    DM->AccTransTableDocDate->setText(ui->txtDocDate->Text());
    DM->AccTransTableAccID->setText(account->ChosenKeyText());
    DM->AccTransTableTransaction->setText(ui->txtTrans->Text());
    DM->AccTransTableRemarks->setText(ui->txtRemarks->Text());
    DM->AccTransTableDecrease->setText(from ? amountText() : zero);
    DM->AccTransTableIncrease->setText(from ? zero : amountText());
    DM->AccTransTable->Post();
}

void TfrmAccTrans2::storeTransfer()
{
    checkInputs();
    TTable *table = DM->AccTransTable;
    // A change still pending on the table is settled on its own, outside
    // the transfer.
    table->CheckBrowseMode();
    TEngineDatabase &db = TEngineDatabase::forAlias(QString::fromLatin1(TDM::DatabaseAlias));
    db.startTransaction();
    try {
        storeRecord(ui->cboF, true);
        storeRecord(ui->cboT, false);
        db.commit();
    } catch (const EDatabaseError &) {
        // Undo the first record, drop the one being filled, and show the
        // table as it is stored again.
        db.rollback();
        if (table->State() == TDataSetState::dsInsert)
            table->Cancel();
        table->Refresh();
        throw;
    }
}

void TfrmAccTrans2::BitBtn1Click(QObject *)
{
    // The focus leaves the box being edited (an open list closes unchanged).
    ui->BitBtn1->setFocus(Qt::OtherFocusReason);
    if (MessageDlg::Guard(this, [this] { storeTransfer(); }))
        accept();
}

void TfrmAccTrans2::BitBtn2Click(QObject *)
{
    reject();
}
