#include "TEntryDialog.h"

#include "DMUnit.h"
#include "DialogKeys.h"
#include "FormSupport.h"
#include "MessageDlg.h"
#include "TDBEdit.h"
#include "TTable.h"

#include <QPushButton>

TEntryDialog::TEntryDialog(QWidget *parent) : QDialog(parent) {}

TEntryDialog::~TEntryDialog() = default;

void TEntryDialog::setUpFrame(const QSize &size, const QList<QWidget *> &tahomaControls)
{
    // A fixed dialog frame whose title bar shows the caption only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(size);
    FormSupport::setUpDialogLook(this, tahomaControls);
}

void TEntryDialog::setUpKeys(TTable *TDM::*table, const QList<QWidget *> &controls, QPushButton *ok,
                             QPushButton *cancel)
{
    m_table = table;
    m_ok = ok;
    m_keys = new DialogKeys(this, controls, ok, cancel);

    connect(ok, &QPushButton::clicked, this, [this, ok] { BitBtn1Click(ok); });
    connect(cancel, &QPushButton::clicked, this, [this, cancel] { BitBtn2Click(cancel); });
}

void TEntryDialog::showEvent(QShowEvent *e)
{
    FormSupport::centreOverParent(this);
    QDialog::showEvent(e);
}

void TEntryDialog::beforePost(TTable *) {}

void TEntryDialog::BitBtn1Click(QObject *)
{
    Q_ASSERT(m_table && m_ok);
    // Leaving the box being edited commits its text. A box whose text does
    // not convert keeps the focus and the text, and has shown why: nothing is
    // stored then, and beforePost does not run (so a rejected amount is never
    // replaced by a filled-in value and stored). The box commits before the
    // focus moves, since moving it tells the box nothing while the window is
    // not the active one.
    if (auto *box = qobject_cast<TDBEdit *>(focusWidget()); box && !box->commitLeaving())
        return;
    m_ok->setFocus(Qt::OtherFocusReason);
    if (auto *box = qobject_cast<TDBEdit *>(focusWidget()); box && box->Modified())
        return;
    TTable *table = DM->*m_table;
    // A record opened by Edit and left unchanged is still browsing: nothing
    // to fill in and nothing to post. The post commits any box still holding
    // text, and a refused post leaves the record pending.
    const bool stored = MessageDlg::Guard(this, [this, table] {
        if (table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert) {
            beforePost(table);
            table->Post();
        }
    });
    if (stored)
        QDialog::accept();
}

void TEntryDialog::BitBtn2Click(QObject *)
{
    Q_ASSERT(m_table);
    TTable *table = DM->*m_table;
    MessageDlg::Guard(this, [table] { table->Cancel(); });
    QDialog::reject();
}

void TEntryDialog::reject()
{
    BitBtn2Click(this);
}
