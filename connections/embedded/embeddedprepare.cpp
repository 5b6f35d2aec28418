#include "connections/embedded/embeddedprepare.h"

namespace tavrex::embedded {

bool sameConversion(const ColumnSpec &a, const ColumnSpec &b)
{
    return a.name == b.name && a.type == b.type && a.length == b.length && a.byteSemantics == b.byteSemantics &&
           a.precision == b.precision && a.scale == b.scale && a.scaled == b.scaled && a.fraction == b.fraction &&
           a.dayPrecision == b.dayPrecision && a.nullable == b.nullable;
}

BoundValue boundValue(const StoredValue &s)
{
    BoundValue b;
    b.kind = s.kind;
    switch (s.kind) {
    case StoredValue::Kind::Null: break;
    case StoredValue::Kind::Text16:
        b.data = s.text16->utf16();
        b.size = qint64(s.text16->size()) * 2;
        break;
    case StoredValue::Kind::Text8:
        b.data = s.text8->constData();
        b.size = s.text8->size();
        break;
    case StoredValue::Kind::Utf8:
        b.data = s.utf8.data();
        b.size = qint64(s.utf8.size());
        break;
    case StoredValue::Kind::Blob:
        b.data = s.blob.constData();
        b.size = s.blob.size();
        break;
    case StoredValue::Kind::Real: b.real = s.real; break;
    }
    return b;
}

void PreparedBatch::fill(const std::shared_ptr<const PreparedTable> &table, const OracleRowBatch &batch)
{
    table_ = table;
    rows_ = batch.rowCount();
    columns_ = batch.columnCount();
    values_.resize(size_t(rows_) * size_t(columns_));
    bytes_.clear();
    texts_.clear();
    messages_.clear();
    const TableInfo &t = table->table;
    StoredValue stored;
    QString message;
    size_t k = 0;
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c, ++k) {
            PreparedValue &p = values_[k];
            p = PreparedValue();
            const OracleValue &v = batch.at(r, c);
            const int rc = convertValue(v, t.columns[table->tableColumn[size_t(c)]], table->qualified[c], stored,
                                        &message);
            if (rc != 0) {
                p.error = rc;
                p.at = qint64(messages_.size());
                messages_.push_back(message);
                continue;
            }
            p.kind = stored.kind;
            switch (stored.kind) {
            case StoredValue::Kind::Null: break;
            case StoredValue::Kind::Text16:
                p.size = qint64(stored.text16->size()) * 2;
                if (stored.text16 == &stored.ownText) {
                    p.own = true;
                    p.at = qint64(texts_.size());
                    texts_.push_back(stored.ownText);
                } else {
                    p.data = stored.text16;
                }
                break;
            case StoredValue::Kind::Text8:
                p.data = stored.text8->constData();
                p.size = stored.text8->size();
                break;
            case StoredValue::Kind::Utf8:
                p.own = true;
                p.at = qint64(bytes_.size());
                p.size = qint64(stored.utf8.size());
                bytes_.append(stored.utf8);
                break;
            case StoredValue::Kind::Blob:
                p.size = stored.blob.size();
                // Bytes into a BLOB or RAW are the batch's own; what a
                // conversion made (text's UTF-8, a geometry's stored form)
                // is kept here.
                if (stored.blob.constData() == v.bytesValue().constData()) {
                    p.data = stored.blob.constData();
                } else {
                    p.own = true;
                    p.at = qint64(bytes_.size());
                    bytes_.append(stored.blob.constData(), size_t(stored.blob.size()));
                }
                break;
            case StoredValue::Kind::Real: p.real = stored.real; break;
            }
        }
    }
}

bool PreparedBatch::fits(const QString &owner, const TableInfo &t, const OracleRowBatch &batch) const
{
    if (!table_ || rows_ != batch.rowCount() || columns_ != batch.columnCount() || table_->owner != owner ||
        table_->table.name != t.name || table_->table.columns.size() != t.columns.size())
        return false;
    for (int c = 0; c < t.columns.size(); ++c)
        if (!sameConversion(table_->table.columns[c], t.columns[c]))
            return false;
    return true;
}

int PreparedBatch::value(int row, int column, BoundValue *bound, QString *message) const
{
    const PreparedValue &p = values_[size_t(row) * size_t(columns_) + size_t(column)];
    if (p.error != 0) {
        *message = messages_[size_t(p.at)];
        return p.error;
    }
    bound->kind = p.kind;
    bound->size = p.size;
    bound->real = p.real;
    switch (p.kind) {
    case StoredValue::Kind::Text16:
        bound->data = (p.own ? &texts_[size_t(p.at)] : static_cast<const QString *>(p.data))->utf16();
        break;
    case StoredValue::Kind::Utf8:
    case StoredValue::Kind::Blob:
    case StoredValue::Kind::Text8: bound->data = p.own ? bytes_.data() + p.at : p.data; break;
    case StoredValue::Kind::Null:
    case StoredValue::Kind::Real: bound->data = nullptr; break;
    }
    return 0;
}

void EmbeddedPreparer::prepare(OracleRowBatch &batch)
{
    const PreparedTable &t = *table_;
    bool matches = batch.columnCount() == int(t.tableColumn.size());
    for (int c = 0; matches && c < batch.columnCount(); ++c)
        matches = batch.columns()[c].name == t.table.columns[t.tableColumn[size_t(c)]].name;
    std::unique_ptr<PreparedRows> kept = batch.takePrepared();
    if (!matches || batch.rowCount() == 0) {
        // Another shape of batch: its insert converts it as it goes.
        batch.setPrepared(std::move(kept), false);
        return;
    }
    if (!dynamic_cast<PreparedBatch *>(kept.get()))
        kept = std::make_unique<PreparedBatch>();
    static_cast<PreparedBatch *>(kept.get())->fill(table_, batch);
    batch.setPrepared(std::move(kept), true);
}

} // namespace tavrex::embedded
