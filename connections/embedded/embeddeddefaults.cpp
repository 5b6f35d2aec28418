#include "connections/embedded/embeddeddefaults.h"

#include "connections/embedded/embeddedsql.h"

#include <QDateTime>

namespace tavrex::embedded {

namespace {

// SYSDATE and SYSTIMESTAMP: the local clock, once per batch, as Oracle
// evaluates them once per statement.
OracleTimestamp now()
{
    const QDateTime t = QDateTime::currentDateTime();
    OracleTimestamp ts;
    ts.date.year = t.date().year();
    ts.date.month = t.date().month();
    ts.date.day = t.date().day();
    ts.date.hour = t.time().hour();
    ts.date.minute = t.time().minute();
    ts.date.second = t.time().second();
    ts.nanosecond = t.time().msec() * 1000000;
    return ts;
}

} // namespace

OmittedColumns::OmittedColumns(const Catalog &catalog, const TableInfo &table, const std::vector<int> &source)
    : catalog_(catalog), table_(table.name), values_(table.columns.size())
{
    const OracleTimestamp clock = now();
    for (int c = 0; c < table.columns.size(); ++c) {
        if (source[size_t(c)] >= 0)
            continue;
        const ColumnSpec &spec = table.columns[c];
        if (spec.identity) {
            IdentityInfo identity;
            if (catalog.findIdentity(table.name, &identity)) {
                identityColumn_ = c;
                next_ = identity.nextValue;
            }
            continue;
        }
        if (spec.defaultText.isNull())
            continue;
        const DefaultExpression e = parseDefault(spec.defaultText);
        switch (e.kind) {
        case DefaultExpression::Kind::Value: values_[size_t(c)] = e.value; break;
        case DefaultExpression::Kind::Sysdate: values_[size_t(c)] = OracleValue::date(clock.date); break;
        case DefaultExpression::Kind::Systimestamp: values_[size_t(c)] = OracleValue::timestamp(clock); break;
        }
    }
}

const OracleValue &OmittedColumns::value(int column)
{
    if (column == identityColumn_) {
        identityValue_ = OracleValue::number(QString::number(next_));
        used_ = true;
        return identityValue_;
    }
    return values_[size_t(column)];
}

void OmittedColumns::rowInserted()
{
    if (identityColumn_ >= 0)
        ++next_;
}

void OmittedColumns::save() const
{
    if (used_)
        catalog_.setIdentityNext(table_, next_);
}

} // namespace tavrex::embedded
