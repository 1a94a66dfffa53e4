// Table definitions (TDEF pages): columns, real and logical indexes, usage-map pointers and the
// counters a writer keeps (row count, last auto-number, unique-entry counts).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/pager.h"
#include "jet/value.h"

namespace jet {

// A row pointer as Jet stores it: low byte = row (slot) number, upper 24 bits = page.
struct RowId {
    uint32_t page = 0;
    uint8_t row = 0;
    static RowId fromRaw(uint32_t v) { return RowId{v >> 8, uint8_t(v & 0xFF)}; }
    uint32_t raw() const { return page << 8 | row; }
    bool operator==(const RowId&) const = default;
    auto operator<=>(const RowId& o) const { return raw() <=> o.raw(); }
};

struct Column {
    std::string name;  // UTF-8
    ColType type = ColType::Long;
    uint16_t number = 0;    // null-mask bit; what indexes refer to
    uint16_t varIndex = 0;  // slot in the variable-offset table (variable columns)
    uint16_t ordinal = 0;   // display order
    uint16_t fixedOffset = 0;
    uint16_t length = 0;  // bytes (TEXT: 2 per character)
    uint8_t flags = 0;
    uint8_t extFlags = 0;
    uint8_t precision = 0, scale = 0;  // NUMERIC
    uint16_t sortLcid = 0;             // TEXT, MEMO
    uint8_t sortVersion = 0;
    size_t descOffset = 0;  // where the descriptor sits in the TDEF buffer

    bool fixed() const { return flags & 0x01; }
    bool autoNumber() const { return flags & 0x04; }
    bool autoGuid() const { return flags & 0x40; }
    bool compressible() const { return extFlags & 0x01; }
    // Characters a TEXT column holds.
    size_t maxChars() const { return length / 2; }
};

struct IndexColumn {
    uint16_t column = 0;  // column number
    bool ascending = true;
};

struct RealIndex {
    uint32_t slot = 0;  // position among the real indexes
    std::vector<IndexColumn> columns;
    uint32_t usageMap = 0;  // pg_row of the index's page map
    uint32_t rootPage = 0;
    uint8_t flags = 0;
    uint32_t uniqueCount = 0;
    size_t defOffset = 0;    // 52-byte definition in the TDEF buffer
    size_t countOffset = 0;  // 12-byte count block in the TDEF buffer

    bool unique() const { return flags & 0x01; }
    bool ignoreNulls() const { return flags & 0x02; }
    bool required() const { return flags & 0x08; }
};

struct LogicalIndex {
    std::string name;
    uint32_t number = 0;
    uint32_t realIndex = 0;
    uint8_t relTableType = 0;
    int32_t relIndex = -1;
    uint32_t relTable = 0;
    uint8_t cascadeUpdates = 0, cascadeDeletes = 0;
    uint8_t kind = 0;      // 1 primary key, 2 foreign key
    size_t defOffset = 0;  // 28-byte definition in the TDEF buffer
    bool primaryKey() const { return kind == 1; }
    bool foreignKey() const { return kind == 2; }
};

struct LongColumnMaps {
    uint16_t column = 0;
    size_t offset = 0;      // entry in the TDEF buffer
    uint32_t ownedMap = 0;  // pg_row
    uint32_t freeMap = 0;
};

struct TableDef {
    uint32_t page = 0;            // first TDEF page
    std::vector<uint32_t> pages;  // the TDEF chain
    std::vector<uint8_t> buf;     // logical buffer (first page whole, then continuations)
    uint32_t rowCount = 0;
    int32_t lastAutoNumber = 0;
    uint8_t tableType = 0;
    uint16_t maxColumns = 0;  // including deleted columns: the null mask width
    uint16_t varColumns = 0;
    uint32_t ownedMap = 0, freeMap = 0;  // pg_rows
    std::vector<Column> columns;         // descriptor order
    std::vector<RealIndex> realIndexes;
    std::vector<LogicalIndex> logicalIndexes;
    std::vector<LongColumnMaps> longMaps;

    const Column* column(std::string_view name) const;  // case-insensitive for ASCII
    const Column* columnByNumber(uint16_t number) const;
    // The name of the (first) logical index on a real index, or "#slot" when none names it.
    std::string indexName(const RealIndex& ix) const;
    // Column positions sorted by display order (then number), as a query presents them.
    std::vector<size_t> displayOrder() const;
    // Fixed area size: the largest fixedOffset + size over fixed columns.
    size_t fixedAreaSize() const;
};

// Reads and validates the definition starting at `page`.
TableDef readTableDef(Pager& pager, uint32_t page);

bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace jet
