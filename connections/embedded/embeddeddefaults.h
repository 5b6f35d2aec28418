#pragma once

// The values of the columns a batch leaves out: the column's DEFAULT, the
// next number of its identity, or NULL. The batch insert asks for them per
// row; the identity's next number is kept in the dictionary, inside the
// batch's transaction.

#include "connections/embedded/embeddedcatalog.h"

#include <vector>

namespace tavrex::embedded {

class OmittedColumns {
public:
    // source[c] is the batch column of table column c, or -1 when the batch
    // leaves it out. A DEFAULT that cannot be read throws its ORA error.
    OmittedColumns(const Catalog &catalog, const TableInfo &table, const std::vector<int> &source);

    // The value of the left-out column c for the current row.
    const OracleValue &value(int column);
    // The row was inserted: the identity moves on when it gave a value.
    void rowInserted();
    // Writes the identity's next number back (inside the batch's transaction).
    void save() const;

private:
    const Catalog &catalog_;
    QString table_;
    std::vector<OracleValue> values_;
    int identityColumn_ = -1;  // a left-out identity column, or -1
    qint64 next_ = 1;
    bool used_ = false;
    OracleValue identityValue_;
};

} // namespace tavrex::embedded
