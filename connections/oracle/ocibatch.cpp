#include "connections/oracle/ocibatch.h"

#include <algorithm>

namespace tavrex::oci {

namespace {

ub1 saturate(long long v)
{
    return ub1(std::clamp<long long>(v, 0, 255));
}

} // namespace

void encodeDate(const OracleDate &date, ub1 out[7])
{
    // Truncating division keeps the sign on both parts: -4712 gives 53, 88.
    out[0] = saturate(date.year / 100 + 100);
    out[1] = saturate(date.year % 100 + 100);
    out[2] = saturate(date.month);
    out[3] = saturate(date.day);
    out[4] = saturate(date.hour + 1LL);
    out[5] = saturate(date.minute + 1LL);
    out[6] = saturate(date.second + 1LL);
}

OracleDate decodeDate(const ub1 in[7])
{
    OracleDate d;
    d.year = (int(in[0]) - 100) * 100 + (int(in[1]) - 100);
    d.month = in[2];
    d.day = in[3];
    d.hour = in[4] - 1;
    d.minute = in[5] - 1;
    d.second = in[6] - 1;
    return d;
}

char *encodeUtf8(QStringView text, char *out)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x80) {
            *out++ = char(c);
            continue;
        }
        if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(char16_t(c), text[i + 1].unicode());
            ++i;
            *out++ = char(0xF0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3F));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
            continue;
        }
        if (QChar::isSurrogate(c))
            c = 0xFFFD;
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

OracleColumn columnFromDescribe(const DescribedItem &item)
{
    OracleColumn c;
    c.name = item.name;
    c.nullable = item.nullable;
    const bool national = item.charsetForm == SQLCS_NCHAR;
    switch (item.dataType) {
    case SQLT_CHR:
        c.type = national ? QStringLiteral("NVARCHAR2") : QStringLiteral("VARCHAR2");
        c.length = item.charSize ? item.charSize : item.dataSize;
        break;
    case SQLT_AFC:
        c.type = national ? QStringLiteral("NCHAR") : QStringLiteral("CHAR");
        c.length = item.charSize ? item.charSize : item.dataSize;
        break;
    case SQLT_NUM:
        c.type = QStringLiteral("NUMBER");
        // Scale -127 marks a number without a decimal scale: unconstrained
        // NUMBER (precision 0) or FLOAT (binary precision). Both take any
        // number the server can round.
        if (item.scale != -127) {
            c.precision = item.precision;
            c.scale = item.scale;
        }
        break;
    case SQLT_DAT: c.type = QStringLiteral("DATE"); break;
    case SQLT_BIN:
        c.type = QStringLiteral("RAW");
        c.length = item.dataSize;
        break;
    case SQLT_BLOB: c.type = QStringLiteral("BLOB"); break;
    case SQLT_CLOB: c.type = national ? QStringLiteral("NCLOB") : QStringLiteral("CLOB"); break;
    case SQLT_LNG: c.type = QStringLiteral("LONG"); break;
    case SQLT_LBI: c.type = QStringLiteral("LONG RAW"); break;
    case SQLT_IBFLOAT: c.type = QStringLiteral("BINARY_FLOAT"); break;
    case SQLT_IBDOUBLE: c.type = QStringLiteral("BINARY_DOUBLE"); break;
    case 114: c.type = QStringLiteral("BFILE"); break;
    case SQLT_NTY: c.type = item.typeName.isEmpty() ? QStringLiteral("TYPE %1").arg(item.dataType) : item.typeName; break;
    case SQLT_TIMESTAMP:
        c.type = QStringLiteral("TIMESTAMP");
        c.scale = item.scale;  // the fraction digits
        break;
    case 188: c.type = QStringLiteral("TIMESTAMP WITH TIME ZONE"); break;
    case 232: c.type = QStringLiteral("TIMESTAMP WITH LOCAL TIME ZONE"); break;
    case 189: c.type = QStringLiteral("INTERVAL YEAR TO MONTH"); break;
    case SQLT_INTERVAL_DS:
        c.type = QStringLiteral("INTERVAL DAY TO SECOND");
        c.precision = item.precision;  // the day digits
        c.scale = item.scale;          // the fraction digits
        break;
    default: c.type = QStringLiteral("TYPE %1").arg(item.dataType); break;
    }
    return c;
}

