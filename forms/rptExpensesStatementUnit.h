#pragma once

#include "TStatementWindow.h"

namespace Ui {
class TrptExpensesStatement;
}

class TDataSource;
class TDateField;
class TFloatField;
class TIntegerField;
class TQuery;
class TStringField;

// The expense statement: the expenses of one expense type, of every date, in
// a read-only grid, as its own query on the alias ARD returns them. The
// window names no expense type and computes nothing; whoever opens it gives
// it the statement to run:
//
//     TrptExpensesStatement window(owner);
//     window.OpenStatement(sql);   // throws before anything is shown
//     window.exec();
//
// or Execute(owner, sql), which does the same and destroys the window.
class TrptExpensesStatement : public TStatementWindow
{
    Q_OBJECT
    Q_DISABLE_COPY(TrptExpensesStatement)

public:
    explicit TrptExpensesStatement(QWidget *parent = nullptr);
    ~TrptExpensesStatement() override;

    Ui::TrptExpensesStatement *ui;

    // The window's query and the fields it keeps of the expenses table;
    // ExpType is read but not shown.
    TQuery *Query;
    TDateField *QueryDocDate;
    TFloatField *QueryAmount;
    TStringField *QueryRemarks;
    TIntegerField *QueryExpType;
    TDataSource *AccTransDS;

    // The whole drill-down: creates the window over `parent`, runs the
    // statement, shows the window modally and destroys it. An error of the
    // statement propagates to the caller before any window shows. `subject`
    // names what the statement is of, for its printout.
    static void Execute(QWidget *parent, const QString &SQL, const QString &subject = QString());
};
