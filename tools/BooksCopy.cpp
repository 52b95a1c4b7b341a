#include "BooksCopy.h"

#include "AdminTool.h"
#include "BooksCheck.h"
#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "TableInserter.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <memory>

namespace {

// Rows read from the books at a time: enough to make a read's cost small
// beside the rows', few enough that a batch is never a burden to hold.
constexpr int ReadRows = 4096;

// Sums of amounts are added up in another order, and with another method,
// by each engine: they agree to this share of the sum of the magnitudes.
// A million amounts lose far less on either side; a changed amount of a
// hundredth of a unit in books of ten million shows.
constexpr double AmountSumTolerance = 1e-12;

enum class TRole { From, To };

// Books opened for the copy: an alias's shared database, or one of the
// copy's own.
struct TBooks
{
    std::unique_ptr<TEngineDatabase> own;
    TEngineDatabase *db = nullptr;
    QString place;  // the folder's books file or the server address: what tells two books apart
    bool created = false;

    TEngineDatabase &operator*() const { return *db; }
    TEngineDatabase *operator->() const { return db; }
    bool server() const { return db->kind() == TEngineKind::PostgreSQL; }
};

bool looksLikePath(const QString &name)
{
    return name.contains(QLatin1Char('/')) || name.contains(QDir::separator()) || name.startsWith(QLatin1Char('.'));
}

// Opens the books a name gives: a server address, an alias (a name without
// a path in it that the configuration knows), or a folder or file. Books to
// copy to that do not exist yet are created, in a folder or in the server's
// database.
TBooks openBooks(const QString &name, TRole role)
{
    const QString which = role == TRole::From ? QStringLiteral("FROM") : QStringLiteral("TO");
    TBooks b;
    if (EngineConfig::isServerAddress(name)) {
        b.place = name;
        b.own = TEngineDatabase::openPlace(name, role == TRole::From);
        if (role == TRole::To && AdminTool::tablesPresent(*b.own) == 0) {
            TEngineDatabase::createBooks(name);
            b.created = true;
            b.own = TEngineDatabase::openPlace(name, false);
        }
        b.db = b.own.get();
        return b;
    }
    if (!looksLikePath(name) && EngineConfig::hasAlias(name)) {
        b.db = &TEngineDatabase::forAlias(name);
        const QString place = EngineConfig::aliasFolder(name);
        b.place = EngineConfig::isServerAddress(place) ? place
                                                      : QFileInfo(EngineConfig::databaseFile(place)).canonicalFilePath();
        return b;
    }
    const QFileInfo info(name);
    if (!looksLikePath(name) && !info.exists())
        throw EDatabaseError(QStringLiteral("%1: \"%2\" is no alias of the engine configuration, nor a folder or "
                                            "file (write ./%2 for a folder here)")
                                 .arg(which, name));
    QString file = info.isDir() || !info.exists() ? EngineConfig::databaseFile(name) : name;
    if (role == TRole::From) {
        if (!QFileInfo::exists(file))
            throw EDatabaseError(QStringLiteral("FROM: there are no books in %1").arg(name));
        b.own = TEngineDatabase::openFile(file, true);
    } else {
        if (!QFileInfo::exists(file)) {
            TEngineDatabase::createBooks(name);
            b.created = true;
        }
        b.own = TEngineDatabase::openFile(file, false);
    }
    b.place = QFileInfo(file).canonicalFilePath();
    b.db = b.own.get();
    return b;
}

// Whether a name gives books on a server, before they are opened.
bool namesServer(const QString &name)
{
    return EngineConfig::isServerAddress(name) ||
           (!looksLikePath(name) && EngineConfig::hasAlias(name) &&
            EngineConfig::isServerAddress(EngineConfig::aliasFolder(name)));
}

QString tableName(const TTableDef &t)
{
    return EngineCatalog::quoted(t.name);
}

// The column as the copy reads it: as stored, but a date read from SQLite
// for a server as the day it names (or null), and a server's date as its
// text, which keeps 'infinity' as what it is.
QString readExpression(const TColumnDef &c, const TBooks &from, const TBooks &to)
{
    const QString column = EngineCatalog::quoted(c.name);
    if (c.type != TFieldType::Date)
        return column;
    if (from.server())
        return QStringLiteral("CAST(%1 AS text)").arg(column);
    return to.server() ? QStringLiteral("ard_day(%1)").arg(column) : column;
}

// One figure of a table that a sound copy has the same as its books.
struct TFigure
{
    QString what;
    QVariant value;
    // For a sum of amounts, which agrees within the rounding: the figure
    // whose size bounds the rounding (the sum of the magnitudes).
    qsizetype scale = -1;
};

// The figures of a table computed in SQL: its count, and per column the
// values stored, the sum of every number column (and of the magnitudes of
// amounts), the sum of the lengths of texts, and the days the dates name.
QList<TFigure> figures(const TBooks &books, const TTableDef &t)
{
    QStringList terms{QStringLiteral("count(*)")};
    QList<TFigure> out{{QStringLiteral("the count of records"), {}}};
    for (const TColumnDef &c : t.columns) {
        const QString column = EngineCatalog::quoted(c.name);
        switch (c.type) {
        case TFieldType::AutoInc:
        case TFieldType::Integer:
            terms << QStringLiteral("count(%1)").arg(column) << QStringLiteral("sum(%1)").arg(column);
            out << TFigure{QStringLiteral("the values of %1").arg(c.name), {}}
                << TFigure{QStringLiteral("the sum of %1").arg(c.name), {}};
            break;
        case TFieldType::Float: {
            terms << QStringLiteral("count(%1)").arg(column) << QStringLiteral("sum(%1)").arg(column)
                  << QStringLiteral("sum(abs(%1))").arg(column);
            const qsizetype magnitudes = out.size() + 2;
            out << TFigure{QStringLiteral("the values of %1").arg(c.name), {}}
                << TFigure{QStringLiteral("the sum of %1").arg(c.name), {}, magnitudes}
                << TFigure{QStringLiteral("the sum of the magnitudes of %1").arg(c.name), {}, magnitudes};
            break;
        }
        case TFieldType::String:
            terms << QStringLiteral("count(%1)").arg(column) << QStringLiteral("sum(length(%1))").arg(column);
            out << TFigure{QStringLiteral("the values of %1").arg(c.name), {}}
                << TFigure{QStringLiteral("the characters of %1").arg(c.name), {}};
            break;
        case TFieldType::Date:
            // The days named, counted from 2000-01-01, as the program reads
            // them on either engine.
            if (books.server()) {
                const QString day =
                    QStringLiteral("CASE WHEN %1 BETWEEN DATE '0001-01-01' AND DATE '9999-12-31' THEN %1 END")
                        .arg(column);
                terms << QStringLiteral("count(%1)").arg(day)
                      << QStringLiteral("sum((%1) - DATE '2000-01-01')").arg(day);
            } else {
                terms << QStringLiteral("count(ard_day(%1))").arg(column)
                      << QStringLiteral("sum(CAST(julianday(ard_day(%1)) - 2451544.5 AS INTEGER))").arg(column);
            }
            out << TFigure{QStringLiteral("the days of %1").arg(c.name), {}}
                << TFigure{QStringLiteral("the sum of the days of %1").arg(c.name), {}};
            break;
        }
    }
    QSqlQuery q = books->run(QStringLiteral("SELECT %1 FROM %2").arg(terms.join(QStringLiteral(", ")), tableName(t)));
    if (!q.next())
        throw EDatabaseError(QStringLiteral("Cannot sum %1 in %2").arg(t.fileName, books->describe()));
    // Counts and sums of whole numbers are whole on both engines; a sum over
    // no rows is null.
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QVariant v = q.value(int(i));
        out[i].value = out.at(i).scale >= 0 ? QVariant(v.toDouble()) : QVariant(v.toLongLong());
    }
    return out;
}

