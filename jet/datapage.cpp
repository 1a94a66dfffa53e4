// Data page views.
#include "jet/datapage.h"

#include <cstring>

#include "jet/error.h"

namespace jet {

DataPage::DataPage(Page p) : page_(std::move(p)) {
    Bytes b = page_.bytes();
    if (b.u8(0) != fmt::kPageData)
        throwCorrupt(page_.no, "expected a data page, found page type " + std::to_string(b.u8(0)));
    rows_ = b.u16(fmt::kDataRowCount);
    if (fmt::kDataRowTable + 2 * size_t(rows_) > fmt::kPageSize || rows_ > fmt::kMaxRowsPerPage)
        throwCorrupt(page_.no, "the page claims " + std::to_string(rows_) + " rows");
}

bool DataPage::isLval() const {
    return std::memcmp(page_.buf->data() + 4, "LVAL", 4) == 0;
}

uint16_t DataPage::rawOffset(unsigned row) const {
    if (row >= rows_)
        throwCorrupt(page_.no, "row " + std::to_string(row) + " does not exist (the page has " +
                                   std::to_string(rows_) + ")");
    return page_.bytes().u16(fmt::kDataRowTable + 2 * row);
}

Bytes DataPage::row(unsigned r) const {
    size_t start = rawOffset(r) & fmt::kRowOffsetMask;
    size_t end = r == 0 ? fmt::kPageSize : (rawOffset(r - 1) & fmt::kRowOffsetMask);
    size_t tableEnd = fmt::kDataRowTable + 2 * size_t(rows_);
    if (start < tableEnd || start > end || end > fmt::kPageSize)
        throwCorrupt(page_.no, "row " + std::to_string(r) + " has invalid offsets (" +
                                   std::to_string(start) + ".." + std::to_string(end) + ")");
    return page_.bytes().sub(start, end - start, "row");
}

}  // namespace jet
