#include "frmMainUnit.h"
#include "ui_frmMainUnit.h"

#include "AppFonts.h"
#include "BackupCommands.h"
#include "FormSupport.h"
#include "Clock.h"
#include "DMUnit.h"
#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "FieldText.h"
#include "FormatSettings.h"
#include "MessageDlg.h"
#include "TDataSource.h"
#include "TDateTimePicker.h"
#include "TFloatField.h"
#include "TGridCsvExport.h"
#include "TQuery.h"
#include "TStringField.h"
#include "TTable.h"
#include "TTrendsTab.h"
#include "TwwDBGrid.h"
#include "frmAboutUnit.h"
#include "frmAccStatementUnit.h"
#include "frmAccTrans2Unit.h"
#include "frmAccTransUnit.h"
#include "frmAccountsUnit.h"
#include "frmExpensesTypesUnit.h"
#include "frmExpensesUnit.h"
#include "frmPurchasesUnit.h"
#include "frmSalesUnit.h"
#include "rptExpensesStatementUnit.h"
#include "TIntegerField.h"

#include <QButtonGroup>
#include <QDesktopServices>
#include <QScreen>
#include <QUrl>
#include <utility>

TfrmMain *frmMain = nullptr;

// The maker's addresses are invented: the reserved ".example" domain can
// never reach anybody by mistake.
const char *const TfrmMain::WebSiteAddress = "http://www.ardentry.example/";
const char *const TfrmMain::MailAddress = "mailto:author@ardentry.example";

namespace {

const QColor ValueColour(0, 0, 160);
const QColor ProfitColour(0, 128, 64);
const QColor LossColour(255, 0, 0);

void setColour(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}

} // namespace

TfrmMain::TfrmMain(QWidget *parent) : QMainWindow(parent), ui(new Ui::TfrmMain)
{
    ui->setupUi(this);
    m_trends = new TTrendsTab(ui->Pages);  // after the four record tabs
    ui->Pages->addWidget(m_trends);
    setWindowIcon(AppFonts::applicationIcon());
    applyFonts();
    configureGrids();
    // Each figure is read with its caption, and pushes its link to the right
    // rather than lose a digit.
    ui->lblSales->setUp(ui->Label2, ui->Label12);
    ui->lblExpenses->setUp(ui->Label3, ui->Label13);
    ui->lblPurchases->setUp(ui->Label4, ui->Label14);
    ui->lblProfits->setUp(ui->Label5);

    connect(ui->btnExit, &QPushButton::clicked, this, [this] { btnExitClick(ui->btnExit); });
    connect(ui->Exit1, &QAction::triggered, this, [this] { Exit1Click(ui->Exit1); });
    connect(ui->WebSite1, &QAction::triggered, this, [this] { WebSite1Click(ui->WebSite1); });
    connect(ui->SendMailtotheAuthor1, &QAction::triggered, this,
            [this] { SendMailtotheAuthor1Click(ui->SendMailtotheAuthor1); });
    connect(ui->About1, &QAction::triggered, this, [this] { About1Click(ui->About1); });
    ui->Label12->OnClick = [this](QObject *s) { Label12Click(s); };
    ui->Label13->OnClick = [this](QObject *s) { Label13Click(s); };
    ui->Label14->OnClick = [this](QObject *s) { Label14Click(s); };

    // One group for the six periods; a period runs only when it becomes the
    // selected one, so clicking the selected button again recomputes nothing.
    auto *periods = new QButtonGroup(this);
    for (QRadioButton *b : {ui->optToday, ui->optYesterday, ui->optWeek, ui->optMonth, ui->optYear,
                            ui->optCustomeDate}) {
        periods->addButton(b);
        connect(b, &QRadioButton::toggled, this, [this, b](bool on) {
            updateRadioTabStops();
            if (on)
                MessageDlg::Guard(this, [&] { optTodayClick(b); });
        });
    }
    updateRadioTabStops();
    ui->cboDateF->OnChange = [this](QObject *s) { MessageDlg::Guard(this, [&] { optTodayClick(s); }); };
    ui->cboDateT->OnChange = [this](QObject *s) { MessageDlg::Guard(this, [&] { optTodayClick(s); }); };

    wireCommands();
    new TBackupCommands(this);

    // Exit keeps its distance from the bottom of the side bar.
    ui->Panel1->installEventFilter(this);

    FormCreate();
}

