#include "TsqlAdapter.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <vector>

namespace kolvix {

namespace {

// The lexical pieces of a statement. Whitespace and comments are kept as tokens of their own,
// so that joining the texts of all tokens gives the statement back unchanged.
enum class Kind {
    Space, // whitespace; also every token that an adaptation removed (empty text)
    Comment, // -- to the end of the line, or /* ... */ (nested, as T-SQL allows)
    String, // '...' with '' inside
    Bracketed, // [...] with ]] inside
    Quoted, // "..." with "" inside
    Word, // names, keywords and @variables
    Number,
    Param, // :name
    Symbol // operators and punctuation; <=, >=, <>, != are one token
};

struct Token
{
    Kind kind;
    QString text;
    // Text that an adaptation puts before and after the token ("SELECT * FROM (", " LIMIT n");
    // kept apart so that later matching still sees the token as written.
    QString before = {};
    QString after = {};
};

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u'@' || c == u'#';
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

// The end of a literal or name that starts at `start` with `open` and ends with `close`, where a
// doubled `close` stands for the character itself. An unterminated one runs to the end.
qsizetype delimitedEnd(const QString& s, qsizetype start, QChar close)
{
    qsizetype i = start + 1;
    while (i < s.size()) {
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

std::vector<Token> tokenize(const QString& s)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto at = [&](qsizetype k) { return k < n ? s[k] : QChar(); };
    while (i < n) {
        const QChar c = s[i];
        qsizetype end = i + 1;
        Kind kind = Kind::Symbol;
        if (c.isSpace()) {
            kind = Kind::Space;
            while (end < n && s[end].isSpace())
                ++end;
        } else if (c == u'-' && at(i + 1) == u'-') {
            kind = Kind::Comment;
            while (end < n && s[end] != u'\n' && s[end] != u'\r')
                ++end;
        } else if (c == u'/' && at(i + 1) == u'*') {
            kind = Kind::Comment;
            int depth = 1;
            end = i + 2;
            while (end < n && depth > 0) {
                if (s[end] == u'/' && at(end + 1) == u'*') {
                    ++depth;
                    end += 2;
                } else if (s[end] == u'*' && at(end + 1) == u'/') {
                    --depth;
                    end += 2;
                } else {
                    ++end;
                }
            }
        } else if (c == u'\'') {
            kind = Kind::String;
            end = delimitedEnd(s, i, u'\'');
        } else if (c == u'[') {
            kind = Kind::Bracketed;
            end = delimitedEnd(s, i, u']');
        } else if (c == u'"') {
            kind = Kind::Quoted;
            end = delimitedEnd(s, i, u'"');
        } else if (c == u':' && (at(i + 1).isLetter() || at(i + 1) == u'_')) {
            kind = Kind::Param;
            while (end < n && (s[end].isLetterOrNumber() || s[end] == u'_'))
                ++end;
        } else if (isWordStart(c)) {
            kind = Kind::Word;
            while (end < n && isWordChar(s[end]))
                ++end;
        } else if (c.isDigit()) {
            kind = Kind::Number;
            while (end < n && (s[end].isDigit() || s[end] == u'.'))
                ++end;
        } else {
            const QChar next = at(i + 1);
            if ((c == u'<' && (next == u'=' || next == u'>')) || (c == u'>' && next == u'=')
                || (c == u'!' && (next == u'=' || next == u'<' || next == u'>')))
                end = i + 2;
        }
        tokens.push_back({kind, s.mid(i, end - i)});
        i = end;
    }
    return tokens;
}

QString join(const std::vector<Token>& tokens)
{
    QString result;
    for (const Token& t : tokens)
        result += t.before + t.text + t.after;
    return result;
}

bool isSignificant(const Token& t)
{
    return t.kind != Kind::Space && t.kind != Kind::Comment;
}

bool isWord(const Token& t, QLatin1StringView word)
{
    return t.kind == Kind::Word && t.text.compare(word, Qt::CaseInsensitive) == 0;
}

bool isSymbol(const Token& t, QLatin1StringView symbol)
{
    return t.kind == Kind::Symbol && t.text == symbol;
}

// The index of the next (previous) significant token after (before) i; -1 when there is none.
int nextSignificant(const std::vector<Token>& tokens, int i)
{
    for (int k = i + 1; k < int(tokens.size()); ++k)
        if (isSignificant(tokens[k]))
            return k;
    return -1;
}

int previousSignificant(const std::vector<Token>& tokens, int i)
{
    for (int k = i - 1; k >= 0; --k)
        if (isSignificant(tokens[k]))
            return k;
    return -1;
}

void removeRange(std::vector<Token>& tokens, int first, int last)
{
    for (int k = first; k <= last; ++k)
        tokens[k] = {Kind::Space, QString()};
}

// Removes a statement from `first` to `last` with a following semicolon and the whitespace after it.
void removeStatement(std::vector<Token>& tokens, int first, int last)
{
    const int next = nextSignificant(tokens, last);
    if (next >= 0 && isSymbol(tokens[next], QLatin1StringView(";")))
        last = next;
    while (last + 1 < int(tokens.size()) && tokens[last + 1].kind == Kind::Space)
        ++last;
    removeRange(tokens, first, last);
}

// DECLARE @v type[(n[,m])] [, @w type ...]: the index of its last token, or -1 when the
// declaration has another form (which then stays as it is).
int declarationEnd(const std::vector<Token>& tokens, int declare, QStringList& variables)
{
    int i = declare;
    for (;;) {
        const int var = nextSignificant(tokens, i);
        if (var < 0 || tokens[var].kind != Kind::Word || !tokens[var].text.startsWith(u'@'))
            return -1;
        int type = nextSignificant(tokens, var);
        if (type >= 0 && isWord(tokens[type], QLatin1StringView("AS")))
            type = nextSignificant(tokens, type);
        if (type < 0 || tokens[type].kind != Kind::Word || isWord(tokens[type], QLatin1StringView("TABLE")))
            return -1;
        variables << tokens[var].text;
        i = type;
        int next = nextSignificant(tokens, i);
        if (next >= 0 && isSymbol(tokens[next], QLatin1StringView("("))) {
            while (next >= 0 && !isSymbol(tokens[next], QLatin1StringView(")")))
                next = nextSignificant(tokens, next);
            if (next < 0)
                return -1;
            i = next;
            next = nextSignificant(tokens, i);
        }
        if (next < 0 || !isSymbol(tokens[next], QLatin1StringView(",")))
            return i;
        i = next;
    }
}

// DECLARE and SET of local variables: the declarations and assignments go, and every later use
// of a variable is replaced by the value it was set to (a literal, a number or a :parameter).
void inlineVariables(std::vector<Token>& tokens)
{
    QStringList declared;
    QHash<QString, QString> values; // lower-case name -> value text
    for (int i = 0; i < int(tokens.size()); ++i) {
        Token& t = tokens[i];
        if (t.kind != Kind::Word)
            continue;
        if (isWord(t, QLatin1StringView("DECLARE"))) {
            QStringList variables;
            const int end = declarationEnd(tokens, i, variables);
            if (end >= 0) {
                declared << variables;
                removeStatement(tokens, i, end);
            }
            continue;
        }
        if (isWord(t, QLatin1StringView("SET"))) {
            const int var = nextSignificant(tokens, i);
            if (var < 0 || !declared.contains(tokens[var].text, Qt::CaseInsensitive))
                continue;
            const int equals = nextSignificant(tokens, var);
            if (equals < 0 || !isSymbol(tokens[equals], QLatin1StringView("=")))
                continue;
            int valueIndex = nextSignificant(tokens, equals);
            if (valueIndex < 0)
                continue;
            QString value;
            const Token& v = tokens[valueIndex];
            if (v.kind == Kind::String || v.kind == Kind::Number || v.kind == Kind::Param
                || isWord(v, QLatin1StringView("NULL"))) {
                value = v.text;
            } else if (isSymbol(v, QLatin1StringView("-"))) {
                const int number = nextSignificant(tokens, valueIndex);
                if (number < 0 || tokens[number].kind != Kind::Number)
                    continue;
                value = QLatin1Char('-') + tokens[number].text;
                valueIndex = number;
            } else {
                continue;
            }
            values.insert(tokens[var].text.toLower(), value);
            removeStatement(tokens, i, valueIndex);
            continue;
        }
        if (t.text.startsWith(u'@')) {
            const auto value = values.constFind(t.text.toLower());
            if (value != values.constEnd())
                t.text = *value;
        }
    }
}

// 'yyyymmdd' or 'yyyy.mm.dd' as the text the embedded engine stores for that midnight; empty
// for any other literal.
QString isoDateLiteral(const QString& literal)
{
    static const QRegularExpression compact(QStringLiteral("^'(\\d{4})(\\d{2})(\\d{2})'$"));
    static const QRegularExpression dotted(QStringLiteral("^'(\\d{4})\\.(\\d{2})\\.(\\d{2})'$"));
    QRegularExpressionMatch m = compact.match(literal);
    if (!m.hasMatch())
        m = dotted.match(literal);
    if (!m.hasMatch())
        return QString();
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return QString();
    return QLatin1Char('\'') + date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00'");
}

bool isComparison(const Token& t)
{
    static const QStringList operators {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("!="),
                                        QStringLiteral("<"), QStringLiteral(">"),  QStringLiteral("<="),
                                        QStringLiteral(">=")};
    return t.kind == Kind::Symbol && operators.contains(t.text);
}

// The user tables of the database, as the catalogue view SYS.TABLES shows them.
const QString& sqliteTableCatalogue()
{
    static const QString text = QStringLiteral("(SELECT name COLLATE NOCASE AS Name FROM sqlite_master "
                                               "WHERE type = 'table' AND name NOT LIKE 'sqlite!_%' ESCAPE '!')");
    return text;
}

void rewriteNames(std::vector<Token>& tokens)
{
    const int count = int(tokens.size());
    auto kindAt = [&](int k) { return k >= 0 && k < count ? tokens[k].kind : Kind::Space; };
    for (int i = 0; i < count; ++i) {
        Token& t = tokens[i];
        if (t.kind == Kind::Word) {
            const bool dotAfter = kindAt(i + 1) == Kind::Symbol && tokens[i + 1].text == u'.';
            const bool dotBefore = kindAt(i - 1) == Kind::Symbol && tokens[i - 1].text == u'.';
            if (isWord(t, QLatin1StringView("MAX"))) {
                // NVARCHAR(MAX) and the like: the embedded engine takes no size for the longest text.
                const int open = previousSignificant(tokens, i);
                const int type = open >= 0 ? previousSignificant(tokens, open) : -1;
                const int close = nextSignificant(tokens, i);
                if (type >= 0 && close >= 0 && isSymbol(tokens[open], QLatin1StringView("("))
                    && isSymbol(tokens[close], QLatin1StringView(")"))
                    && (isWord(tokens[type], QLatin1StringView("VARCHAR"))
                        || isWord(tokens[type], QLatin1StringView("NVARCHAR"))
                        || isWord(tokens[type], QLatin1StringView("VARBINARY")))) {
                    removeRange(tokens, open, close);
                    i = close;
                }
            } else if (isWord(t, QLatin1StringView("ISNULL"))) {
                const int next = nextSignificant(tokens, i);
                if (next >= 0 && isSymbol(tokens[next], QLatin1StringView("(")))
                    t.text = QStringLiteral("IFNULL");
            } else if (isWord(t, QLatin1StringView("dbo")) && dotAfter && !dotBefore) {
                removeRange(tokens, i, i + 1);
                ++i;
            } else if (isWord(t, QLatin1StringView("SYS")) && dotAfter && !dotBefore && i + 2 < count
                       && isWord(tokens[i + 2], QLatin1StringView("TABLES"))) {
                t.text = sqliteTableCatalogue();
                removeRange(tokens, i + 1, i + 2);
                i += 2;
            }
        } else if (t.kind == Kind::Bracketed && t.text.compare(QLatin1StringView("[dbo]"), Qt::CaseInsensitive) == 0
                   && kindAt(i + 1) == Kind::Symbol && tokens[i + 1].text == u'.'
                   && !(kindAt(i - 1) == Kind::Symbol && tokens[i - 1].text == u'.')) {
            removeRange(tokens, i, i + 1);
            ++i;
        } else if (t.kind == Kind::String) {
            const int previous = previousSignificant(tokens, i);
            if (previous >= 0 && isComparison(tokens[previous])) {
                const QString iso = isoDateLiteral(t.text);
                if (!iso.isEmpty())
                    t.text = iso;
            }
        }
    }
}

// SELECT [DISTINCT] TOP n ... -> SELECT [DISTINCT] ... LIMIT n, the LIMIT placed at the end of
// that SELECT: before the parenthesis that closes its level, a UNION, EXCEPT or INTERSECT of its
// level, a semicolon, or the end of the text. A SELECT that a UNION follows becomes a derived
// table, since the embedded engine takes LIMIT only at the end of a whole compound.
void topToLimit(std::vector<Token>& tokens)
{
    const int count = int(tokens.size());
    for (int i = 0; i < count; ++i) {
        if (!isWord(tokens[i], QLatin1StringView("TOP")))
            continue;
        int select = previousSignificant(tokens, i);
        if (select >= 0
            && (isWord(tokens[select], QLatin1StringView("DISTINCT"))
                || isWord(tokens[select], QLatin1StringView("ALL"))))
            select = previousSignificant(tokens, select);
        if (select < 0 || !isWord(tokens[select], QLatin1StringView("SELECT")))
            continue;

        int last = nextSignificant(tokens, i);
        QString limit;
        if (last >= 0 && tokens[last].kind == Kind::Number) {
            limit = tokens[last].text;
        } else if (last >= 0 && isSymbol(tokens[last], QLatin1StringView("("))) {
            const int number = nextSignificant(tokens, last);
            const int close = number >= 0 ? nextSignificant(tokens, number) : -1;
            if (close < 0 || tokens[number].kind != Kind::Number || !isSymbol(tokens[close], QLatin1StringView(")")))
                continue;
            limit = tokens[number].text;
            last = close;
        } else {
            continue;
        }
        const int after = nextSignificant(tokens, last);
        if (after >= 0
            && (isWord(tokens[after], QLatin1StringView("PERCENT"))
                || isWord(tokens[after], QLatin1StringView("WITH"))))
            continue;

        int end = count;
        bool compound = false;
        int depth = 0;
        for (int k = last + 1; k < count; ++k) {
            const Token& t = tokens[k];
            if (isSymbol(t, QLatin1StringView("("))) {
                ++depth;
            } else if (isSymbol(t, QLatin1StringView(")"))) {
                if (depth == 0) {
                    end = k;
                    break;
                }
                --depth;
            } else if (depth == 0 && isSymbol(t, QLatin1StringView(";"))) {
                end = k;
                break;
            } else if (depth == 0
                       && (isWord(t, QLatin1StringView("UNION")) || isWord(t, QLatin1StringView("EXCEPT"))
                           || isWord(t, QLatin1StringView("INTERSECT")))) {
                end = k;
                compound = true;
                break;
            }
        }

        int lastOfSelect = last;
        for (int k = end - 1; k > last; --k) {
            if (isSignificant(tokens[k])) {
                lastOfSelect = k;
                break;
            }
        }
        // TOP and its number go with the blanks after them; a comment among them stays, with the
        // line break that ends it.
        bool removing = false;
        for (int k = i; k <= last; ++k) {
            if (tokens[k].kind == Kind::Comment)
                removing = false;
            else if (isSignificant(tokens[k]))
                removing = true;
            if (removing)
                removeRange(tokens, k, k);
        }
        int removeTo = last;
        while (removeTo + 1 < end && tokens[removeTo + 1].kind == Kind::Space)
            ++removeTo;
        removeRange(tokens, last, removeTo);
        if (lastOfSelect == last) // "SELECT TOP n" and nothing more: the engine reports the error
            lastOfSelect = select;
        tokens[lastOfSelect].after += QStringLiteral(" LIMIT ") + limit;
        if (compound) {
            tokens[select].before.prepend(QStringLiteral("SELECT * FROM ("));
            tokens[lastOfSelect].after += QLatin1Char(')');
        }
    }
}

// The significant tokens after the i-th, as many as `at` holds; false when the text ends first.
template <size_t N> bool nextSignificants(const std::vector<Token>& tokens, int i, int (&at)[N])
{
    for (int& position : at) {
        i = nextSignificant(tokens, i);
        if (i < 0)
            return false;
        position = i;
    }
    return true;
}

// UPDATE TOP (n) name SET ... [WHERE condition] -> UPDATE name SET ... WHERE rowid IN (SELECT
// rowid FROM name [WHERE condition] LIMIT n): n rows of those the condition selects, whichever.
void updateTopToRowid(std::vector<Token>& tokens)
{
    const int count = int(tokens.size());
    for (int i = 0; i < count; ++i) {
        if (!isWord(tokens[i], QLatin1StringView("UPDATE")))
            continue;
        int at[5];
        const bool complete = nextSignificants(tokens, i, at);
        if (!complete || !isWord(tokens[at[0]], QLatin1StringView("TOP"))
            || !isSymbol(tokens[at[1]], QLatin1StringView("(")) || tokens[at[2]].kind != Kind::Number
            || !isSymbol(tokens[at[3]], QLatin1StringView(")"))
            || (tokens[at[4]].kind != Kind::Word && tokens[at[4]].kind != Kind::Bracketed))
            continue;
        const QString limit = tokens[at[2]].text;
        const QString table = tokens[at[4]].text;
        int where = -1;
        int end = count;
        int depth = 0;
        for (int j = at[4] + 1; j < count; ++j) {
            const Token& t = tokens[j];
            if (isSymbol(t, QLatin1StringView("(")))
                ++depth;
            else if (isSymbol(t, QLatin1StringView(")")))
                --depth;
            else if (depth == 0 && isSymbol(t, QLatin1StringView(";"))) {
                end = j;
                break;
            } else if (depth == 0 && where < 0 && isWord(t, QLatin1StringView("WHERE")))
                where = j;
        }
        int last = previousSignificant(tokens, end);
        const QString selection = QStringLiteral("rowid IN (SELECT rowid FROM %1").arg(table);
        if (where >= 0)
            tokens[where].after += QLatin1Char(' ') + selection + QStringLiteral(" WHERE");
        else
            tokens[last].after += QStringLiteral(" WHERE ") + selection;
        tokens[last].after += QStringLiteral(" LIMIT ") + limit + QLatin1Char(')');
        removeRange(tokens, at[0], at[3]);
        // The blank that stood before TOP stays; the one after its parenthesis goes with it.
        if (at[3] + 1 < count && tokens[at[3] + 1].kind == Kind::Space)
            removeRange(tokens, at[3] + 1, at[3] + 1);
    }
}

// ORDER BY ... OFFSET n ROWS FETCH NEXT m ROWS ONLY (numbers written out) -> ORDER BY ...
// LIMIT m OFFSET n. FIRST stands for NEXT and ROW for ROWS, as T-SQL allows.
void offsetFetchToLimit(std::vector<Token>& tokens)
{
    const auto isRows
        = [](const Token& t) { return isWord(t, QLatin1StringView("ROWS")) || isWord(t, QLatin1StringView("ROW")); };
    for (int i = 0; i < int(tokens.size()); ++i) {
        if (!isWord(tokens[i], QLatin1StringView("OFFSET")))
            continue;
        int at[6];
        const bool complete = nextSignificants(tokens, i, at);
        const int only = complete ? nextSignificant(tokens, at[5]) : -1;
        if (only < 0 || tokens[at[0]].kind != Kind::Number || !isRows(tokens[at[1]])
            || !isWord(tokens[at[2]], QLatin1StringView("FETCH"))
            || !(isWord(tokens[at[3]], QLatin1StringView("NEXT")) || isWord(tokens[at[3]], QLatin1StringView("FIRST")))
            || tokens[at[4]].kind != Kind::Number || !isRows(tokens[at[5]])
            || !isWord(tokens[only], QLatin1StringView("ONLY")))
            continue;
        tokens[i].text = QStringLiteral("LIMIT %1 OFFSET %2").arg(tokens[at[4]].text, tokens[at[0]].text);
        removeRange(tokens, i + 1, only);
    }
}

} // namespace

QString adaptTsqlForSqlite(const QString& tsql)
{
    std::vector<Token> tokens = tokenize(tsql);
    inlineVariables(tokens);
    rewriteNames(tokens);
    updateTopToRowid(tokens);
    topToLimit(tokens);
    offsetFetchToLimit(tokens);
    return join(tokens);
}

ParameterisedStatement positionalParameters(const QString& sql)
{
    std::vector<Token> tokens = tokenize(sql);
    ParameterisedStatement result;
    for (Token& t : tokens) {
        if (t.kind == Kind::Param) {
            result.occurrences << t.text.mid(1);
            t.text = QStringLiteral("?");
        }
    }
    result.text = join(tokens);
    return result;
}

QString firstFromTable(const QString& sql)
{
    const std::vector<Token> tokens = tokenize(sql);
    int depth = 0;
    for (int i = 0; i < int(tokens.size()); ++i) {
        const Token& t = tokens[i];
        if (isSymbol(t, QLatin1StringView("(")))
            ++depth;
        else if (isSymbol(t, QLatin1StringView(")")))
            --depth;
        if (depth != 0 || !isWord(t, QLatin1StringView("FROM")))
            continue;
        QString name;
        int k = nextSignificant(tokens, i);
        while (k >= 0) {
            const Kind kind = tokens[k].kind;
            if (kind != Kind::Word && kind != Kind::Bracketed && kind != Kind::Quoted)
                break;
            name += tokens[k].text;
            if (k + 1 < int(tokens.size()) && isSymbol(tokens[k + 1], QLatin1StringView("."))) {
                name += QLatin1Char('.');
                k += 2;
                if (k >= int(tokens.size()))
                    break;
            } else {
                break;
            }
        }
        return name;
    }
    return QString();
}

} // namespace kolvix
