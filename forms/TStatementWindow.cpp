#include "TStatementWindow.h"

#include "DMUnit.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TDataSource.h"
#include "TField.h"
#include "TGridCsvExport.h"
#include "TQuery.h"
#include "TStatementPrint.h"
#include "TwwDBGrid.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

#include <QPushButton>

namespace {

// $00FFF5EA in the form's blue-green-red layout: a pale blue. The grid uses
// it only in cells it fills itself, which this grid has none of.
const QColor AlternatingRowColor(234, 245, 255);

} // namespace

TStatementWindow::TStatementWindow(QWidget *parent) : QDialog(parent) {}

TStatementWindow::~TStatementWindow()
{
    // The grid lets go of the query's fields before they go.
    if (m_query)
        m_query->Close();
}

void TStatementWindow::setUpFrame()
{
    // An ordinary resizable window: system menu, close, minimise and
    // maximise boxes.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(FormSupport::font(FormSupport::Verdana, 11));
}

TQuery *TStatementWindow::createQuery(const QString &objectName)
{
    m_query = new TQuery(this);
    m_query->setObjectName(objectName);
    m_query->setDatabaseName(QString::fromLatin1(TDM::DatabaseAlias));
    return m_query;
}

TDataSource *TStatementWindow::setUpGrid(TwwDBGrid *grid, const QStringList &columns, QPushButton *close,
                                         QPushButton *print)
{
    Q_ASSERT(m_query);
    // Both windows call their data source AccTransDS, the expense statement
    // too.
    auto *source = new TDataSource(this, m_query);
    source->setObjectName(QStringLiteral("AccTransDS"));

    FormSupport::setUpListGrid(grid, FormSupport::font(FormSupport::Verdana, 11), palette().color(QPalette::Button));
    grid->setOptions(TwwCustomDBGrid::DefaultOptions | dgRowSelect);
    grid->setKeyOptions(TwwCustomDBGrid::DefaultKeyOptions);
    grid->PaintOptions().AlternatingRowColor = AlternatingRowColor;
    grid->setSelected(columns);
    grid->setDataSource(source);
    TGridCsvExport::install(grid, windowTitle());

    connect(close, &QPushButton::clicked, this, [this, close] { BitBtn1Click(close); });
    connect(print, &QPushButton::clicked, this, &TStatementWindow::Print);
    m_grid = grid;
    grid->setFocus();
    return source;
}

void TStatementWindow::OpenStatement(const QString &SQL)
{
    m_query->Close();
    m_query->setSQL(SQL);
    m_query->Open();
}

void TStatementWindow::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TStatementWindow::BitBtn1Click(QObject *)
{
    reject();
}

QString TStatementWindow::printTitle() const
{
    return m_subject.isEmpty() ? windowTitle() : windowTitle() + QStringLiteral(": ") + m_subject;
}

void TStatementWindow::printTo(QPagedPaintDevice *device)
{
    QList<TStatementPrint::Column> columns;
    for (int c = 0; c < m_grid->ColumnCount(); ++c) {
        if (TField *f = m_grid->ColumnField(c))
            columns << TStatementPrint::Column{f, m_grid->ColumnTitle(c), f->DisplayWidth()};
    }
    TStatementPrint(m_query, columns, printTitle()).print(device);
}

void TStatementWindow::Print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(printTitle());
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Print Preview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&](QPrinter *target) { MessageDlg::Guard(&preview, [&] { printTo(target); }); });
    preview.exec();
}
