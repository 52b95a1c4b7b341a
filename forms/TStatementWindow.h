#pragma once

#include <QDialog>
#include <QStringList>

class QPagedPaintDevice;
class QPushButton;
class TDataSource;
class TQuery;
class TwwDBGrid;

// What the statement windows (account history, expense statement) share:
// the records one query on the alias ARD returns, of every date, in a
// read-only grid. The window computes nothing; whoever opens it gives it the
// statement to run (OpenStatement) before showing it.
//
// A window calls setUpFrame after setupUi, createQuery, adds the query's
// fields, then calls setUpGrid.
class TStatementWindow : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(TStatementWindow)

public:
    ~TStatementWindow() override;

    // Closes the query, gives it the statement and opens it; shows nothing.
    // Throws EDatabaseError with the engine's message when the statement
    // fails, leaving the query closed: the window is then not to be shown.
    void OpenStatement(const QString &SQL);

    // Close.
    void BitBtn1Click(QObject *Sender);

    // What the statement is of (an account's or an expense type's name), for
    // the title of its printout.
    void setSubject(const QString &subject) { m_subject = subject; }
    // Print...: the statement in a print preview, from which it prints or
    // is saved as PDF.
    void Print();
    // The printout's title: the caption and what the statement is of.
    QString printTitle() const;
    // Draws the printout on `device` (a printer, a PDF file). Throws
    // EDatabaseError when a record cannot be read.
    void printTo(QPagedPaintDevice *device);

protected:
    explicit TStatementWindow(QWidget *parent);

    // An ordinary resizable window in Verdana.
    void setUpFrame();
    // The window's query, named `objectName`, on the alias ARD; the window
    // owns it.
    TQuery *createQuery(const QString &objectName);
    // Shows `columns` (grid column descriptions) of the query, read-only and
    // by whole rows, through a data source it returns; makes `close` close,
    // `print` print, and gives the grid the focus.
    TDataSource *setUpGrid(TwwDBGrid *grid, const QStringList &columns, QPushButton *close, QPushButton *print);

    void showEvent(QShowEvent *e) override;

private:
    TQuery *m_query = nullptr;
    TwwDBGrid *m_grid = nullptr;
    QString m_subject;
};
