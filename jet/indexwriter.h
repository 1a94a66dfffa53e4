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
#include <optional>
#include <set>
#include <string>
#include <vector>

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

    void insert(const std::vector<uint8_t>& key, RowId row);
    // Throws Corrupt when the entry is not in the index.
    void remove(const std::vector<uint8_t>& key, RowId row);

    // Replaces the index's contents by `sorted` entries (key + row pointer bytes, ascending),
    // reusing the root page. Pages of the old tree are freed.
    void rebuild(const std::vector<std::vector<uint8_t>>& sorted);

  private:
    using Bytes = std::string;  // entry bytes; short keys stay inside the string
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
