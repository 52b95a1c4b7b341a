#include "frmAccStatementUnit.h"
#include "ui_frmAccStatementUnit.h"

#include "TDateField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TQuery.h"
#include "TStringField.h"

TfrmAccStatement::TfrmAccStatement(QWidget *parent) : TStatementWindow(parent), ui(new Ui::TfrmAccStatement)
{
    ui->setupUi(this);
    setUpFrame();

    AccTransQuery = createQuery(QStringLiteral("AccTransQuery"));
    AccTransQueryDocDate = new TDateField(AccTransQuery, QStringLiteral("DocDate"));
    AccTransQueryTransaction = new TStringField(AccTransQuery, QStringLiteral("Transaction"), 100);
    AccTransQueryIncrease = new TFloatField(AccTransQuery, QStringLiteral("Increase"));
    AccTransQueryDecrease = new TFloatField(AccTransQuery, QStringLiteral("Decrease"));
    AccTransQueryRemarks = new TStringField(AccTransQuery, QStringLiteral("Remarks"), 200);
    AccTransQueryId = new TIntegerField(AccTransQuery, QStringLiteral("Id"));
    AccTransQueryId->setVisible(false);
    AccTransQueryAccID = new TIntegerField(AccTransQuery, QStringLiteral("AccID"));
    AccTransQueryAccID->setVisible(false);

    AccTransDS = setUpGrid(ui->wwDBGrid2,
                           {QStringLiteral("DocDate\t10\tDocDate"), QStringLiteral("Transaction\t22\tTransaction"),
                            QStringLiteral("Increase\t14\tIncrease"), QStringLiteral("Decrease\t14\tDecrease"),
                            QStringLiteral("Remarks\t34\tRemarks")},
                           ui->BitBtn1, ui->btnPrint);
}

TfrmAccStatement::~TfrmAccStatement()
{
    delete ui;
}

void TfrmAccStatement::Execute(QWidget *parent, const QString &SQL, const QString &subject)
{
    TfrmAccStatement window(parent);
    window.setSubject(subject);
    window.OpenStatement(SQL);
    window.exec();
}