bool isLobType(const QString &columnType)
{
    const OracleColumnKind kind = oracleColumnKind(columnType);
    return kind == OracleColumnKind::Blob || kind == OracleColumnKind::Clob || kind == OracleColumnKind::NClob;
}

QString conversionText(const OracleValue &value)
{
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    switch (value.kind()) {
    case OracleValue::Kind::Timestamp: {
        const OracleTimestamp ts = value.timestampValue();
        const OracleDate &d = ts.date;
        return QStringLiteral("%1-%2-%3 %4:%5:%6.%7")
            .arg(d.year, 4, 10, QLatin1Char('0'))
            .arg(two(d.month), two(d.day), two(d.hour), two(d.minute), two(d.second))
            .arg(ts.nanosecond, 9, 10, QLatin1Char('0'));
    }
    case OracleValue::Kind::Interval: {
        const OracleInterval &iv = value.intervalValue();
        return QStringLiteral("%1%2 %3:%4:%5.%6")
            .arg(iv.negative ? QLatin1Char('-') : QLatin1Char('+'))
            .arg(iv.days)
            .arg(two(iv.hours), two(iv.minutes), two(iv.seconds))
            .arg(iv.nanosecond, 9, 10, QLatin1Char('0'));
    }
    default: return value.textValue();
    }
}

qint64 boundSize(const OracleValue &value)
{
    switch (value.kind()) {
    case OracleValue::Kind::Null: return 0;
    case OracleValue::Kind::Timestamp:
    case OracleValue::Kind::Interval: return conversionText(value).size();  // ASCII
    case OracleValue::Kind::Text:
    case OracleValue::Kind::BinaryNumber:
    case OracleValue::Kind::Number:
        if (value.isUtf8())
            return value.utf8Value().size();
        return utf8Size(value.textValue());
    case OracleValue::Kind::Date: return 7;
    case OracleValue::Kind::Bytes: return value.bytesValue().size();
    case OracleValue::Kind::Geometry: return qint64(sizeof(OCILobLocator *));  // its temporary LOB
    }
    return 0;
}

QVector<InsertRun> planInsertRuns(const OracleRowBatch &batch, qint64 bufferLimit)
{
    QVector<InsertRun> runs;
    const int columns = batch.columnCount();
    const int rows = batch.rowCount();
    InsertRun run;
    std::vector<qint64> sizes(size_t(columns), 0);
    auto startRun = [&](int row) {
        run = InsertRun();
        run.firstRow = row;
        run.kinds.fill(OracleValue::Kind::Null, columns);
        run.widths.fill(1, columns);
        run.srids.fill(0, columns);
    };
    startRun(0);
    using K = OracleValue::Kind;
    for (int r = 0; r < rows; ++r) {
        bool fits = true;
        qint64 newRowWidth = 0;
        for (int c = 0; c < columns; ++c) {
            const OracleValue &v = batch.at(r, c);
            sizes[size_t(c)] = boundSize(v);
            if (!v.isNull() && run.kinds[c] != K::Null && run.kinds[c] != v.kind())
                fits = false;
            // A geometry joins no NULLs, and no geometry of another SRID.
            if (v.kind() == K::Geometry && run.rowCount > 0 &&
                (run.kinds[c] == K::Null || run.srids[c] != v.sridValue()))
                fits = false;
            if (v.isNull() && run.kinds[c] == K::Geometry)
                fits = false;
            newRowWidth += std::max(run.widths[c], sizes[size_t(c)]);
        }
        if (run.rowCount > 0 && (!fits || newRowWidth * (run.rowCount + 1) > bufferLimit)) {
            runs.append(run);
            startRun(r);
        }
        for (int c = 0; c < columns; ++c) {
            const OracleValue &v = batch.at(r, c);
            if (!v.isNull())
                run.kinds[c] = v.kind();
            run.srids[c] = v.sridValue();
            run.widths[c] = std::max(run.widths[c], sizes[size_t(c)]);
        }
        ++run.rowCount;
    }
    if (run.rowCount > 0)
        runs.append(run);
    return runs;
}

