#include "FilterExpr.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "FieldText.h"

// A recursive-descent parser over a hand-written scanner. The scanner reads
// one token at a time, on demand, so that text after a complete expression is
// reported as a bad ending and not as whatever character happens to follow.
// Literals are converted the moment they are read, by the kind of the field
// they are compared with; the SQL built alongside only ever holds quoted
// column names, operators, keywords, parentheses and "?".

namespace {

enum class Tok {
    End,
    Name,        // a field name
    Literal,     // quoted text, quotes removed and '' undone
    Number,      // a bare number, as written
    Comparison,  // = <> < > <= >=
    And,
    Or,
    Not,
    Open,
    Close,
    Unknown,     // a character that starts no token
};

struct Token
{
    Tok kind = Tok::End;
    QString text;
};

// The condition as SQL twice: as written, and with every date column read
// through ard_day() (TFilterExpr::normalizedSql).
struct Sql
{
    QString raw;
    QString norm;

    Sql &operator+=(const Sql &o)
    {
        raw += o.raw;
        norm += o.norm;
        return *this;
    }
    Sql &operator+=(const QString &both)
    {
        raw += both;
        norm += both;
        return *this;
    }
};

Sql operator+(const QString &a, const Sql &b)
{
    return {a + b.raw, a + b.norm};
}

Sql operator+(const Sql &a, const QString &b)
{
    return {a.raw + b, a.norm + b};
}

class Parser
{
public:
    Parser(const QString &text, const TFilterExpr::Resolver &resolve, const TFormatSettings &fs, const QDate &today)
        : m_text(text), m_resolve(resolve), m_fs(fs), m_today(today)
    {
        advance();
    }

    // The whole condition; the caller has checked that the text is not blank.
    Sql parseAll()
    {
        const Sql sql = parseExpr();
        if (m_token.kind != Tok::End)
            throw incorrectlyTerminated();
        return QStringLiteral("(") + sql + QStringLiteral(")");
    }

    QVariantList takeParams() { return std::move(m_params); }
    QList<TFilterExpr::DateComparison> takeDateComparisons() { return std::move(m_dates); }
    // Whether the condition is more than comparisons joined by AND.
    bool branches() const { return m_branches; }

private:
    static EDatabaseError incorrectlyTerminated()
    {
        return EDatabaseError(QStringLiteral("Filter expression incorrectly terminated"));
    }

    // A token that cannot stand where it is. Running out of text is a bad
    // ending rather than a bad token.
    EDatabaseError unexpected() const
    {
        if (m_token.kind == Tok::End)
            return incorrectlyTerminated();
        return EDatabaseError(QStringLiteral("Invalid filter expression: %1").arg(m_text));
    }

    // expr := term (OR term)*
    Sql parseExpr()
    {
        Sql sql = parseTerm();
        while (m_token.kind == Tok::Or) {
            m_branches = true;
            advance();
            sql += QStringLiteral(" OR ") + parseTerm();
        }
        return sql;
    }

    // term := factor (AND factor)*
    Sql parseTerm()
    {
        Sql sql = parseFactor();
        while (m_token.kind == Tok::And) {
            advance();
            sql += QStringLiteral(" AND ") + parseFactor();
        }
        return sql;
    }

    // Groups and NOTs nest by recursion; a text nested deeper than this is
    // refused, so that a pasted run of thousands of "(" cannot exhaust the
    // stack. SQLite's own parser refuses a condition nested not much deeper
    // (its stack holds 100 entries), so no filter that would run is lost.
    static constexpr int MaxNesting = 32;

    void enterNesting()
    {
        if (++m_nesting > MaxNesting)
            throw EDatabaseError(QStringLiteral("Invalid filter expression: %1").arg(m_text));
    }