TfrmMain::~TfrmMain()
{
    delete ui;
}

void TfrmMain::applyFonts()
{
    setFont(FormSupport::font(FormSupport::Verdana, 11));
    const QFont bold = FormSupport::font(FormSupport::Verdana, 11, true);
    for (QLabel *l : {ui->lblSales, ui->lblExpenses, ui->lblPurchases, ui->lblProfits}) {
        l->setFont(bold);
        setColour(l, ValueColour);
    }
}

void TfrmMain::configureGrids()
{
    const QFont cells = FormSupport::font(FormSupport::Tahoma, 11);
    const QFont titles = FormSupport::font(FormSupport::Verdana, 11);
    auto common = [&](TwwDBGrid *g) {
        g->setFont(cells);
        g->setTitleFont(titles);
        g->setTitleColor(palette().color(QPalette::Button));
        g->setTitleAlignment(Qt::AlignLeft);
        g->setTitleLines(1);
        g->setTitleButtons(false);
        g->setFixedCols(0);
        g->setShowHorzScrollBar(true);
    };
    const TwwDBGridOptions tabOptions = TwwCustomDBGrid::DefaultOptions | dgRowSelect;
    const TwwDBGridOptions summaryOptions =
        (tabOptions & ~TwwDBGridOptions(dgIndicator | dgColLines)) | dgAlwaysShowSelection;
    ui->wwDBGrid1->setSelected({QStringLiteral("Account\t27\tAccount\t\t"), QStringLiteral("Balance\t13\tBalance\t\t")});
    ui->wwDBGrid6->setSelected({QStringLiteral("Expenses\t27\tExpenses\t\t"), QStringLiteral("Amount\t12\tAmount\t\t")});
    ui->wwDBGrid2->setSelected({QStringLiteral("DocDate\t10\tDocDate"), QStringLiteral("Account\t18\tAccount"),
                                QStringLiteral("Transaction\t22\tTransaction"), QStringLiteral("Increase\t14\tIncrease"),
                                QStringLiteral("Decrease\t14\tDecrease"), QStringLiteral("Remarks\t16\tRemarks")});
    ui->wwDBGrid3->setSelected({QStringLiteral("Id\t10\tInvoice ID"), QStringLiteral("DocDate\t10\tDate"),
                                QStringLiteral("Customer\t19\tCustomer"), QStringLiteral("SalesMan\t18\tSales Man"),
                                QStringLiteral("Total\t10\tTotal"), QStringLiteral("Account\t19\tAccount"),
                                QStringLiteral("Remarks\t27\tRemarks")});
    ui->wwDBGrid4->setSelected({QStringLiteral("DocDate\t10\tDate"), QStringLiteral("Expenses\t22\tExpenses"),
                                QStringLiteral("Account\t16\tAccount"), QStringLiteral("Amount\t10\tAmount"),
                                QStringLiteral("Remarks\t28\tRemarks")});
    ui->wwDBGrid5->setSelected({QStringLiteral("Id\t10\tInvoice ID"), QStringLiteral("DocDate\t10\tDate"),
                                QStringLiteral("Supplier\t20\tSupplier"), QStringLiteral("Total\t10\tTotal"),
                                QStringLiteral("Account\t17\tAccount"), QStringLiteral("Remarks\t27\tRemarks")});
    for (TwwDBGrid *g : {ui->wwDBGrid1, ui->wwDBGrid6}) {
        common(g);
        g->setOptions(summaryOptions);
    }
    for (TwwDBGrid *g : {ui->wwDBGrid2, ui->wwDBGrid3, ui->wwDBGrid4, ui->wwDBGrid5}) {
        common(g);
        g->setOptions(tabOptions);
        g->setKeyOptions(TwwCustomDBGrid::DefaultKeyOptions);
    }
    // Every list exports to CSV (its context menu, Ctrl+Shift+E).
    const std::pair<TwwDBGrid *, const char *> lists[] = {
        {ui->wwDBGrid1, "Account Balances"}, {ui->wwDBGrid6, "Expense Totals"},
        {ui->wwDBGrid2, "Account Transactions"}, {ui->wwDBGrid3, "Sales and Income"},
        {ui->wwDBGrid4, "Expenses"}, {ui->wwDBGrid5, "Purchases"}};
    for (const auto &[grid, name] : lists)
        TGridCsvExport::install(grid, QString::fromLatin1(name));
}

