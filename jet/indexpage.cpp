// Reading index pages and walking index trees.
#include "jet/indexpage.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "jet/error.h"
#include "jet/format.h"

namespace jet {

int compareBytes(std::string_view a, std::string_view b) {
    // std::string_view compares bytes as unsigned char, which is the order of index keys.
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

IndexPage::IndexPage(Page p) : page_(std::move(p)) {
    Bytes b = page_.bytes();
    uint8_t type = b.u8(0);
    if (type != fmt::kPageIndexNode && type != fmt::kPageIndexLeaf)
        throwCorrupt(page_.no, "expected an index page, found page type " + std::to_string(type));
    prefix_ = b.u16(fmt::kIdxPrefixLen);
    const uint8_t* bitmap = b.sub(fmt::kIdxBitmap, fmt::kIdxBitmapLen).data();
    Bytes data = b.sub(fmt::kIdxFirstEntry, fmt::kIdxMaxEntryBytes);
    const size_t minLen = leaf() ? 4 : 8;
    struct Span {
        size_t off, len;
    };
    std::vector<Span> spans;
    full_.reserve(fmt::kIdxMaxEntryBytes + 64);
    size_t start = 0, firstLen = 0;
    auto take = [&](size_t end) {
        if (end <= start) throwCorrupt(page_.no, "an index entry has no bytes");
        Bytes stored = data.sub(start, end - start, "index entry");
        size_t at = full_.size();
        if (spans.empty()) {
            firstLen = stored.size();
            if (prefix_ > firstLen)
                throwCorrupt(page_.no,
                             "the index page's shared prefix is longer than its first entry");
        } else {
            full_.append(full_, 0, prefix_);
        }
        full_.append(reinterpret_cast<const char*>(stored.data()), stored.size());
        size_t len = full_.size() - at;
        if (len < minLen) throwCorrupt(page_.no, "an index entry is too short");
        spans.push_back({at, len});
        start = end;
    };
    // Bit n set: an entry ends at data offset n (an entry may end at the page end, n = 3616).
    for (size_t byte = 0; byte < fmt::kIdxBitmapLen; ++byte) {
        unsigned bits = bitmap[byte];
        while (bits) {
            size_t bit = byte * 8 + size_t(__builtin_ctz(bits));
            bits &= bits - 1;
            if (bit > fmt::kIdxMaxEntryBytes) break;
            take(bit);
        }
    }
    used_ = start;
    entries_.reserve(spans.size());
    for (auto& sp : spans) {
        const char* f = full_.data() + sp.off;
        const auto* r = reinterpret_cast<const uint8_t*>(f) + (sp.len - minLen);
        IndexEntry e;
        size_t keyLen = sp.len - minLen;
        e.key = std::string_view(f, keyLen);
        e.sort = std::string_view(f, keyLen + 4);
        e.row = RowId{uint32_t(r[0]) << 16 | uint32_t(r[1]) << 8 | r[2], r[3]};
        if (!leaf())
            e.child = uint32_t(r[4]) << 24 | uint32_t(r[5]) << 16 | uint32_t(r[6]) << 8 | r[7];
        entries_.push_back(e);
    }
}

std::shared_ptr<const IndexPage> loadIndexPage(Pager& pager, uint32_t pgno) {
    if (auto cached = pager.derived(pgno)) return std::static_pointer_cast<const IndexPage>(cached);
    auto p = std::make_shared<const IndexPage>(pager.get(pgno));
    pager.setDerived(pgno, p, sizeof(IndexPage) + p->heldBytes());
    return p;
}

uint32_t IndexPage::owner() const {
    return page_.bytes().u32(fmt::kIdxOwner);
}
uint32_t IndexPage::prev() const {
    return page_.bytes().u32(fmt::kIdxPrev);
}
uint32_t IndexPage::next() const {
    return page_.bytes().u32(fmt::kIdxNext);
}
uint32_t IndexPage::tail() const {
    return page_.bytes().u32(fmt::kIdxTail);
}
uint16_t IndexPage::freeSpace() const {
    return page_.bytes().u16(fmt::kIdxFreeSpace);
}

namespace {

void walk(Pager& pager, uint32_t pgno, int depth, std::set<uint32_t>& seen,
          const std::function<void(const IndexEntry&)>& fn) {
    if (depth > fmt::kMaxIndexDepth) throwCorrupt(pgno, "the index tree is deeper than possible");
    if (!seen.insert(pgno).second) throwCorrupt(pgno, "the index tree reaches a page twice");
    auto p = loadIndexPage(pager, pgno);
    if (p->leaf()) {
        for (auto& e : p->entries()) fn(e);
        return;
    }
    for (auto& e : p->entries()) walk(pager, e.child, depth + 1, seen, fn);
    if (p->tail()) walk(pager, p->tail(), depth + 1, seen, fn);
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
        if (depth > fmt::kMaxIndexDepth)
            throwCorrupt(pgno, "the index tree is deeper than possible");
        auto p = loadIndexPage(pager, pgno);
        if (p->leaf()) break;
        uint32_t child = p->tail();
        for (auto& e : p->entries()) {
            if (compareBytes(e.key, asView(key)) >= 0) {
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
        auto p = loadIndexPage(pager, pgno);
        if (!p->leaf()) throwCorrupt(pgno, "the index's leaf chain reaches a node page");
        for (auto& e : p->entries()) {
            int c = compareBytes(e.key, asView(key));
            if (c < 0) continue;
            if (c > 0) return out;
            out.push_back(e.row);
        }
        pgno = p->next();
    }
    return out;
}

}  // namespace jet