    // factor := '(' expr ')' | NOT factor | field op literal
    Sql parseFactor()
    {
        switch (m_token.kind) {
        case Tok::Open: {
            enterNesting();
            advance();
            const Sql inner = parseExpr();
            if (m_token.kind != Tok::Close)
                throw unexpected();
            advance();
            --m_nesting;
            return QStringLiteral("(") + inner + QStringLiteral(")");
        }
        case Tok::Not: {
            m_branches = true;
            enterNesting();
            advance();
            const Sql operand = parseFactor();
            --m_nesting;
            // A group already carries its parentheses; anything else gets
            // them, so the NOT never depends on SQL's operator precedence.
            if (operand.raw.startsWith(QLatin1Char('(')))
                return QStringLiteral("NOT ") + operand;
            return QStringLiteral("NOT (") + operand + QStringLiteral(")");
        }
        case Tok::Name:
            return parseComparison();
        default:
            throw unexpected();
        }
    }

    Sql parseComparison()
    {
        const std::optional<TFilterExpr::Column> column = m_resolve(m_token.text);
        if (!column)
            throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(m_token.text));
        advance();
        if (m_token.kind != Tok::Comparison)
            throw unexpected();
        const QString op = m_token.text;
        advance();
        if (m_token.kind != Tok::Literal && m_token.kind != Tok::Number)
            throw unexpected();
        const QVariant v = value(*column, m_token.text);
        m_params.append(v);
        advance();
        const QString name = EngineCatalog::quoted(column->sqlName);
        const QString rest = QLatin1Char(' ') + op + QStringLiteral(" ?");
        if (column->type != TFieldType::Date)
            return Sql{name + rest, name + rest};
        m_dates.append({column->sqlName, op, QDate::fromString(v.toString(), Qt::ISODate)});
        return Sql{name + rest, QStringLiteral("ard_day(") + name + QLatin1Char(')') + rest};
    }