void TfrmMain::BindDataModule()
{
    // A record deleted from a record tab's grid by its own keys leaves the
    // Summary as stale as the Delete button would: recompute it there too.
    for (TTable *t : {DM->AccTransTable, DM->SalesTable, DM->ExpensesTable, DM->PurchasesTable})
        t->AfterDelete = [this](TDataSet *) {
            if (!m_deleting)
                MessageDlg::Guard(this, [this] { RefreshSummary(); });
        };
    ui->wwDBGrid1->setDataSource(DM->AccBalancesDS);
    ui->wwDBGrid6->setDataSource(DM->ExpTotalsDS);
    ui->wwDBGrid2->setDataSource(DM->AccTransDS);
    ui->wwDBGrid3->setDataSource(DM->SalesDS);
    ui->wwDBGrid4->setDataSource(DM->ExpensesDS);
    ui->wwDBGrid5->setDataSource(DM->PurchasesDS);
}

// Radio buttons of one group are one stop in the tab order: the selected one.
void TfrmMain::updateRadioTabStops()
{
    for (QRadioButton *b : {ui->optToday, ui->optYesterday, ui->optWeek, ui->optMonth, ui->optYear,
                            ui->optCustomeDate})
        b->setFocusPolicy(b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

void TfrmMain::FormCreate()
{
    ui->cboDateF->setDate(Clock::today());
    ui->cboDateT->setDate(Clock::today());
    m_shownPeriod = shownPeriod();
}

TfrmMain::ShownPeriod TfrmMain::shownPeriod() const
{
    QObject *checked = nullptr;
    for (QRadioButton *b : {ui->optToday, ui->optYesterday, ui->optWeek, ui->optMonth, ui->optYear,
                            ui->optCustomeDate})
        if (b->isChecked())
            checked = b;
    return {checked, ui->cboDateF->Date(), ui->cboDateT->Date(), PeriodFilter, PeriodWhere};
}

// Puts back the period shown before a refused change. The books may still
// refuse to be read: what they refuse now is what the error being shown
// already says, and each list keeps what it holds.
void TfrmMain::restorePeriod(const ShownPeriod &period)
{
    m_restoringPeriod = true;
    if (auto *b = qobject_cast<QRadioButton *>(period.button))
        b->setChecked(true);
    ui->cboDateF->setDate(period.from);
    ui->cboDateT->setDate(period.to);
    m_restoringPeriod = false;
    updateRadioTabStops();
    if (period.filter == PeriodFilter)
        return;
    PeriodFilter = period.filter;
    PeriodWhere = period.where;
    try {
        for (TTable *t : {DM->AccTransTable, DM->SalesTable, DM->ExpensesTable, DM->PurchasesTable}) {
            t->setFilter(PeriodFilter);
            t->setFiltered(!PeriodFilter.isEmpty());
        }
        if (!DM->AccBalancesQuery->Active())
            DM->AccBalancesQuery->Open();
        DM->ExpTotalsQuery->Close();
        DM->ExpTotalsQuery->setSQL(QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where ") +
                                   (PeriodWhere.isEmpty() ? QStringLiteral("1 <> 2") : PeriodWhere) +
                                   QStringLiteral(" Group By ExpType"));
        DM->ExpTotalsQuery->Open();
    } catch (const EDatabaseError &) {
        DM->ExpTotalsQuery->Close();
    }
}

void TfrmMain::showEvent(QShowEvent *e)
{
    if (!m_shown) {
        m_shown = true;
        // The outer size is 798 x 553 whatever the frame, in the middle of
        // the desktop.
        const QSize frame = frameGeometry().size() - geometry().size();
        resize(QSize(798, 553) - frame);
        if (const QScreen *s = screen()) {
            QRect r(QPoint(), QSize(798, 553));
            r.moveCenter(s->availableGeometry().center());
            move(r.topLeft());
        }
        m_exitFromBottom = ui->Panel1->height() - ui->btnExit->y();
    }
    QMainWindow::showEvent(e);
}

// The form's own show handler runs as the window is about to show, before
// its grids are laid out and fill themselves: they then read the chosen
// period's records, never the whole books that the data module opened with.
void TfrmMain::setVisible(bool visible)
{
    if (visible && !m_showHandled && !isVisible()) {
        m_showHandled = true;
        MessageDlg::Guard(this, [this] { FormShow(); });
    }
    QMainWindow::setVisible(visible);
}

void TfrmMain::FormShow()
{
    optTodayClick(ui->optMonth);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == ui->Panel1 && e->type() == QEvent::Resize && m_exitFromBottom > 0)
        ui->btnExit->move(ui->btnExit->x(), ui->Panel1->height() - m_exitFromBottom);
    return QMainWindow::eventFilter(watched, e);
}

// The regional settings are taken again when the system announces a change.
void TfrmMain::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::LocaleChange) {
        FormatSettings() = TFormatSettings::fromSystem();
        ui->cboDateF->applyFormatSettings();
        ui->cboDateT->applyFormatSettings();
    }
    QMainWindow::changeEvent(e);
}

