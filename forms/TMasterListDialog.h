#pragma once

#include "FormSupport.h"

#include <QDialog>

class QPushButton;
class TDM;
class TDataSource;
class TTable;
class TwwDBGrid;
class TwwDBNavigator;

// What the master lists (accounts, expense types) share: the names of one
// table of the data module in a grid that edits in place, with a navigator
// bar above it.
//
// Leaving the window stores what is pending: OK, Esc outside a cell and a
// close request all post a record being edited or inserted, an inserted one
// even when nothing was typed into it. When the engine refuses, its error is
// shown and the window stays open with the change pending. A change is
// dropped with the navigator's Cancel (or Esc in the cell), never by leaving.
//
// A window calls setUpList after setupUi.
class TMasterListDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TMasterListDialog)

public:
    ~TMasterListDialog() override;

    void BitBtn1Click(QObject *Sender);

public Q_SLOTS:
    // Esc outside a cell and a close request arrive here: they press OK.
    void reject() override;

protected:
    explicit TMasterListDialog(QWidget *parent);

    // Gives the window `flags`, a white background and `family` (for the
    // grid's titles too), shows `column` (a grid column description) of
    // DM->*table through `source`, binds the navigator, makes `ok` OK and
    // gives the grid the focus. The data module must exist.
    void setUpList(Qt::WindowFlags flags, FormSupport::Family family, TwwDBGrid *grid, TwwDBNavigator *navigator,
                   QPushButton *ok, TTable *TDM::*table, TDataSource *source, const QString &column);

    void showEvent(QShowEvent *e) override;

private:
    TTable *TDM::*m_table = nullptr;
    QPushButton *m_ok = nullptr;
};