    QVariant value(const TFilterExpr::Column &column, const QString &text) const
    {
        switch (column.type) {
        case TFieldType::Date:
            if (const std::optional<QDate> d = FieldText::parseDate(text, m_fs, m_today))
                return d->toString(Qt::ISODate);
            throw EDatabaseError(QStringLiteral("'%1' is not a valid date").arg(text));
        case TFieldType::Float:
            if (const std::optional<double> f = FieldText::parseFloat(text, m_fs))
                return *f;
            throw EDatabaseError(
                QStringLiteral("'%1' is not a valid floating point value for field '%2'").arg(text, column.sqlName));
        case TFieldType::Integer:
        case TFieldType::AutoInc:
            if (const std::optional<qint32> i = FieldText::parseInteger(text))
                return qint64(*i);
            throw EDatabaseError(
                QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, column.sqlName));
        case TFieldType::String:
            return text;
        }
        Q_UNREACHABLE();
    }

    static bool isNameStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
    static bool isNamePart(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

    // A bare number runs to the next blank, parenthesis, quote or operator;
    // the field's own parser decides whether it is a number.
    static bool endsNumber(QChar c)
    {
        return c.isSpace() || c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char('\'')
               || c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>');
    }

    void advance()
    {
        const qsizetype n = m_text.size();
        while (m_pos < n && m_text.at(m_pos).isSpace())
            ++m_pos;
        m_token = Token{};
        if (m_pos == n)
            return;

        const QChar c = m_text.at(m_pos);
        const QChar next = m_pos + 1 < n ? m_text.at(m_pos + 1) : QChar();
        if (c == QLatin1Char('(')) {
            m_token.kind = Tok::Open;
            ++m_pos;
        } else if (c == QLatin1Char(')')) {
            m_token.kind = Tok::Close;
            ++m_pos;
        } else if (c == QLatin1Char('<') && (next == QLatin1Char('>') || next == QLatin1Char('='))) {
            m_token = {Tok::Comparison, m_text.mid(m_pos, 2)};
            m_pos += 2;
        } else if (c == QLatin1Char('>') && next == QLatin1Char('=')) {
            m_token = {Tok::Comparison, m_text.mid(m_pos, 2)};
            m_pos += 2;
        } else if (c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>')) {
            m_token = {Tok::Comparison, QString(c)};
            ++m_pos;
        } else if (c == QLatin1Char('\'')) {
            m_token.kind = Tok::Literal;
            ++m_pos;
            for (;;) {
                if (m_pos == n)
                    throw incorrectlyTerminated();
                if (m_text.at(m_pos) == QLatin1Char('\'')) {
                    if (m_pos + 1 < n && m_text.at(m_pos + 1) == QLatin1Char('\'')) {
                        m_token.text += QLatin1Char('\'');
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                m_token.text += m_text.at(m_pos++);
            }
        } else if (isNameStart(c)) {
            const qsizetype start = m_pos;
            while (m_pos < n && isNamePart(m_text.at(m_pos)))
                ++m_pos;
            m_token.text = m_text.mid(start, m_pos - start);
            if (m_token.text.compare(QLatin1String("AND"), Qt::CaseInsensitive) == 0)
                m_token.kind = Tok::And;
            else if (m_token.text.compare(QLatin1String("OR"), Qt::CaseInsensitive) == 0)
                m_token.kind = Tok::Or;
            else if (m_token.text.compare(QLatin1String("NOT"), Qt::CaseInsensitive) == 0)
                m_token.kind = Tok::Not;
            else
                m_token.kind = Tok::Name;
        } else if (c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.')
                   || c == m_fs.DecimalSeparator) {
            const qsizetype start = m_pos;
            while (m_pos < n && !endsNumber(m_text.at(m_pos)))
                ++m_pos;
            m_token = {Tok::Number, m_text.mid(start, m_pos - start)};
        } else {
            m_token = {Tok::Unknown, QString(c)};
            ++m_pos;
        }
    }

    const QString &m_text;
    const TFilterExpr::Resolver &m_resolve;
    const TFormatSettings &m_fs;
    const QDate m_today;
    qsizetype m_pos = 0;
    int m_nesting = 0;
    Token m_token;
    QVariantList m_params;
    QList<TFilterExpr::DateComparison> m_dates;
    bool m_branches = false;
};

} // namespace

TFilterExpr TFilterExpr::parse(const QString &text, const Resolver &resolve, const TFormatSettings &fs,
                               const QDate &today)
{
    TFilterExpr expr;
    if (text.trimmed().isEmpty())
        return expr;
    Parser parser(text, resolve, fs, today);
    const Sql sql = parser.parseAll();
    expr.m_sql = sql.raw;
    expr.m_normalizedSql = sql.norm;
    expr.m_params = parser.takeParams();
    expr.m_dates = parser.takeDateComparisons();
    expr.m_branches = parser.branches();
    return expr;
}

std::optional<TFilterExpr::DateRange> TFilterExpr::dateRange(const QString &column) const
{
    if (m_branches)
        return std::nullopt;
    return rangeOf(m_dates, column);
}

std::optional<TFilterExpr::DateRange> TFilterExpr::rangeOf(const QList<DateComparison> &comparisons,
                                                           const QString &column)
{
    DateRange r;
    bool any = false;
    for (const DateComparison &c : comparisons) {
        if (c.column.compare(column, Qt::CaseInsensitive) != 0)
            continue;
        const auto raiseFrom = [&r](const QDate &d) {
            if (!r.from.isValid() || d > r.from)
                r.from = d;
        };
        const auto lowerTo = [&r](const QDate &d) {
            if (!r.to.isValid() || d < r.to)
                r.to = d;
        };
        if (c.op == QLatin1String("=")) {
            raiseFrom(c.day);
            lowerTo(c.day);
        } else if (c.op == QLatin1String(">=")) {
            raiseFrom(c.day);
        } else if (c.op == QLatin1String(">")) {
            raiseFrom(c.day.addDays(1));
        } else if (c.op == QLatin1String("<=")) {
            lowerTo(c.day);
        } else if (c.op == QLatin1String("<")) {
            lowerTo(c.day.addDays(-1));
        } else {
            continue;  // <> narrows nothing
        }
        any = true;
    }
    if (!any)
        return std::nullopt;
    return r;
}
