#include "frmAccStatementUnit.h"
#include "ui_frmAccStatementUnit.h"

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

TfrmAccStatement::TfrmAccStatement(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmAccStatement)
{
    ui->setupUi(this);
    // An ordinary resizable window: system menu, close, minimise and
    // maximise boxes.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    const QFont verdana = FormSupport::font(FormSupport::Verdana, 11);
    setFont(verdana);

    AccTransQuery = new TQuery(this);
    AccTransQuery->setObjectName(QStringLiteral("AccTransQuery"));
    AccTransQuery->setDatabaseName(QString::fromLatin1(TDM::DatabaseAlias));
    AccTransQueryDocDate = new TDateField(AccTransQuery, QStringLiteral("DocDate"));
    AccTransQueryTransaction = new TStringField(AccTransQuery, QStringLiteral("Transaction"), 100);
    AccTransQueryIncrease = new TFloatField(AccTransQuery, QStringLiteral("Increase"));
    AccTransQueryDecrease = new TFloatField(AccTransQuery, QStringLiteral("Decrease"));
    AccTransQueryRemarks = new TStringField(AccTransQuery, QStringLiteral("Remarks"), 200);
    AccTransQueryId = new TIntegerField(AccTransQuery, QStringLiteral("Id"));
    AccTransQueryId->setVisible(false);
    AccTransQueryAccID = new TIntegerField(AccTransQuery, QStringLiteral("AccID"));
    AccTransQueryAccID->setVisible(false);
    AccTransDS = new TDataSource(this, AccTransQuery);
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
    g->setSelected({QStringLiteral("DocDate\t10\tDocDate"), QStringLiteral("Transaction\t22\tTransaction"),
                    QStringLiteral("Increase\t14\tIncrease"), QStringLiteral("Decrease\t14\tDecrease"),
                    QStringLiteral("Remarks\t34\tRemarks")});
    g->setDataSource(AccTransDS);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(ui->BitBtn1); });
    g->setFocus();
}

TfrmAccStatement::~TfrmAccStatement()
{
    // The grid lets go of the query's fields before they go.
    AccTransQuery->Close();
    delete ui;
}

void TfrmAccStatement::OpenStatement(const QString &SQL)
{
    AccTransQuery->Close();
    AccTransQuery->setSQL(SQL);
    AccTransQuery->Open();
}

void TfrmAccStatement::Execute(QWidget *parent, const QString &SQL)
{
    TfrmAccStatement window(parent);
    window.OpenStatement(SQL);
    window.exec();
}

void TfrmAccStatement::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TfrmAccStatement::BitBtn1Click(QObject *)
{
    reject();
}
