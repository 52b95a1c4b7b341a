// A second program on the books of alias ARD, for tests that need one.
//
//   durability_writer post <first serial>
//     Posts through the data module, as the program does, until it is
//     killed: an expense (Remarks "E<serial>", Amount <serial>), then every
//     third post a transfer (two AccTrans records in one engine transaction,
//     a Decrease on account 1 and an Increase on account 2, both with Remarks
//     "T<serial>" and amount <serial>). After each post has returned it
//     prints "E <serial>" or "T <serial>" and flushes: a printed line is the
//     promise that the record is stored.
//
//   durability_writer count <rounds>
//     Adds 1 to the Total of the sale with invoice number 1, <rounds> times,
//     each time reading the sale afresh, changing it and posting it, as a
//     user at another desk would. A post refused because somebody else
//     changed the sale meanwhile is counted and tried again. Prints
//     "<stored> <refused>" at the end: how many posts were stored and how
//     many were refused.
//
//   durability_writer lock
//     Holds an exclusive lock on the books, as another program would: prints
//     "locked" once it has it and lets go when its standard input closes.
//
// The engine configuration comes from ARDENTRY_ENGINE_CONFIG. Any engine
// error goes to standard error and ends the program with exit code 2.

#include "DMUnit.h"
#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TStringField.h"
#include "TTable.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {

void promise(char kind, qint64 serial)
{
    std::printf("%c %lld\n", kind, static_cast<long long>(serial));
    std::fflush(stdout);
}

void postExpense(TDM &dm, qint64 serial)
{
    dm.ExpensesTable->Append();
    dm.ExpensesTableAmount->setAsFloat(double(serial));
    dm.ExpensesTableAccID->setAsInteger(1);
    dm.ExpensesTableRemarks->setAsString(QStringLiteral("E%1").arg(serial));
    dm.ExpensesTable->Post();
}

void postTransferRecord(TDM &dm, int accId, bool increase, qint64 serial)
{
    dm.AccTransTable->Append();
    dm.AccTransTableAccID->setAsInteger(accId);
    (increase ? dm.AccTransTableIncrease : dm.AccTransTableDecrease)->setAsFloat(double(serial));
    dm.AccTransTableRemarks->setAsString(QStringLiteral("T%1").arg(serial));
    dm.AccTransTable->Post();
}

// Both records or neither: a failure after the first leaves nothing stored.
void postTransfer(TDM &dm, qint64 serial)
{
    TEngineDatabase &db = TEngineDatabase::forAlias(QString::fromLatin1(TDM::DatabaseAlias));
    db.startTransaction();
    try {
        postTransferRecord(dm, 1, false, serial);
        postTransferRecord(dm, 2, true, serial);
        db.commit();
    } catch (...) {
        db.rollback();
        dm.AccTransTable->Cancel();
        throw;
    }
}

[[noreturn]] void postForever(qint64 serial)
{
    TDM dm;
    for (;; ++serial) {
        if (serial % 3 == 0) {
            postTransfer(dm, serial);
            promise('T', serial);
        } else {
            postExpense(dm, serial);
            promise('E', serial);
        }
    }
}

int countUp(int rounds)
{
    TDM dm;
    int stored = 0;
    int refused = 0;
    while (stored < rounds) {
        if (!dm.SalesTable->Locate(QStringLiteral("Id"), 1))
            throw EDatabaseError(QStringLiteral("no sale with invoice number 1"));
        dm.SalesTable->Edit();
        dm.SalesTableTotal->setAsFloat(dm.SalesTableTotal->AsFloat() + 1);
        try {
            dm.SalesTable->Post();
            ++stored;
        } catch (const EUpdateConflict &) {
            ++refused;
        }
    }
    std::printf("%d %d\n", stored, refused);
    return 0;
}

int holdLock()
{
    TEngineDatabase &db = TEngineDatabase::forAlias(QString::fromLatin1(TDM::DatabaseAlias));
    db.run(QStringLiteral("BEGIN EXCLUSIVE"));
    std::printf("locked\n");
    std::fflush(stdout);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return 2;
    in.readAll();
    db.run(QStringLiteral("ROLLBACK"));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    try {
        if (args.size() == 3 && args.at(1) == QLatin1String("post"))
            postForever(args.at(2).toLongLong());
        if (args.size() == 2 && args.at(1) == QLatin1String("lock"))
            return holdLock();
        if (args.size() == 3 && args.at(1) == QLatin1String("count"))
            return countUp(args.at(2).toInt());
    } catch (const EDatabaseError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: durability_writer post <first serial> | count <rounds> | lock\n");
    return 1;
}