// What differs between the figures of a table and of its copy.
QStringList mismatches(const TTableDef &t, const QList<TFigure> &from, const QList<TFigure> &to)
{
    QStringList found;
    for (qsizetype i = 0; i < from.size(); ++i) {
        const TFigure &a = from.at(i);
        const TFigure &b = to.at(i);
        bool same = false;
        QString shownA;
        QString shownB;
        if (a.scale >= 0) {
            const double scale = from.at(a.scale).value.toDouble();
            same = std::fabs(a.value.toDouble() - b.value.toDouble()) <= AmountSumTolerance * scale;
            shownA = QString::number(a.value.toDouble(), 'g', 17);
            shownB = QString::number(b.value.toDouble(), 'g', 17);
        } else {
            same = a.value.toLongLong() == b.value.toLongLong();
            shownA = QString::number(a.value.toLongLong());
            shownB = QString::number(b.value.toLongLong());
        }
        if (!same)
            found << QStringLiteral("%1: %2 is %3 in the books but %4 in the copy").arg(t.fileName, a.what, shownA,
                                                                                      shownB);
    }
    return found;
}

// A read-only snapshot of the books for the whole copy: what is checked,
// copied and summed is one moment of them, whoever writes meanwhile.
class TSnapshot
{
public:
    explicit TSnapshot(TEngineDatabase &db) : m_db(db)
    {
        QSqlQuery q(db.database());
        const QString begin = db.kind() == TEngineKind::PostgreSQL
                                  ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY")
                                  : QStringLiteral("BEGIN");
        if (!q.exec(begin))
            throw EDatabaseError(QStringLiteral("Cannot read %1: %2")
                                     .arg(db.describe(), TEngineDatabase::messageFor(q.lastError())));
    }
    ~TSnapshot()
    {
        QSqlQuery q(m_db.database());
        q.exec(QStringLiteral("ROLLBACK"));
    }
    TSnapshot(const TSnapshot &) = delete;
    TSnapshot &operator=(const TSnapshot &) = delete;

private:
    TEngineDatabase &m_db;
};