void TfrmMain::optTodayClick(QObject *Sender)
{
    if (m_restoringPeriod)
        return;
    const QDate today = Clock::today();
    QDate d1, d2;
    if (Sender == ui->optToday) {
        d1 = d2 = today;
    } else if (Sender == ui->optYesterday) {
        d1 = d2 = today.addDays(-1);
    } else if (Sender == ui->optWeek) {
        // w is the weekday of tomorrow counted Sunday = 1 ... Saturday = 7,
        // which makes the week run from Saturday to Friday.
        const int w = today.addDays(1).dayOfWeek() % 7 + 1;
        d1 = today.addDays(-w + 1);
        d2 = today.addDays(6 - w + 1);
    } else if (Sender == ui->optMonth) {
        d1 = QDate(today.year(), today.month(), 1);
        d2 = QDate(today.year(), today.month(), today.daysInMonth());
    } else if (Sender == ui->optYear) {
        d1 = QDate(today.year(), 1, 1);
        d2 = QDate(today.year(), 12, 31);
    } else if (Sender == ui->optCustomeDate) {
        d1 = ui->cboDateF->Date();
        d2 = ui->cboDateT->Date();
    } else if (Sender == ui->cboDateF || Sender == ui->cboDateT) {
        // Choosing Custom runs this handler once for it, when it was not the
        // selected period already; this run then goes on with the same range,
        // unless the books refused that run and it put the period back.
        const ShownPeriod before = m_shownPeriod;
        ui->optCustomeDate->setChecked(true);
        if (!ui->optCustomeDate->isChecked())
            return;
        m_shownPeriod = before;
        d1 = ui->cboDateF->Date();
        d2 = ui->cboDateT->Date();
    } else {
        return;
    }

    const TFormatSettings &fs = FormatSettings();
    const QString us = QStringLiteral("mm/dd/yyyy");
    const bool singleDay = Sender == ui->optToday || Sender == ui->optYesterday;
    if (singleDay) {
        PeriodFilter = QStringLiteral("DocDate = '") + FieldText::formatDate(d1, fs) + QLatin1Char('\'');
        PeriodWhere = QStringLiteral("DocDate = '") + FieldText::formatDate(d1, us, fs) + QLatin1Char('\'');
    } else {
        PeriodFilter = QStringLiteral("DocDate >= '") + FieldText::formatDate(d1, fs) + QStringLiteral("' AND DocDate <= '") +
                       FieldText::formatDate(d2, fs) + QLatin1Char('\'');
        PeriodWhere = QStringLiteral("DocDate >= '") + FieldText::formatDate(d1, us, fs) +
                      QStringLiteral("' AND DocDate <= '") + FieldText::formatDate(d2, us, fs) + QLatin1Char('\'');
    }

    // The books are asked first whether they can be read at all: when
    // another program holds them locked, nothing has changed yet but the
    // button or picker the user moved, and that is put back.
    const ShownPeriod before = m_shownPeriod;
    try {
        TEngineDatabase::forAlias(QString::fromLatin1(TDM::DatabaseAlias)).checkReadable();
        const QList<TTable *> journals{DM->AccTransTable, DM->SalesTable, DM->ExpensesTable, DM->PurchasesTable};
        for (TTable *t : journals)
            t->setFiltered(false);
        for (TTable *t : journals)
            t->setFilter(PeriodFilter);
        for (TTable *t : journals)
            t->setFiltered(true);
        RefreshSummary();
    } catch (const EDatabaseError &) {
        restorePeriod(before);
        throw;
    }
    m_shownPeriod = shownPeriod();
}

