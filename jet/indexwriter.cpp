// Index B-tree maintenance.
#include "jet/indexwriter.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/format.h"
#include "jet/indexpage.h"

namespace jet {

namespace {

using Entry = std::string;

size_t commonPrefix(const Entry& a, const Entry& b, size_t cap) {
    size_t n = std::min({a.size(), b.size(), cap});
    size_t i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// The page's entries as stored: the first whole, the others without the shared prefix, which
// is the common prefix of the first and last entries' keys.
size_t prefixOf(const std::vector<Entry>& entries, size_t tailBytes) {
    if (entries.size() < 2) return 0;
    size_t keyLen = entries.front().size() - tailBytes;
    return commonPrefix(entries.front(), entries.back(), keyLen);
}

size_t storedSize(const std::vector<Entry>& entries, size_t tailBytes) {
    size_t pre = prefixOf(entries, tailBytes);
    size_t n = 0;
    for (size_t i = 0; i < entries.size(); ++i) n += entries[i].size() - (i ? pre : 0);
    return n;
}

void putBE32(Entry& v, uint32_t x) {
    v.push_back(char(x >> 24));
    v.push_back(char(x >> 16));
    v.push_back(char(x >> 8));
    v.push_back(char(x));
}

Entry toEntry(const std::vector<uint8_t>& v) {
    return Entry(v.begin(), v.end());
}

// An entry's sort bytes as the writer keeps them (see entryBytes()).
Entry entryOf(const std::vector<uint8_t>& key, RowId row) {
    Entry e;
    e.reserve(key.size() + 4);
    e.append(reinterpret_cast<const char*>(key.data()), key.size());
    e.push_back(char(row.page >> 16));
    e.push_back(char(row.page >> 8));
    e.push_back(char(row.page));
    e.push_back(char(row.row));
    return e;
}

}  // namespace

std::vector<uint8_t> entryBytes(const std::vector<uint8_t>& key, RowId row) {
    std::vector<uint8_t> e;
    e.reserve(key.size() + 4);
    e.assign(key.begin(), key.end());
    e.push_back(uint8_t(row.page >> 16));
    e.push_back(uint8_t(row.page >> 8));
    e.push_back(uint8_t(row.page));
    e.push_back(row.row);
    return e;
}

struct IndexWriter::Mem {
    uint32_t no = 0;
    bool leaf = true;
    uint32_t prev = 0, next = 0;
    std::vector<Entry> keys;         // leaf: entries; node: last entry of each child
    std::vector<bool> known;         // node: whether the child's last entry is known
    std::vector<uint32_t> children;  // node

