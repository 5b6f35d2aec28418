#pragma once

// The embedded target's form of a batch, made before the batch is sent: every
// value already converted into what its column stores (convertValue), on the
// thread that built the batch, so that the insert on the session's thread only
// binds and steps. Private to connections/embedded.

#include "connections/embedded/embeddedcatalog.h"
#include "connections/embedded/embeddedvalues.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace tavrex::embedded {

// One value as its column stores it, or why the column refuses it.
struct PreparedValue {
    StoredValue::Kind kind = StoredValue::Kind::Null;
    bool own = false;  // its bytes are the form's own (at), not the batch's (data)
    int error = 0;     // the ORA number of a refused value; its message is messages[at]
    // The batch's bytes (Text8, Blob) or its QString (Text16).
    const void *data = nullptr;
    // Own bytes: their offset in the form's bytes (Utf8, Blob) or the index
    // of the text in texts (Text16).
    qint64 at = 0;
    qint64 size = 0;  // bytes
    double real = 0;  // Real
};

// What one column stores for one row of the batch, ready to bind.
struct BoundValue {
    StoredValue::Kind kind = StoredValue::Kind::Null;
    const void *data = nullptr;  // Text16: UTF-16 units; Text8, Utf8: UTF-8; Blob: bytes
    qint64 size = 0;             // bytes
    double real = 0;
};

// The table a form was made for: the owner, and the table with its columns as
// the catalogue described them then (shared by the forms of one preparer).
struct PreparedTable {
    QString owner;
    TableInfo table;
    std::vector<int> tableColumn;  // the table column of each batch column
    QStringList qualified;         // "OWNER"."TABLE"."COLUMN" of each batch column
};

class PreparedBatch final : public PreparedRows {
public:
    // Converts every value of the batch for the table, reusing the memory of
    // the rows this form held before.
    void fill(const std::shared_ptr<const PreparedTable> &table, const OracleRowBatch &batch);

    // Whether the form serves an insert of the batch into table t of owner:
    // made for it, and the table's columns unchanged since.
    bool fits(const QString &owner, const TableInfo &t, const OracleRowBatch &batch) const;

    // The value of batch column `column` in row `row`: 0 and *bound set, or
    // the ORA number of its refusal with *message set.
    int value(int row, int column, BoundValue *bound, QString *message) const;

private:
    std::shared_ptr<const PreparedTable> table_;
    int rows_ = 0;
    int columns_ = 0;
    std::vector<PreparedValue> values_;  // row by row, in batch column order
    std::string bytes_;
    std::vector<QString> texts_;
    std::vector<QString> messages_;
};

// Whether two columns convert a value alike (name, type, lengths, precision,
// scale, fraction, nullability).
bool sameConversion(const ColumnSpec &a, const ColumnSpec &b);

// The embedded session's preparer: the table as the catalogue described it
// when the preparer was made, used without the session afterwards.
class EmbeddedPreparer final : public BatchPreparer {
public:
    explicit EmbeddedPreparer(std::shared_ptr<const PreparedTable> table) : table_(std::move(table)) {}
    void prepare(OracleRowBatch &batch) override;

private:
    std::shared_ptr<const PreparedTable> table_;
};

// What a StoredValue that convertValue wrote binds as; it points into the
// StoredValue and into the value it was converted from.
BoundValue boundValue(const StoredValue &stored);

} // namespace tavrex::embedded
