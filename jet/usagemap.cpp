// Reading usage maps.
#include "jet/usagemap.h"

#include <set>

#include "jet/datapage.h"
#include "jet/error.h"

namespace jet {

namespace {

void collectBits(Bytes bits, uint64_t firstPage, uint32_t pageCount, bool keepBeyondEnd,
                 int64_t errPage, std::vector<uint32_t>& out) {
    for (size_t i = 0; i < bits.size(); ++i) {
        uint8_t byte = bits.u8(i);
        if (!byte) continue;
        for (int k = 0; k < 8; ++k) {
            if (!(byte & (1 << k))) continue;
            uint64_t pg = firstPage + i * 8 + uint64_t(k);
            if (pg >= pageCount) {
                if (keepBeyondEnd) {
                    if (pg <= 0xFFFFFFu) out.push_back(uint32_t(pg));
                    continue;
                }
                throwCorrupt(errPage, "a usage map lists page " + std::to_string(pg) +
                                          ", beyond the end of the file");
            }
            out.push_back(uint32_t(pg));
        }
    }
}

// The highest set bit of `bits` as a page number, or -1.
int64_t lastBit(Bytes bits, uint64_t firstPage) {
    for (size_t i = bits.size(); i-- > 0;) {
        uint8_t byte = bits.u8(i);
        if (byte) return int64_t(firstPage + i * 8 + uint64_t(31 - __builtin_clz(byte)));
    }
    return -1;
}

// Bitmap page `bp` of the usage map at `where`, checked: a page of the right type that the map
// names only once.
Page bitmapPage(Pager& pager, RowId where, uint32_t bp, std::set<uint32_t>& seen) {
    if (!seen.insert(bp).second)
        throwCorrupt(where.page, "a usage map uses bitmap page " + std::to_string(bp) + " twice");
    Page p = pager.get(bp);
    if (p.type() != fmt::kPageUsageMap)
        throwCorrupt(bp,
                     "expected a usage bitmap page, found page type " + std::to_string(p.type()));
    return p;
}

}  // namespace

std::optional<uint32_t> lastUsageMapPage(Pager& pager, RowId where) {
    DataPage dp(pager.get(where.page));
    Bytes row = dp.row(where.row);
    uint8_t kind = row.u8(0);
    int64_t last = -1;
    int64_t errPage = where.page;
    if (kind == fmt::kMapInline) {
        last = lastBit(row.sub(5, row.size() - 5), row.u32(1));
    } else if (kind == fmt::kMapReference) {
        size_t n = (row.size() - 1) / 4;
        std::set<uint32_t> seen;
        for (size_t k = 0; k < n; ++k) {
            uint32_t bp = row.u32(1 + 4 * k);
            if (bp == 0) continue;
            Page p = bitmapPage(pager, where, bp, seen);
            int64_t pg =
                lastBit(p.bytes().sub(4, fmt::kPageSize - 4), uint64_t(k) * fmt::kMapPageBits);
            if (pg >= 0) {
                last = pg;
                errPage = bp;
            }
        }
    } else {
        throwCorrupt(where.page, "unknown usage map type " + std::to_string(kind));
    }
    if (last < 0) return std::nullopt;
    if (uint64_t(last) >= pager.pageCount())
        throwCorrupt(errPage, "a usage map lists page " + std::to_string(last) +
                                  ", beyond the end of the file");
    return uint32_t(last);
}

std::vector<uint32_t> readUsageMap(Pager& pager, RowId where, bool keepBeyondEnd,
                                   UsageMapInfo* info) {
    DataPage dp(pager.get(where.page));
    Bytes row = dp.row(where.row);
    std::vector<uint32_t> out;
    uint8_t kind = row.u8(0);
    UsageMapInfo local;
    UsageMapInfo& mi = info ? *info : local;
    mi.where = where;
    mi.kind = kind;
    if (kind == fmt::kMapInline) {
        mi.startPage = row.u32(1);
        mi.bitmapBytes = row.size() - 5;
        collectBits(row.sub(5, row.size() - 5), mi.startPage, pager.pageCount(), keepBeyondEnd,
                    where.page, out);
    } else if (kind == fmt::kMapReference) {
        size_t n = (row.size() - 1) / 4;
        std::set<uint32_t> seen;
        for (size_t k = 0; k < n; ++k) {
            uint32_t bp = row.u32(1 + 4 * k);
            mi.bitmapPages.push_back(bp);
            if (bp == 0) continue;
            Page p = bitmapPage(pager, where, bp, seen);
            collectBits(p.bytes().sub(4, fmt::kPageSize - 4), uint64_t(k) * fmt::kMapPageBits,
                        pager.pageCount(), keepBeyondEnd, bp, out);
        }
    } else {
        throwCorrupt(where.page, "unknown usage map type " + std::to_string(kind));
    }
    return out;
}

}  // namespace jet
