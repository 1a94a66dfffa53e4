// Table definition buffers and the pages of a new table.
#include "jet/tdefbuild.h"

#include <cstring>

#include "jet/error.h"
#include "jet/format.h"

namespace jet {

namespace {

void putName(ByteWriter& w, const std::string& name) {
    std::u16string u = fromUtf8(name);
    w.u16(uint16_t(u.size() * 2));
    for (char16_t c : u) w.u16(c);
}

}  // namespace

std::vector<uint8_t> tdefBytes(const TdefDef& d, const TdefPlacement& p) {
    ByteWriter w;
    w.zeros(fmt::kTdefHeaderSize);
    uint16_t maxCols = 0, varCols = 0;
    for (auto& c : d.columns) {
        maxCols = std::max<uint16_t>(maxCols, uint16_t(c.number + 1));
        if (!(c.flags & fmt::kColFlagFixed)) ++varCols;
    }
    for (size_t i = 0; i < d.indexes.size(); ++i) w.zeros(fmt::kTdefRealIndexCountSize);
    for (auto& c : d.columns) {
        w.u8(uint8_t(c.type));
        w.u32(fmt::kTdefMagicValue);
        w.u16(c.number);
        w.u16(c.varIndex);
        w.u16(c.ordinal);
        for (uint8_t b : c.misc) w.u8(b);
        w.u8(c.flags);
        w.u8(c.ext);
        w.u32(0);
        w.u16(c.fixedOffset);
        w.u16(c.length);
    }
    for (auto& c : d.columns) putName(w, c.name);
    for (size_t i = 0; i < d.indexes.size(); ++i) {
        const IdxDef& ix = d.indexes[i];
        w.u32(fmt::kRealIndexMagicValue);
        for (size_t k = 0; k < fmt::kIndexMaxColumns; ++k) {
            if (k < ix.columns.size()) {
                w.u16(ix.columns[k].column);
                w.u8(ix.columns[k].ascending ? 0x01 : 0x00);
            } else {
                w.u16(0xFFFF);
                w.u8(0);
            }
        }
        w.u32(p.indexMaps.at(i));
        w.u32(p.roots.at(i));
        w.u32(0);
        w.u8(ix.flags);
        w.zeros(5);
    }
    for (size_t i = 0; i < d.indexes.size(); ++i) {
        const IdxDef& ix = d.indexes[i];
        w.u32(fmt::kTdefMagicValue);
        w.u32(ix.number);
        w.u32(uint32_t(i));
        w.u8(0);
        w.u32(0xFFFFFFFFu);
        w.u32(0);
        w.u8(0);
        w.u8(0);
        w.u8(ix.kind);
        w.u32(0);
    }
    for (auto& ix : d.indexes) putName(w, ix.name);
    // Long-value column maps, in descriptor order.
    for (auto& c : d.columns) {
        for (auto& [col, maps] : p.longMaps) {
            if (col != c.number) continue;
            w.u16(col);
            w.u32(maps.first);
            w.u32(maps.second);
        }
    }
    w.u16(0xFFFF);

    std::vector<uint8_t>& b = w.buf();
    b[0] = fmt::kPageTdef;
    b[1] = 0x01;
    putU32(b.data() + fmt::kTdefLength, uint32_t(b.size()));
    putU32(b.data() + fmt::kTdefMagic, fmt::kTdefMagicValue);
    b[fmt::kTdefAutoNumberFlag] = 1;
    b[fmt::kTdefTableType] = d.tableType;
    putU16(b.data() + fmt::kTdefMaxCols, maxCols);
    putU16(b.data() + fmt::kTdefVarCols, varCols);
    putU16(b.data() + fmt::kTdefColumns, uint16_t(d.columns.size()));
    putU32(b.data() + fmt::kTdefLogicalIndexes, uint32_t(d.indexes.size()));
    putU32(b.data() + fmt::kTdefRealIndexes, uint32_t(d.indexes.size()));
    putU32(b.data() + fmt::kTdefOwnedMap, p.ownedMap);
    putU32(b.data() + fmt::kTdefFreeMap, p.freeMap);
    return b;
}

size_t tdefPageCount(size_t bytes) {
    if (bytes <= fmt::kPageSize) return 1;
    const size_t per = fmt::kPageSize - fmt::kTdefContinuationHeader;
    return 1 + (bytes - fmt::kPageSize + per - 1) / per;
}

void writeTdefPages(Pager& pager, const std::vector<uint8_t>& buf,
                    const std::vector<uint32_t>& pages) {
    if (pages.size() != tdefPageCount(buf.size()))
        throwError(ErrorKind::Usage, "table definition pages do not match its size");
    size_t at = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        PageBuf& pb = pager.modify(pages[i]);
        pb.fill(0);
        size_t room = i == 0 ? fmt::kPageSize : fmt::kPageSize - fmt::kTdefContinuationHeader;
        size_t n = std::min(room, buf.size() - at);
        if (i == 0) {
            std::memcpy(pb.data(), buf.data(), n);
        } else {
            pb[0] = fmt::kPageTdef;
            pb[1] = 0x01;
            std::memcpy(pb.data() + fmt::kTdefContinuationHeader, buf.data() + at, n);
        }
        at += n;
        size_t used = (i == 0 ? 0 : fmt::kTdefContinuationHeader) + n;
        putU16(pb.data() + 2, uint16_t(fmt::kPageSize - used - (i == 0 ? 8 : 0)));
        putU32(pb.data() + fmt::kTdefNextPage, i + 1 < pages.size() ? pages[i + 1] : 0);
    }
}

void writeEmptyLeaf(PageBuf& buf, uint32_t tdefPage) {
    buf.fill(0);
    buf[0] = fmt::kPageIndexLeaf;
    buf[1] = 0x01;
    putU16(buf.data() + fmt::kIdxFreeSpace, uint16_t(fmt::kIdxMaxEntryBytes));
    putU32(buf.data() + fmt::kIdxOwner, tdefPage);
}

std::vector<uint8_t> inlineMapRow(uint32_t start, bool first) {
    std::vector<uint8_t> row(5 + 64, 0);
    row[0] = fmt::kMapInline;
    putU32(row.data() + 1, start);
    if (first) row[5] = 0x01;
    return row;
}

}  // namespace jet
