// Parsing of table definitions.
#include "jet/tabledef.h"

#include <algorithm>
#include <set>

#include "jet/error.h"
#include "jet/format.h"

namespace jet {

namespace {

constexpr size_t kMaxTdefPages = 256;   // a Jet 4 definition of 255 columns needs far fewer
constexpr uint32_t kMaxIndexes = 1000;  // sanity bound; Jet allows 32 per table
constexpr uint16_t kMaxColumnCount = 4096;

std::string readName(Bytes b, size_t& pos) {
    uint16_t len = b.u16(pos);
    pos += 2;
    Bytes n = b.sub(pos, len, "name");
    pos += len;
    std::u16string s;
    for (size_t i = 0; i + 1 < len; i += 2) s.push_back(char16_t(n.u16(i)));
    return toUtf8(s);
}

}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x + 32);
        if (y >= 'A' && y <= 'Z') y = char(y + 32);
        if (x != y) return false;
    }
    return true;
}

const Column* TableDef::column(std::string_view name) const {
    for (auto& c : columns)
        if (equalsIgnoreCase(c.name, name)) return &c;
    return nullptr;
}

std::string TableDef::indexName(const RealIndex& ix) const {
    for (auto& li : logicalIndexes)
        if (li.realIndex == ix.slot) return li.name;
    return "#" + std::to_string(ix.slot);
}

const Column* TableDef::columnByNumber(uint16_t number) const {
    for (auto& c : columns)
        if (c.number == number) return &c;
    return nullptr;
}

std::vector<size_t> TableDef::displayOrder() const {
    std::vector<size_t> order(columns.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (columns[a].ordinal != columns[b].ordinal)
            return columns[a].ordinal < columns[b].ordinal;
        return columns[a].number < columns[b].number;
    });
    return order;
}

size_t TableDef::fixedAreaSize() const {
    size_t end = 0;
    for (auto& c : columns) {
        if (!c.fixed() || c.type == ColType::Boolean) continue;
        size_t size = fixedSize(c.type) ? fixedSize(c.type) : c.length;
        end = std::max(end, size_t(c.fixedOffset) + size);
    }
    return end;
}

