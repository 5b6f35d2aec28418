#include "connections/sourcekey.h"

#include <QRegularExpression>

namespace tavrex {

QString encodeKey(const std::vector<KeyValue> &values)
{
    QStringList items;
    for (const KeyValue &v : values) {
        switch (v.kind) {
        case KeyValue::Kind::Number: items << QStringLiteral("i:") + QString::fromLatin1(v.bytes); break;
        case KeyValue::Kind::Temporal: items << QStringLiteral("d:") + QString::fromLatin1(v.bytes); break;
        case KeyValue::Kind::Text: items << QStringLiteral("t:") + QString::fromLatin1(v.bytes.toHex()); break;
        case KeyValue::Kind::Bytes: items << QStringLiteral("b:") + QString::fromLatin1(v.bytes.toHex()); break;
        }
    }
    return items.join(QLatin1Char(','));
}

std::optional<std::vector<KeyValue>> decodeKey(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    static const QRegularExpression temporal(QStringLiteral("^-?[0-9][0-9 :.-]*$"));
    static const QRegularExpression hex(QStringLiteral("^([0-9a-f][0-9a-f])*$"));
    if (text.isEmpty())
        return std::nullopt;
    std::vector<KeyValue> out;
    for (const QString &item : text.split(QLatin1Char(','))) {
        if (item.size() < 2 || item[1] != QLatin1Char(':'))
            return std::nullopt;
        const QString body = item.mid(2);
        KeyValue v;
        switch (item[0].unicode()) {
        case 'i':
            if (!number.match(body).hasMatch())
                return std::nullopt;
            v.kind = KeyValue::Kind::Number;
            v.bytes = body.toLatin1();
            break;
        case 'd':
            if (!temporal.match(body).hasMatch())
                return std::nullopt;
            v.kind = KeyValue::Kind::Temporal;
            v.bytes = body.toLatin1();
            break;
        case 't':
        case 'b':
            if (!hex.match(body).hasMatch())
                return std::nullopt;
            v.kind = item[0] == QLatin1Char('t') ? KeyValue::Kind::Text : KeyValue::Kind::Bytes;
            v.bytes = QByteArray::fromHex(body.toLatin1());
            break;
        default: return std::nullopt;
        }
        out.push_back(std::move(v));
    }
    return out;
}

QString keyAfterCondition(const QStringList &columns, const std::vector<KeyValue> &values,
                          const QString &characterSet)
{
    static const QRegularExpression charsetName(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (columns.isEmpty() || size_t(columns.size()) != values.size())
        return QString();
    QStringList names, literals;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        names << QLatin1Char('`') + QString(columns[i]).replace(QLatin1Char('`'), QStringLiteral("``")) +
                     QLatin1Char('`');
        const KeyValue &v = values[size_t(i)];
        switch (v.kind) {
        case KeyValue::Kind::Number: literals << QString::fromLatin1(v.bytes); break;
        case KeyValue::Kind::Temporal: literals << QLatin1Char('\'') + QString::fromLatin1(v.bytes) + QLatin1Char('\''); break;
        case KeyValue::Kind::Text: {
            const QString set = characterSet.isEmpty() ? QStringLiteral("utf8mb4") : characterSet;
            if (!charsetName.match(set).hasMatch())
                return QString();
            literals << QLatin1Char('_') + set + QStringLiteral(" X'") + QString::fromLatin1(v.bytes.toHex()) +
                            QLatin1Char('\'');
            break;
        }
        case KeyValue::Kind::Bytes:
            literals << QStringLiteral("X'") + QString::fromLatin1(v.bytes.toHex()) + QLatin1Char('\'');
            break;
        }
    }
    if (names.size() == 1)
        return names.first() + QStringLiteral(" > ") + literals.first();
    return QLatin1Char('(') + names.join(QLatin1Char(',')) + QStringLiteral(") > (") + literals.join(QLatin1Char(',')) +
           QLatin1Char(')');
}

} // namespace tavrex