void TfrmMain::RefreshSummary()
{
    DM->AccBalancesQuery->Close();
    DM->AccBalancesQuery->Open();
    DM->ExpTotalsQuery->Close();
    DM->ExpTotalsQuery->setSQL(QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where ") + PeriodWhere +
                               QStringLiteral(" Group By ExpType"));
    DM->ExpTotalsQuery->Open();

    // Each table is walked in its reading order with its controls switched
    // off, and left on its first record; sums run in double precision in
    // that order, as the figures shown depend on it.
    auto walk = [](TTable *table, TField *amount) {
        double sum = 0;
        // A count the books refuse is an error like any other: counting the
        // table as empty would show a total that leaves its records out.
        if (table->RecordCount() > 0) {
            table->DisableControls();
            try {
                table->First();
                while (!table->Eof()) {
                    sum += amount->AsFloat();
                    table->Next();
                }
                table->First();
            } catch (...) {
                table->EnableControls();
                throw;
            }
            table->EnableControls();
        }
        return sum;
    };
    const double sales = walk(DM->SalesTable, DM->SalesTableTotal);
    const double expenses = walk(DM->ExpensesTable, DM->ExpensesTableAmount);
    const double purchases = walk(DM->PurchasesTable, DM->PurchasesTableTotal);
    const double profit = sales - expenses - purchases;

    const TFormatSettings &fs = FormatSettings();
    ui->lblSales->setFigure(FieldText::formatGeneral(sales, fs));
    ui->lblExpenses->setFigure(FieldText::formatGeneral(expenses, fs));
    ui->lblPurchases->setFigure(FieldText::formatGeneral(purchases, fs));
    ui->lblProfits->setFigure(FieldText::formatGeneral(profit, fs));
    setColour(ui->lblProfits, profit >= 0 ? ProfitColour : LossColour);
    m_trends->summaryRefreshed(PeriodWhere);
}

void TfrmMain::Label12Click(QObject *)
{
    ui->Pages->setActivePage(ui->TabSheetSales);
}

void TfrmMain::Label13Click(QObject *)
{
    ui->Pages->setActivePage(ui->TabSheetExpenses);
}

void TfrmMain::Label14Click(QObject *)
{
    ui->Pages->setActivePage(ui->TabSheetPurchases);
}

void TfrmMain::Exit1Click(QObject *)
{
    close();
}

void TfrmMain::btnExitClick(QObject *)
{
    close();
}

void TfrmMain::OpenAddress(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}

void TfrmMain::WebSite1Click(QObject *)
{
    OpenAddress(QString::fromLatin1(WebSiteAddress));
}

void TfrmMain::SendMailtotheAuthor1Click(QObject *)
{
    OpenAddress(QString::fromLatin1(MailAddress));
}

