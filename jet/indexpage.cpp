// Reading index pages and walking index trees.
#include "jet/indexpage.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "jet/error.h"
#include "jet/format.h"

namespace jet {

namespace {
constexpr int kMaxDepth = 16;
}

int compareBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = std::min(a.size(), b.size());
    if (n) {
        int c = std::memcmp(a.data(), b.data(), n);
        if (c) return c < 0 ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::vector<uint8_t> IndexEntry::sortBytes() const {
    std::vector<uint8_t> s = key;
    s.push_back(uint8_t(row.page >> 16));
    s.push_back(uint8_t(row.page >> 8));
    s.push_back(uint8_t(row.page));
    s.push_back(row.row);
    return s;
}

IndexPage::IndexPage(Page p) : page_(std::move(p)) {
    Bytes b = page_.bytes();
    uint8_t type = b.u8(0);
    if (type != fmt::kPageIndexNode && type != fmt::kPageIndexLeaf)
        throwCorrupt(page_.no, "expected an index page, found page type " + std::to_string(type));
    prefix_ = b.u16(fmt::kIdxPrefixLen);
    Bytes bitmap = b.sub(fmt::kIdxBitmap, fmt::kIdxBitmapLen);
    Bytes data = b.sub(fmt::kIdxFirstEntry, fmt::kIdxMaxEntryBytes);
    const size_t minLen = leaf() ? 4 : 8;
    std::vector<uint8_t> first;
    size_t start = 0;
    for (size_t bit = 0; bit <= fmt::kIdxMaxEntryBytes; ++bit) {  // an entry may end at the page end
        if (!(bitmap.u8(bit / 8) & (1 << (bit % 8)))) continue;
        size_t end = bit;
        if (end <= start) throwCorrupt(page_.no, "an index entry has no bytes");
        Bytes stored = data.sub(start, end - start, "index entry");
        std::vector<uint8_t> full;
        if (entries_.empty()) {
            full = stored.copy();
            if (prefix_ > full.size())
                throwCorrupt(page_.no, "the index page's shared prefix is longer than its first entry");
            first = full;
        } else {
            full.assign(first.begin(), first.begin() + prefix_);
            full.insert(full.end(), stored.data(), stored.data() + stored.size());
        }
        if (full.size() < minLen) throwCorrupt(page_.no, "an index entry is too short");
        IndexEntry e;
        size_t keyLen = full.size() - minLen;
        const uint8_t* r = full.data() + keyLen;
        e.row = RowId{uint32_t(r[0]) << 16 | uint32_t(r[1]) << 8 | r[2], r[3]};
        if (!leaf()) e.child = uint32_t(r[4]) << 24 | uint32_t(r[5]) << 16 | uint32_t(r[6]) << 8 | r[7];
        full.resize(keyLen);
        e.key = std::move(full);
        entries_.push_back(std::move(e));
        start = end;
    }
    used_ = start;
}

uint32_t IndexPage::owner() const { return page_.bytes().u32(fmt::kIdxOwner); }
uint32_t IndexPage::prev() const { return page_.bytes().u32(fmt::kIdxPrev); }
uint32_t IndexPage::next() const { return page_.bytes().u32(fmt::kIdxNext); }
uint32_t IndexPage::tail() const { return page_.bytes().u32(fmt::kIdxTail); }
uint16_t IndexPage::freeSpace() const { return page_.bytes().u16(fmt::kIdxFreeSpace); }

namespace {

void walk(Pager& pager, uint32_t pgno, int depth, std::set<uint32_t>& seen,
          const std::function<void(const IndexEntry&)>& fn) {
    if (depth > kMaxDepth) throwCorrupt(pgno, "the index tree is deeper than possible");
    if (!seen.insert(pgno).second) throwCorrupt(pgno, "the index tree reaches a page twice");
    IndexPage p(pager.get(pgno));
    if (p.leaf()) {
        for (auto& e : p.entries()) fn(e);
        return;
    }
    for (auto& e : p.entries()) walk(pager, e.child, depth + 1, seen, fn);
    if (p.tail()) walk(pager, p.tail(), depth + 1, seen, fn);
}

}  // namespace

void forEachIndexEntry(Pager& pager, const RealIndex& ix,
                       const std::function<void(const IndexEntry&)>& fn) {
    std::set<uint32_t> seen;
    walk(pager, ix.rootPage, 0, seen, fn);
}

std::vector<RowId> indexFind(Pager& pager, const RealIndex& ix, const std::vector<uint8_t>& key) {
    std::vector<RowId> out;
    uint32_t pgno = ix.rootPage;
    // Descend: the first node entry whose key is >= the search key leads to the first leaf that
    // can hold it (node entries carry the last key of their subtree).
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) throwCorrupt(pgno, "the index tree is deeper than possible");
        IndexPage p(pager.get(pgno));
        if (p.leaf()) break;
        uint32_t child = p.tail();
        for (auto& e : p.entries()) {
            if (compareBytes(e.key, key) >= 0) {
                child = e.child;
                break;
            }
        }
        if (child == 0) return out;
        pgno = child;
    }
    std::set<uint32_t> seen;
    while (pgno != 0) {
        if (!seen.insert(pgno).second) throwCorrupt(pgno, "the index's leaf chain loops");
        IndexPage p(pager.get(pgno));
        if (!p.leaf()) throwCorrupt(pgno, "the index's leaf chain reaches a node page");
        for (auto& e : p.entries()) {
            int c = compareBytes(e.key, key);
            if (c < 0) continue;
            if (c > 0) return out;
            out.push_back(e.row);
        }
        pgno = p.next();
    }
    return out;
}

}  // namespace jet
