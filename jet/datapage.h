// Views of data pages (also long-value pages and usage-map holder pages): the row-offset table,
// row flags and row bytes, validated when the view is made.
#pragma once

#include <cstdint>

#include "jet/format.h"
#include "jet/pager.h"

namespace jet {

class DataPage {
  public:
    // Validates that `p` is a data page whose row-offset table fits. Throws Corrupt otherwise.
    explicit DataPage(Page p);

    uint32_t no() const { return page_.no; }
    uint16_t rowCount() const { return rows_; }
    uint16_t freeSpace() const { return page_.bytes().u16(fmt::kDataFreeSpace); }
    uint32_t owner() const { return page_.bytes().u32(fmt::kDataOwner); }
    bool isLval() const;

    uint16_t rawOffset(unsigned row) const;
    bool deleted(unsigned row) const { return rawOffset(row) & fmt::kRowDeleted; }
    // Pointer slot: only 0x4000 set.
    bool overflowPointer(unsigned row) const {
        return (rawOffset(row) & 0xC000) == fmt::kRowOverflow;
    }
    // The row's bytes, [start, end) where end is the previous row's start (or the page end).
    // Throws Corrupt when the offsets are out of order or outside the page.
    Bytes row(unsigned row) const;
    const Page& page() const { return page_; }

  private:
    Page page_;
    uint16_t rows_ = 0;
};

}  // namespace jet
