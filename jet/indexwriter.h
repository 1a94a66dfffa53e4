// Keeping an index's B-tree exact: inserting and removing entries with page splits, the tail
// rule of node pages, sibling links, freeing emptied pages; and building a whole index from
// sorted entries.
//
// Tree shape (as Access writes it): leaves (0x04) hold entries key + row pointer, linked by
// prev/next across the level; a node page (0x03) holds, for each child but the last, an entry
// with the last key + row pointer of that child's subtree and the child's page; the last child
// is the page's "tail" and has no entry. The root page never moves.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "jet/indexpage.h"
#include "jet/pagewriter.h"
#include "jet/tabledef.h"

namespace jet {

// An entry's sort bytes: the key followed by the 3-byte page and 1-byte row, big-endian.
std::vector<uint8_t> entryBytes(const std::vector<uint8_t>& key, RowId row);

class IndexWriter {
  public:
    IndexWriter(Pager& pager, PageAllocator& alloc, UsageMapEditor& maps, uint32_t tdefPage,
                const RealIndex& ix)
        : pager_(pager), alloc_(alloc), maps_(maps), tdef_(tdefPage), ix_(ix) {}

    // Adds the entry. Returns true when the index held no entry with this key before: Jet
    // counts the index's unique keys that way (see docs/jet-format.md, unique-entry counts).
    bool insert(const std::vector<uint8_t>& key, RowId row);
    // Throws Corrupt when the entry is not in the index.
    void remove(const std::vector<uint8_t>& key, RowId row);

    // Test hook: every change takes the general path, so tests can compare the two.
    static inline bool generalPathOnly = false;

    // Replaces the index's contents by `sorted` entries (key + row pointer bytes, ascending),
    // reusing the root page. Pages of the old tree are freed.
    void rebuild(const std::vector<std::vector<uint8_t>>& sorted);

  private:
    using Bytes = std::string;  // entry bytes; short keys stay inside the string
    // One page on the way from the root to a leaf, and the child taken (size(): the tail).
    struct Step {
        std::shared_ptr<const IndexPage> page;
        size_t child = 0;
    };
    // Descends to the leaf that holds (or would hold) `e`. Returns false when a page on the way
    // is one the in-place path does not change (see the .cpp).
    bool descend(const Bytes& e, std::vector<Step>& path);
    // Whether an entry with `key` sits next to position `k` of the leaf (or on a neighbour leaf).
    bool keyNear(const IndexPage& leaf, size_t k, std::string_view key);
    // The first ancestor entry to carry the leaf's new last entry: its step, or -1 when the leaf
    // is the last of the whole tree (reached only through tails).
    long carrier(const std::vector<Step>& path) const;
    // Changes a page of the path through IndexPageEditor; the cached object is changed in place
    // unless a reader still holds it.
    template <class F>
    void edit(Step& s, F change);
    // The change at position k of the path's leaf, when it needs no page split or merge.
    bool insertInPlace(const Bytes& e, std::vector<Step>& path, size_t k);
    // The leaf split of an insert, when the parent takes the new page's entry as it is.
    bool splitInPlace(const Bytes& e, std::vector<Step>& path, size_t k);
    bool removeInPlace(std::vector<Step>& path, size_t k);

    struct Piece {
        std::optional<Bytes> last;  // last entry of the subtree (key + row)
        uint32_t page;
    };
    struct Mem;  // an index page in memory

    Mem load(uint32_t pgno);
    // The last entry of the subtree under `pgno`, found by following its last children down.
    Bytes lastEntryUnder(uint32_t pgno);
    void store(const Mem& m);
    std::vector<Piece> finish(Mem& m, bool isRoot, const std::optional<Bytes>& selfKey);
    std::vector<Piece> insertRec(uint32_t pgno, const Bytes& e, bool isRoot,
                                 const std::optional<Bytes>& selfKey, int depth);
    std::vector<Piece> removeRec(uint32_t pgno, const Bytes& e, bool isRoot,
                                 const std::optional<Bytes>& selfKey, int depth);
    void setSibling(uint32_t pgno, bool next, uint32_t value);
    uint32_t newPage();
    void freePage(uint32_t pgno);
    void collectPages(uint32_t pgno, std::set<uint32_t>& out, int depth);

    Pager& pager_;
    PageAllocator& alloc_;
    UsageMapEditor& maps_;
    uint32_t tdef_;
    const RealIndex& ix_;
};

}  // namespace jet
