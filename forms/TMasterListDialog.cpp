#include "TMasterListDialog.h"

#include "DMUnit.h"
#include "MessageDlg.h"
#include "TGridCsvExport.h"
#include "TTable.h"
#include "TwwDBGrid.h"
#include "TwwDBNavigator.h"

#include <QPushButton>

TMasterListDialog::TMasterListDialog(QWidget *parent) : QDialog(parent) {}

// The program closes the window only through OK, which leaves nothing
// pending; a window destroyed while still open (the program ending under a
// modal window) drops what it left, so that the shared table is never left
// in the middle of a change nobody will finish.
TMasterListDialog::~TMasterListDialog()
{
    if (DM && m_table &&
        ((DM->*m_table)->State() == TDataSetState::dsEdit || (DM->*m_table)->State() == TDataSetState::dsInsert))
        (DM->*m_table)->Cancel();
}

void TMasterListDialog::setUpList(Qt::WindowFlags flags, FormSupport::Family family, TwwDBGrid *grid,
                                  TwwDBNavigator *navigator, QPushButton *ok, TTable *TDM::*table,
                                  TDataSource *source, const QString &column)
{
    m_table = table;
    m_ok = ok;
    setWindowFlags(flags);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    const QFont windowFont = FormSupport::font(family, 11);
    setFont(windowFont);

    FormSupport::setUpListGrid(grid, windowFont, palette().color(QPalette::Button));
    grid->setOptions(TwwCustomDBGrid::DefaultOptions);
    grid->setKeyOptions(dgEnterToTab | dgAllowDelete | dgAllowInsert);
    grid->setSelected({column});
    grid->setDataSource(source);
    TGridCsvExport::install(grid, windowTitle());

    navigator->setShowHint(true);
    navigator->setDataSource(source);

    connect(ok, &QPushButton::clicked, this, [this, ok] { BitBtn1Click(ok); });
    grid->setFocus();
}

void TMasterListDialog::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

// The test is the state alone: an inserted record is posted even when
// nothing was typed into it. Posting takes over the text still being typed
// in the grid's cell.
void TMasterListDialog::BitBtn1Click(QObject *)
{
    Q_ASSERT(m_table);
    TTable *table = DM->*m_table;
    const bool stored = MessageDlg::Guard(this, [&] {
        if (table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert)
            table->Post();
    });
    if (stored)
        accept();
}

void TMasterListDialog::reject()
{
    BitBtn1Click(m_ok);
}
