#include "LocalSql.h"

#include "EDatabaseError.h"

#include <QDate>
#include <QList>
#include <QStringView>

// The statements that reach this unit are the program's own: a handful of
// fixed queries plus a period condition whose dates are written month, day,
// year with the user's date separator. SQLite stores dates as ISO text, so
// the only rewriting needed is to lift every quoted literal out of the text
// into a bound parameter and, where it is compared with a date column, to
// read it as a date. Everything else is copied character for character.

namespace {

enum class TokenKind {
    Blank,       // white space or a comment: skipped when looking for neighbours
    Literal,     // 'text', with '' standing for one quote
    Identifier,  // name, "quoted name", qualified a.b or "a"."b"
    Comparison,  // = == <> != < > <= >=
    Other,       // numbers, punctuation, anything else
};

struct Token
{
    TokenKind kind;
    qsizetype start;
    qsizetype length;
    QString literal;  // the literal's value, quotes removed and '' undone
};

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isIdentifierStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isIdentifierPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Position after a quoted run that opens at 'from' with 'quote'; a doubled
// quote inside stands for one. Appends the unquoted text to 'value' when given.
qsizetype skipQuoted(const QString &s, qsizetype from, QChar quote, QString *value)
{
    qsizetype i = from + 1;
    while (i < s.size()) {
        if (s.at(i) == quote) {
            if (i + 1 < s.size() && s.at(i + 1) == quote) {
                if (value)
                    value->append(quote);
                i += 2;
                continue;
            }
            return i + 1;
        }
        if (value)
            value->append(s.at(i));
        ++i;
    }
    // A statement whose quote never closes cannot be split into literals
    // safely; refuse it rather than guess where the text ends.
    throw EDatabaseError(QStringLiteral("Unterminated quoted text in SQL statement"));
}

// One part of a possibly qualified name, plain or double-quoted.
qsizetype skipNamePart(const QString &s, qsizetype i)
{
    if (s.at(i) == QLatin1Char('"'))
        return skipQuoted(s, i, QLatin1Char('"'), nullptr);
    while (i < s.size() && isIdentifierPart(s.at(i)))
        ++i;
    return i;
}

QList<Token> tokenize(const QString &s)
{
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype start = i;
        const QChar c = s.at(i);
        const QChar next = i + 1 < s.size() ? s.at(i + 1) : QChar();
        Token t{TokenKind::Other, start, 0, {}};
        if (c.isSpace()) {
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            t.kind = TokenKind::Blank;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            while (i < s.size() && s.at(i) != QLatin1Char('\n'))
                ++i;
            t.kind = TokenKind::Blank;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const qsizetype end = s.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? s.size() : end + 2;
            t.kind = TokenKind::Blank;
        } else if (c == QLatin1Char('\'')) {
            i = skipQuoted(s, i, c, &t.literal);
            t.kind = TokenKind::Literal;
        } else if (c == QLatin1Char('"') || isIdentifierStart(c)) {
            i = skipNamePart(s, i);
            while (i + 1 < s.size() && s.at(i) == QLatin1Char('.')
                   && (s.at(i + 1) == QLatin1Char('"') || isIdentifierStart(s.at(i + 1))))
                i = skipNamePart(s, i + 1);
            t.kind = TokenKind::Identifier;
        } else if (isAsciiDigit(c) || (c == QLatin1Char('.') && isAsciiDigit(next))) {
            // A number, with its fraction and exponent, so that the "e" of
            // 1e5 is not taken for a name.
            ++i;
            while (i < s.size()) {
                const QChar d = s.at(i);
                const bool sign = (d == QLatin1Char('+') || d == QLatin1Char('-'))
                                  && (s.at(i - 1) == QLatin1Char('e') || s.at(i - 1) == QLatin1Char('E'));
                if (!(d.isLetterOrNumber() || d == QLatin1Char('.') || d == QLatin1Char('_') || sign))
                    break;
                ++i;
            }
        } else if ((c == QLatin1Char('<') && (next == QLatin1Char('>') || next == QLatin1Char('=')))
                   || (c == QLatin1Char('>') && next == QLatin1Char('='))
                   || (c == QLatin1Char('!') && next == QLatin1Char('='))
                   || (c == QLatin1Char('=') && next == QLatin1Char('='))) {
            i += 2;
            t.kind = TokenKind::Comparison;
        } else if (c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>')) {
            ++i;
            t.kind = TokenKind::Comparison;
        } else {
            ++i;
        }
        t.length = i - start;
        tokens.append(t);
    }
    return tokens;
}

