#include "connections/embedded/embeddedsql.h"

#include <QRegularExpression>
#include <QSet>

#include <cctype>

#include <limits>

namespace tavrex::embedded {

namespace {

// ------------------------------------------------------------------ lexer

struct Token {
    enum class Type { Word, Quoted, String, Integer, Symbol, End };
    Type type = Type::End;
    QString text;  // Word: upper-cased; Quoted: exact; String: '' undone; Integer: digits; Symbol: the char
    qsizetype start = 0;  // the token's place in the statement text
    qsizetype end = 0;
};

[[noreturn]] void fail(int code, const char *text)
{
    throw oraError(code, QString::fromLatin1(text));
}

bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f' || u == u'\v';
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#';
}

void checkLength(const QString &identifier)
{
    if (identifier.size() > kMaxIdentifier)
        fail(972, "identifier is too long");
}

QVector<Token> lex(const QString &sql)
{
    QVector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (isSpace(c)) {
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {  // -- comment to the end of the line
            while (i < n && sql[i] != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {  // /* comment */
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            continue;
        }
        Token t;
        t.start = i;
        if (c.isLetter()) {
            const qsizetype start = i;
            while (i < n && isWordChar(sql[i]))
                ++i;
            t.type = Token::Type::Word;
            t.text = sql.mid(start, i - start);
            // Unquoted identifiers are read in upper case, one character at a
            // time (Oracle's UPPER, without changing the length).
            for (QChar &ch : t.text)
                ch = ch.toUpper();
            checkLength(t.text);
        } else if (c == u'"') {
            const qsizetype end = sql.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                fail(1740, "missing double quote in identifier");
            t.type = Token::Type::Quoted;
            t.text = sql.mid(i + 1, end - i - 1);
            if (t.text.isEmpty())
                fail(1741, "illegal zero-length identifier");
            checkLength(t.text);
            i = end + 1;
        } else if (c == u'\'') {
            t.type = Token::Type::String;
            ++i;
            bool closed = false;
            while (i < n) {
                if (sql[i] == u'\'') {
                    if (i + 1 < n && sql[i + 1] == u'\'') {
                        t.text += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                t.text += sql[i++];
            }
            if (!closed)
                fail(1756, "quoted string not properly terminated");
        } else if (c >= u'0' && c <= u'9') {
            const qsizetype start = i;
            while (i < n && sql[i] >= u'0' && sql[i] <= u'9')
                ++i;
            t.type = Token::Type::Integer;
            t.text = sql.mid(start, i - start);
        } else if (QStringView(u"(),=*;.-+").contains(c)) {
            t.type = Token::Type::Symbol;
            t.text = QString(c);
            ++i;
        } else {
            fail(911, "invalid character");
        }
        t.end = i;
        tokens.append(t);
    }
    Token endToken;
    endToken.start = endToken.end = n;
    tokens.append(endToken);  // End
    return tokens;
}

// Oracle's SQL reserved words (the SQL Language Reference appendix "Oracle
// SQL Reserved Words"): not usable as unquoted identifiers.
const QSet<QString> &reservedWords()
{
    static const QSet<QString> words = [] {
        QSet<QString> s;
        const char *list[] = {
            "ACCESS",  "ADD",       "ALL",       "ALTER",     "AND",        "ANY",       "AS",        "ASC",
            "AUDIT",   "BETWEEN",   "BY",        "CHAR",      "CHECK",      "CLUSTER",   "COLUMN",    "COMMENT",
            "COMPRESS", "CONNECT",  "CREATE",    "CURRENT",   "DATE",       "DECIMAL",   "DEFAULT",   "DELETE",
            "DESC",    "DISTINCT",  "DROP",      "ELSE",      "EXCLUSIVE",  "EXISTS",    "FILE",      "FLOAT",
            "FOR",     "FROM",      "GRANT",     "GROUP",     "HAVING",     "IDENTIFIED", "IMMEDIATE", "IN",
            "INCREMENT", "INDEX",   "INITIAL",   "INSERT",    "INTEGER",    "INTERSECT", "INTO",      "IS",
            "LEVEL",   "LIKE",      "LOCK",      "LONG",      "MAXEXTENTS", "MINUS",     "MLSLABEL",  "MODE",
            "MODIFY",  "NOAUDIT",   "NOCOMPRESS", "NOT",      "NOWAIT",     "NULL",      "NUMBER",    "OF",
            "OFFLINE", "ON",        "ONLINE",    "OPTION",    "OR",         "ORDER",     "PCTFREE",   "PRIOR",
            "PRIVILEGES", "PUBLIC", "RAW",       "RENAME",    "RESOURCE",   "REVOKE",    "ROW",       "ROWID",
            "ROWNUM",  "ROWS",      "SELECT",    "SESSION",   "SET",        "SHARE",     "SIZE",      "SMALLINT",
            "START",   "SUCCESSFUL", "SYNONYM",  "SYSDATE",   "TABLE",      "THEN",      "TO",        "TRIGGER",
            "UID",     "UNION",     "UNIQUE",    "UPDATE",    "USER",       "VALIDATE",  "VALUES",    "VARCHAR",
            "VARCHAR2", "VIEW",     "WHENEVER",  "WHERE",     "WITH"};
        for (const char *w : list)
            s.insert(QString::fromLatin1(w));
        return s;
    }();
    return words;
}

// ------------------------------------------------------------------ literals

int digitsIn(QStringView t, qsizetype pos, int count)
{
    if (pos + count > t.size())
        return -1;
    int v = 0;
    for (int k = 0; k < count; ++k) {
        const QChar c = t[pos + k];
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

// ".f" to ".fffffffff" at pos, or nothing; -1 when malformed.
int fractionIn(QStringView t, qsizetype pos)
{
    if (pos == t.size())
        return 0;
    if (t[pos] != u'.' || pos + 1 == t.size() || t.size() - pos - 1 > 9)
        return -1;
    const int digits = int(t.size() - pos - 1);
    const int v = digitsIn(t, pos + 1, digits);
    if (v < 0)
        return -1;
    static const int scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
    return v * scale[9 - digits];
}

// 'YYYY-MM-DD HH24:MI:SS' and, with fractions allowed, '.f' to '.fffffffff'.
OracleTimestamp timestampLiteral(QStringView t, bool fractions)
{
    if (t.size() < 19 || t[4] != u'-' || t[7] != u'-' || t[10] != u' ' || t[13] != u':' || t[16] != u':')
        fail(1861, "literal does not match format string");
    OracleTimestamp ts;
    ts.date.year = digitsIn(t, 0, 4);
    ts.date.month = digitsIn(t, 5, 2);
    ts.date.day = digitsIn(t, 8, 2);
    ts.date.hour = digitsIn(t, 11, 2);
    ts.date.minute = digitsIn(t, 14, 2);
    ts.date.second = digitsIn(t, 17, 2);
    ts.nanosecond = fractions ? fractionIn(t, 19) : (t.size() == 19 ? 0 : -1);
    if (ts.date.year < 0 || ts.date.month < 0 || ts.date.day < 0 || ts.date.hour < 0 || ts.date.minute < 0 ||
        ts.date.second < 0)
        fail(1858, "a non-numeric character was found where a numeric was expected");
    if (ts.nanosecond < 0)
        fail(1830, "date format picture ends before converting entire input string");
    QString message;
    if (const int bad = validateDate(ts.date, &message))
        throw DatabaseError(message, bad);
    return ts;
}

// TO_DSINTERVAL's SQL form: '[+|-]D HH:MI:SS[.f...]', blanks around it.
OracleInterval intervalLiteral(QStringView text)
{
    const QStringView t = text.trimmed();
    OracleInterval iv;
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        iv.negative = t[i++] == u'-';
    const qsizetype dayStart = i;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9' && i - dayStart < 9)
        iv.days = iv.days * 10 + (t[i++].unicode() - u'0');
    if (i == dayStart || i + 9 > t.size() || t[i] != u' ' || t[i + 3] != u':' || t[i + 6] != u':')
        fail(1867, "the interval is invalid");
    iv.hours = digitsIn(t, i + 1, 2);
    iv.minutes = digitsIn(t, i + 4, 2);
    iv.seconds = digitsIn(t, i + 7, 2);
    iv.nanosecond = fractionIn(t, i + 9);
    if (iv.hours < 0 || iv.minutes < 0 || iv.seconds < 0 || iv.nanosecond < 0)
        fail(1867, "the interval is invalid");
    if (iv.hours > 23)
        fail(1850, "hour must be between 0 and 23");
    if (iv.minutes > 59)
        fail(1851, "minutes must be between 0 and 59");
    if (iv.seconds > 59)
        fail(1852, "seconds must be between 0 and 59");
    return iv;
}

// The value of a conversion function over a literal.
OracleValue conversion(const QString &function, const QString &literal, const QString &format)
{
    if (function == QLatin1String("TO_DATE")) {
        if (format != QLatin1String("YYYY-MM-DD HH24:MI:SS"))
            fail(1821, "date format not recognized");
        return OracleValue::date(timestampLiteral(literal, false).date);
    }
    if (function == QLatin1String("TO_TIMESTAMP")) {
        static const QRegularExpression fractionFormat(QStringLiteral("^YYYY-MM-DD HH24:MI:SS\\.FF[1-9]?$"));
        if (!fractionFormat.match(format).hasMatch())
            fail(1821, "date format not recognized");
        return OracleValue::timestamp(timestampLiteral(literal, true));
    }
    if (!format.isNull())
        fail(909, "invalid number of arguments");
    if (function == QLatin1String("TO_DSINTERVAL"))
        return OracleValue::interval(intervalLiteral(literal));
    if (function == QLatin1String("HEXTORAW")) {
        const QByteArray hex = literal.toLatin1();
        for (char c : hex) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                fail(1465, "invalid hex number");
        }
        // An odd number of digits reads as if a 0 led.
        return OracleValue::bytes(QByteArray::fromHex(hex.size() % 2 ? QByteArray("0") + hex : hex));
    }
    if (function == QLatin1String("TO_BINARY_DOUBLE") || function == QLatin1String("TO_BINARY_FLOAT"))
        return OracleValue::binaryNumber(literal);
    throw oraError(904, QStringLiteral("\"%1\": invalid identifier").arg(function));
}

// ------------------------------------------------------------------ parser

class Parser {
public:
    explicit Parser(const QString &sql) : sql_(sql), t_(lex(sql)) {}

    Statement parse()
    {
        if (word("SELECT"))
            return select();
        if (word("DROP") && word("TABLE", 1))
            return dropTable();
        if (word("CREATE") && word("TABLE", 1))
            return createTable();
        if (word("CREATE") && word("INDEX", 1))
            return createIndex();
        if (word("ALTER") && word("TABLE", 1))
            return alterTable();
        if (word("UPDATE"))
            return update();
        if (word("DELETE"))
            return deleteRows();
        if (word("COMMENT") && word("ON", 1))
            return comment();
        if (word("COMMIT") || word("ROLLBACK")) {
            Statement s;
            s.kind = word("COMMIT") ? Statement::Kind::Commit : Statement::Kind::Rollback;
            next();
            takeWord("WORK");
            end(933, "SQL command not properly ended");
            return s;
        }
        fail(900, "invalid SQL statement");
    }

    // A DEFAULT expression on its own (parseDefault).
    DefaultExpression defaultOnly()
    {
        DefaultExpression e = defaultExpression();
        end(933, "SQL command not properly ended");
        return e;
    }

private:
    const Token &peek(int k = 0) const { return t_[qMin(i_ + k, int(t_.size()) - 1)]; }
    bool word(const char *keyword, int k = 0) const
    {
        const Token &t = peek(k);
        return t.type == Token::Type::Word && t.text == QLatin1String(keyword);
    }
    bool symbol(char c, int k = 0) const
    {
        const Token &t = peek(k);
        return t.type == Token::Type::Symbol && t.text == QLatin1Char(c);
    }
    bool atEnd() const { return peek().type == Token::Type::End; }
    void next() { ++i_; }
    bool takeWord(const char *keyword)
    {
        if (!word(keyword))
            return false;
        next();
        return true;
    }
    bool takeSymbol(char c)
    {
        if (!symbol(c))
            return false;
        next();
        return true;
    }
    // An identifier at the cursor: quoted, or unquoted and not reserved.
    bool identifierHere() const
    {
        const Token &t = peek();
        return t.type == Token::Type::Quoted || (t.type == Token::Type::Word && !reservedWords().contains(t.text));
    }
    QString takeIdentifier(int code, const char *text)
    {
        if (!identifierHere())
            fail(code, text);
        QString name = peek().text;
        next();
        return name;
    }
    QString takeTableName() { return takeIdentifier(903, "invalid table name"); }
    void end(int code, const char *text)
    {
        if (!atEnd())
            fail(code, text);
    }
    [[noreturn]] void unsupported() { fail(900, "invalid SQL statement"); }

    // select count(*) [alias] from all_tables where table_name='T' and upper(owner)='O'
    // select count(*) [alias] from T
    // select * from T where 1=0
    // select * from T
    Statement select()
    {
        next();
        Statement s;
        if (!symbol('*') && !word("COUNT"))
            return selectColumns();
        if (symbol('*')) {
            next();
            if (!takeWord("FROM"))
                unsupported();
            s.kind = Statement::Kind::DescribeTable;
            s.table = takeTableName();
            const bool describeQuery = word("WHERE") && peek(1).type == Token::Type::Integer &&
                                       peek(1).text == QLatin1String("1") && symbol('=', 2);
            if (!describeQuery) {
                s.kind = Statement::Kind::SelectTable;
                queryTail(s, QString());
                return s;
            }
            i_ += 2;
            if (!(takeSymbol('=') && peek().type == Token::Type::Integer && peek().text == QLatin1String("0")))
                unsupported();
            next();
            end(933, "SQL command not properly ended");
            return s;
        }
        if (!(takeWord("COUNT") && takeSymbol('(') && takeSymbol('*') && takeSymbol(')')))
            unsupported();
        if (peek().type == Token::Type::Word && !word("FROM"))
            next();  // the column alias (cn)
        if (!takeWord("FROM"))
            unsupported();
        if (!(peek().type == Token::Type::Word && word("ALL_TABLES"))) {
            // select count(*) [alias] from T: the rows of a table
            s.kind = Statement::Kind::CountRows;
            s.table = takeTableName();
            end(933, "SQL command not properly ended");
            return s;
        }
        if (!(takeWord("ALL_TABLES") && takeWord("WHERE")))
            unsupported();
        s.kind = Statement::Kind::CountTables;
        bool haveTable = false, haveOwner = false;
        for (int cond = 0; cond < 2; ++cond) {
            if (cond == 1 && !takeWord("AND"))
                unsupported();
            if (!haveTable && takeWord("TABLE_NAME")) {
                if (!(takeSymbol('=') && peek().type == Token::Type::String))
                    unsupported();
                s.tableLiteral = peek().text;
                next();
                haveTable = true;
            } else if (!haveOwner && takeWord("UPPER")) {
                if (!(takeSymbol('(') && takeWord("OWNER") && takeSymbol(')') && takeSymbol('=') &&
                      peek().type == Token::Type::String))
                    unsupported();
                s.ownerLiteral = peek().text;
                next();
                haveOwner = true;
            } else {
                unsupported();
            }
        }
        end(933, "SQL command not properly ended");
        return s;
    }

    // alias."A": the alias and the column.
    void aliasedColumn(QString *alias, QString *column)
    {
        if (!identifierHere() || !symbol('.', 1))
            unsupported();  // other select lists: not forms Tavrex sends
        *alias = peek().text;
        i_ += 2;
        *column = takeIdentifier(904, ": invalid identifier");
    }

    // [alias.]"A": the alias (empty when none) and the column.
    void column(QString *alias, QString *name)
    {
        alias->clear();
        if (!identifierHere())
            unsupported();  // expressions: not forms Tavrex sends
        if (symbol('.', 1))
            aliasedColumn(alias, name);
        else
            *name = takeIdentifier(904, ": invalid identifier");
    }

    // update T set "A" = literal [, "B" = literal ...] [where ...]
    Statement update()
    {
        next();
        Statement s;
        s.kind = Statement::Kind::Update;
        s.table = takeTableName();
        if (!takeWord("SET"))
            fail(971, "missing SET keyword");
        do {
            ColumnLiteral a;
            a.column = takeIdentifier(904, ": invalid identifier");
            if (!takeSymbol('='))
                fail(927, "missing equal sign");
            const DefaultExpression e = defaultExpression();
            if (e.kind != DefaultExpression::Kind::Value)
                unsupported();  // the clock: not a form Tavrex sends
            a.value = e.value;
            s.assignments.append(a);
        } while (takeSymbol(','));
        queryTail(s, QString());
        if (s.forUpdate.kind != RowLockClause::Kind::None)
            fail(933, "SQL command not properly ended");
        return s;
    }

    // delete [from] T [where ...]
    Statement deleteRows()
    {
        next();
        Statement s;
        s.kind = Statement::Kind::Delete;
        takeWord("FROM");
        s.table = takeTableName();
        queryTail(s, QString());
        if (s.forUpdate.kind != RowLockClause::Kind::None)
            fail(933, "SQL command not properly ended");
        return s;
    }

    // What may follow a query's table (and its alias):
    //   [where cond {and cond}] [for update [nowait | wait n]]
    // cond: [alias.]"A" = literal | [alias.]"A" is null; literal: 'text' or a number.
    void queryTail(Statement &s, const QString &alias)
    {
        if (takeWord("WHERE")) {
            do {
                Condition c;
                QString a;
                column(&a, &c.column);
                if (!a.isEmpty() && a != alias)
                    throw oraError(904, QStringLiteral("\"%1\".\"%2\": invalid identifier").arg(a, c.column));
                if (takeWord("IS")) {
                    if (!takeWord("NULL"))
                        fail(908, "missing NULL keyword");
                    c.isNull = true;
                } else {
                    if (!takeSymbol('='))
                        fail(920, "invalid relational operator");
                    if (peek().type == Token::Type::String) {
                        c.literal = OracleValue::text(peek().text);
                        next();
                    } else {
                        c.literal = OracleValue::number(numberLiteral());
                    }
                }
                s.where.append(c);
            } while (takeWord("AND"));
        }
        if (takeWord("FOR")) {
            if (!takeWord("UPDATE"))
                unsupported();
            s.forUpdate.kind = RowLockClause::Kind::Wait;
            if (takeWord("NOWAIT")) {
                s.forUpdate.kind = RowLockClause::Kind::NoWait;
            } else if (takeWord("WAIT")) {
                qint64 seconds = 0;
                if (!takeInteger(&seconds))
                    fail(30005, "missing or invalid WAIT interval");
                s.forUpdate.kind = RowLockClause::Kind::WaitSeconds;
                s.forUpdate.seconds = int(std::min<qint64>(seconds, std::numeric_limits<int>::max()));
            }
        }
        end(933, "SQL command not properly ended");
    }

    // select item, ... from T alias, the items by the alias (SelectItem):
    // the verification's reading of a table with SDO_GEOMETRY columns.
    Statement selectColumns()
    {
        Statement s;
        s.kind = Statement::Kind::SelectColumns;
        QStringList aliases;
        for (;;) {
            const qsizetype from = peek().start;
            SelectItem item;
            QString alias;
            if (takeWord("CASE")) {
                // case when a."G" is null then null else sdo_util.to_wkbgeometry(a."G") end
                if (!takeWord("WHEN"))
                    unsupported();
                aliasedColumn(&alias, &item.column);
                if (!(takeWord("IS") && takeWord("NULL") && takeWord("THEN") && takeWord("NULL") &&
                      takeWord("ELSE") && takeWord("SDO_UTIL") && takeSymbol('.') && takeWord("TO_WKBGEOMETRY") &&
                      takeSymbol('(')))
                    unsupported();
                QString alias2, column2;
                aliasedColumn(&alias2, &column2);
                if (alias2 != alias || column2 != item.column || !takeSymbol(')') || !takeWord("END"))
                    unsupported();
                item.part = SelectItem::Part::Wkb;
            } else {
                column(&alias, &item.column);
                if (!alias.isEmpty() && takeSymbol('.')) {
                    if (!takeWord("SDO_SRID"))
                        unsupported();
                    item.part = SelectItem::Part::Srid;
                }
            }
            item.text = sql_.mid(from, t_[i_ - 1].end - from);
            aliases.append(alias);
            s.items.append(item);
            if (takeSymbol(','))
                continue;
            break;
        }
        if (!takeWord("FROM"))
            fail(923, "FROM keyword not found where expected");
        s.table = takeTableName();
        // The table's alias, which the items may name.
        QString alias;
        if (identifierHere())
            alias = takeIdentifier(933, "SQL command not properly ended");
        for (int k = 0; k < aliases.size(); ++k) {
            if (!aliases[k].isEmpty() && aliases[k] != alias)
                throw oraError(904, QStringLiteral("\"%1\".\"%2\": invalid identifier").arg(aliases[k], s.items[k].column));
        }
        queryTail(s, alias);
        return s;
    }

    // drop table T [cascade constraints] [purge]
    Statement dropTable()
    {
        i_ += 2;
        Statement s;
        s.kind = Statement::Kind::DropTable;
        s.table = takeTableName();
        if (takeWord("CASCADE")) {
            if (!takeWord("CONSTRAINTS"))
                fail(905, "missing keyword");
            s.cascadeConstraints = true;
        }
        takeWord("PURGE");
        end(933, "SQL command not properly ended");
        return s;
    }

    // create table T ( "A" number , "B" varchar2(40) , ... )
    Statement createTable()
    {
        i_ += 2;
        Statement s;
        s.kind = Statement::Kind::CreateTable;
        s.table = takeTableName();
        if (word("AS"))
            unsupported();  // CREATE TABLE ... AS SELECT: not a form Tavrex sends
        if (atEnd())
            fail(906, "missing left parenthesis");
        if (!takeSymbol('('))
            fail(922, "missing or invalid option");
        QSet<QString> seen;
        for (;;) {
            ColumnSpec col;
            col.name = takeIdentifier(904, ": invalid identifier");
            columnType(col);
            columnOptions(col);
            if (seen.contains(col.name))
                fail(957, "duplicate column name");
            seen.insert(col.name);
            s.columns.append(col);
            if (takeSymbol(','))
                continue;
            if (takeSymbol(')'))
                break;
            fail(907, "missing right parenthesis");
        }
        if (s.columns.size() > kMaxColumns)
            fail(1792, "maximum number of columns in a table or view is 1000");
        end(922, "missing or invalid option");
        return s;
    }

    // An integer between parentheses; a text too long for int counts as too big.
    bool takeInteger(qint64 *value)
    {
        if (peek().type != Token::Type::Integer)
            return false;
        bool ok = false;
        *value = peek().text.toLongLong(&ok);
        if (!ok)
            *value = std::numeric_limits<qint64>::max();
        next();
        return true;
    }

    void columnType(ColumnSpec &col)
    {
        const Token &t = peek();
        if (t.type != Token::Type::Word) {
            if (atEnd())
                fail(907, "missing right parenthesis");
            fail(902, "invalid datatype");
        }
        const QString type = t.text;
        next();
        if (type == QLatin1String("VARCHAR2") || type == QLatin1String("CHAR") || type == QLatin1String("RAW")) {
            col.type = type == QLatin1String("VARCHAR2") ? OraType::Varchar2
                       : type == QLatin1String("CHAR")   ? OraType::Char
                                                         : OraType::Raw;
            if (!symbol('(')) {
                if (col.type != OraType::Char)
                    fail(906, "missing left parenthesis");
                col.length = 1;  // CHAR without a size is CHAR(1)
                return;
            }
            next();
            qint64 n = 0;
            if (!takeInteger(&n))
                fail(907, "missing right parenthesis");
            if (col.type != OraType::Raw) {
                if (takeWord("BYTE"))
                    col.byteSemantics = true;
                else
                    takeWord("CHAR");
            }
            if (!takeSymbol(')'))
                fail(907, "missing right parenthesis");
            const qint64 max = col.type == OraType::Varchar2 ? 4000 : 2000;
            if (n == 0)
                fail(1723, "zero-length columns are not allowed");
            if (n > max)
                fail(910, "specified length too long for its datatype");
            col.length = int(n);
            return;
        }
        if (type == QLatin1String("NUMBER")) {
            col.type = OraType::Number;
            if (!takeSymbol('('))
                return;
            qint64 p = 0;
            if (takeSymbol('*')) {
                p = 0;  // NUMBER(*,s): the full 38 digits
            } else if (takeInteger(&p)) {
                if (p < 1 || p > 38)
                    fail(1727, "numeric precision specifier is out of range (1 to 38)");
            } else {
                fail(907, "missing right parenthesis");
            }
            qint64 s = 0;
            if (takeSymbol(',')) {
                const bool negative = takeSymbol('-');
                if (!negative)
                    takeSymbol('+');
                if (!takeInteger(&s))
                    fail(907, "missing right parenthesis");
                if (negative)
                    s = -s;
                if (s < -84 || s > 127)
                    fail(1728, "numeric scale specifier is out of range (-84 to 127)");
            }
            if (!takeSymbol(')'))
                fail(907, "missing right parenthesis");
            col.precision = int(p);
            col.scale = int(s);
            col.scaled = true;
            return;
        }
        if (type == QLatin1String("BINARY_FLOAT") || type == QLatin1String("BINARY_DOUBLE")) {
            col.type = type == QLatin1String("BINARY_FLOAT") ? OraType::BinaryFloat : OraType::BinaryDouble;
            return;
        }
        if (type == QLatin1String("TIMESTAMP")) {
            col.type = OraType::Timestamp;
            col.fraction = optionalPrecision(6);
            return;
        }
        if (type == QLatin1String("INTERVAL")) {
            col.type = OraType::Interval;
            if (!takeWord("DAY"))
                fail(902, "invalid datatype");  // INTERVAL YEAR TO MONTH is not kept here
            col.dayPrecision = optionalPrecision(2);
            if (!(takeWord("TO") && takeWord("SECOND")))
                fail(905, "missing keyword");
            col.fraction = optionalPrecision(6);
            return;
        }
        // SDO_GEOMETRY, also named with its owner.
        if (type == QLatin1String("SDO_GEOMETRY") ||
            (type == QLatin1String("MDSYS") && symbol('.') && word("SDO_GEOMETRY", 1))) {
            if (type == QLatin1String("MDSYS"))
                i_ += 2;
            col.type = OraType::Geometry;
            if (symbol('('))
                fail(907, "missing right parenthesis");
            return;
        }
        if (type == QLatin1String("DATE") || type == QLatin1String("BLOB") || type == QLatin1String("CLOB")) {
            col.type = type == QLatin1String("DATE") ? OraType::Date
                       : type == QLatin1String("BLOB") ? OraType::Blob
                                                       : OraType::Clob;
            if (symbol('('))
                fail(907, "missing right parenthesis");
            return;
        }
        fail(902, "invalid datatype");
    }

    // "(n)" with n 0..9 (ORA-30088 otherwise), or the default when absent.
    int optionalPrecision(int fallback)
    {
        if (!takeSymbol('('))
            return fallback;
        qint64 n = 0;
        if (!takeInteger(&n))
            fail(907, "missing right parenthesis");
        if (!takeSymbol(')'))
            fail(907, "missing right parenthesis");
        if (n > 9)
            fail(30088, "datetime/interval precision is out of range");
        return int(n);
    }

    // [DEFAULT expr] [GENERATED BY DEFAULT [ON NULL] AS IDENTITY [(START WITH n)]] [NOT NULL | NULL]
    void columnOptions(ColumnSpec &col)
    {
        for (;;) {
            if (takeWord("DEFAULT")) {
                const qsizetype from = peek().start;
                defaultExpression();
                col.defaultText = sql_.mid(from, t_[i_ - 1].end - from);
                if (col.identity)
                    fail(30674, "identity column cannot have a default value");
            } else if (word("GENERATED")) {
                next();
                if (!(takeWord("BY") && takeWord("DEFAULT")))
                    unsupported();  // GENERATED ALWAYS: not a form Tavrex sends
                if (takeWord("ON") && !takeWord("NULL"))
                    fail(905, "missing keyword");
                if (!(takeWord("AS") && takeWord("IDENTITY")))
                    fail(905, "missing keyword");
                if (takeSymbol('(')) {
                    if (!(takeWord("START") && takeWord("WITH")))
                        fail(905, "missing keyword");
                    qint64 n = 0;
                    if (!takeInteger(&n))
                        fail(1722, "invalid number");
                    if (!takeSymbol(')'))
                        fail(907, "missing right parenthesis");
                }
                if (col.type != OraType::Number)
                    fail(30675, "identity column must be a numeric type");
                if (!col.defaultText.isNull())
                    fail(30674, "identity column cannot have a default value");
                col.identity = true;
                col.nullable = false;  // an identity column is NOT NULL
            } else if (takeWord("NOT")) {
                if (!takeWord("NULL"))
                    fail(905, "missing keyword");  // Oracle's ORA-00905 for NOT without NULL
                col.nullable = false;
            } else if (takeWord("NULL")) {
                // an identity column stays NOT NULL
            } else {
                return;
            }
        }
    }

    // The literal forms of a DEFAULT (see parseDefault).
    DefaultExpression defaultExpression()
    {
        DefaultExpression e;
        if (symbol('-') || symbol('+') || symbol('.') || peek().type == Token::Type::Integer) {
            e.value = OracleValue::number(numberLiteral());
            return e;
        }
        if (peek().type == Token::Type::String) {
            e.value = OracleValue::text(peek().text);
            next();
            return e;
        }
        if (takeWord("NULL"))
            return e;
        if (takeWord("SYSDATE")) {
            e.kind = DefaultExpression::Kind::Sysdate;
            return e;
        }
        if (takeWord("SYSTIMESTAMP")) {
            e.kind = DefaultExpression::Kind::Systimestamp;
            return e;
        }
        if (peek().type != Token::Type::Word || !symbol('(', 1))
            fail(936, "missing expression");
        const QString function = peek().text;
        next();
        next();
        if (peek().type != Token::Type::String)
            fail(936, "missing expression");
        const QString literal = peek().text;
        next();
        QString format;
        if (takeSymbol(',')) {
            if (peek().type != Token::Type::String)
                fail(936, "missing expression");
            format = peek().text.toUpper();
            next();
        }
        if (!takeSymbol(')'))
            fail(907, "missing right parenthesis");
        e.value = conversion(function, literal, format);
        return e;
    }

    // [sign] digits [. digits] | [sign] . digits
    QString numberLiteral()
    {
        QString text;
        if (symbol('-') || symbol('+')) {
            if (symbol('-'))
                text += QLatin1Char('-');
            next();
        }
        bool digits = false;
        if (peek().type == Token::Type::Integer) {
            text += peek().text;
            next();
            digits = true;
        }
        if (symbol('.')) {
            next();
            text += QLatin1Char('.');
            if (peek().type == Token::Type::Integer) {
                text += peek().text;
                next();
                digits = true;
            }
        }
        if (!digits)
            fail(936, "missing expression");
        return text;
    }

    QStringList keyColumns()
    {
        if (!takeSymbol('('))
            fail(906, "missing left parenthesis");
        QStringList cols;
        for (;;) {
            const QString c = takeIdentifier(904, ": invalid identifier");
            if (cols.contains(c))
                fail(957, "duplicate column name");
            cols.append(c);
            if (takeSymbol(','))
                continue;
            if (takeSymbol(')'))
                break;
            fail(907, "missing right parenthesis");
        }
        if (cols.size() > kMaxKeyColumns)
            fail(1793, "maximum number of index columns is 32");
        return cols;
    }

    // alter table T add [constraint C] primary key (A,B) | unique (A,B) | check (cond)
    //                   | foreign key (A,B) references P [(X,Y)] [on delete cascade | set null]
    // alter table T modify [(] "A" generated by default as identity (start with ...) [)]
    Statement alterTable()
    {
        i_ += 2;
        Statement s;
        s.table = takeTableName();
        if (takeWord("MODIFY"))
            return modifyIdentity(s);
        if (!takeWord("ADD"))
            unsupported();
        if (takeWord("CONSTRAINT"))
            s.name = takeIdentifier(904, ": invalid identifier");
        if (takeWord("PRIMARY")) {
            s.kind = Statement::Kind::AddPrimaryKey;
            if (!takeWord("KEY"))
                fail(905, "missing keyword");
            s.keyColumns = keyColumns();
        } else if (takeWord("UNIQUE")) {
            s.kind = Statement::Kind::AddUnique;
            s.keyColumns = keyColumns();
        } else if (takeWord("CHECK")) {
            s.kind = Statement::Kind::AddCheck;
            checkCondition(s);
        } else if (word("FOREIGN")) {
            next();
            if (!takeWord("KEY"))
                fail(905, "missing keyword");
            s.kind = Statement::Kind::AddForeignKey;
            s.keyColumns = keyColumns();
            if (!takeWord("REFERENCES"))
                fail(905, "missing keyword");
            s.refTable = takeTableName();
            if (symbol('('))
                s.refColumns = keyColumns();
            s.deleteRule = QStringLiteral("NO ACTION");
            if (takeWord("ON")) {
                if (!takeWord("DELETE"))
                    fail(905, "missing keyword");
                if (takeWord("CASCADE"))
                    s.deleteRule = QStringLiteral("CASCADE");
                else if (takeWord("SET") && takeWord("NULL"))
                    s.deleteRule = QStringLiteral("SET NULL");
                else
                    fail(905, "missing keyword");
            }
        } else {
            unsupported();  // column additions and other constraints: not forms Tavrex sends
        }
        end(933, "SQL command not properly ended");
        return s;
    }

    // ( "A" in ('x', 'y') ): the one condition Tavrex writes, an enum's values.
    void checkCondition(Statement &s)
    {
        if (!takeSymbol('('))
            fail(906, "missing left parenthesis");
        const qsizetype from = peek().start;
        s.checkColumn = takeIdentifier(904, ": invalid identifier");
        if (!(takeWord("IN") && takeSymbol('(')))
            unsupported();
        for (;;) {
            if (peek().type != Token::Type::String)
                fail(936, "missing expression");
            s.checkValues.append(peek().text);
            next();
            if (takeSymbol(','))
                continue;
            if (takeSymbol(')'))
                break;
            fail(907, "missing right parenthesis");
        }
        s.condition = sql_.mid(from, t_[i_ - 1].end - from);
        if (!takeSymbol(')'))
            fail(907, "missing right parenthesis");
    }

    Statement modifyIdentity(Statement &s)
    {
        s.kind = Statement::Kind::ModifyIdentity;
        const bool parenthesised = takeSymbol('(');
        s.column = takeIdentifier(904, ": invalid identifier");
        if (!(takeWord("GENERATED") && takeWord("BY") && takeWord("DEFAULT") && takeWord("AS") &&
              takeWord("IDENTITY")))
            unsupported();  // other column changes: not forms Tavrex sends
        if (!takeSymbol('('))
            fail(906, "missing left parenthesis");
        if (!(takeWord("START") && takeWord("WITH")))
            fail(905, "missing keyword");
        if (takeWord("LIMIT")) {
            if (!takeWord("VALUE"))
                fail(905, "missing keyword");
            s.startWithLimitValue = true;
        } else {
            const bool negative = takeSymbol('-');
            qint64 n = 0;
            if (!takeInteger(&n))
                fail(1722, "invalid number");
            s.startWith = negative ? -n : n;
        }
        if (!takeSymbol(')'))
            fail(907, "missing right parenthesis");
        if (parenthesised && !takeSymbol(')'))
            fail(907, "missing right parenthesis");
        end(933, "SQL command not properly ended");
        return s;
    }

    // comment on table T is 'text' | comment on column T.A is 'text'
    Statement comment()
    {
        i_ += 2;
        Statement s;
        if (takeWord("TABLE")) {
            s.kind = Statement::Kind::CommentOnTable;
            s.table = takeTableName();
        } else if (takeWord("COLUMN")) {
            s.kind = Statement::Kind::CommentOnColumn;
            s.table = takeTableName();
            if (!takeSymbol('.'))
                fail(905, "missing keyword");
            s.column = takeIdentifier(904, ": invalid identifier");
        } else {
            unsupported();
        }
        if (!takeWord("IS"))
            fail(905, "missing keyword");
        if (peek().type != Token::Type::String)
            fail(1780, "string literal required");
        s.comment = peek().text;
        next();
        end(933, "SQL command not properly ended");
        return s;
    }

    // create index I on T (A,B)
    Statement createIndex()
    {
        i_ += 2;
        Statement s;
        s.kind = Statement::Kind::CreateIndex;
        s.name = takeIdentifier(953, "missing or invalid index name");
        if (!takeWord("ON"))
            fail(969, "missing ON keyword");
        s.table = takeTableName();
        s.keyColumns = keyColumns();
        // The one indextype Tavrex sends: Oracle Text's.
        if (takeWord("INDEXTYPE")) {
            if (!takeWord("IS"))
                fail(905, "missing keyword");
            if (!(takeWord("CTXSYS") && takeSymbol('.') && takeWord("CONTEXT")))
                unsupported();
            s.indexType = QStringLiteral("CTXSYS.CONTEXT");
        }
        end(933, "SQL command not properly ended");
        return s;
    }

    QString sql_;
    QVector<Token> t_;
    int i_ = 0;
};

} // namespace

Statement parseStatement(const QString &sql)
{
    Parser p(sql);
    return p.parse();
}

DefaultExpression parseDefault(const QString &text)
{
    Parser p(text);
    return p.defaultOnly();
}

} // namespace tavrex::embedded
