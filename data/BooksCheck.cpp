#include "BooksCheck.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <sqlite3.h>

namespace {

// The integrity check runs about this many virtual machine steps for each
// page of the books (most of them comparing each row with its indexes);
// only the progress bar relies on it.
constexpr qint64 CheckStepsPerPage = 1000;
constexpr int StepsPerCall = 10000;

// A damaged file fails in whichever statement first reads the damage; the
// message then names the file, which the engine's own text does not.
template <typename Read>
auto reading(const QString &name, Read read)
{
    try {
        return read();
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("Check of %1 failed: %2").arg(name, e.message()));
    }
}

struct TCheckProgress
{
    const BooksCheck::TProgress &progress;
    qint64 total;
    qint64 done = 0;
};

int checkProgressed(void *context)
{
    auto *p = static_cast<TCheckProgress *>(context);
    p->done += StepsPerCall;
    // The estimate may fall short: the bar then waits near its end.
    p->progress(std::min(p->done, p->total - p->total / 100), p->total);
    return 0;
}

} // namespace

void BooksCheck::requireSound(TEngineDatabase &db, const TProgress &progress, const QString &name)
{
    const QString where = name.isEmpty() ? db.describe() : name;
    QStringList problems;
    for (const TTableDef &t : EngineCatalog::tables()) {
        try {
            db.checkTable(t);
        } catch (const EDatabaseError &e) {
            // Every problem of every table is listed, not only the first.
            const QStringList found = reading(where, [&db, &t] { return db.schemaProblems(t); });
            problems << (found.isEmpty() ? QStringList{e.message()} : found);
        }
    }
    if (!problems.isEmpty())
        throw EDatabaseError(QStringLiteral("%1:\n%2").arg(where, problems.join(QLatin1Char('\n'))));
    // A server keeps its own files sound and offers no check of them to its
    // clients: the tables and columns are what can be checked there.
    if (db.kind() == TEngineKind::PostgreSQL)
        return;

    const QStringList findings = reading(where, [&db, &progress] {
        TCheckProgress p{progress, 0};
        if (progress) {
            QSqlQuery pages = db.run(QStringLiteral("PRAGMA page_count"));
            p.total = std::max<qint64>(1, (pages.next() ? pages.value(0).toLongLong() : 0) * CheckStepsPerPage);
            progress(0, p.total);
            sqlite3_progress_handler(db.handle(), StepsPerCall, &checkProgressed, &p);
        }
        QStringList lines;
        try {
            QSqlQuery q = db.run(QStringLiteral("PRAGMA integrity_check"));
            while (q.next())
                lines << q.value(0).toString();
        } catch (...) {
            sqlite3_progress_handler(db.handle(), 0, nullptr, nullptr);
            throw;
        }
        sqlite3_progress_handler(db.handle(), 0, nullptr, nullptr);
        if (progress)
            progress(p.total, p.total);
        return lines;
    });
    if (findings != QStringList{QStringLiteral("ok")})
        throw EDatabaseError(
            QStringLiteral("Integrity check of %1 failed:\n%2").arg(where, findings.join(QLatin1Char('\n'))));
}

QList<BooksCheck::TTableCount> BooksCheck::counts(TEngineDatabase &db)
{
    QList<TTableCount> result;
    for (const TTableDef &t : EngineCatalog::tables()) {
        result.append({t.fileName, reading(db.describe(), [&db, &t] {
                           QSqlQuery q = db.run(QStringLiteral("SELECT count(*) FROM %1").arg(EngineCatalog::quoted(t.name)));
                           return q.next() ? q.value(0).toLongLong() : qint64(0);
                       })});
    }
    return result;
}

QString BooksCheck::countsText(const QList<TTableCount> &counts)
{
    QStringList parts;
    for (const TTableCount &c : counts)
        parts << QStringLiteral("%1 %2").arg(c.fileName).arg(c.rows);
    return parts.join(QStringLiteral(", "));
}