// The nearest token before (step -1) or after (step +1) index 'at' that is
// not blank, or null.
const Token *neighbour(const QList<Token> &tokens, qsizetype at, int step)
{
    for (qsizetype j = at + step; j >= 0 && j < tokens.size(); j += step)
        if (tokens.at(j).kind != TokenKind::Blank)
            return &tokens.at(j);
    return nullptr;
}

// Reads month, day and year separated by runs of non-digits; the year has
// four digits or two (00-49 in this century, 50-99 in the last).
QDate readMonthDayYear(const QString &text)
{
    QList<QStringView> numbers;
    const QStringView v(text);
    qsizetype i = 0;
    // Blanks around the date are not separators but are harmless.
    while (i < v.size() && v.at(i).isSpace())
        ++i;
    qsizetype end = v.size();
    while (end > i && v.at(end - 1).isSpace())
        --end;
    while (i < end) {
        if (!isAsciiDigit(v.at(i))) {
            if (numbers.isEmpty())
                return {};
            while (i < end && !isAsciiDigit(v.at(i)))
                ++i;
            if (i == end)
                return {};
            continue;
        }
        const qsizetype from = i;
        while (i < end && isAsciiDigit(v.at(i)))
            ++i;
        numbers.append(v.mid(from, i - from));
    }
    if (numbers.size() != 3)
        return {};
    const QStringView m = numbers.at(0), d = numbers.at(1), y = numbers.at(2);
    if (m.size() > 2 || d.size() > 2 || (y.size() != 2 && y.size() != 4))
        return {};
    int year = y.toInt();
    if (y.size() == 2)
        year += year < 50 ? 2000 : 1900;
    return QDate(year, m.toInt(), d.toInt());  // invalid when the day does not exist
}

bool isWord(const QString &statement, const Token *t, QLatin1String word)
{
    return t && t->kind == TokenKind::Identifier &&
           QStringView(statement).mid(t->start, t->length).compare(word, Qt::CaseInsensitive) == 0;
}

// The words of a condition or a CASE, which name no column.
bool isExpressionWord(const QString &statement, const Token &t)
{
    for (const char *w : {"case", "when", "then", "else", "end", "and", "or", "not", "is", "null"})
        if (isWord(statement, &t, QLatin1String(w)))
            return true;
    return false;
}

// Words that end an ORDER BY or GROUP BY list.
bool endsList(const QString &statement, const Token &t)
{
    if (t.kind != TokenKind::Identifier)
        return t.kind == TokenKind::Other && statement.at(t.start) == QLatin1Char(')');
    for (const char *w : {"limit", "offset", "having", "where", "union", "except", "intersect", "window", "order"})
        if (isWord(statement, &t, QLatin1String(w)))
            return true;
    return false;
}

} // namespace

