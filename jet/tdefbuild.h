// Building table definitions and the pages a new table needs (usage-map rows, index roots).
// Shared by table creation and compaction.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "jet/pager.h"
#include "jet/pagewriter.h"
#include "jet/tabledef.h"

namespace jet {

struct ColDef {
    std::string name;
    ColType type = ColType::Long;
    uint16_t number = 0, varIndex = 0, ordinal = 0, fixedOffset = 0, length = 0;
    uint8_t flags = 0, ext = 0;
    std::array<uint8_t, 4> misc{};
};

struct IdxDef {
    std::string name;  // logical index name
    std::vector<IndexColumn> columns;
    uint8_t flags = 0x80;  // real index flags
    uint8_t kind = 0;      // 1 primary key, 2 foreign key
    uint32_t number = 0;   // logical index number
};

struct TdefDef {
    uint8_t tableType = 0x4E;
    std::vector<ColDef> columns;  // in descriptor order
    std::vector<IdxDef> indexes;  // one real index per logical index, in real-index order
};

// Pages and map rows given to a new table.
struct TdefPlacement {
    std::vector<uint32_t> pages;         // the definition's pages (first = table id)
    uint32_t ownedMap = 0, freeMap = 0;  // pg_rows
    std::vector<uint32_t> indexMaps;     // per real index
    std::vector<uint32_t> roots;         // per real index
    std::vector<std::pair<uint16_t, std::pair<uint32_t, uint32_t>>> longMaps;  // column -> maps
};

// The logical definition buffer (all pages' worth).
std::vector<uint8_t> tdefBytes(const TdefDef& d, const TdefPlacement& p);

// Splits a definition buffer into pages and writes them.
void writeTdefPages(Pager& pager, const std::vector<uint8_t>& buf,
                    const std::vector<uint32_t>& pages);
// Pages a definition buffer of `bytes` needs.
size_t tdefPageCount(size_t bytes);

// Empty leaf page for an index root.
void writeEmptyLeaf(PageBuf& buf, uint32_t tdefPage);

// An inline usage-map row: start page and a 64-byte bitmap; `first` sets the start page's bit.
std::vector<uint8_t> inlineMapRow(uint32_t start, bool first);

}  // namespace jet
