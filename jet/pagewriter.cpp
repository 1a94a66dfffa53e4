// Data-page layout, usage-map bits and page allocation.
#include "jet/pagewriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "jet/datapage.h"
#include "jet/error.h"
#include "jet/format.h"

namespace jet {

// ---------------------------------------------------------------------------------------------
// SlotPage

SlotPage SlotPage::load(Pager& pager, uint32_t pgno) {
    DataPage dp(pager.get(pgno));
    SlotPage sp;
    sp.no = pgno;
    sp.lval = dp.isLval();
    std::memcpy(sp.header.data(), dp.page().buf->data() + 4, 8);
    sp.slots.resize(dp.rowCount());
    for (unsigned i = 0; i < dp.rowCount(); ++i) {
        uint16_t raw = dp.rawOffset(i);
        auto& s = sp.slots[i];
        s.flags = raw & 0xC000;
        Bytes row = dp.row(i);  // validates the offsets even for deleted slots
        if (!s.deleted()) s.data = row.copy();
        if (sp.lval && s.deleted()) s.flags = 0;
    }
    return sp;
}

size_t SlotPage::used() const {
    size_t n = fmt::kDataRowTable + 2 * slots.size();
    for (auto& s : slots) n += s.data.size();
    return n;
}

bool SlotPage::fits(size_t len) const {
    bool reuse = std::any_of(slots.begin(), slots.end(), [&](const Slot& s) { return isFree(s); });
    if (!reuse && slots.size() >= fmt::kMaxRowsPerPage) return false;
    return used() + len + (reuse ? 0 : 2) <= fmt::kPageSize;
}

unsigned SlotPage::add(std::vector<uint8_t> data, uint16_t flags) {
    for (unsigned i = 0; i < slots.size(); ++i) {
        if (isFree(slots[i])) {
            slots[i] = Slot{flags, std::move(data)};
            return i;
        }
    }
    slots.push_back(Slot{flags, std::move(data)});
    return unsigned(slots.size() - 1);
}

void SlotPage::remove(unsigned slot) {
    slots.at(slot).flags = lval ? 0 : fmt::kRowDeleted | fmt::kRowOverflow;
    slots.at(slot).data.clear();
    if (lval)
        while (!slots.empty() && isFree(slots.back())) slots.pop_back();
}

bool SlotPage::anyLive() const {
    return std::any_of(slots.begin(), slots.end(), [&](const Slot& s) { return !isFree(s); });
}

void SlotPage::store(Pager& pager) const {
    if (used() > fmt::kPageSize || slots.size() > fmt::kMaxRowsPerPage)
        throwError(ErrorKind::Usage, "rows do not fit on page " + std::to_string(no));
    PageBuf& buf = pager.modify(no);
    buf.fill(0);
    buf[0] = fmt::kPageData;
    buf[1] = 0x01;
    std::memcpy(buf.data() + 4, header.data(), 8);
    putU16(buf.data() + fmt::kDataFreeSpace, uint16_t(freeSpace()));
    putU16(buf.data() + fmt::kDataRowCount, uint16_t(slots.size()));
    size_t end = fmt::kPageSize;
    for (size_t i = 0; i < slots.size(); ++i) {
        size_t start = end - slots[i].data.size();
        if (!slots[i].data.empty())
            std::memcpy(buf.data() + start, slots[i].data.data(), slots[i].data.size());
        putU16(buf.data() + fmt::kDataRowTable + 2 * i, uint16_t(start | slots[i].flags));
        end = start;
    }
}

namespace {

// A data page laid out exactly as SlotPage::store() lays it out: rows back to back from the page
// end in slot order, deleted slots without bytes (on long-value pages also without flags, and
// not at the end of the table), the free space right, zeros between the offset table and rows.
struct StoredLayout {
    bool lval = false;
    size_t n = 0;
    std::array<uint16_t, fmt::kMaxRowsPerPage + 1> start{};  // start[i], i < n; start[n] = rows
    bool freeSlot = false;  // a slot that SlotPage::add() would take
    size_t end(size_t i) const { return i ? start[i - 1] : fmt::kPageSize; }
    size_t used() const { return fmt::kDataRowTable + 2 * n + (fmt::kPageSize - start[n]); }
};

uint16_t rawU16(const uint8_t* b, size_t off) {
    return uint16_t(b[off] | b[off + 1] << 8);
}

// `b` is a whole page, so the offsets read here stay inside it.
std::optional<StoredLayout> storedLayout(const uint8_t* b) {
    StoredLayout l;
    if (b[0] != fmt::kPageData || b[1] != 0x01) return std::nullopt;
    l.lval = std::memcmp(b + fmt::kDataOwner, "LVAL", 4) == 0;
    l.n = rawU16(b, fmt::kDataRowCount);
    if (l.n > fmt::kMaxRowsPerPage) return std::nullopt;
    const size_t table = fmt::kDataRowTable + 2 * l.n;
    size_t end = fmt::kPageSize;
    for (size_t i = 0; i < l.n; ++i) {
        const uint16_t raw = rawU16(b, fmt::kDataRowTable + 2 * i);
        const size_t start = raw & 0x3FFF;  // offset bits that SlotPage would keep
        if (start > end || start < table) return std::nullopt;  // SlotPage reports the damage
        const bool deleted = (raw & 0xC000) == 0xC000;
        if (l.lval) {
            if (deleted || (start == end && i + 1 == l.n)) return std::nullopt;
            l.freeSlot |= start == end;
        } else if (deleted) {
            if (start != end) return std::nullopt;
            l.freeSlot = true;
        }
        l.start[i] = uint16_t(start);
        end = start;
    }
    l.start[l.n] = uint16_t(end);
    if (rawU16(b, fmt::kDataFreeSpace) != fmt::kPageSize - l.used()) return std::nullopt;
    static const PageBuf zero{};
    if (std::memcmp(b + table, zero.data(), end - table) != 0) return std::nullopt;
    return l;
}

// The layout of data page `pgno` when SlotPage::store() laid it out: cached with the page (see
// Pager::derived), else read from its bytes.
std::shared_ptr<const StoredLayout> layoutOf(Pager& pager, uint32_t pgno) {
    if (auto cached = pager.derived(pgno, Pager::Derived::SlotLayout))
        return std::static_pointer_cast<const StoredLayout>(cached);
    const Page page = pager.get(pgno);
    std::optional<StoredLayout> l = storedLayout(page.buf->data());
    if (!l) return nullptr;
    auto out = std::make_shared<const StoredLayout>(*l);
    pager.setDerived(pgno, Pager::Derived::SlotLayout, out, sizeof(StoredLayout));
    return out;
}

// After a change made in step with `l`: the layout goes back into the cache.
void keepLayout(Pager& pager, uint32_t pgno, std::shared_ptr<StoredLayout> l) {
    pager.setDerived(pgno, Pager::Derived::SlotLayout, std::move(l), sizeof(StoredLayout));
}

}  // namespace

int appendRow(Pager& pager, uint32_t pgno, const std::vector<uint8_t>& data, uint16_t flags,
              size_t& freeAfter) {
    std::shared_ptr<const StoredLayout> cached = layoutOf(pager, pgno);
    if (!cached || cached->freeSlot || cached->n >= fmt::kMaxRowsPerPage) return -1;
    const StoredLayout* l = cached.get();
    const size_t used = l->used();
    if (used + data.size() + 2 > fmt::kPageSize) return -1;
    PageBuf& w = pager.modify(pgno);
    const size_t start = l->start[l->n] - data.size();
    if (!data.empty()) std::memcpy(w.data() + start, data.data(), data.size());
    putU16(w.data() + fmt::kDataRowTable + 2 * l->n, uint16_t(start | flags));
    putU16(w.data() + fmt::kDataRowCount, uint16_t(l->n + 1));
    freeAfter = fmt::kPageSize - (used + data.size() + 2);
    putU16(w.data() + fmt::kDataFreeSpace, uint16_t(freeAfter));
    auto next = std::make_shared<StoredLayout>(*l);
    next->start[next->n] = uint16_t(start);
    next->start[++next->n] = uint16_t(start);
    keepLayout(pager, pgno, std::move(next));
    return int(l->n);
}

bool removeRow(Pager& pager, RowId id, size_t& freeAfter) {
    std::shared_ptr<const StoredLayout> cached = layoutOf(pager, id.page);
    if (!cached || id.row >= cached->n) return false;
    auto l = std::make_shared<StoredLayout>(*cached);
    const size_t i = id.row;
    const size_t len = l->end(i) - l->start[i];
    if (l->lval) {
        bool live = false;
        for (size_t j = 0; j < l->n && !live; ++j) live = j != i && l->end(j) != l->start[j];
        if (!live) return false;  // the page is released instead
    }
    PageBuf& w = pager.modify(id.page);
    const size_t lowest = l->start[l->n];
    // The rows below this one move up into its place.
    std::memmove(w.data() + lowest + len, w.data() + lowest, l->start[i] - lowest);
    std::memset(w.data() + lowest, 0, len);
    for (size_t j = i + 1; j < l->n; ++j) {
        const size_t at = fmt::kDataRowTable + 2 * j;
        putU16(w.data() + at, uint16_t(rawU16(w.data(), at) + len));
        l->start[j] = uint16_t(l->start[j] + len);
    }
    l->start[i] = uint16_t(l->end(i));
    putU16(w.data() + fmt::kDataRowTable + 2 * i,
           uint16_t(l->start[i] | (l->lval ? 0 : fmt::kRowDeleted | fmt::kRowOverflow)));
    // A long-value page drops the free slots that end its table.
    size_t n = l->n;
    while (l->lval && n > 0 && l->end(n - 1) == l->start[n - 1]) {
        --n;
        putU16(w.data() + fmt::kDataRowTable + 2 * n, 0);
    }
    putU16(w.data() + fmt::kDataRowCount, uint16_t(n));
    const size_t used = fmt::kDataRowTable + 2 * n + (fmt::kPageSize - (lowest + len));
    freeAfter = fmt::kPageSize - used;
    putU16(w.data() + fmt::kDataFreeSpace, uint16_t(freeAfter));
    l->n = n;
    l->start[n] = uint16_t(lowest + len);
    l->freeSlot = false;
    for (size_t j = 0; j < n; ++j) l->freeSlot |= l->end(j) == l->start[j];
    keepLayout(pager, id.page, std::move(l));
    return true;
}

bool replaceRow(Pager& pager, RowId id, const std::vector<uint8_t>& data, size_t& freeAfter) {
    std::shared_ptr<const StoredLayout> cached = layoutOf(pager, id.page);
    if (!cached || cached->lval || id.row >= cached->n) return false;
    const size_t i = id.row;
    const size_t oldLen = cached->end(i) - cached->start[i];
    if (oldLen == 0) return false;  // a deleted slot
    const size_t used = cached->used() - oldLen + data.size();
    if (used > fmt::kPageSize) return false;
    auto l = std::make_shared<StoredLayout>(*cached);
    PageBuf& w = pager.modify(id.page);
    // The rows below this one (slots after it) move by `shift` bytes towards the page end; a
    // negative shift moves them down into the free space.
    const ptrdiff_t shift = ptrdiff_t(oldLen) - ptrdiff_t(data.size());
    const size_t lowest = l->start[l->n];
    const size_t newLowest = size_t(ptrdiff_t(lowest) + shift);
    std::memmove(w.data() + newLowest, w.data() + lowest, l->start[i] - lowest);
    if (shift > 0) std::memset(w.data() + lowest, 0, size_t(shift));
    const size_t start = l->end(i) - data.size();
    if (!data.empty()) std::memcpy(w.data() + start, data.data(), data.size());
    for (size_t j = i; j < l->n; ++j) {
        const size_t at = fmt::kDataRowTable + 2 * j;
        const size_t next = j == i ? start : size_t(ptrdiff_t(l->start[j]) + shift);
        putU16(w.data() + at, uint16_t((rawU16(w.data(), at) & 0xC000) | next));
        l->start[j] = uint16_t(next);
    }
    l->start[l->n] = uint16_t(newLowest);
    freeAfter = fmt::kPageSize - used;
    putU16(w.data() + fmt::kDataFreeSpace, uint16_t(freeAfter));
    keepLayout(pager, id.page, std::move(l));
    return true;
}

void initDataPage(PageBuf& buf, uint32_t owner, bool lval) {
    buf.fill(0);
    buf[0] = fmt::kPageData;
    buf[1] = 0x01;
    putU16(buf.data() + fmt::kDataFreeSpace, fmt::kDataInitialFree);
    if (lval)
        std::memcpy(buf.data() + fmt::kDataOwner, "LVAL", 4);
    else
        putU32(buf.data() + fmt::kDataOwner, owner);
}

// ---------------------------------------------------------------------------------------------
// Maps

namespace {

// Location of a usage-map row inside its page, for in-place bit changes.
struct MapRow {
    uint32_t page;
    size_t start;  // offset of the row in the page
    size_t len;
};

MapRow locate(Pager& pager, uint32_t mapRow) {
    RowId id = RowId::fromRaw(mapRow);
    DataPage dp(pager.get(id.page));
    Bytes row = dp.row(id.row);
    if (row.size() < 5) throwCorrupt(id.page, "a usage map row is too short");
    return MapRow{id.page, size_t(row.data() - dp.page().buf->data()), row.size()};
}

void setBit(uint8_t* bits, size_t bit, bool on) {
    if (on)
        bits[bit / 8] |= uint8_t(1 << (bit % 8));
    else
        bits[bit / 8] &= uint8_t(~(1 << (bit % 8)));
}

// The global map's inline row grows with the file up to this many bitmap bytes (a page-1 row of
// about 4 KB: some 32,000 pages); a larger file's later pages are not tracked.
constexpr size_t kMaxGlobalBitmap = 3840;

// Sets or clears the global map's bit for `page`. A page the inline map does not cover yet is
// brought into it by growing the map's row (existing pages it newly covers count as used, pages
// past the end of the file as free), so freed pages can be found again.
void setGlobal(Pager& pager, uint32_t page, bool free) {
    MapRow m = locate(pager, kGlobalMapRow);
    Page p = pager.get(m.page);
    const uint8_t* row = p.buf->data() + m.start;
    if (row[0] == fmt::kMapInline) {
        uint32_t start = Bytes(row + 1, 4).u32(0);
        size_t bits = (m.len - 5) * 8;
        if (page < start) return;
        if (page - start >= bits) {
            size_t want = ((page - start) / 8 / 64 + 1) * 64;  // bitmap bytes, in steps of 64
            if (free || want > kMaxGlobalBitmap) return;
            SlotPage sp = SlotPage::load(pager, m.page);
            auto& data = sp.slots.at(0).data;
            size_t old = data.size() - 5;
            if (sp.used() + (want - old) > fmt::kPageSize) return;
            data.resize(5 + want, 0);
            for (size_t b = old * 8; b < want * 8; ++b)
                if (start + b >= pager.pageCount()) setBit(data.data() + 5, b, true);
            sp.store(pager);
            setGlobal(pager, page, free);
            return;
        }
        PageBuf& buf = pager.modify(m.page);
        setBit(buf.data() + m.start + 5, page - start, free);
        return;
    }
    size_t k = page / fmt::kMapPageBits;
    if (k >= (m.len - 1) / 4) return;
    uint32_t bp = Bytes(row + 1 + 4 * k, 4).u32(0);
    if (bp == 0) return;
    if (bp >= pager.pageCount() || pager.get(bp).type() != fmt::kPageUsageMap)
        throwCorrupt(m.page, "the global usage map points to a page that is not a map");
    PageBuf& buf = pager.modify(bp);
    setBit(buf.data() + 4, page % fmt::kMapPageBits, free);
}

// A page the global map marks free that this engine freed itself (all zeros), or 0.
uint32_t reusablePage(Pager& pager) {
    MapRow m = locate(pager, kGlobalMapRow);
    Page p = pager.get(m.page);
    const uint8_t* row = p.buf->data() + m.start;
    if (row[0] != fmt::kMapInline) return 0;
    uint32_t start = Bytes(row + 1, 4).u32(0);
    static const PageBuf zero{};
    for (size_t i = 0; i < m.len - 5; ++i) {
        unsigned bits = row[5 + i];
        while (bits) {
            uint64_t pg = start + i * 8 + unsigned(__builtin_ctz(bits));
            bits &= bits - 1;
            if (pg >= pager.pageCount()) return 0;
            if (pg < 2 || pager.notReusable.count(uint32_t(pg))) continue;
            if (*pager.get(uint32_t(pg)).buf == zero) return uint32_t(pg);
            pager.notReusable.insert(uint32_t(pg));  // freed by someone else: leave it alone
        }
    }
    return 0;
}

}  // namespace

uint32_t PageAllocator::allocate() {
    uint32_t pg = reusablePage(pager_);
    if (pg) {
        pager_.modify(pg).fill(0);
    } else {
        pg = pager_.append();
    }
    setGlobal(pager_, pg, false);
    return pg;
}

void PageAllocator::release(uint32_t pgno) {
    pager_.modify(pgno).fill(0);
    pager_.notReusable.erase(pgno);
    setGlobal(pager_, pgno, true);
}

void UsageMapEditor::add(uint32_t mapRow, uint32_t page) {
    set(mapRow, page, true, true);
}
void UsageMapEditor::remove(uint32_t mapRow, uint32_t page) {
    set(mapRow, page, false, false);
}

void UsageMapEditor::set(uint32_t mapRow, uint32_t page, bool on, bool extend) {
    MapRow m = locate(pager_, mapRow);
    std::vector<uint8_t> row;
    {
        Page p = pager_.get(m.page);
        row.assign(p.buf->data() + m.start, p.buf->data() + m.start + m.len);
    }
    if (row[0] == fmt::kMapInline) {
        uint32_t start = Bytes(row.data() + 1, 4).u32(0);
        size_t bits = (m.len - 5) * 8;
        if (page >= start && page - start < bits) {
            PageBuf& buf = pager_.modify(m.page);
            setBit(buf.data() + m.start + 5, page - start, on);
            return;
        }
        if (!extend) return;
        // Outside the map: move its start (a multiple of 8) if every page still fits, else turn
        // it into a reference map.
        std::vector<uint32_t> pages{page};
        for (size_t b = 0; b < bits; ++b)
            if (row[5 + b / 8] & (1 << (b % 8))) pages.push_back(uint32_t(start + b));
        uint32_t lo = *std::min_element(pages.begin(), pages.end());
        uint32_t hi = *std::max_element(pages.begin(), pages.end());
        uint32_t newStart = lo & ~7u;
        PageBuf& buf = pager_.modify(m.page);
        uint8_t* r = buf.data() + m.start;
        if (hi - newStart < bits) {
            std::memset(r + 5, 0, m.len - 5);
            putU32(r + 1, newStart);
            for (uint32_t pg : pages) setBit(r + 5, pg - newStart, true);
            return;
        }
        size_t slots = (m.len - 1) / 4;
        if (hi / fmt::kMapPageBits >= slots)
            throwError(ErrorKind::Constraint, "The database has reached its maximum size");
        std::memset(r, 0, m.len);
        r[0] = fmt::kMapReference;
        for (uint32_t pg : pages) {
            size_t k = pg / fmt::kMapPageBits;
            uint32_t bp = Bytes(r + 1 + 4 * k, 4).u32(0);
            if (bp == 0) {
                bp = alloc_.allocate();
                PageBuf& nb = pager_.modify(bp);
                nb[0] = fmt::kPageUsageMap;
                nb[1] = 0x01;
                r = pager_.modify(m.page).data() + m.start;
                putU32(r + 1 + 4 * k, bp);
            }
            setBit(pager_.modify(bp).data() + 4, pg % fmt::kMapPageBits, true);
            r = pager_.modify(m.page).data() + m.start;
        }
        return;
    }
    size_t k = page / fmt::kMapPageBits;
    size_t slots = (m.len - 1) / 4;
    if (k >= slots) {
        if (!extend) return;
        throwError(ErrorKind::Constraint, "The database has reached its maximum size");
    }
    uint32_t bp = Bytes(row.data() + 1 + 4 * k, 4).u32(0);
    if (bp == 0) {
        if (!on) return;
        bp = alloc_.allocate();
        PageBuf& nb = pager_.modify(bp);
        nb[0] = fmt::kPageUsageMap;
        nb[1] = 0x01;
        putU32(pager_.modify(m.page).data() + m.start + 1 + 4 * k, bp);
    } else if (bp >= pager_.pageCount() || pager_.get(bp).type() != fmt::kPageUsageMap) {
        throwCorrupt(m.page, "a usage map points to page " + std::to_string(bp) +
                                 ", which is not a map page");
    }
    setBit(pager_.modify(bp).data() + 4, page % fmt::kMapPageBits, on);
}

}  // namespace jet
