#include "connections/embedded/embeddedsql.h"

#include <QSet>

#include <limits>

namespace tavrex::embedded {

namespace {

// ------------------------------------------------------------------ lexer

struct Token {
    enum class Type { Word, Quoted, String, Integer, Symbol, End };
    Type type = Type::End;
    QString text;  // Word: upper-cased; Quoted: exact; String: '' undone; Integer: digits; Symbol: the char
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
        tokens.append(t);
    }
    tokens.append(Token());  // End
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

// ------------------------------------------------------------------ parser

class Parser {
public:
    explicit Parser(const QString &sql) : t_(lex(sql)) {}

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
        fail(900, "invalid SQL statement");
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
    // select * from T where 1=0
    // select * from T
    Statement select()
    {
        next();
        Statement s;
        if (symbol('*')) {
            next();
            if (!takeWord("FROM"))
                unsupported();
            s.kind = Statement::Kind::DescribeTable;
            s.table = takeTableName();
            if (atEnd()) {
                s.kind = Statement::Kind::SelectTable;
                return s;
            }
            if (!(takeWord("WHERE") && peek().type == Token::Type::Integer && peek().text == QLatin1String("1")))
                unsupported();
            next();
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
        if (!(takeWord("FROM") && takeWord("ALL_TABLES") && takeWord("WHERE")))
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

    // drop table T [cascade constraints] [purge]
    Statement dropTable()
    {
        i_ += 2;
        Statement s;
        s.kind = Statement::Kind::DropTable;
        s.table = takeTableName();
        if (takeWord("CASCADE") && !takeWord("CONSTRAINTS"))
            fail(905, "missing keyword");
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
            if (takeWord("NOT")) {
                if (!takeWord("NULL"))
                    fail(905, "missing keyword");  // Oracle's ORA-00905 for NOT without NULL
                col.nullable = false;
            } else {
                takeWord("NULL");
            }
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

    // alter table T  add [constraint C] primary key (A,B)
    Statement alterTable()
    {
        i_ += 2;
        Statement s;
        s.kind = Statement::Kind::AddPrimaryKey;
        s.table = takeTableName();
        if (!takeWord("ADD"))
            unsupported();
        if (takeWord("CONSTRAINT"))
            s.name = takeIdentifier(904, ": invalid identifier");
        if (!word("PRIMARY"))
            unsupported();  // UNIQUE, CHECK, FOREIGN KEY, columns: not forms Tavrex sends
        next();
        if (!takeWord("KEY"))
            fail(905, "missing keyword");
        s.keyColumns = keyColumns();
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
        end(933, "SQL command not properly ended");
        return s;
    }

    QVector<Token> t_;
    int i_ = 0;
};

} // namespace

Statement parseStatement(const QString &sql)
{
    Parser p(sql);
    return p.parse();
}

} // namespace tavrex::embedded
