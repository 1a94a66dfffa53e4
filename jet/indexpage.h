// Index pages (node 0x03 and leaf 0x04): entry bitmap, prefix compression, sibling and tail
// pointers; and walking or searching a whole index from its root.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/format.h"
#include "jet/pager.h"
#include "jet/tabledef.h"

namespace jet {

// One entry of an index page. The views point into the IndexPage's own buffer and stay valid
// while the IndexPage lives.
struct IndexEntry {
    std::string_view key;   // key bytes (without the row pointer / child page)
    std::string_view sort;  // key followed by the big-endian row pointer: the order of entries
    RowId row;              // the row (for a node entry: of the last entry below it)
    uint32_t child = 0;     // node entries only
    std::vector<uint8_t> keyBytes() const { return {key.begin(), key.end()}; }
    std::vector<uint8_t> sortBytes() const { return {sort.begin(), sort.end()}; }
};

class IndexPage {
  public:
    // Validates the page and decodes all entries. Throws Corrupt.
    explicit IndexPage(Page p);

    uint32_t no() const { return page_.no; }
    bool leaf() const { return page_.type() == fmt::kPageIndexLeaf; }
    uint32_t owner() const;
    uint32_t prev() const;
    uint32_t next() const;
    uint32_t tail() const;
    uint16_t freeSpace() const;
    size_t usedBytes() const { return used_; }  // entry bytes as stored (after prefix removal)
    const std::vector<IndexEntry>& entries() const { return entries_; }
    // Memory the parsed entries take.
    size_t heldBytes() const { return full_.capacity() + entries_.capacity() * sizeof(IndexEntry); }

  private:
    Page page_;
    uint16_t prefix_ = 0;
    size_t used_ = 0;
    std::string full_;  // every entry whole (prefix restored), one after another
    std::vector<IndexEntry> entries_;
};

// The parsed index page `pgno`, shared and cached until the page changes.
std::shared_ptr<const IndexPage> loadIndexPage(Pager& pager, uint32_t pgno);

// Calls `fn` for every leaf entry of the index in key order, descending from the root through
// node entries and tails. Throws Corrupt on loops, wrong page types or a tree deeper than Jet
// can build.
void forEachIndexEntry(Pager& pager, const RealIndex& ix,
                       const std::function<void(const IndexEntry&)>& fn);

// Rows whose key bytes equal `key`, in index order (uses the node entries to find the first
// leaf, then follows the leaf chain).
std::vector<RowId> indexFind(Pager& pager, const RealIndex& ix, const std::vector<uint8_t>& key);

int compareBytes(std::string_view a, std::string_view b);
inline std::string_view asView(const std::vector<uint8_t>& v) {
    return {reinterpret_cast<const char*>(v.data()), v.size()};
}
inline int compareBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return compareBytes(asView(a), asView(b));
}

}  // namespace jet