void TfrmMain::About1Click(QObject *)
{
    TfrmAbout about(this);
    about.exec();
}

// ---- record tabs ------------------------------------------------------------

void TfrmMain::wireCommands()
{
    // Every command is a user's action: an error it raises is shown and the
    // window goes on.
    auto on = [this](QPushButton *b, void (TfrmMain::*handler)(QObject *)) {
        connect(b, &QPushButton::clicked, this, [this, b, handler] {
            MessageDlg::Guard(this, [&] { (this->*handler)(b); });
        });
    };
    on(ui->btnNewTrans, &TfrmMain::BitBtn8Click);
    on(ui->btnNewSale, &TfrmMain::BitBtn12Click);
    on(ui->btnNewExpense, &TfrmMain::BitBtn13Click);
    on(ui->btnNewPurchase, &TfrmMain::BitBtn18Click);
    on(ui->BitBtn8, &TfrmMain::BitBtn8Click);
    on(ui->BitBtn11, &TfrmMain::BitBtn11Click);
    on(ui->BitBtn9, &TfrmMain::BitBtn9Click);
    on(ui->BitBtn10, &TfrmMain::BitBtn10Click);
    on(ui->BitBtn12, &TfrmMain::BitBtn12Click);
    on(ui->BitBtn14, &TfrmMain::BitBtn14Click);
    on(ui->BitBtn15, &TfrmMain::BitBtn15Click);
    on(ui->BitBtn13, &TfrmMain::BitBtn13Click);
    on(ui->BitBtn16, &TfrmMain::BitBtn16Click);
    on(ui->BitBtn17, &TfrmMain::BitBtn17Click);
    on(ui->BitBtn18, &TfrmMain::BitBtn18Click);
    on(ui->BitBtn19, &TfrmMain::BitBtn19Click);
    on(ui->BitBtn20, &TfrmMain::BitBtn20Click);

    auto dbl = [this](TwwDBGrid *g, void (TfrmMain::*handler)(QObject *)) {
        g->OnDblClick = [this, handler](QObject *sender) {
            MessageDlg::Guard(this, [&] { (this->*handler)(sender); });
        };
    };
    dbl(ui->wwDBGrid2, &TfrmMain::BitBtn9Click);
    dbl(ui->wwDBGrid3, &TfrmMain::BitBtn14Click);
    dbl(ui->wwDBGrid4, &TfrmMain::BitBtn16Click);
    dbl(ui->wwDBGrid5, &TfrmMain::BitBtn19Click);
    dbl(ui->wwDBGrid1, &TfrmMain::wwDBGrid1DblClick);
    dbl(ui->wwDBGrid6, &TfrmMain::Label7Click);
    ui->lblAccTrans->OnClick = [this](QObject *s) { MessageDlg::Guard(this, [&] { lblAccTransClick(s); }); };
    ui->Label7->OnClick = [this](QObject *s) { MessageDlg::Guard(this, [&] { Label7Click(s); }); };

    connect(ui->Accounts1, &QAction::triggered, this,
            [this] { MessageDlg::Guard(this, [&] { Accounts1Click(ui->Accounts1); }); });
    connect(ui->ExpensesTypes1, &QAction::triggered, this,
            [this] { MessageDlg::Guard(this, [&] { ExpensesTypes1Click(ui->ExpensesTypes1); }); });
}

// A new record: the table's rule fills its defaults, the dialog edits it, and
// the Summary follows. A failed append opens nothing and recomputes nothing.
template <typename Dialog>
void TfrmMain::newRecord(TTable *table)
{
    table->Append();
    {
        Dialog dialog(this);
        dialog.exec();
    }
    RefreshSummary();
}

// Edit on an empty period does nothing at all.
template <typename Dialog>
void TfrmMain::editRecord(TTable *table)
{
    if (table->RecordCount() == 0)
        return;
    {
        Dialog dialog(this);
        dialog.exec();
    }
    RefreshSummary();
}

