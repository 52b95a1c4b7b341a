#include "SqlFunctions.h"

#include "FieldText.h"
#include "StoredDate.h"

#include <QByteArray>
#include <QString>
#include <limits>
#include <sqlite3.h>

namespace {

void ardDay(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_null(ctx);
        return;
    }
    const char *s = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    if (StoredDate::isCanonical(s, n)) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const QDate d = StoredDate::day(s, n);
    if (!d.isValid()) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray iso = StoredDate::canonical(d).toLatin1();
    sqlite3_result_text(ctx, iso.constData(), int(iso.size()), SQLITE_TRANSIENT);
}

// The running state of ard_sum, as SQLite keeps it for its own sum: whole
// numbers add exactly while nothing else comes, and the double sum runs
// beside them in the order the rows come.
struct SumState
{
    double real;
    qint64 whole;
    qint64 count;
    bool approximate;
    bool overflow;
    bool failed;
};

void ardSumStep(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *s = static_cast<SumState *>(sqlite3_aggregate_context(ctx, sizeof(SumState)));
    if (!s || s->failed)
        return;
    sqlite3_value *v = argv[0];
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER: {
        const qint64 n = sqlite3_value_int64(v);
        if (FieldText::fitsAmount(double(n))) {
            ++s->count;
            s->real += double(n);
            if (!s->approximate && !s->overflow && __builtin_add_overflow(s->whole, n, &s->whole))
                s->overflow = true;
            return;
        }
        break;
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(v);
        if (FieldText::fitsAmount(d)) {
            ++s->count;
            s->real += d;
            s->approximate = true;
            return;
        }
        break;
    }
    default:
        break;
    }
    s->failed = true;
    const QByteArray text = QByteArray(SqlFunctions::BadAmountMarker) +
                            QByteArray(reinterpret_cast<const char *>(sqlite3_value_text(v)),
                                       sqlite3_value_bytes(v)).left(40);
    sqlite3_result_error(ctx, text.constData(), int(text.size()));
}

void ardSumFinal(sqlite3_context *ctx)
{
    auto *s = static_cast<SumState *>(sqlite3_aggregate_context(ctx, 0));
    if (!s || s->count == 0) {
        if (!s || !s->failed)
            sqlite3_result_null(ctx);
        return;
    }
    if (s->failed)
        return;
    if (s->approximate)
        sqlite3_result_double(ctx, s->real);
    else if (s->overflow)
        sqlite3_result_error(ctx, "integer overflow", -1);
    else
        sqlite3_result_int64(ctx, s->whole);
}

// lower(x) by Unicode's rules, as PostgreSQL's lower() does; SQLite's own
// folds only A to Z. Text made of ASCII alone (names, mostly) takes a fast
// path that never leaves UTF-8. A null stays null; other values are read as
// text, as SQLite's own lower() reads them.
void lowerText(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *s = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    if (!s) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    bool ascii = true;
    for (int i = 0; i < n && ascii; ++i)
        ascii = static_cast<unsigned char>(s[i]) < 0x80;
    if (ascii) {
        auto *out = static_cast<char *>(sqlite3_malloc(n + 1));
        if (!out) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
        for (int i = 0; i < n; ++i)
            out[i] = (s[i] >= 'A' && s[i] <= 'Z') ? char(s[i] - 'A' + 'a') : s[i];
        out[n] = '\0';
        sqlite3_result_text(ctx, out, n, sqlite3_free);
        return;
    }
    const QByteArray lowered = QString::fromUtf8(s, n).toLower().toUtf8();
    sqlite3_result_text(ctx, lowered.constData(), int(lowered.size()), SQLITE_TRANSIENT);
}

} // namespace

void SqlFunctions::install(sqlite3 *db)
{
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, "ard_day", 1, flags, nullptr, &ardDay, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "ard_sum", 1, flags, nullptr, nullptr, &ardSumStep, &ardSumFinal, nullptr);
    sqlite3_create_function_v2(db, "lower", 1, flags, nullptr, &lowerText, nullptr, nullptr, nullptr);
}
