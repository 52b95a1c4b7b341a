#pragma once

#include <QDate>
#include <QDate>
#include <QMainWindow>

namespace Ui {
class TfrmMain;
}

class QRadioButton;
class TTable;
class TTrendsTab;
class TwwDBGrid;

// The main window: the side bar with the "new" shortcuts, the Summary tab
// with its period selector and figures, the four record tabs, and the menu.
// It owns the period texts and the Summary refresh.
class TfrmMain : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmMain)

public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    Ui::TfrmMain *ui;

    // Binds the grids to the data module's sources once it exists.
    void BindDataModule();

    // Event handlers, each taking the control that caused it.
    void FormCreate();
    void FormShow();
    void optTodayClick(QObject *Sender);
    void Label12Click(QObject *Sender);
    void Label13Click(QObject *Sender);
    void Label14Click(QObject *Sender);
    void Exit1Click(QObject *Sender);
    void btnExitClick(QObject *Sender);
    void WebSite1Click(QObject *Sender);
    void SendMailtotheAuthor1Click(QObject *Sender);
    void About1Click(QObject *Sender);
    void Accounts1Click(QObject *Sender);
    void ExpensesTypes1Click(QObject *Sender);

    // Record tabs: new, edit and delete on each journal.
    void BitBtn8Click(QObject *Sender);   // new account transaction
    void BitBtn11Click(QObject *Sender);  // new double transaction
    void BitBtn9Click(QObject *Sender);   // edit account transaction
    void BitBtn10Click(QObject *Sender);  // delete account transaction
    void BitBtn12Click(QObject *Sender);  // new sale or income
    void BitBtn14Click(QObject *Sender);  // edit sale or income
    void BitBtn15Click(QObject *Sender);  // delete sale or income
    void BitBtn13Click(QObject *Sender);  // new expense
    void BitBtn16Click(QObject *Sender);  // edit expense
    void BitBtn17Click(QObject *Sender);  // delete expense
    void BitBtn18Click(QObject *Sender);  // new purchase
    void BitBtn19Click(QObject *Sender);  // edit purchase
    void BitBtn20Click(QObject *Sender);  // delete purchase

    // Drill-downs from the Summary tab.
    void lblAccTransClick(QObject *Sender);
    void wwDBGrid1DblClick(QObject *Sender);
    void Label7Click(QObject *Sender);

    // The period texts last built (empty until the first period is chosen).
    const QString &periodFilter() const { return PeriodFilter; }
    const QString &periodWhere() const { return PeriodWhere; }

    static const char *const WebSiteAddress;
    static const char *const MailAddress;
    // Opens an address with the desktop's default program; a failure is not
    // reported (there may be no mail program, for instance).
    static void OpenAddress(const QString &address);

protected:
    void showEvent(QShowEvent *e) override;
    void setVisible(bool visible) override;
    void changeEvent(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    template <typename Dialog>
    void newRecord(TTable *table);
    template <typename Dialog>
    void editRecord(TTable *table);
    void deleteRecord(TTable *table);
    void wireCommands();

    void RefreshSummary();
    void applyFonts();
    void configureGrids();
    void updateRadioTabStops();

    QString PeriodFilter;
    QString PeriodWhere;

    // What the screen shows of the chosen period, so that a period change
    // the books refuse (another program holds them locked) can be undone
    // whole: the radio buttons, pickers, figures and lists then all still
    // show the period before it.
    struct ShownPeriod
    {
        QObject *button = nullptr;
        QDate from;
        QDate to;
        QString filter;
        QString where;
    };
    ShownPeriod shownPeriod() const;
    void restorePeriod(const ShownPeriod &period);
    ShownPeriod m_shownPeriod;
    bool m_restoringPeriod = false;

    TTrendsTab *m_trends = nullptr;  // follows the Summary while on view
    bool m_shown = false;
    bool m_showHandled = false;
    bool m_deleting = false;  // the Delete command recomputes the Summary itself
    int m_exitFromBottom = 0;
};

// The one main window of the program (null before start-up creates it).
extern TfrmMain *frmMain;