// Delete asks first when there is something to delete, and recomputes the
// Summary whatever the answer.
void TfrmMain::deleteRecord(TTable *table)
{
    if (table->RecordCount() > 0 &&
        MessageDlg::MessageDlg(QStringLiteral("Are you sure?"), MessageDlg::TMsgDlgType::mtWarning,
                               MessageDlg::mbYes | MessageDlg::mbNo, this) == MessageDlg::TModalResult::mrYes) {
        m_deleting = true;
        try {
            table->Delete();
        } catch (...) {
            m_deleting = false;
            throw;
        }
        m_deleting = false;
    }
    RefreshSummary();
}

void TfrmMain::BitBtn8Click(QObject *)
{
    newRecord<TfrmAccTrans>(DM->AccTransTable);
}

void TfrmMain::BitBtn11Click(QObject *)
{
    {
        TfrmAccTrans2 dialog(this);
        dialog.exec();
    }
    RefreshSummary();
}

void TfrmMain::BitBtn9Click(QObject *)
{
    editRecord<TfrmAccTrans>(DM->AccTransTable);
}

void TfrmMain::BitBtn10Click(QObject *)
{
    deleteRecord(DM->AccTransTable);
}

void TfrmMain::BitBtn12Click(QObject *)
{
    newRecord<TfrmSales>(DM->SalesTable);
}

void TfrmMain::BitBtn14Click(QObject *)
{
    editRecord<TfrmSales>(DM->SalesTable);
}

void TfrmMain::BitBtn15Click(QObject *)
{
    deleteRecord(DM->SalesTable);
}

void TfrmMain::BitBtn13Click(QObject *)
{
    newRecord<TfrmExpenses>(DM->ExpensesTable);
}

void TfrmMain::BitBtn16Click(QObject *)
{
    editRecord<TfrmExpenses>(DM->ExpensesTable);
}

void TfrmMain::BitBtn17Click(QObject *)
{
    deleteRecord(DM->ExpensesTable);
}

void TfrmMain::BitBtn18Click(QObject *)
{
    newRecord<TfrmPurchases>(DM->PurchasesTable);
}

void TfrmMain::BitBtn19Click(QObject *)
{
    editRecord<TfrmPurchases>(DM->PurchasesTable);
}

void TfrmMain::BitBtn20Click(QObject *)
{
    deleteRecord(DM->PurchasesTable);
}

// ---- master lists and drill-downs ---------------------------------------------

void TfrmMain::Accounts1Click(QObject *)
{
    TfrmAccounts::Execute(this);
}

void TfrmMain::ExpensesTypes1Click(QObject *)
{
    TfrmExpensesTypes::Execute(this);
}

namespace {

// The key of a summary row as the statement's text wants it: decimal digits,
// or nothing when there is no row. Only digits ever reach the statement.
QString keyText(TDataSet *query, TField *key)
{
    if (!query->Active() || query->IsEmpty() || key->IsNull())
        return QString();
    return QString::number(key->AsInteger());
}

// The name a Summary row shows, for the title of the statement's printout.
QString rowText(TDataSet *query, TField *name)
{
    return query->Active() && !query->IsEmpty() ? name->DisplayText() : QString();
}

} // namespace

void TfrmMain::lblAccTransClick(QObject *)
{
    TfrmAccStatement::Execute(this,
                              QStringLiteral("select * From AccTrans Where AccID = ") +
                                  keyText(DM->AccBalancesQuery, DM->AccBalancesQueryAccID) +
                                  QStringLiteral(" Order By DocDate"),
                              rowText(DM->AccBalancesQuery, DM->AccBalancesQueryAccount));
}

void TfrmMain::wwDBGrid1DblClick(QObject *Sender)
{
    lblAccTransClick(Sender);
}

void TfrmMain::Label7Click(QObject *)
{
    TrptExpensesStatement::Execute(this,
                                   QStringLiteral("select * From Expenses Where ExpType = ") +
                                       keyText(DM->ExpTotalsQuery, DM->ExpTotalsQueryExpType) +
                                       QStringLiteral(" Order By DocDate"),
                                   rowText(DM->ExpTotalsQuery, DM->ExpTotalsQueryExpenses));
}