ub2 bindType(OracleValue::Kind kind, const QString &columnType)
{
    switch (kind) {
    case OracleValue::Kind::Null:
    case OracleValue::Kind::Number:
    case OracleValue::Kind::Timestamp:
    case OracleValue::Kind::Interval:
    case OracleValue::Kind::BinaryNumber: return SQLT_CHR;
    case OracleValue::Kind::Text: {
        const OracleColumnKind column = oracleColumnKind(columnType);
        return column == OracleColumnKind::Clob || column == OracleColumnKind::NClob ? SQLT_LNG : SQLT_CHR;
    }
    case OracleValue::Kind::Date: return SQLT_DAT;
    case OracleValue::Kind::Bytes: return oracleColumnKind(columnType) == OracleColumnKind::Blob ? SQLT_LBI : SQLT_BIN;
    case OracleValue::Kind::Geometry: return SQLT_BLOB;
    }
    return SQLT_CHR;
}

QVector<int> bindOrder(const QVector<QString> &columnTypes)
{
    QVector<int> order;
    order.reserve(columnTypes.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (int c = 0; c < columnTypes.size(); ++c) {
            if (isLobType(columnTypes[c]) == (pass == 1))
                order.append(c);
        }
    }
    return order;
}

QString convertedPlaceholder(const QString &placeholder, OracleValue::Kind kind, const QString &columnType,
                             quint32 srid)
{
    switch (kind) {
    case OracleValue::Kind::Geometry:
        return QStringLiteral("SDO_GEOMETRY(") + placeholder +
               (srid == 0 ? QString() : QStringLiteral(", ") + QString::number(srid)) + QLatin1Char(')');
    case OracleValue::Kind::Number: return QStringLiteral("TO_NUMBER(") + placeholder + QLatin1Char(')');
    case OracleValue::Kind::Timestamp:
        return QStringLiteral("TO_TIMESTAMP(") + placeholder + QStringLiteral(", '") + QLatin1String(kTimestampFormat) +
               QStringLiteral("')");
    case OracleValue::Kind::Interval: return QStringLiteral("TO_DSINTERVAL(") + placeholder + QLatin1Char(')');
    case OracleValue::Kind::BinaryNumber:
        return (columnType == QLatin1String("BINARY_FLOAT") ? QStringLiteral("TO_BINARY_FLOAT(")
                                                             : QStringLiteral("TO_BINARY_DOUBLE(")) +
               placeholder + QLatin1Char(')');
    default: return placeholder;
    }
}

bool isBound(const InsertRun &run, int column, const QString &columnType)
{
    return !(run.kinds[column] == OracleValue::Kind::Null && columnType == QLatin1String("SDO_GEOMETRY"));
}

QString insertStatement(const QString &table, const QVector<OracleColumn> &columns, const QVector<int> &order,
                        const InsertRun &run, const QVector<QString> &types)
{
    QString names, values;
    int position = 0;
    for (int i = 0; i < order.size(); ++i) {
        const int c = order[i];
        if (i > 0) {
            names += QLatin1Char(',');
            values += QLatin1Char(',');
        }
        names += QLatin1Char('"') + columns[c].name + QLatin1Char('"');
        if (!isBound(run, c, types[c])) {
            values += QStringLiteral("NULL");
            continue;
        }
        const QString placeholder = QLatin1Char(':') + QString::number(++position);
        values += convertedPlaceholder(placeholder, run.kinds[c], types[c], run.srids[c]);
    }
    return QStringLiteral("INSERT INTO \"") + table + QStringLiteral("\" (") + names + QStringLiteral(") VALUES (") +
           values + QLatin1Char(')');
}

bool isSessionLost(int oraCode)
{
    switch (oraCode) {
    case 28:     // your session has been killed
    case 1012:   // not logged on
    case 1033:   // initialization or shutdown in progress
    case 1034:   // not available
    case 1089:   // immediate shutdown in progress
    case 1092:   // instance terminated
    case 2396:   // exceeded maximum idle time
    case 3113:   // end-of-file on communication channel
    case 3114:   // not connected
    case 3135:   // connection lost contact
    case 12537:  // TNS: connection closed
    case 12547:  // TNS: lost contact
    case 12570:  // TNS: packet reader failure
    case 12571:  // TNS: packet writer failure
        return true;
    default: return false;
    }
}

} // namespace tavrex::oci