// The values of the books that the copy refuses, as `check` names them, and
// for a server the texts longer than its columns take (SQLite keeps them).
QStringList refusedValues(const TBooks &from, bool toServer)
{
    QStringList refused;
    for (const TTableDef &t : EngineCatalog::tables()) {
        refused << AdminTool::unfitValues(*from, t);
        if (!toServer || from.server())
            continue;
        const QString identity = EngineCatalog::quoted(t.identityColumn());
        for (const TColumnDef &c : t.columns) {
            if (c.type != TFieldType::String)
                continue;
            QSqlQuery q = from->run(QStringLiteral("SELECT %1, length(%2) FROM %3 WHERE length(%2) > ? ORDER BY %1")
                                        .arg(identity, EngineCatalog::quoted(c.name), tableName(t)),
                                    {c.size});
            while (q.next())
                refused << QStringLiteral("%1, record %2: the field %3 holds %4 characters, more than the %5 a "
                                          "server's column takes")
                               .arg(t.fileName, q.value(0).toString(), c.name, q.value(1).toString())
                               .arg(c.size);
        }
    }
    return refused;
}

// Copies one table in identity order, a batch at a time, and carries its
// identity high-water mark over.
qint64 copyTable(const TBooks &from, const TBooks &to, const TTableDef &t, qint64 total,
                 const BooksCopy::TProgress &progress)
{
    QStringList names;
    QStringList read;
    for (const TColumnDef &c : t.columns) {
        names << c.name;
        read << readExpression(c, from, to);
    }
    const QString identity = EngineCatalog::quoted(t.identityColumn());
    const QString select = QStringLiteral("SELECT %1 FROM %2 ").arg(read.join(QStringLiteral(", ")), tableName(t));
    const QString order = QStringLiteral("ORDER BY %1 LIMIT %2").arg(identity).arg(ReadRows);
    const QString stage = QStringLiteral("Copying %1").arg(t.fileName);
    TTableInserter out(*to, t, names, TTableInserter::bulkRows(*to));
    qint64 last = 0;
    qint64 copied = 0;
    if (progress)
        progress(stage, 0, total);
    for (;;) {
        QSqlQuery q = copied == 0 ? from->run(select + order)
                                  : from->run(select + QStringLiteral("WHERE %1 > ? ").arg(identity) + order, {last});
        int rows = 0;
        QVariantList values;
        values.reserve(t.columns.size());
        while (q.next()) {
            values.clear();
            for (int i = 0; i < int(t.columns.size()); ++i)
                values << q.value(i);
            last = values.constFirst().toLongLong();
            out.add(values);
            ++rows;
        }
        copied += rows;
        if (progress)
            progress(stage, copied, total);
        if (rows < ReadRows)
            break;
    }
    out.finish();
    to->raiseIdentity(t, from->identityHighWater(t));
    return copied;
}

}  // namespace

BooksCopy::TCopyResult BooksCopy::copy(const QString &fromName, const QString &toName, const TProgress &progress)
{
    const TBooks from = openBooks(fromName, TRole::From);
    TCopyResult result;
    result.from = from->describe();
    const TSnapshot snapshot(*from);
    BooksCheck::requireSound(*from, [&progress, &result](qint64 done, qint64 total) {
        if (progress)
            progress(QStringLiteral("Checking %1").arg(result.from), done, total);
    });
    const QList<BooksCheck::TTableCount> counts = BooksCheck::counts(*from);
    // Refused before anything is made where the copy would go.
    if (const QStringList refused = refusedValues(from, namesServer(toName)); !refused.isEmpty())
        throw EDatabaseError(QStringLiteral("copy refused: %1 holds values that do not fit their fields:\n%2")
                                 .arg(result.from, refused.join(QLatin1Char('\n'))));

    const TBooks to = openBooks(toName, TRole::To);
    result.to = to->describe();
    result.created = to.created;
    if (to.place == from.place)
        throw EDatabaseError(QStringLiteral("copy refused: %1 and %2 are the same books").arg(fromName, toName));
    if (to.server() && !from.server()) {
        for (const TTableDef &t : EngineCatalog::tables())
            result.dateNotes << AdminTool::dateNotes(*from, t, QStringLiteral("copied as the day %1"),
                                                     QStringLiteral("which names no day: copied as an empty date"));
    }

    to->startTransaction();
    try {
        if (to.server()) {
            // Nobody adds records while the copy fills the tables: they
            // would be mixed with the books copied.
            QStringList tables;
            for (const TTableDef &t : EngineCatalog::tables())
                tables << tableName(t);
            to->change(QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE").arg(tables.join(QStringLiteral(", "))), {});
        }
        AdminTool::requireEmptyBooks(*to, QStringLiteral("copy"));
        for (qsizetype i = 0; i < EngineCatalog::tables().size(); ++i) {
            const TTableDef &t = EngineCatalog::tables().at(i);
            result.tables.append({t.fileName, copyTable(from, to, t, counts.at(i).rows, progress)});
        }
        QStringList differences;
        for (const TTableDef &t : EngineCatalog::tables())
            differences << mismatches(t, figures(from, t), figures(to, t));
        if (!differences.isEmpty())
            throw EDatabaseError(QStringLiteral("The copy does not match %1, so it was not kept:\n%2")
                                     .arg(result.from, differences.join(QLatin1Char('\n'))));
        to->commit();
    } catch (...) {
        to->rollback();
        throw;
    }
    return result;
}
