#pragma once

#include <QDate>
#include <QMainWindow>

namespace Ui {
class TfrmMain;
}

class QRadioButton;
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
    void changeEvent(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void RefreshSummary();
    void applyFonts();
    void configureGrids();
    void updateRadioTabStops();

    QString PeriodFilter;
    QString PeriodWhere;
    bool m_shown = false;
    int m_exitFromBottom = 0;
};

// The one main window of the program (null before start-up creates it).
extern TfrmMain *frmMain;
