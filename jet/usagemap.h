// Usage maps: bitmaps of pages, stored as a row on a data page (inline: start page + bitmap) or
// as a row of pointers to bitmap pages (reference). Table, index and long-value maps mark the
// pages they own; the global map (page 1, row 0) marks free pages.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/pager.h"
#include "jet/tabledef.h"

namespace jet {

struct UsageMapInfo {
    RowId where;                        // the declaration row
    uint8_t kind = 0;                   // 0 inline, 1 reference
    uint32_t startPage = 0;             // inline maps
    size_t bitmapBytes = 0;             // inline maps
    std::vector<uint32_t> bitmapPages;  // reference maps (0 = none yet)
};

// Every page whose bit is set, ascending. Pages past the end of the file are included only
// when `keepBeyondEnd` (the global map marks them free); otherwise they are a corruption.
std::vector<uint32_t> readUsageMap(Pager& pager, RowId where, bool keepBeyondEnd = false,
                                   UsageMapInfo* info = nullptr);

// The highest page whose bit is set (what readUsageMap() would list last), if any; the same
// checks, without building the list.
std::optional<uint32_t> lastUsageMapPage(Pager& pager, RowId where);

}  // namespace jet
