#include "rptExpensesStatementUnit.h"
#include "ui_rptExpensesStatementUnit.h"

#include "DMUnit.h"
#include "FormSupport.h"
#include "TDataSource.h"
#include "TDateField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TQuery.h"
#include "TStringField.h"

namespace {

// $00FFF5EA in the form's blue-green-red layout: a pale blue. The grid uses
// it only in cells it fills itself, which this grid has none of.
const QColor AlternatingRowColor(234, 245, 255);

} // namespace

TrptExpensesStatement::TrptExpensesStatement(QWidget *parent) : QDialog(parent), ui(new Ui::TrptExpensesStatement)
{
    ui->setupUi(this);
    // An ordinary resizable window: system menu, close, minimise and
    // maximise boxes.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    const QFont verdana = FormSupport::font(FormSupport::Verdana, 11);
    setFont(verdana);

    Query = new TQuery(this);
    Query->setObjectName(QStringLiteral("Query"));
    Query->setDatabaseName(QString::fromLatin1(TDM::DatabaseAlias));
    QueryDocDate = new TDateField(Query, QStringLiteral("DocDate"));
    QueryAmount = new TFloatField(Query, QStringLiteral("Amount"));
    QueryRemarks = new TStringField(Query, QStringLiteral("Remarks"), 200);
    QueryExpType = new TIntegerField(Query, QStringLiteral("ExpType"));
    QueryExpType->setVisible(false);
    AccTransDS = new TDataSource(this, Query);
    AccTransDS->setObjectName(QStringLiteral("AccTransDS"));

    TwwDBGrid *g = ui->wwDBGrid2;
    g->setFont(FormSupport::font(FormSupport::Tahoma, 11));
    g->setTitleFont(verdana);
    g->setTitleColor(palette().color(QPalette::Button));
    g->setTitleAlignment(Qt::AlignLeft);
    g->setTitleLines(1);
    g->setTitleButtons(false);
    g->setFixedCols(0);
    g->setShowHorzScrollBar(true);
    g->setOptions(TwwCustomDBGrid::DefaultOptions | dgRowSelect);
    g->setKeyOptions(TwwCustomDBGrid::DefaultKeyOptions);
    g->PaintOptions().AlternatingRowColor = AlternatingRowColor;
    g->setSelected({QStringLiteral("DocDate\t10\tDocDate"), QStringLiteral("Amount\t14\tAmount"),
                    QStringLiteral("Remarks\t34\tRemarks")});
    g->setDataSource(AccTransDS);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    g->setFocus();
}

TrptExpensesStatement::~TrptExpensesStatement()
{
    // The grid lets go of the query's fields before they go.
    Query->Close();
    delete ui;
}

void TrptExpensesStatement::OpenStatement(const QString &SQL)
{
    Query->Close();
    Query->setSQL(SQL);
    Query->Open();
}

void TrptExpensesStatement::Execute(QWidget *parent, const QString &SQL)
{
    TrptExpensesStatement window(parent);
    window.OpenStatement(SQL);
    window.exec();
}

void TrptExpensesStatement::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TrptExpensesStatement::BitBtn1Click(QObject *)
{
    reject();
}
