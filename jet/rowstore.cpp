// Storing rows and long values on pages.
#include "jet/rowstore.h"

#include <cstring>

#include "jet/datapage.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/longvalue.h"
#include "jet/row.h"
#include "jet/text.h"
#include "jet/usagemap.h"

namespace jet {

const LongColumnMaps* longMapsOf(const TableDef& t, const Column& c) {
    for (auto& m : t.longMaps)
        if (m.column == c.number) return &m;
    return nullptr;
}

RowId placeRow(Ctx& x, const TableDef& t, uint32_t ownedMap, uint32_t freeMap, bool lval,
               std::vector<uint8_t> data, uint16_t flags) {
    const size_t len = data.size();
    if (freeMap) {
        if (std::optional<uint32_t> last = lastUsageMapPage(x.pager, RowId::fromRaw(freeMap))) {
            uint32_t pg = *last;
            DataPage dp(x.pager.get(pg));
            bool ours = lval ? dp.isLval() : dp.owner() == t.page;
            if (ours) {
                size_t freeAfter = 0;
                int slot = appendRow(x.pager, pg, data, flags, freeAfter);
                if (slot >= 0) {
                    if (freeAfter < kFreeMapThreshold) x.maps.remove(freeMap, pg);
                    return RowId{pg, uint8_t(slot)};
                }
                SlotPage sp = SlotPage::load(x.pager, pg);
                if (sp.fits(len)) {
                    unsigned slot = sp.add(std::move(data), flags);
                    sp.store(x.pager);
                    if (sp.freeSpace() < kFreeMapThreshold) x.maps.remove(freeMap, pg);
                    return RowId{pg, uint8_t(slot)};
                }
            }
            x.maps.remove(freeMap, pg);
        }
    }
    uint32_t pg = x.alloc.allocate();
    initDataPage(x.pager.modify(pg), t.page, lval);
    if (ownedMap) x.maps.add(ownedMap, pg);
    size_t freeAfter = 0;
    int slot = appendRow(x.pager, pg, data, flags, freeAfter);
    if (slot < 0) throwError(ErrorKind::Usage, "a row does not fit on an empty page");
    if (freeMap && freeAfter >= kFreeMapThreshold) x.maps.add(freeMap, pg);
    return RowId{pg, uint8_t(slot)};
}

void removeSlot(Ctx& x, RowId id, uint32_t ownedMap, uint32_t freeMap, bool lval) {
    size_t freeAfter = 0;
    if (removeRow(x.pager, id, freeAfter)) {
        if (freeMap && freeAfter >= kFreeMapThreshold) x.maps.add(freeMap, id.page);
        return;
    }
    SlotPage sp = SlotPage::load(x.pager, id.page);
    if (id.row >= sp.slots.size()) throwCorrupt(id.page, "a row pointer names a missing row");
    sp.remove(id.row);
    if (lval && !sp.anyLive()) {
        if (ownedMap) x.maps.remove(ownedMap, id.page);
        if (freeMap) x.maps.remove(freeMap, id.page);
        x.alloc.release(id.page);
        return;
    }
    sp.store(x.pager);
    if (freeMap && sp.freeSpace() >= kFreeMapThreshold) x.maps.add(freeMap, id.page);
}

namespace {

std::vector<uint8_t> longHeader(uint32_t length, uint8_t kind, uint32_t pointer) {
    std::vector<uint8_t> h(fmt::kLongValueHeader, 0);
    putU24(h.data(), length);
    h[3] = kind;
    putU32(h.data() + 4, pointer);
    return h;
}

}  // namespace

std::vector<uint8_t> storeLongValue(Ctx& x, const TableDef& t, const Column& c,
                                    const std::vector<uint8_t>& data, bool inlineIt) {
    const uint32_t len = uint32_t(data.size());
    if (inlineIt) {
        auto h = longHeader(len, fmt::kLongInline, 0);
        h.insert(h.end(), data.begin(), data.end());
        return h;
    }
    const LongColumnMaps* m = longMapsOf(t, c);
    const uint32_t owned = m ? m->ownedMap : 0, free = m ? m->freeMap : 0;
    if (len <= fmt::kMaxSingleLval) {
        RowId id = placeRow(x, t, owned, free, true, data, 0);
        return longHeader(len, fmt::kLongSingle, id.raw());
    }
    // A chain: chunks of at most 4072 bytes, each row led by the pointer to the next chunk.
    // Written from the last chunk backwards so each row knows its successor.
    size_t chunks = (data.size() + fmt::kMaxChainChunk - 1) / fmt::kMaxChainChunk;
    uint32_t next = 0;
    for (size_t k = chunks; k-- > 0;) {
        size_t from = k * fmt::kMaxChainChunk;
        size_t n = std::min(fmt::kMaxChainChunk, data.size() - from);
        std::vector<uint8_t> row(4 + n);
        putU32(row.data(), next);
        std::memcpy(row.data() + 4, data.data() + from, n);
        next = placeRow(x, t, owned, free, true, std::move(row), 0).raw();
    }
    return longHeader(len, 0, next);
}

void freeLongValue(Ctx& x, const TableDef& t, const Column& c, Bytes field) {
    if (field.size() < fmt::kLongValueHeader) return;
    const LongColumnMaps* m = longMapsOf(t, c);
    for (uint32_t raw : longValueRows(x.pager, field))
        removeSlot(x, RowId::fromRaw(raw), m ? m->ownedMap : 0, m ? m->freeMap : 0, true);
}

std::vector<uint8_t> payloadOf(const Column& c, const Value& v) {
    if (c.type == ColType::Memo || c.type == ColType::Text) {
        const auto& s = std::get<std::u16string>(v);
        return encodeText(s, c.compressible(), c.type == ColType::Memo ? 1024 : 255);
    }
    if (std::holds_alternative<Blob>(v)) return std::get<Blob>(v);
    // A fixed-size type stored as a variable column (Access does this in its own tables).
    std::vector<uint8_t> out(fixedSize(c.type));
    encodeFixed(c, v, out.data());
    return out;
}

// The field bytes of every variable column, storing long values as needed. Long values that
// equal `reuse` (the old row) keep their stored field.
std::vector<std::vector<uint8_t>> buildFields(Ctx& x, const TableDef& t, const Row& row,
                                              const Row* oldRow, Bytes oldBytes,
                                              std::vector<bool>& reused) {
    std::vector<std::vector<uint8_t>> var(t.columns.size());
    reused.assign(t.columns.size(), false);
    // First every long value as a 12-byte reference, then inline small ones while the row fits.
    size_t size = 2 + t.fixedAreaSize() + (t.maxColumns + 7) / 8 + 4 + 2 * t.columns.size();
    std::vector<size_t> longCols;
    std::optional<RowLayout> oldLayout;
    if (oldRow) oldLayout = parseRowLayout(t, oldBytes);
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const Column& c = t.columns[i];
        if (c.fixed() || c.type == ColType::Boolean || isNull(row[i])) continue;
        if (isLongValue(c.type)) {
            if (oldRow && (*oldRow)[i] == row[i]) {
                Bytes f;
                if (columnBytes(t, *oldLayout, oldBytes, c, f)) {
                    var[i] = f.copy();
                    reused[i] = true;
                    size += var[i].size();
                    continue;
                }
            }
            longCols.push_back(i);
            size += fmt::kLongValueHeader;
            continue;
        }
        var[i] = payloadOf(c, row[i]);
        size += var[i].size();
    }
    for (size_t i : longCols) {
        const Column& c = t.columns[i];
        std::vector<uint8_t> data = payloadOf(c, row[i]);
        bool inlineIt =
            data.size() <= kInlineLongValueMax && size + data.size() <= fmt::kMaxRowSize;
        if (inlineIt) size += data.size();
        var[i] = storeLongValue(x, t, c, data, inlineIt);
    }
    return var;
}

}  // namespace jet