TLocalSql TLocalSql::prepare(const QString &statement, const std::function<bool(const QString &)> &isDateColumn,
                             TEngineKind engine)
{
    const bool server = engine == TEngineKind::PostgreSQL;
    const QList<Token> tokens = tokenize(statement);
    const auto isDateName = [&](const Token *t) {
        return t && t->kind == TokenKind::Identifier && isDateColumn(statement.mid(t->start, t->length));
    };

    TLocalSql out;
    out.sql.reserve(statement.size());
    QString normalized;
    bool normalizes = false;
    bool inOrderList = false;  // inside ORDER BY or GROUP BY
    int sumDepth = -1;         // the parenthesis depth of an open Sum(, else -1
    int depth = 0;
    int caseDepth = 0;         // CASE expressions open around the token
    int orderDepth = -1;       // on a server: the depth of an open ORDER BY list, else -1
    bool topOrder = false;     // an ORDER BY of the statement itself, not of a subquery
    qsizetype groupFrom = -1;  // the tokens of the statement's own GROUP BY list
    qsizetype groupTo = -1;
    bool termDescending = false;
    // Right after the term, before the blank that ends it.
    const auto endOrderTerm = [&] {
        qsizetype at = out.sql.size();
        while (at > 0 && out.sql.at(at - 1).isSpace())
            --at;
        out.sql.insert(at, termDescending ? QLatin1String(" NULLS LAST") : QLatin1String(" NULLS FIRST"));
        termDescending = false;
    };
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        const Token &t = tokens.at(k);
        const QStringView text = QStringView(statement).mid(t.start, t.length);
        const Token *before = neighbour(tokens, k, -1);
        const Token *after = neighbour(tokens, k, +1);
        if (t.kind == TokenKind::Other && text == QLatin1String("(")) {
            ++depth;
        } else if (t.kind == TokenKind::Other && text == QLatin1String(")")) {
            if (depth-- == sumDepth)
                sumDepth = -1;
        }
        if (orderDepth >= 0) {
            if (depth < orderDepth ||
                (depth == orderDepth && (endsList(statement, t) || (t.kind == TokenKind::Other && text == QLatin1String(";"))))) {
                endOrderTerm();
                orderDepth = -1;
            } else if (depth == orderDepth && t.kind == TokenKind::Other && text == QLatin1String(",")) {
                endOrderTerm();
            } else if (depth == orderDepth && isWord(statement, &t, QLatin1String("desc"))) {
                termDescending = true;
            }
        }
        if (server && t.kind == TokenKind::Identifier && text.compare(QLatin1String("by"), Qt::CaseInsensitive) == 0 &&
            isWord(statement, before, QLatin1String("order"))) {
            orderDepth = depth;
            topOrder = topOrder || depth == 0;
        }
        if (groupFrom >= 0 && groupTo < 0 &&
            (depth < 0 || (depth == 0 && (endsList(statement, t) || (t.kind == TokenKind::Other && text == QLatin1String(";"))))))
            groupTo = k;
        if (server && depth == 0 && t.kind == TokenKind::Identifier &&
            text.compare(QLatin1String("by"), Qt::CaseInsensitive) == 0 && isWord(statement, before, QLatin1String("group")))
            groupFrom = k + 1;
        if (inOrderList && endsList(statement, t))
            inOrderList = false;
        if (t.kind == TokenKind::Identifier && text.compare(QLatin1String("by"), Qt::CaseInsensitive) == 0 &&
            (isWord(statement, before, QLatin1String("order")) || isWord(statement, before, QLatin1String("group")))) {
            inOrderList = true;
        }

        if (isWord(statement, &t, QLatin1String("case")))
            ++caseDepth;
        else if (caseDepth > 0 && isWord(statement, &t, QLatin1String("end")))
            --caseDepth;
        // A CASE picks a value and keeps no row out: its conditions neither
        // narrow the days the statement can meet nor, by OR or NOT, widen
        // the ones its other conditions leave.
        if (caseDepth == 0 &&
            (isWord(statement, &t, QLatin1String("or")) || isWord(statement, &t, QLatin1String("not"))))
            out.conjunctive = false;
        if (t.kind == TokenKind::Identifier && text.compare(QLatin1String("sum"), Qt::CaseInsensitive) == 0 &&
            after && after->kind == TokenKind::Other && statement.at(after->start) == QLatin1Char('(')) {
            out.sql += server ? text : QStringView(u"ard_sum");
            normalized += QLatin1String("ard_sum");
            sumDepth = depth + 1;
            continue;
        }
        // What a Sum adds: its columns, not the words of a CASE inside it nor
        // a date compared there to choose the rows it adds.
        if (t.kind == TokenKind::Identifier && sumDepth >= 0 && !isExpressionWord(statement, t) &&
            !(isDateName(&t) && ((before && before->kind == TokenKind::Comparison) ||
                                 (after && after->kind == TokenKind::Comparison))))
            out.summedColumns << text.toString();
        if (t.kind == TokenKind::Identifier && isDateName(&t) &&
            (inOrderList || (before && before->kind == TokenKind::Comparison) ||
             (after && after->kind == TokenKind::Comparison))) {
            out.sql += text;
            normalized += QLatin1String("ard_day(");
            normalized += text;
            normalized += QLatin1Char(')');
            normalizes = true;
            continue;
        }
        if (t.kind != TokenKind::Literal) {
            out.sql += text;
            normalized += text;
            continue;
        }
        const Token *dateColumn = nullptr;
        QString op;
        if (before && before->kind == TokenKind::Comparison) {
            const Token *c = neighbour(tokens, before - tokens.constData(), -1);
            if (isDateName(c)) {
                dateColumn = c;
                op = statement.mid(before->start, before->length);
            }
        }
        if (!dateColumn && after && after->kind == TokenKind::Comparison) {
            const Token *c = neighbour(tokens, after - tokens.constData(), +1);
            if (isDateName(c)) {
                dateColumn = c;
                // The literal stands first: turn the comparison round.
                op = statement.mid(after->start, after->length);
                if (op.startsWith(QLatin1Char('<')) && op != QLatin1String("<>"))
                    op.replace(0, 1, QLatin1Char('>'));
                else if (op.startsWith(QLatin1Char('>')))
                    op.replace(0, 1, QLatin1Char('<'));
            }
        }

        if (dateColumn) {
            const QDate date = readMonthDayYear(t.literal);
            if (!date.isValid())
                throw EDatabaseError(QStringLiteral("'%1' is not a valid date").arg(t.literal));
            out.params.append(date.toString(Qt::ISODate));
            if (op == QLatin1String("=="))
                op = QStringLiteral("=");
            else if (op == QLatin1String("!="))
                op = QStringLiteral("<>");
            QString name = statement.mid(dateColumn->start, dateColumn->length).section(QLatin1Char('.'), -1);
            name.remove(QLatin1Char('"'));
            if (caseDepth == 0)
                out.dateComparisons.append({name, op, date});
        } else {
            out.params.append(t.literal);
        }
        out.sql += QLatin1Char('?');
        normalized += QLatin1Char('?');
    }
    if (orderDepth >= 0)
        endOrderTerm();
    // SQLite hands out groups in the order of their keys; a server in any
    // order, and not the same one from one batch of rows to the next.
    if (server && groupFrom >= 0 && !topOrder) {
        if (groupTo < 0)
            groupTo = tokens.size();
        QStringList terms;
        QString term;
        int d = 0;
        for (qsizetype k = groupFrom; k < groupTo; ++k) {
            const Token &t = tokens.at(k);
            const QString text = statement.mid(t.start, t.length);
            if (t.kind == TokenKind::Other && text == QLatin1String("("))
                ++d;
            else if (t.kind == TokenKind::Other && text == QLatin1String(")"))
                --d;
            if (d == 0 && t.kind == TokenKind::Other && text == QLatin1String(",")) {
                terms << term.trimmed();
                term.clear();
            } else if (t.kind != TokenKind::Literal) {
                term += text;
            } else {
                terms.clear();  // a literal in a group key: leave the statement as it is
                break;
            }
        }
        if (!term.trimmed().isEmpty())
            terms << term.trimmed();
        if (!terms.isEmpty()) {
            out.sql = out.sql.trimmed();
            while (out.sql.endsWith(QLatin1Char(';')))
                out.sql = out.sql.chopped(1).trimmed();
            out.sql += QStringLiteral(" ORDER BY ") + terms.join(QStringLiteral(" NULLS FIRST, ")) +
                       QStringLiteral(" NULLS FIRST");
        }
    }
    if (normalizes && !server)
        out.normalizedSql = normalized;
    return out;
}
