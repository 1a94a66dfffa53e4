// Index pages (node 0x03 and leaf 0x04): entry bitmap, prefix compression, sibling and tail
// pointers; and walking or searching a whole index from its root.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "jet/pager.h"
#include "jet/tabledef.h"

namespace jet {

struct IndexEntry {
    std::vector<uint8_t> key;  // key bytes (without the row pointer / child page)
    RowId row;                 // the row (for a node entry: of the last entry below it)
    uint32_t child = 0;        // node entries only
    // Key followed by the big-endian row pointer: the order entries are sorted in.
    std::vector<uint8_t> sortBytes() const;
};

class IndexPage {
public:
    // Validates the page and decodes all entries. Throws Corrupt.
    explicit IndexPage(Page p);

    uint32_t no() const { return page_.no; }
    bool leaf() const { return page_.type() == 0x04; }
    uint32_t owner() const;
    uint32_t prev() const;
    uint32_t next() const;
    uint32_t tail() const;
    uint16_t freeSpace() const;
    uint16_t prefixLength() const { return prefix_; }
    size_t usedBytes() const { return used_; }  // entry bytes as stored (after prefix removal)
    const std::vector<IndexEntry>& entries() const { return entries_; }

private:
    Page page_;
    uint16_t prefix_ = 0;
    size_t used_ = 0;
    std::vector<IndexEntry> entries_;
};

// Calls `fn` for every leaf entry of the index in key order, descending from the root through
// node entries and tails. Throws Corrupt on loops, wrong page types or a tree deeper than Jet
// can build.
void forEachIndexEntry(Pager& pager, const RealIndex& ix,
                       const std::function<void(const IndexEntry&)>& fn);

// Rows whose key bytes equal `key`, in index order (uses the node entries to find the first
// leaf, then follows the leaf chain).
std::vector<RowId> indexFind(Pager& pager, const RealIndex& ix, const std::vector<uint8_t>& key);

int compareBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace jet
