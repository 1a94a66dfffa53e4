// A dataset whose rows live only in memory, kept in ascending order of one integer column
// (a posted row moves to its place; rows with equal values keep the order they were posted in).
// Opening starts it empty; closing discards its rows.
#pragma once

#include "store/dataset.h"

namespace zn {

class MemTable : public Dataset {
  public:
    struct Column {
        QString name;
        jet::ColType type;  // Long or Text
        int maxChars = 0;   // Text: longer values are cut to this many characters
    };
    // `orderColumn` names one of `columns` (an integer column).
    MemTable(const QString& name, std::vector<Column> columns, const QString& orderColumn);

  protected:
    void doOpen(std::vector<Field>& fields, std::vector<Record>& rows) override;
    size_t rowWidth() const override { return columns_.size(); }
    Record doInsert(jet::Row row, const std::vector<bool>& modified) override;
    Record doUpdate(const Record& old, const jet::Row& row,
                    const std::vector<bool>& modified) override;
    void doRemove(const Record&) override {}
    size_t placeAfterPost(const std::vector<Record>& rows, size_t index) const override;

  private:
    std::vector<Column> columns_;
    size_t orderIdx_ = 0;
};

}  // namespace zn