TableDef readTableDef(Pager& pager, uint32_t page) {
    TableDef t;
    t.page = page;
    std::set<uint32_t> seen;
    uint32_t next = page;
    while (next != 0) {
        if (!seen.insert(next).second)
            throwCorrupt(next, "the table definition's page chain loops");
        if (seen.size() > kMaxTdefPages)
            throwCorrupt(page, "the table definition spans too many pages");
        Page p = pager.get(next);
        Bytes b = p.bytes();
        if (b.u8(0) != fmt::kPageTdef)
            throwCorrupt(next, "expected a table definition page, found page type " +
                                   std::to_string(b.u8(0)));
        t.pages.push_back(next);
        if (t.buf.empty())
            t.buf.assign(p.buf->begin(), p.buf->end());
        else
            t.buf.insert(t.buf.end(), p.buf->begin() + fmt::kTdefContinuationHeader, p.buf->end());
        next = b.u32(fmt::kTdefNextPage);
        if (next != 0 && next >= pager.pageCount())
            throwCorrupt(t.pages.back(), "the table definition continues on page " +
                                             std::to_string(next) + ", beyond the end of the file");
    }
    Bytes all(t.buf.data(), t.buf.size(), page);
    uint32_t total = all.u32(fmt::kTdefLength);
    if (total < fmt::kTdefHeaderSize || total > t.buf.size())
        throwCorrupt(page, "the table definition's length (" + std::to_string(total) +
                               ") does not match its pages");
    Bytes b = all.sub(0, total);

    t.rowCount = b.u32(fmt::kTdefRowCount);
    t.lastAutoNumber = b.i32(fmt::kTdefAutoNumber);
    t.tableType = b.u8(fmt::kTdefTableType);
    t.maxColumns = b.u16(fmt::kTdefMaxCols);
    t.varColumns = b.u16(fmt::kTdefVarCols);
    uint16_t numCols = b.u16(fmt::kTdefColumns);
    uint32_t numLogical = b.u32(fmt::kTdefLogicalIndexes);
    uint32_t numReal = b.u32(fmt::kTdefRealIndexes);
    t.ownedMap = b.u32(fmt::kTdefOwnedMap);
    t.freeMap = b.u32(fmt::kTdefFreeMap);
    if (numCols == 0 || numCols > kMaxColumnCount)
        throwCorrupt(page, "the table definition has " + std::to_string(numCols) + " columns");
    if (numReal > kMaxIndexes || numLogical > kMaxIndexes)
        throwCorrupt(page, "the table definition has an impossible number of indexes");

    size_t pos = fmt::kTdefHeaderSize;
    b.need(pos, numReal * fmt::kTdefRealIndexCountSize, "index count block");
    t.realIndexes.resize(numReal);
    for (uint32_t i = 0; i < numReal; ++i) {
        t.realIndexes[i].slot = i;
        t.realIndexes[i].countOffset = pos;
        t.realIndexes[i].uniqueCount = b.u32(pos + 4);
        pos += fmt::kTdefRealIndexCountSize;
    }

    b.need(pos, size_t(numCols) * fmt::kColumnDescSize, "column descriptors");
    t.columns.resize(numCols);
    std::set<uint16_t> numbers;
    for (auto& c : t.columns) {
        c.descOffset = pos;
        uint8_t type = b.u8(pos + fmt::kColType);
        if (!isKnownType(type))
            throwError(ErrorKind::Unsupported,
                       "The table on page " + std::to_string(page) +
                           " has a column of unknown type " + std::to_string(type),
                       page);
        c.type = ColType(type);
        c.number = b.u16(pos + fmt::kColNumber);
        c.varIndex = b.u16(pos + fmt::kColVarIndex);
        c.ordinal = b.u16(pos + fmt::kColOrdinal);
        if (c.type == ColType::Numeric) {
            c.precision = b.u8(pos + fmt::kColMisc);
            c.scale = b.u8(pos + fmt::kColMisc + 1);
        } else {
            c.sortLcid = b.u16(pos + fmt::kColMisc);
            c.sortVersion = b.u8(pos + fmt::kColMisc + 3);
        }
        c.flags = b.u8(pos + fmt::kColFlags);
        c.extFlags = b.u8(pos + fmt::kColExtFlags);
        c.fixedOffset = b.u16(pos + fmt::kColFixedOffset);
        c.length = b.u16(pos + fmt::kColLength);
        if (!numbers.insert(c.number).second)
            throwCorrupt(page, "two columns share the number " + std::to_string(c.number));
        if (c.number >= std::max<uint16_t>(t.maxColumns, numCols))
            throwCorrupt(page, "column number " + std::to_string(c.number) +
                                   " exceeds the table's column count");
        pos += fmt::kColumnDescSize;
    }
    for (auto& c : t.columns) c.name = readName(b, pos);

    for (auto& ix : t.realIndexes) {
        ix.defOffset = pos;
        Bytes d = b.sub(pos, fmt::kRealIndexDefSize, "index definition");
        for (size_t k = 0; k < fmt::kIndexMaxColumns; ++k) {
            uint16_t col = d.u16(4 + 3 * k);
            uint8_t order = d.u8(4 + 3 * k + 2);
            if (col == 0xFFFF) continue;
            if (!t.columnByNumber(col))
                throwCorrupt(page, "an index refers to column number " + std::to_string(col) +
                                       ", which the table does not have");
            ix.columns.push_back(IndexColumn{col, order != 0});
        }
        ix.usageMap = d.u32(34);
        ix.rootPage = d.u32(38);
        ix.flags = d.u8(46);
        pos += fmt::kRealIndexDefSize;
    }

    t.logicalIndexes.resize(numLogical);
    for (auto& li : t.logicalIndexes) {
        Bytes d = b.sub(pos, fmt::kLogicalIndexDefSize, "logical index definition");
        li.number = d.u32(4);
        li.realIndex = d.u32(8);
        li.relTableType = d.u8(12);
        li.relIndex = d.i32(13);
        li.relTable = d.u32(17);
        li.cascadeUpdates = d.u8(21);
        li.cascadeDeletes = d.u8(22);
        li.kind = d.u8(23);
        li.defOffset = pos;
        if (li.realIndex >= numReal)
            throwCorrupt(page, "a logical index refers to real index " +
                                   std::to_string(li.realIndex) + " of " + std::to_string(numReal));
        pos += fmt::kLogicalIndexDefSize;
    }
    for (auto& li : t.logicalIndexes) li.name = readName(b, pos);

    // Long-value column maps: (column number, owned map, free map) until 0xFFFF. Old files end
    // the definition without them.
    while (b.fits(pos, 2)) {
        uint16_t col = b.u16(pos);
        if (col == 0xFFFF) break;
        if (!b.fits(pos, 10)) break;
        LongColumnMaps lm;
        lm.column = col;
        lm.offset = pos;
        lm.ownedMap = b.u32(pos + 2);
        lm.freeMap = b.u32(pos + 6);
        t.longMaps.push_back(lm);
        pos += 10;
        if (t.longMaps.size() > numCols)
            throwCorrupt(page, "the table definition lists more long-value maps than columns");
    }
    return t;
}

}  // namespace jet
