// Index pages (node 0x03 and leaf 0x04): entry bitmap, prefix compression, sibling and tail
// pointers; and walking or searching a whole index from its root.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/format.h"
#include "jet/pager.h"
#include "jet/tabledef.h"

namespace jet {

// One entry of an index page. The views point into the IndexPage's own buffer and stay valid
// while the IndexPage lives and is not changed.
struct IndexEntry {
    std::string_view key;   // key bytes (without the row pointer / child page)
    std::string_view sort;  // key followed by the big-endian row pointer: the order of entries
    RowId row;              // the row (for a node entry: of the last entry below it)
    uint32_t child = 0;     // node entries only
    std::vector<uint8_t> keyBytes() const { return {key.begin(), key.end()}; }
    std::vector<uint8_t> sortBytes() const { return {sort.begin(), sort.end()}; }
};

// An index page decoded: its header fields and its entries whole (the shared prefix put back).
// Parsed pages are shared through the pager's cache of derived objects; the index writer changes
// a cached page together with the page's bytes (see indexwriter.h), so both always agree.
class IndexPage {
  public:
    // Validates the page and decodes all entries. Throws Corrupt.
    explicit IndexPage(Page p);

    uint32_t no() const { return no_; }
    bool leaf() const { return leaf_; }
    uint32_t owner() const { return owner_; }
    uint32_t prev() const { return prev_; }
    uint32_t next() const { return next_; }
    uint32_t tail() const { return tail_; }
    uint16_t freeSpace() const { return free_; }
    uint16_t prefix() const { return prefix_; }
    size_t usedBytes() const { return used_; }  // entry bytes as stored (after prefix removal)
    // Laid out exactly as IndexPageEditor::encode() lays it out (pages this engine wrote).
    bool canonical() const { return canonical_; }
    // Bytes after the key in each entry: the row pointer, and a node's child page.
    size_t tailBytes() const { return leaf_ ? 4 : 8; }

    size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    IndexEntry entry(size_t i) const;
    // Entry i whole: key, row pointer and (node) child page.
    std::string_view whole(size_t i) const {
        size_t start = i ? ends_[i - 1] : 0;
        return std::string_view(full_).substr(start, ends_[i] - start);
    }
    std::string_view sortOf(size_t i) const {
        std::string_view w = whole(i);
        return w.substr(0, w.size() - (leaf_ ? 0 : 4));
    }
    std::string_view keyOf(size_t i) const {
        std::string_view w = whole(i);
        return w.substr(0, w.size() - tailBytes());
    }
    // The first entry whose sort bytes are not less than `sort` (size() when none).
    size_t lowerBound(std::string_view sort) const;
    // The first entry whose key is not less than `key` (size() when none).
    size_t lowerBoundKey(std::string_view key) const;

    // Iteration over the entries in order (each an IndexEntry by value).
    class Entries {
      public:
        class iterator {
          public:
            iterator(const IndexPage* p, size_t i) : p_(p), i_(i) {}
            IndexEntry operator*() const { return p_->entry(i_); }
            iterator& operator++() {
                ++i_;
                return *this;
            }
            bool operator!=(const iterator& o) const { return i_ != o.i_; }

          private:
            const IndexPage* p_;
            size_t i_;
        };
        explicit Entries(const IndexPage* p) : p_(p) {}
        iterator begin() const { return {p_, 0}; }
        iterator end() const { return {p_, p_->size()}; }
        size_t size() const { return p_->size(); }
        bool empty() const { return p_->empty(); }
        IndexEntry back() const { return p_->entry(p_->size() - 1); }

      private:
        const IndexPage* p_;
    };
    Entries entries() const { return Entries(this); }

    // Memory the decoded page takes.
    size_t heldBytes() const {
        return sizeof(IndexPage) + full_.capacity() + ends_.capacity() * sizeof(uint32_t);
    }

  private:
    friend class IndexPageEditor;
    IndexPage() = default;

    uint32_t no_ = 0;
    bool leaf_ = true;
    uint32_t owner_ = 0, prev_ = 0, next_ = 0, tail_ = 0;
    uint16_t free_ = 0;
    uint16_t prefix_ = 0;
    size_t used_ = 0;
    // The page is exactly what IndexPageEditor::encode() writes for these entries, so entries
    // can be added and removed in place without changing the way the page is laid out.
    bool canonical_ = false;
    std::string full_;            // every entry whole (prefix restored), one after another
    std::vector<uint32_t> ends_;  // where each entry ends in full_
};

// The parsed index page `pgno`, shared and cached until the page changes.
std::shared_ptr<const IndexPage> loadIndexPage(Pager& pager, uint32_t pgno);

// Changes to one index page made to its decoded form and to its bytes together, so the cached
// IndexPage stays valid. Entries are whole (key, row pointer, and for a node the child page);
// the caller keeps them in order and checks that they fit (usedAfter*() <= kIdxMaxEntryBytes).
// Adding or removing an entry in the middle of a page moves the bytes after it; an edit that
// changes the shared prefix, or a page laid out by another program, rewrites the whole page.
class IndexPageEditor {
  public:
    // The page as this engine lays it out: header, bitmap, entries after the shared prefix (the
    // common prefix of the first and last entries' keys), zeros elsewhere.
    static void encode(IndexPage& p, PageBuf& buf);
    // Whether `bytes` are exactly what encode() writes for `p`.
    static bool isCanonical(const IndexPage& p, const PageBuf& bytes);
    // Stored entry bytes after the change.
    static size_t usedAfterInsert(const IndexPage& p, size_t i, std::string_view whole);
    static size_t usedAfterErase(const IndexPage& p, size_t i);
    static size_t usedAfterReplace(const IndexPage& p, size_t i, std::string_view whole);
    static void insert(IndexPage& p, PageBuf& buf, size_t i, std::string_view whole);
    static void erase(IndexPage& p, PageBuf& buf, size_t i);
    static void replace(IndexPage& p, PageBuf& buf, size_t i, std::string_view whole);
    // Adds `whole` at position i of leaf `p` when it no longer fits: the first `mid` entries
    // (counted with the new one) move to the new page `leftNo`, which is linked in before `p`,
    // and both pages are laid out afresh. Returns the new page. REQUIRES: p is a leaf and both
    // parts fit.
    static std::shared_ptr<IndexPage> splitInsert(IndexPage& p, PageBuf& buf, size_t i,
                                                  std::string_view whole, size_t mid,
                                                  uint32_t leftNo, PageBuf& leftBuf);
    // The shared prefix of a page holding entries from `first` to `last` (n of them).
    static size_t prefixFor(std::string_view first, std::string_view last, size_t n,
                            size_t tailBytes);

  private:
    static void setUsed(IndexPage& p, PageBuf& buf, size_t used);
    // Replaces the stored entry bytes [a, b) by `bytes`, whose entries end at `ends` (offsets
    // into `bytes`); the entry bitmap and the free space follow.
    static void splice(IndexPage& p, PageBuf& buf, size_t a, size_t b, std::string_view bytes,
                       std::initializer_list<size_t> ends);
};

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
