#include "tests/support/ocidouble/ocidoublesql.h"

namespace tavrex::ocidouble {

namespace {

// A small cursor over a statement text.
class Reader {
public:
    explicit Reader(const QString &text) : t_(text) {}

    void skipSpace()
    {
        for (;;) {
            while (i_ < t_.size() && t_[i_].isSpace())
                ++i_;
            if (t_.mid(i_, 2) == QLatin1String("--")) {
                while (i_ < t_.size() && t_[i_] != QLatin1Char('\n'))
                    ++i_;
            } else if (t_.mid(i_, 2) == QLatin1String("/*")) {
                const qsizetype end = t_.indexOf(QLatin1String("*/"), i_ + 2);
                i_ = end < 0 ? t_.size() : end + 2;
            } else {
                return;
            }
        }
    }
    bool atEnd()
    {
        skipSpace();
        return i_ >= t_.size();
    }
    // A bare word (letters, digits, _ $ #), upper-cased.
    QString word()
    {
        skipSpace();
        const qsizetype start = i_;
        while (i_ < t_.size() && (t_[i_].isLetterOrNumber() || t_[i_] == QLatin1Char('_') ||
                                  t_[i_] == QLatin1Char('$') || t_[i_] == QLatin1Char('#')))
            ++i_;
        return t_.mid(start, i_ - start).toUpper();
    }
    bool keyword(const char *expected)
    {
        const qsizetype at = i_;
        if (word() == QLatin1String(expected))
            return true;
        i_ = at;
        return false;
    }
    bool symbol(QChar c)
    {
        skipSpace();
        if (i_ < t_.size() && t_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    // "Quoted" kept exactly, or a bare word upper-cased; empty on failure.
    QString identifier()
    {
        skipSpace();
        if (i_ < t_.size() && t_[i_] == QLatin1Char('"')) {
            const qsizetype end = t_.indexOf(QLatin1Char('"'), i_ + 1);
            if (end < 0)
                return QString();
            const QString name = t_.mid(i_ + 1, end - i_ - 1);
            i_ = end + 1;
            return name;
        }
        return word();
    }
    // 'text' with '' for a quote, or a bare word as written.
    std::optional<QString> value()
    {
        skipSpace();
        if (i_ < t_.size() && t_[i_] == QLatin1Char('\'')) {
            QString out;
            for (++i_; i_ < t_.size(); ++i_) {
                if (t_[i_] == QLatin1Char('\'')) {
                    if (i_ + 1 < t_.size() && t_[i_ + 1] == QLatin1Char('\'')) {
                        out += QLatin1Char('\'');
                        ++i_;
                        continue;
                    }
                    ++i_;
                    return out;
                }
                out += t_[i_];
            }
            return std::nullopt;
        }
        const QString w = word();
        if (w.isEmpty())
            return std::nullopt;
        return w;
    }
    // Whether the next character is c, without moving.
    bool peek(QChar c)
    {
        skipSpace();
        return i_ < t_.size() && t_[i_] == c;
    }
    // :N
    bool placeholder()
    {
        if (!symbol(QLatin1Char(':')))
            return false;
        return !word().isEmpty();
    }

private:
    const QString &t_;
    qsizetype i_ = 0;
};

} // namespace

StatementKind statementKind(const QString &sql)
{
    Reader r(sql);
    const QString first = r.word();
    if (first == QLatin1String("SELECT"))
        return StatementKind::Select;
    if (first == QLatin1String("INSERT"))
        return StatementKind::Insert;
    if (first == QLatin1String("COMMIT"))
        return StatementKind::Commit;
    if (first == QLatin1String("ROLLBACK"))
        return StatementKind::Rollback;
    const QString second = r.word();
    if (first == QLatin1String("ALTER") && second == QLatin1String("SESSION"))
        return StatementKind::AlterSession;
    if (first == QLatin1String("CREATE") && second == QLatin1String("TABLE"))
        return StatementKind::CreateTable;
    return StatementKind::Other;
}

std::optional<InsertShape> parseInsert(const QString &sql)
{
    Reader r(sql);
    InsertShape shape;
    if (!r.keyword("INSERT") || !r.keyword("INTO"))
        return std::nullopt;
    shape.table = r.identifier();
    if (shape.table.isEmpty() || !r.symbol(QLatin1Char('(')))
        return std::nullopt;
    do {
        const QString column = r.identifier();
        if (column.isEmpty())
            return std::nullopt;
        shape.columns.append(column);
    } while (r.symbol(QLatin1Char(',')));
    if (!r.symbol(QLatin1Char(')')) || !r.keyword("VALUES") || !r.symbol(QLatin1Char('(')))
        return std::nullopt;
    static const struct {
        const char *name;
        Conversion conversion;
    } functions[] = {{"TO_NUMBER", Conversion::Number},
                     {"TO_TIMESTAMP", Conversion::Timestamp},
                     {"TO_DSINTERVAL", Conversion::DsInterval},
                     {"TO_BINARY_FLOAT", Conversion::BinaryFloat},
                     {"TO_BINARY_DOUBLE", Conversion::BinaryDouble},
                     {"SDO_GEOMETRY", Conversion::Geometry}};
    int position = 0;
    do {
        if (r.keyword("NULL")) {
            shape.positions.append(0);
            shape.conversions.append(Conversion::None);
            shape.formats.append(QString());
            shape.srids.append(0);
            continue;
        }
        Conversion conversion = Conversion::None;
        for (const auto &f : functions) {
            if (r.keyword(f.name)) {
                if (!r.symbol(QLatin1Char('(')))
                    return std::nullopt;
                conversion = f.conversion;
                break;
            }
        }
        if (!r.placeholder())
            return std::nullopt;
        QString format;
        if (conversion == Conversion::Timestamp) {
            // The format is a quoted text; a bare word would be a column.
            if (!r.symbol(QLatin1Char(',')) || !r.peek(QLatin1Char('\'')))
                return std::nullopt;
            const std::optional<QString> text = r.value();
            if (!text)
                return std::nullopt;
            format = *text;
        }
        quint32 srid = 0;
        if (conversion == Conversion::Geometry && r.symbol(QLatin1Char(','))) {
            // The SRID as a number written in the text.
            const std::optional<QString> number = r.value();
            bool ok = false;
            srid = number ? number->toUInt(&ok) : 0;
            if (!ok || srid == 0)
                return std::nullopt;
        }
        if (conversion != Conversion::None && !r.symbol(QLatin1Char(')')))
            return std::nullopt;
        shape.positions.append(++position);
        shape.conversions.append(conversion);
        shape.formats.append(format);
        shape.srids.append(srid);
    } while (r.symbol(QLatin1Char(',')));
    if (!r.symbol(QLatin1Char(')')) || !r.atEnd())
        return std::nullopt;
    return shape;
}

std::optional<QHash<QString, QString>> parseAlterSession(const QString &sql)
{
    Reader r(sql);
    if (!r.keyword("ALTER") || !r.keyword("SESSION") || !r.keyword("SET"))
        return std::nullopt;
    QHash<QString, QString> settings;
    while (!r.atEnd()) {
        const QString name = r.word();
        if (name.isEmpty() || !r.symbol(QLatin1Char('=')))
            return std::nullopt;
        const std::optional<QString> value = r.value();
        if (!value)
            return std::nullopt;
        settings.insert(name, *value);
    }
    if (settings.isEmpty())
        return std::nullopt;
    return settings;
}

} // namespace tavrex::ocidouble
