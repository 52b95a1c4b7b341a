#pragma once

#include "TStatementWindow.h"

namespace Ui {
class TfrmAccStatement;
}

class TDataSource;
class TDateField;
class TFloatField;
class TIntegerField;
class TQuery;
class TStringField;

// The account history: the records of one account's transactions, of every
// date, in a read-only grid, as its own query on the alias ARD returns them.
// The window names no account and computes nothing; whoever opens it gives
// it the statement to run:
//
//     TfrmAccStatement window(owner);
//     window.OpenStatement(sql);   // throws before anything is shown
//     window.exec();
//
// or Execute(owner, sql), which does the same and destroys the window.
class TfrmAccStatement : public TStatementWindow
{
    Q_OBJECT
    Q_DISABLE_COPY(TfrmAccStatement)

public:
    explicit TfrmAccStatement(QWidget *parent = nullptr);
    ~TfrmAccStatement() override;

    Ui::TfrmAccStatement *ui;

    // The window's query and the fields it keeps of the account transactions
    // table; Id and AccID are read but not shown.
    TQuery *AccTransQuery;
    TDateField *AccTransQueryDocDate;
    TStringField *AccTransQueryTransaction;
    TFloatField *AccTransQueryIncrease;
    TFloatField *AccTransQueryDecrease;
    TStringField *AccTransQueryRemarks;
    TIntegerField *AccTransQueryId;
    TIntegerField *AccTransQueryAccID;
    TDataSource *AccTransDS;

    // The whole drill-down: creates the window over `parent`, runs the
    // statement, shows the window modally and destroys it. An error of the
    // statement propagates to the caller before any window shows. `subject`
    // names what the statement is of, for its printout.
    static void Execute(QWidget *parent, const QString &SQL, const QString &subject = QString());
};
