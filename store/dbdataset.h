// A dataset on the connection: a query of the form
//   select * from <table> [where <column>=:<parameter>] order by <column>
// or a whole table in ascending `id` order. Its rows are a static result read when it opens.
//
// For a condition on a column that has a single-column index, opening looks the parameter up
// in that index and reads only the matching rows (through the connection's row cache); without
// such an index it scans the table. Rows with equal order values keep storage order (row id),
// whichever way they were found.
//
// The columns presented are those the schema requires of the table (schema.h), in the schema's
// order; a table lacking one cannot be opened ("<dataset>: Field '<column>' not found"). Other
// tables present all their columns in display order.
#pragma once

#include <QHash>

#include "store/dataset.h"
#include "store/sqlselect.h"

namespace jet {
class Table;
}

namespace zn {

class DbConnection;

class DbDataset : public Dataset {
  public:
    // The dataset registers with `conn`, which closes it when it closes. `conn` must outlive it.
    DbDataset(const QString& name, DbConnection& conn);
    ~DbDataset() override;

    // REQUIRE a closed dataset. setSql throws jet::Error(Unsupported) for other query forms.
    void setSql(const QString& sql);
    const QString& sql() const { return sql_; }
    void setTableName(const QString& table);
    const QString& tableName() const { return stmt_.table; }

    // The query's parameter, used by the next open(). An unknown name throws.
    void setParam(const QString& name, qint64 value);
    qint64 param(const QString& name) const;

    // Whether opening may use the table's indexes (default true); off forces the table scan.
    void setUseIndexes(bool on) { useIndexes_ = on; }
    // Whether the last open() found its rows through an index.
    bool lastOpenUsedIndex() const { return usedIndex_; }

  protected:
    void doOpen(std::vector<Field>& fields, std::vector<Record>& rows) override;
    void doClose() override;
    size_t rowWidth() const override;
    Record doInsert(jet::Row row, const std::vector<bool>& modified) override;
    Record doUpdate(const Record& old, const jet::Row& row,
                    const std::vector<bool>& modified) override;
    void doRemove(const Record& r) override;

  private:
    void checkClosed() const;

    DbConnection& conn_;
    QString sql_;
    zn::SelectStatement stmt_;
    QHash<QString, std::optional<qint64>> params_;  // lower-case name -> value
    bool useIndexes_ = true;
    bool usedIndex_ = false;
    jet::Table* table_ = nullptr;  // while open
};

}  // namespace zn