    std::optional<Entry> last() const {
        if (keys.empty()) return std::nullopt;
        if (!leaf && !known.back()) return std::nullopt;
        return keys.back();
    }
    // What the page would store.
    std::vector<Entry> stored() const {
        if (leaf) return keys;
        std::vector<Entry> out;
        size_t n = children.size() >= 2 ? children.size() - 1 : children.size();
        for (size_t i = 0; i < n; ++i) {
            Entry e = keys[i];
            putBE32(e, children[i]);
            out.push_back(std::move(e));
        }
        return out;
    }
    uint32_t tail() const { return !leaf && children.size() >= 2 ? children.back() : 0; }
    bool fits() const {
        return (leaf ? storedSize(keys, 4) : storedSize(stored(), 8)) <= fmt::kIdxMaxEntryBytes;
    }
};

IndexWriter::Mem IndexWriter::load(uint32_t pgno) {
    const IndexPage& p = *loadIndexPage(pager_, pgno);
    if (p.owner() != tdef_)
        throwCorrupt(pgno, "an index page belongs to table " + std::to_string(p.owner()) +
                               " instead of " + std::to_string(tdef_));
    Mem m;
    m.no = pgno;
    m.leaf = p.leaf();
    m.prev = p.prev();
    m.next = p.next();
    m.keys.reserve(p.size() + 1);
    for (const IndexEntry& e : p.entries()) {
        m.keys.emplace_back(e.sort);
        if (!m.leaf) {
            m.children.push_back(e.child);
            m.known.push_back(true);
        }
    }
    if (!m.leaf && p.tail()) {
        m.keys.emplace_back();
        m.children.push_back(p.tail());
        m.known.push_back(false);
    }
    if (!m.leaf && m.children.empty()) throwCorrupt(pgno, "an index node page has no children");
    return m;
}

Entry IndexWriter::lastEntryUnder(uint32_t pgno) {
    for (int depth = 0; depth <= fmt::kMaxIndexDepth; ++depth) {
        Mem c = load(pgno);
        if (c.leaf) {
            if (c.keys.empty()) throwCorrupt(pgno, "an index leaf below the root is empty");
            return c.keys.back();
        }
        if (c.known.back()) return c.keys.back();
        pgno = c.children.back();
    }
    throwCorrupt(pgno, "the index tree is deeper than possible");
}

void IndexWriter::store(const Mem& m) {
    std::vector<Entry> entries = m.stored();
    const size_t tailBytes = m.leaf ? 4 : 8;
    for (auto& e : entries)
        if (e.size() <= tailBytes) throwError(ErrorKind::Usage, "index entry without a key");
    size_t pre = prefixOf(entries, tailBytes);
    size_t used = storedSize(entries, tailBytes);
    if (used > fmt::kIdxMaxEntryBytes)
        throwError(ErrorKind::Usage, "index entries do not fit on page " + std::to_string(m.no));
    PageBuf& buf = pager_.modify(m.no);
    buf.fill(0);
    buf[0] = m.leaf ? fmt::kPageIndexLeaf : fmt::kPageIndexNode;
    buf[1] = 0x01;
    putU16(buf.data() + fmt::kIdxFreeSpace, uint16_t(fmt::kIdxMaxEntryBytes - used));
    putU32(buf.data() + fmt::kIdxOwner, tdef_);
    putU32(buf.data() + fmt::kIdxPrev, m.prev);
    putU32(buf.data() + fmt::kIdxNext, m.next);
    putU32(buf.data() + fmt::kIdxTail, m.tail());
    putU16(buf.data() + fmt::kIdxPrefixLen, uint16_t(pre));
    size_t at = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        size_t skip = i ? pre : 0;
        size_t len = entries[i].size() - skip;
        std::memcpy(buf.data() + fmt::kIdxFirstEntry + at, entries[i].data() + skip, len);
        at += len;
        buf[fmt::kIdxBitmap + at / 8] |= uint8_t(1 << (at % 8));
    }
}

uint32_t IndexWriter::newPage() {
    uint32_t pg = alloc_.allocate();
    if (ix_.usageMap) maps_.add(ix_.usageMap, pg);
    return pg;
}

void IndexWriter::freePage(uint32_t pgno) {
    if (ix_.usageMap) maps_.remove(ix_.usageMap, pgno);
    alloc_.release(pgno);
}

void IndexWriter::setSibling(uint32_t pgno, bool next, uint32_t value) {
    Page p = pager_.get(pgno);
    if (p.type() != fmt::kPageIndexLeaf && p.type() != fmt::kPageIndexNode)
        throwCorrupt(pgno, "an index page's sibling is not an index page");
    putU32(pager_.modify(pgno).data() + (next ? fmt::kIdxNext : fmt::kIdxPrev), value);
}

namespace {

// Split point: the first `mid` entries go to the new left page. Splits near the middle by
// stored size so both halves fit.
template <class SizeOf>
size_t splitPoint(size_t n, SizeOf sizeOf) {
    size_t total = 0;
    for (size_t j = 0; j < n; ++j) total += sizeOf(j);
    size_t acc = 0, mid = 0;
    while (mid < n - 1 && acc + sizeOf(mid) <= total / 2) acc += sizeOf(mid++);
    return std::clamp<size_t>(mid, 1, n - 1);
}

template <class M>
size_t splitPoint(const M& m) {
    return splitPoint(m.keys.size(), [&](size_t j) { return m.keys[j].size(); });
}

template <class M>
void moveFront(M& from, M& to, size_t mid) {
    to.keys.assign(from.keys.begin(), from.keys.begin() + long(mid));
    from.keys.erase(from.keys.begin(), from.keys.begin() + long(mid));
    if (!from.leaf) {
        to.known.assign(from.known.begin(), from.known.begin() + long(mid));
        from.known.erase(from.known.begin(), from.known.begin() + long(mid));
        to.children.assign(from.children.begin(), from.children.begin() + long(mid));
        from.children.erase(from.children.begin(), from.children.begin() + long(mid));
    }
}

}  // namespace

std::vector<IndexWriter::Piece> IndexWriter::finish(Mem& m, bool isRoot,
                                                    const std::optional<Entry>& selfKey) {
    if (!m.leaf && !m.known.empty() && !m.known.back() && selfKey) {
        m.keys.back() = *selfKey;
        m.known.back() = true;
    }
    // A node left with one child stores it as an entry, which needs the child's last key even
    // where the page kept it only as its tail.
    if (!m.leaf && m.children.size() == 1 && !m.known[0]) {
        m.keys[0] = lastEntryUnder(m.children[0]);
        m.known[0] = true;
    }
    if (m.fits()) {
        store(m);
        return {Piece{m.last(), m.no}};
    }
    if (isRoot) {
        // The root keeps its page: its entries move to two new pages below it.
        Mem a, b = m;
        a.leaf = m.leaf;
        a.no = newPage();
        b.no = newPage();
        moveFront(b, a, splitPoint(m));
        a.prev = 0;
        a.next = b.no;
        b.prev = a.no;
        b.next = 0;
        if (!a.leaf && !a.known.back()) throwCorrupt(m.no, "an index node's last key is unknown");
        store(a);
        store(b);
        Mem root;
        root.no = m.no;
        root.leaf = false;
        root.keys = {*a.last(), b.last().value_or(Entry())};
        root.known = {true, b.last().has_value()};
        root.children = {a.no, b.no};
        store(root);
        return {Piece{root.last(), root.no}};
    }
    Mem left;
    left.leaf = m.leaf;
    left.no = newPage();
    moveFront(m, left, splitPoint(m));
    left.prev = m.prev;
    left.next = m.no;
    if (m.prev) setSibling(m.prev, true, left.no);
    m.prev = left.no;
    store(left);
    store(m);
    return {Piece{left.last(), left.no}, Piece{m.last(), m.no}};
}

namespace {

// Puts the pieces a child turned into (none, itself, or two pages after a split) in its place.
template <class M, class P>
void replaceChild(M& m, size_t i, const std::vector<P>& pieces) {
    m.keys.erase(m.keys.begin() + long(i));
    m.known.erase(m.known.begin() + long(i));
    m.children.erase(m.children.begin() + long(i));
    for (size_t k = 0; k < pieces.size(); ++k) {
        m.keys.insert(m.keys.begin() + long(i + k), pieces[k].last.value_or(Entry()));
        m.known.insert(m.known.begin() + long(i + k), pieces[k].last.has_value());
        m.children.insert(m.children.begin() + long(i + k), pieces[k].page);
    }
}

template <class M>
size_t pickChild(const M& m, const Entry& e) {
    for (size_t i = 0; i < m.children.size(); ++i)
        if (m.known[i] && compareBytes(m.keys[i], e) >= 0) return i;
    return m.children.size() - 1;
}

}  // namespace

std::vector<IndexWriter::Piece> IndexWriter::insertRec(uint32_t pgno, const Entry& e, bool isRoot,
                                                       const std::optional<Entry>& selfKey,
                                                       int depth) {
    if (depth > fmt::kMaxIndexDepth) throwCorrupt(pgno, "the index tree is deeper than possible");
    Mem m = load(pgno);
    if (m.leaf) {
        auto it =
            std::lower_bound(m.keys.begin(), m.keys.end(), e,
                             [](const auto& a, const auto& b) { return compareBytes(a, b) < 0; });
        if (it != m.keys.end() && *it == e) throwCorrupt(pgno, "the index already has this entry");
        m.keys.insert(it, e);
    } else {
        size_t i = pickChild(m, e);
        std::optional<Entry> childKey = m.known[i] ? std::optional(m.keys[i]) : selfKey;
        replaceChild(m, i, insertRec(m.children[i], e, false, childKey, depth + 1));
    }
    return finish(m, isRoot, selfKey);
}

std::vector<IndexWriter::Piece> IndexWriter::removeRec(uint32_t pgno, const Entry& e, bool isRoot,
                                                       const std::optional<Entry>& selfKey,
                                                       int depth) {
    if (depth > fmt::kMaxIndexDepth) throwCorrupt(pgno, "the index tree is deeper than possible");
    Mem m = load(pgno);
    if (m.leaf) {
        auto it = std::find(m.keys.begin(), m.keys.end(), e);
        if (it == m.keys.end())
            throwCorrupt(pgno, "the index has no entry for a row being changed");
        m.keys.erase(it);
    } else {
        size_t i = pickChild(m, e);
        std::optional<Entry> childKey = m.known[i] ? std::optional(m.keys[i]) : selfKey;
        // The child may have gone (emptied), changed its last key, or split when a longer
        // key no longer fitted.
        replaceChild(m, i, removeRec(m.children[i], e, false, childKey, depth + 1));
        // A root with a single child takes that child's place, so the tree stays shallow.
        while (isRoot && !m.leaf && m.children.size() == 1) {
            Mem c = load(m.children[0]);
            uint32_t old = c.no;
            c.no = m.no;
            c.prev = c.next = 0;
            m = std::move(c);
            freePage(old);
        }
    }
    bool empty = m.leaf ? m.keys.empty() : m.children.empty();
    if (empty && !isRoot) {
        if (m.prev) setSibling(m.prev, true, m.next);
        if (m.next) setSibling(m.next, false, m.prev);
        freePage(m.no);
        return {};
    }
    if (empty) {
        m.leaf = true;
        m.keys.clear();
        m.known.clear();
        m.children.clear();
    }
    return finish(m, isRoot, selfKey);
}

// ---------------------------------------------------------------------------------------------
// In place

bool IndexWriter::descend(const Entry& e, std::vector<Step>& path) {
    path.clear();
    path.reserve(4);
    bool simple = true;
    uint32_t pgno = ix_.rootPage;
    for (int depth = 0;; ++depth) {
        if (depth > fmt::kMaxIndexDepth)
            throwCorrupt(pgno, "the index tree is deeper than possible");
        auto p = loadIndexPage(pager_, pgno);
        if (p->owner() != tdef_)
            throwCorrupt(pgno, "an index page belongs to table " + std::to_string(p->owner()) +
                                   " instead of " + std::to_string(tdef_));
        // The general path writes back every page it passes; only pages it would write as they
        // are can stay untouched here.
        simple = simple && p->canonical();
        if (p->leaf()) {
            path.push_back({std::move(p), 0});
            return simple;
        }
        if (p->empty() && !p->tail()) throwCorrupt(pgno, "an index node page has no children");
        // A node with a tail but no entry, or with several entries but no tail: the general path
        // lays it out the usual way.
        if (p->empty() || (!p->tail() && p->size() > 1)) simple = false;
        size_t i = p->lowerBound(e);
        uint32_t child;
        if (i < p->size()) {
            child = p->entry(i).child;
        } else if (p->tail()) {
            child = p->tail();
        } else {
            i = p->size() - 1;
            child = p->entry(i).child;
        }
        path.push_back({std::move(p), i});
        pgno = child;
    }
}

bool IndexWriter::keyNear(const IndexPage& leaf, size_t k, std::string_view key) {
    if (k > 0 && leaf.keyOf(k - 1) == key) return true;
    if (k < leaf.size() && leaf.keyOf(k) == key) return true;
    // Equal keys sit next to each other: past this leaf's ends only the nearest entry of the
    // leaf before (when the entry goes first) or after (when it goes last) can still match.
    // Empty leaves are skipped; a long run of them is searched from the root instead.
    auto neighbour = [&](uint32_t pg, bool forward) -> std::optional<bool> {
        for (int step = 0; pg && step < 8; ++step) {
            auto p = loadIndexPage(pager_, pg);
            if (!p->leaf()) throwCorrupt(pg, "the index's leaf chain reaches a node page");
            if (!p->empty()) return p->keyOf(forward ? 0 : p->size() - 1) == key;
            pg = forward ? p->next() : p->prev();
        }
        if (pg) return std::nullopt;
        return false;
    };
    std::optional<bool> found = false;
    if (k == 0 && leaf.prev()) found = neighbour(leaf.prev(), false);
    if (found && !*found && k == leaf.size() && leaf.next()) found = neighbour(leaf.next(), true);
    if (!found)
        return !indexFind(pager_, ix_, std::vector<uint8_t>(key.begin(), key.end())).empty();
    return *found;
}

long IndexWriter::carrier(const std::vector<Step>& path) const {
    for (size_t j = path.size() - 1; j-- > 0;)
        if (path[j].child < path[j].page->size()) return long(j);
    return -1;
}

template <class F>
void IndexWriter::edit(Step& s, F change) {
    const uint32_t no = s.page->no();
    PageBuf& buf = pager_.modify(no);  // drops the cached object; `s` keeps it alive
    std::shared_ptr<IndexPage> p;
    if (s.page.use_count() == 1)
        p = std::const_pointer_cast<IndexPage>(s.page);
    else
        p = std::make_shared<IndexPage>(*s.page);  // a reader still walks the old version
    change(*p, buf);
    pager_.setDerived(no, Pager::Derived::IndexPage, p, p->heldBytes());
    s.page = std::move(p);
}

namespace {

// A node entry: the last entry of the child's subtree and the child's page.
Entry nodeEntry(std::string_view last, uint32_t child) {
    Entry out(last);
    putBE32(out, child);
    return out;
}

}  // namespace

bool IndexWriter::insertInPlace(const Entry& e, std::vector<Step>& path, size_t k) {
    const IndexPage& leaf = *path.back().page;
    if (IndexPageEditor::usedAfterInsert(leaf, k, e) > fmt::kIdxMaxEntryBytes)
        return splitInPlace(e, path, k);
    // The entry becomes the leaf's last: the node entry that carries the subtree's last key
    // changes too.
    const long c = k == leaf.size() ? carrier(path) : -1;
    Entry carried;
    if (c >= 0) {
        const Step& s = path[size_t(c)];
        carried = nodeEntry(e, s.page->entry(s.child).child);
        if (IndexPageEditor::usedAfterReplace(*s.page, s.child, carried) > fmt::kIdxMaxEntryBytes)
            return false;
    }
    edit(path.back(), [&](IndexPage& p, PageBuf& b) { IndexPageEditor::insert(p, b, k, e); });
    if (c >= 0) {
        Step& s = path[size_t(c)];
        edit(s,
             [&](IndexPage& p, PageBuf& b) { IndexPageEditor::replace(p, b, s.child, carried); });
    }
    return true;
}

bool IndexWriter::splitInPlace(const Entry& e, std::vector<Step>& path, size_t k) {
    const IndexPage& leaf = *path.back().page;
    // A root leaf, or a new last entry (whose key the ancestors carry): general path.
    if (path.size() < 2 || k == leaf.size()) return false;
    Step& up = path[path.size() - 2];
    // Where the general path splits: by the entries' sizes, the new one counted.
    auto sizeOf = [&](size_t j) {
        return j < k ? leaf.whole(j).size() : j == k ? e.size() : leaf.whole(j - 1).size();
    };
    const size_t n = leaf.size() + 1;
    const size_t mid = splitPoint(n, sizeOf);
    auto entryAt = [&](size_t j) -> std::string_view {
        return j < k ? leaf.whole(j) : j == k ? std::string_view(e) : leaf.whole(j - 1);
    };
    // Both halves and the parent with one more entry (the left half's last, before the split
    // page's own) must fit; the child page number takes no part in the prefix.
    auto usedOf = [&](size_t from, size_t to) {
        size_t full = 0;
        for (size_t j = from; j < to; ++j) full += entryAt(j).size();
        const size_t pre = IndexPageEditor::prefixFor(entryAt(from), entryAt(to - 1), to - from, 4);
        return full - (to - from - 1) * pre;
    };
    if (usedOf(0, mid) > fmt::kIdxMaxEntryBytes || usedOf(mid, n) > fmt::kIdxMaxEntryBytes)
        return false;
    Entry leftEntry = nodeEntry(entryAt(mid - 1), 0);
    if (IndexPageEditor::usedAfterInsert(*up.page, up.child, leftEntry) > fmt::kIdxMaxEntryBytes)
        return false;
    // As the general path does it: a new page, linked in before the leaf, both laid out afresh,
    // then the parent's new entry.
    const uint32_t leftNo = newPage();
    leftEntry = nodeEntry(entryAt(mid - 1), leftNo);
    if (leaf.prev()) setSibling(leaf.prev(), true, leftNo);
    edit(path.back(), [&](IndexPage& p, PageBuf& b) {
        PageBuf& lb = pager_.modify(leftNo);
        auto left = IndexPageEditor::splitInsert(p, b, k, e, mid, leftNo, lb);
        pager_.setDerived(leftNo, Pager::Derived::IndexPage, left, left->heldBytes());
    });
    edit(up, [&](IndexPage& p, PageBuf& b) { IndexPageEditor::insert(p, b, up.child, leftEntry); });
    return true;
}

bool IndexWriter::removeInPlace(std::vector<Step>& path, size_t k) {
    const IndexPage& leaf = *path.back().page;
    // A leaf that empties is freed, and a root with one child gives way to it: general path.
    if (leaf.size() < 2) return false;
    if (path.size() > 1) {
        const IndexPage& root = *path.front().page;
        if (root.size() + (root.tail() ? 1 : 0) < 2) return false;
    }
    const long c = k + 1 == leaf.size() ? carrier(path) : -1;
    Entry carried;
    if (c >= 0) {
        const Step& s = path[size_t(c)];
        carried = nodeEntry(leaf.sortOf(k - 1), s.page->entry(s.child).child);
        if (IndexPageEditor::usedAfterReplace(*s.page, s.child, carried) > fmt::kIdxMaxEntryBytes)
            return false;
    }
    edit(path.back(), [&](IndexPage& p, PageBuf& b) { IndexPageEditor::erase(p, b, k); });
    if (c >= 0) {
        Step& s = path[size_t(c)];
        edit(s,
             [&](IndexPage& p, PageBuf& b) { IndexPageEditor::replace(p, b, s.child, carried); });
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Entry points

bool IndexWriter::insert(const std::vector<uint8_t>& key, RowId row) {
    const Entry e = entryOf(key, row);
    std::vector<Step> path;
    const bool simple = descend(e, path) && !generalPathOnly;
    const IndexPage& leaf = *path.back().page;
    const size_t k = leaf.lowerBound(e);
    if (k < leaf.size() && leaf.sortOf(k) == e)
        throwCorrupt(leaf.no(), "the index already has this entry");
    const bool isNew = !keyNear(leaf, k, std::string_view(e).substr(0, e.size() - 4));
    if (!simple || !insertInPlace(e, path, k)) {
        path.clear();
        insertRec(ix_.rootPage, e, true, std::nullopt, 0);
    }
    return isNew;
}

void IndexWriter::remove(const std::vector<uint8_t>& key, RowId row) {
    const Entry e = entryOf(key, row);
    std::vector<Step> path;
    const bool simple = descend(e, path) && !generalPathOnly;
    const IndexPage& leaf = *path.back().page;
    const size_t k = leaf.lowerBound(e);
    if (k == leaf.size() || leaf.sortOf(k) != e)
        throwCorrupt(leaf.no(), "the index has no entry for a row being changed");
    if (!simple || !removeInPlace(path, k)) {
        path.clear();
        removeRec(ix_.rootPage, e, true, std::nullopt, 0);
    }
}

void IndexWriter::collectPages(uint32_t pgno, std::set<uint32_t>& out, int depth) {
    if (depth > fmt::kMaxIndexDepth) throwCorrupt(pgno, "the index tree is deeper than possible");
    const auto parsed = loadIndexPage(pager_, pgno);
    const IndexPage& p = *parsed;
    if (p.leaf()) return;
    auto visit = [&](uint32_t child) {
        if (child == ix_.rootPage || !out.insert(child).second)
            throwCorrupt(pgno, "the index tree reaches a page twice");
        collectPages(child, out, depth + 1);
    };
    for (const IndexEntry& e : p.entries()) visit(e.child);
    if (p.tail()) visit(p.tail());
}

void IndexWriter::rebuild(const std::vector<std::vector<uint8_t>>& sorted) {
    std::set<uint32_t> old;
    collectPages(ix_.rootPage, old, 0);
    for (uint32_t pg : old) freePage(pg);

    // Fill pages left to right, one level at a time, until one page holds the level.
    std::vector<Mem> level;
    {
        Mem cur;
        // The stored size of a leaf is the entries' total length less the shared prefix, once
        // for every entry after the first; entries come sorted, so the prefix shared by the first
        // and the last entry only shrinks as entries are added.
        size_t total = 0, prefix = 0;
        for (auto& v : sorted) {
            Entry e = toEntry(v);
            if (!cur.keys.empty()) {
                size_t p = std::min(prefix,
                                    commonPrefix(cur.keys.front(), e, cur.keys.front().size() - 4));
                if (total + e.size() - p * cur.keys.size() > fmt::kIdxMaxEntryBytes) {
                    level.push_back(std::move(cur));
                    cur = Mem();
                } else {
                    prefix = p;
                    total += e.size();
                    cur.keys.push_back(std::move(e));
                    continue;
                }
            }
            total = e.size();
            prefix = e.size() - 4;  // the key itself: capped by the first entry's key
            cur.keys.push_back(std::move(e));
        }
        level.push_back(std::move(cur));
    }
    while (level.size() > 1) {
        for (auto& m : level) m.no = newPage();
        for (size_t i = 0; i < level.size(); ++i) {
            level[i].prev = i ? level[i - 1].no : 0;
            level[i].next = i + 1 < level.size() ? level[i + 1].no : 0;
            store(level[i]);
        }
        std::vector<Mem> up;
        Mem cur;
        cur.leaf = false;
        for (auto& child : level) {
            cur.keys.push_back(*child.last());
            cur.known.push_back(true);
            cur.children.push_back(child.no);
            if (!cur.fits()) {
                cur.keys.pop_back();
                cur.known.pop_back();
                cur.children.pop_back();
                up.push_back(std::move(cur));
                cur = Mem();
                cur.leaf = false;
                cur.keys.push_back(*child.last());
                cur.known.push_back(true);
                cur.children.push_back(child.no);
            }
        }
        up.push_back(std::move(cur));
        level = std::move(up);
    }
    level[0].no = ix_.rootPage;
    level[0].prev = level[0].next = 0;
    store(level[0]);
}

}  // namespace jet
