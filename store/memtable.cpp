// The in-memory table.
#include "store/memtable.h"

#include "jet/error.h"

namespace zn {

MemTable::MemTable(const QString& name, std::vector<Column> columns, const QString& orderColumn)
    : Dataset(name), columns_(std::move(columns)) {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name.compare(orderColumn, Qt::CaseInsensitive) == 0) orderIdx_ = i;
}

void MemTable::doOpen(std::vector<Field>& fields, std::vector<Record>& rows) {
    (void)rows;  // a fresh table is empty
    for (size_t i = 0; i < columns_.size(); ++i) {
        Field f;
        f.name = columns_[i].name;
        f.type = columns_[i].type;
        f.maxChars = columns_[i].maxChars;
        f.cutText = true;
        f.rowIndex = int(i);
        fields.push_back(f);
    }
}

Dataset::Record MemTable::doInsert(jet::Row row, const std::vector<bool>&) {
    return Record{std::make_shared<const jet::Row>(std::move(row)), std::nullopt};
}

Dataset::Record MemTable::doUpdate(const Record&, const jet::Row& row, const std::vector<bool>&) {
    return Record{std::make_shared<const jet::Row>(row), std::nullopt};
}

size_t MemTable::placeAfterPost(const std::vector<Record>& rows, size_t index) const {
    auto key = [&](size_t i) -> int64_t {
        const jet::Value& v = (*rows[i].values)[orderIdx_];
        // NULL sorts first.
        return std::holds_alternative<int64_t>(v) ? std::get<int64_t>(v) : INT64_MIN;
    };
    const int64_t k = key(index);
    // The other rows are in order: the row goes after every one whose key is not greater.
    // Binary search over them, skipping the row itself (rebuilds append thousands of rows).
    auto other = [&](size_t j) { return key(j < index ? j : j + 1); };
    size_t lo = 0, hi = rows.size() - 1;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (other(mid) <= k)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace zn
