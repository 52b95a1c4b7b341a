#include "rptExpensesStatementUnit.h"
#include "ui_rptExpensesStatementUnit.h"

#include "TDateField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TQuery.h"
#include "TStringField.h"

TrptExpensesStatement::TrptExpensesStatement(QWidget *parent)
    : TStatementWindow(parent), ui(new Ui::TrptExpensesStatement)
{
    ui->setupUi(this);
    setUpFrame();

    Query = createQuery(QStringLiteral("Query"));
    QueryDocDate = new TDateField(Query, QStringLiteral("DocDate"));
    QueryAmount = new TFloatField(Query, QStringLiteral("Amount"));
    QueryRemarks = new TStringField(Query, QStringLiteral("Remarks"), 200);
    QueryExpType = new TIntegerField(Query, QStringLiteral("ExpType"));
    QueryExpType->setVisible(false);

    AccTransDS = setUpGrid(ui->wwDBGrid2,
                           {QStringLiteral("DocDate\t10\tDocDate"), QStringLiteral("Amount\t14\tAmount"),
                            QStringLiteral("Remarks\t34\tRemarks")},
                           ui->BitBtn1, ui->btnPrint);
}

TrptExpensesStatement::~TrptExpensesStatement()
{
    delete ui;
}

void TrptExpensesStatement::Execute(QWidget *parent, const QString &SQL, const QString &subject)
{
    TrptExpensesStatement window(parent);
    window.setSubject(subject);
    window.OpenStatement(SQL);
    window.exec();
}
