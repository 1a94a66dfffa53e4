// Writing pages: data-page slot layout, usage-map bits and page allocation. Everything here
// changes pages through the pager's open transaction only.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/pager.h"
#include "jet/tabledef.h"

namespace jet {

// A data page as a list of slots. Rows are laid out from the end of the page downwards in slot
// order; a deleted slot keeps its number and takes no bytes (as Access leaves it).
//
// On long-value pages a free slot is an empty slot without flags, and free slots at the end are
// dropped: some readers take a row's end from the previous slot's offset without removing the
// flag bits, so no live long-value row may follow a flagged slot.
struct SlotPage {
    struct Slot {
        uint16_t flags = 0;  // 0, kRowDeleted|kRowOverflow (deleted), kRowOverflow, kRowDeleted
        std::vector<uint8_t> data;
        bool deleted() const { return (flags & 0xC000) == 0xC000; }
    };
    uint32_t no = 0;
    bool lval = false;
    std::array<uint8_t, 10> header{};  // bytes 4..13 except the row count: owner/LVAL, reserved
    std::vector<Slot> slots;

    static SlotPage load(Pager& pager, uint32_t pgno);
    // Bytes used by header, offset table and rows.
    size_t used() const;
    size_t freeSpace() const { return used() > 4096 ? 0 : 4096 - used(); }
    // Room for one more row of `len` bytes (in a new slot or a deleted one).
    bool fits(size_t len) const;
    // Puts `data` into the first deleted slot or a new one; returns the slot number.
    // REQUIRES: fits(data.size()).
    unsigned add(std::vector<uint8_t> data, uint16_t flags);
    void remove(unsigned slot);  // marks it deleted and drops its bytes
    // Writes the page. Throws when the rows do not fit.
    void store(Pager& pager) const;
    bool anyLive() const;
    bool isFree(const Slot& s) const { return s.deleted() || (lval && s.data.empty()); }
};

// Adds a row to data page `pgno` in place when the page is laid out exactly as SlotPage::store()
// lays it out and has no free slot to reuse: the new slot follows the others and its row goes
// below theirs, which is where SlotPage would put it. Returns the slot, or -1 when the page must
// go through SlotPage (another layout, a free slot, no room). `freeAfter` receives the page's
// free space after the row was added.
int appendRow(Pager& pager, uint32_t pgno, const std::vector<uint8_t>& data, uint16_t flags,
              size_t& freeAfter);

// Removes row `id` from its data page in place when the page is laid out as SlotPage::store()
// lays it out, the way SlotPage::remove() and store() would: the rows below move up, the slot
// keeps its number without bytes. Returns false when the page must go through SlotPage
// (another layout, or a long-value page left without a live row, which is released).
bool removeRow(Pager& pager, RowId id, size_t& freeAfter);

// Gives live row `id` of a table's data page the bytes `data` in place when the page is laid out
// as SlotPage::store() lays it out and the page still holds it: the rows below move by the
// difference in length, as SlotPage would place them; the slot keeps its flags. Returns false
// when the page must go through SlotPage (another layout, a long-value page, no room).
bool replaceRow(Pager& pager, RowId id, const std::vector<uint8_t>& data, size_t& freeAfter);

// A new data page for a table (`owner` = TDEF page) or a long-value page (lval = true).
void initDataPage(PageBuf& buf, uint32_t owner, bool lval);

class PageAllocator {
  public:
    explicit PageAllocator(Pager& pager) : pager_(pager) {}
    // A zeroed page marked used in the global map: a page this engine freed earlier (free in
    // the global map and all zeros), else a new page at the end of the file.
    uint32_t allocate();
    // Zeroes a page and marks it free in the global map, for allocate() to use again.
    void release(uint32_t pgno);

  private:
    Pager& pager_;
};

// Usage-map bits. Owned and free-space maps set a bit for a page they hold; the global map
// (page 1, row 0) sets a bit for a free page. Inline maps move their start page or turn into
// reference maps when a page falls outside them.
class UsageMapEditor {
  public:
    UsageMapEditor(Pager& pager, PageAllocator& alloc) : pager_(pager), alloc_(alloc) {}
    void add(uint32_t mapRow, uint32_t page);
    void remove(uint32_t mapRow, uint32_t page);

  private:
    void set(uint32_t mapRow, uint32_t page, bool on, bool extend);
    Pager& pager_;
    PageAllocator& alloc_;
};

constexpr uint32_t kGlobalMapRow = 1u << 8;  // page 1, row 0

}  // namespace jet
