#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tavrex {

// A key value as the record of conversions keeps it: kind and text, "i:-12" (an integer or
// decimal, its digits), "d:2024-01-31 10:00:00" (a date, time or both), "t:"
// and hexadecimal digits (text, in the bytes of the connection's character
// set), "b:" and hexadecimal digits (bytes).
struct KeyValue {
    enum class Kind { Number, Temporal, Text, Bytes };
    Kind kind = Kind::Number;
    QByteArray bytes;  // the digits, the temporal text, the text's or the bytes' bytes
};
QString encodeKey(const std::vector<KeyValue> &values);
// Empty when the text is not a key this record could have written (the
// record lives in the target and is read back: nothing in it is trusted).
std::optional<std::vector<KeyValue>> decodeKey(const QString &text);

// The MySQL condition of a continued read: "`A` > literal" for one column,
// "(`A`,`B`) > (literal, literal)" for several. Texts are written in the
// connection's character set (an introducer), so that the server compares
// them by the column's collation, as its "order by" sorts them. Empty when a
// value cannot be written (a key that does not decode).
QString keyAfterCondition(const QStringList &columns, const std::vector<KeyValue> &values,
                          const QString &characterSet);

} // namespace tavrex
