// Reading and editing index pages, and walking index trees.
#include "jet/indexpage.h"

#include <algorithm>
#include <array>
#include <bit>
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

IndexPage::IndexPage(Page p) : no_(p.no) {
    Bytes b = p.bytes();
    uint8_t type = b.u8(0);
    if (type != fmt::kPageIndexNode && type != fmt::kPageIndexLeaf)
        throwCorrupt(no_, "expected an index page, found page type " + std::to_string(type));
    leaf_ = type == fmt::kPageIndexLeaf;
    free_ = b.u16(fmt::kIdxFreeSpace);
    owner_ = b.u32(fmt::kIdxOwner);
    prev_ = b.u32(fmt::kIdxPrev);
    next_ = b.u32(fmt::kIdxNext);
    tail_ = b.u32(fmt::kIdxTail);
    prefix_ = b.u16(fmt::kIdxPrefixLen);
    const uint8_t* bitmap = b.sub(fmt::kIdxBitmap, fmt::kIdxBitmapLen).data();
    Bytes data = b.sub(fmt::kIdxFirstEntry, fmt::kIdxMaxEntryBytes);
    const size_t minLen = tailBytes();
    full_.reserve(fmt::kIdxMaxEntryBytes + 64);
    size_t start = 0;
    auto take = [&](size_t end) {
        if (end <= start) throwCorrupt(no_, "an index entry has no bytes");
        Bytes stored = data.sub(start, end - start, "index entry");
        size_t at = full_.size();
        if (ends_.empty()) {
            if (prefix_ > stored.size())
                throwCorrupt(no_, "the index page's shared prefix is longer than its first entry");
        } else {
            full_.append(full_, 0, prefix_);
        }
        full_.append(reinterpret_cast<const char*>(stored.data()), stored.size());
        // Every key has a byte at least (each column's starts with a flag byte); the writer
        // cannot lay out an entry without one.
        if (full_.size() - at <= minLen)
            throwCorrupt(no_, "an index entry is too short to hold a key and its row pointer");
        ends_.push_back(uint32_t(full_.size()));
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
    // Pages this engine wrote can be edited in place; others are rewritten at their first change.
    canonical_ = IndexPageEditor::isCanonical(*this, *p.buf);
}

IndexEntry IndexPage::entry(size_t i) const {
    std::string_view w = whole(i);
    const size_t keyLen = w.size() - tailBytes();
    const auto* r = reinterpret_cast<const uint8_t*>(w.data()) + keyLen;
    IndexEntry e;
    e.key = w.substr(0, keyLen);
    e.sort = w.substr(0, keyLen + 4);
    e.row = RowId{uint32_t(r[0]) << 16 | uint32_t(r[1]) << 8 | r[2], r[3]};
    if (!leaf_) e.child = uint32_t(r[4]) << 24 | uint32_t(r[5]) << 16 | uint32_t(r[6]) << 8 | r[7];
    return e;
}

namespace {

// a < b as unsigned byte strings. Index entries are short, so eight bytes at a time (read
// big-endian, so that integer order is byte order) beat a call to memcmp.
bool lessBytes(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) {
            if constexpr (std::endian::native == std::endian::little) {
                x = __builtin_bswap64(x);
                y = __builtin_bswap64(y);
            }
            return x < y;
        }
    }
    for (; i < n; ++i)
        if (a[i] != b[i]) return uint8_t(a[i]) < uint8_t(b[i]);
    return a.size() < b.size();
}

// The first of `n` sorted entries whose bytes (`bytesOf(i)`) are not below `x`.
template <class BytesOf>
size_t firstNotBelow(size_t n, std::string_view x, BytesOf bytesOf) {
    size_t lo = 0, hi = n;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (lessBytes(bytesOf(mid), x))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace

size_t IndexPage::lowerBound(std::string_view sort) const {
    return firstNotBelow(size(), sort, [this](size_t i) { return sortOf(i); });
}

size_t IndexPage::lowerBoundKey(std::string_view key) const {
    return firstNotBelow(size(), key, [this](size_t i) { return keyOf(i); });
}

std::shared_ptr<const IndexPage> loadIndexPage(Pager& pager, uint32_t pgno) {
    if (auto cached = pager.derived(pgno, Pager::Derived::IndexPage))
        return std::static_pointer_cast<const IndexPage>(cached);
    auto p = std::make_shared<const IndexPage>(pager.get(pgno));
    pager.setDerived(pgno, Pager::Derived::IndexPage, p, p->heldBytes());
    return p;
}

// ---------------------------------------------------------------------------------------------
// Editing

namespace {

size_t commonPrefix(std::string_view a, std::string_view b, size_t cap) {
    size_t n = std::min({a.size(), b.size(), cap});
    size_t i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// Where entry i ends among the stored bytes: every entry but the first lost the prefix.
size_t storedEnd(const std::vector<uint32_t>& ends, size_t i, size_t prefix) {
    return ends[i] - i * prefix;
}

// Moves every bit of the entry bitmap at position >= `from` so that `from` lands on `to`; bits
// below min(from, to) stay, the ones in between are cleared (or, moving down, dropped). Bits at
// `end` and beyond are clear before the move. Works on the 64-bit words that cover the bits
// concerned (bit n of the bitmap is bit n % 64 of word n / 64, the bytes read little-endian).
void moveBits(uint8_t* bitmap, size_t from, size_t to, size_t end) {
    constexpr size_t kWords = (fmt::kIdxBitmapLen + 7) / 8;
    const size_t keep = std::min(from, to);
    const size_t base = keep / 64 * 64;  // first bit of the first word concerned
    const size_t last = std::min(fmt::kIdxBitmapLen * 8, to >= from ? end + (to - from) : end);
    const size_t words = std::min(kWords - base / 64, (last - base + 63) / 64 + 1);
    const size_t firstByte = base / 8;
    const size_t bytes = std::min(words * 8, fmt::kIdxBitmapLen - firstByte);
    uint64_t w[kWords], hi[kWords], out[kWords];
    w[words - 1] = 0;
    std::memcpy(w, bitmap + firstByte, bytes);
    if constexpr (std::endian::native == std::endian::big)
        for (size_t k = 0; k < words; ++k) w[k] = __builtin_bswap64(w[k]);
    // Local bit positions inside the words.
    const size_t f = from - base, t = to - base, kp = keep - base;
    auto mask = [](size_t bit, size_t k) {  // bits below `bit` within word k
        const size_t b = k * 64;
        return bit <= b ? 0 : bit >= b + 64 ? ~0ull : (1ull << (bit - b)) - 1;
    };
    for (size_t k = 0; k < words; ++k) {
        out[k] = w[k] & mask(kp, k);
        hi[k] = w[k] & ~mask(f, k);
    }
    if (t >= f) {
        const size_t q = (t - f) / 64, r = (t - f) % 64;
        for (size_t k = words; k-- > q;) {
            uint64_t v = hi[k - q] << r;
            if (r && k > q) v |= hi[k - q - 1] >> (64 - r);
            out[k] |= v;
        }
    } else {
        const size_t q = (f - t) / 64, r = (f - t) % 64;
        for (size_t k = 0; k + q < words; ++k) {
            uint64_t v = hi[k + q] >> r;
            if (r && k + q + 1 < words) v |= hi[k + q + 1] << (64 - r);
            out[k] |= v;
        }
    }
    if constexpr (std::endian::native == std::endian::big)
        for (size_t k = 0; k < words; ++k) out[k] = __builtin_bswap64(out[k]);
    std::memcpy(bitmap + firstByte, out, bytes);
}

void setBit(uint8_t* bitmap, size_t bit) {
    bitmap[bit / 8] |= uint8_t(1 << (bit % 8));
}

}  // namespace

size_t IndexPageEditor::prefixFor(std::string_view first, std::string_view last, size_t n,
                                  size_t tailBytes) {
    if (n < 2) return 0;
    return commonPrefix(first, last, first.size() - tailBytes);
}

namespace {

// Lays out `p`'s entries on `buf`; returns the prefix and the stored entry bytes.
std::pair<size_t, size_t> layOut(const IndexPage& p, PageBuf& buf) {
    const size_t n = p.size();
    const size_t pre =
        n ? IndexPageEditor::prefixFor(p.whole(0), p.whole(n - 1), n, p.tailBytes()) : 0;
    // Every entry but the first is stored without the prefix its first and last share, so each
    // must be longer than that prefix and keep a key. Sorted entries always are; entries read
    // from a damaged page (out of order) need not be.
    size_t used = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t len = p.whole(i).size();
        const size_t skip = i ? pre : 0;
        if (len <= p.tailBytes() || len <= skip)
            throwCorrupt(p.no(), "the entries of the index page are out of order");
        used += len - skip;
        if (used > fmt::kIdxMaxEntryBytes)
            throwError(ErrorKind::Usage,
                       "index entries do not fit on page " + std::to_string(p.no()));
    }
    buf.fill(0);
    buf[0] = p.leaf() ? fmt::kPageIndexLeaf : fmt::kPageIndexNode;
    buf[1] = 0x01;
    putU16(buf.data() + fmt::kIdxFreeSpace, uint16_t(fmt::kIdxMaxEntryBytes - used));
    putU32(buf.data() + fmt::kIdxOwner, p.owner());
    putU32(buf.data() + fmt::kIdxPrev, p.prev());
    putU32(buf.data() + fmt::kIdxNext, p.next());
    putU32(buf.data() + fmt::kIdxTail, p.tail());
    putU16(buf.data() + fmt::kIdxPrefixLen, uint16_t(pre));
    uint8_t* data = buf.data() + fmt::kIdxFirstEntry;
    uint8_t* bitmap = buf.data() + fmt::kIdxBitmap;
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        std::string_view w = p.whole(i);
        const size_t skip = i ? pre : 0;
        std::memcpy(data + at, w.data() + skip, w.size() - skip);
        at += w.size() - skip;
        setBit(bitmap, at);
    }
    return {pre, used};
}

}  // namespace

bool IndexPageEditor::isCanonical(const IndexPage& p, const PageBuf& bytes) {
    PageBuf mine;
    try {
        layOut(p, mine);
    } catch (const Error&) {
        return false;
    }
    return mine == bytes;
}

void IndexPageEditor::encode(IndexPage& p, PageBuf& buf) {
    auto [pre, used] = layOut(p, buf);
    p.prefix_ = uint16_t(pre);
    p.used_ = used;
    p.free_ = uint16_t(fmt::kIdxMaxEntryBytes - used);
    p.canonical_ = true;
}

void IndexPageEditor::setUsed(IndexPage& p, PageBuf& buf, size_t used) {
    p.used_ = used;
    p.free_ = uint16_t(fmt::kIdxMaxEntryBytes - used);
    putU16(buf.data() + fmt::kIdxFreeSpace, p.free_);
}

size_t IndexPageEditor::usedAfterInsert(const IndexPage& p, size_t i, std::string_view whole) {
    const size_t n = p.size() + 1;
    std::string_view first = i == 0 ? whole : p.whole(0);
    std::string_view last = i == p.size() ? whole : p.whole(p.size() - 1);
    const size_t pre = prefixFor(first, last, n, p.tailBytes());
    return p.full_.size() + whole.size() - (n - 1) * pre;
}

size_t IndexPageEditor::usedAfterErase(const IndexPage& p, size_t i) {
    const size_t n = p.size() - 1;
    if (n == 0) return 0;
    std::string_view first = p.whole(i == 0 ? 1 : 0);
    std::string_view last = p.whole(i == n ? n - 1 : n);
    const size_t pre = prefixFor(first, last, n, p.tailBytes());
    return p.full_.size() - p.whole(i).size() - (n - 1) * pre;
}

size_t IndexPageEditor::usedAfterReplace(const IndexPage& p, size_t i, std::string_view whole) {
    const size_t n = p.size();
    std::string_view first = i == 0 ? whole : p.whole(0);
    std::string_view last = i == n - 1 ? whole : p.whole(n - 1);
    const size_t pre = prefixFor(first, last, n, p.tailBytes());
    return p.full_.size() - p.whole(i).size() + whole.size() - (n - 1) * pre;
}

void IndexPageEditor::splice(IndexPage& p, PageBuf& buf, size_t a, size_t b, std::string_view bytes,
                             std::initializer_list<size_t> ends) {
    uint8_t* data = buf.data() + fmt::kIdxFirstEntry;
    uint8_t* bitmap = buf.data() + fmt::kIdxBitmap;
    const size_t used = p.used_;
    const size_t after = used - (b - a) + bytes.size();
    std::memmove(data + a + bytes.size(), data + b, used - b);
    std::memcpy(data + a, bytes.data(), bytes.size());
    if (after < used) std::memset(data + after, 0, used - after);
    // The ends inside [a, b) go, the later ones move, the new ones are set.
    for (size_t bit = a + 1; bit <= b; ++bit) bitmap[bit / 8] &= uint8_t(~(1 << (bit % 8)));
    moveBits(bitmap, b + 1, a + bytes.size() + 1, used + 1);
    for (size_t e : ends) setBit(bitmap, a + e);
    setUsed(p, buf, after);
}

void IndexPageEditor::insert(IndexPage& p, PageBuf& buf, size_t i, std::string_view whole) {
    const size_t n = p.size();
    std::string_view first = i == 0 ? whole : p.whole(0);
    std::string_view last = i == n ? whole : p.whole(n - 1);
    const size_t pre = prefixFor(first, last, n + 1, p.tailBytes());
    // In place while the prefix stays; the stored bytes change between the entries before and
    // after the new one (a new first entry is stored whole and its successor loses the prefix).
    const bool inPlace = p.canonical_ && pre == p.prefix_;
    std::string stored;
    size_t a = 0, b = 0;
    if (inPlace && i > 0) {
        a = b = storedEnd(p.ends_, i - 1, pre);
        stored.assign(whole.substr(pre));
    } else if (inPlace) {
        stored.assign(whole);
        if (n) {
            b = storedEnd(p.ends_, 0, pre);
            stored.append(p.whole(0).substr(pre));
        }
    }
    const size_t at = i ? p.ends_[i - 1] : 0;
    p.full_.insert(at, whole);
    p.ends_.insert(p.ends_.begin() + long(i), uint32_t(at));
    for (size_t k = i; k < p.ends_.size(); ++k) p.ends_[k] += uint32_t(whole.size());
    if (!inPlace) {
        encode(p, buf);
    } else if (i > 0 || n == 0) {
        splice(p, buf, a, b, stored, {stored.size()});
    } else {
        splice(p, buf, a, b, stored, {whole.size(), stored.size()});
    }
}

void IndexPageEditor::erase(IndexPage& p, PageBuf& buf, size_t i) {
    const size_t n = p.size() - 1;
    const size_t pre =
        n ? prefixFor(p.whole(i == 0 ? 1 : 0), p.whole(i == n ? n - 1 : n), n, p.tailBytes()) : 0;
    const bool inPlace = p.canonical_ && pre == p.prefix_;
    // The entry's stored bytes go; a first entry is followed by its successor stored whole.
    std::string stored;
    size_t a = 0, b = 0;
    if (inPlace && i > 0) {
        a = storedEnd(p.ends_, i - 1, pre);
        b = storedEnd(p.ends_, i, pre);
    } else if (inPlace) {
        b = storedEnd(p.ends_, n ? 1 : 0, pre);
        if (n) stored.assign(p.whole(1));
    }
    const size_t at = i ? p.ends_[i - 1] : 0;
    const size_t len = p.ends_[i] - at;
    p.full_.erase(at, len);
    p.ends_.erase(p.ends_.begin() + long(i));
    for (size_t k = i; k < p.ends_.size(); ++k) p.ends_[k] -= uint32_t(len);
    if (!inPlace)
        encode(p, buf);
    else if (stored.empty())
        splice(p, buf, a, b, stored, {});
    else
        splice(p, buf, a, b, stored, {stored.size()});
}

void IndexPageEditor::replace(IndexPage& p, PageBuf& buf, size_t i, std::string_view whole) {
    const size_t n = p.size();
    std::string_view first = i == 0 ? whole : p.whole(0);
    std::string_view last = i == n - 1 ? whole : p.whole(n - 1);
    const size_t pre = prefixFor(first, last, n, p.tailBytes());
    const bool inPlace = p.canonical_ && pre == p.prefix_;
    const size_t a = i ? storedEnd(p.ends_, i - 1, pre) : 0;
    const size_t b = storedEnd(p.ends_, i, pre);
    const std::string_view stored = whole.substr(i ? pre : 0);
    const size_t at = i ? p.ends_[i - 1] : 0;
    const size_t len = p.ends_[i] - at;
    if (inPlace && len == whole.size()) {
        // Same length: only the bytes change.
        std::memcpy(buf.data() + fmt::kIdxFirstEntry + a, stored.data(), stored.size());
        p.full_.replace(at, len, whole);
        return;
    }
    const std::string keep(stored);
    p.full_.replace(at, len, whole);
    for (size_t k = i; k < n; ++k) p.ends_[k] = uint32_t(p.ends_[k] - len + whole.size());
    if (!inPlace)
        encode(p, buf);
    else
        splice(p, buf, a, b, keep, {keep.size()});
}

std::shared_ptr<IndexPage> IndexPageEditor::splitInsert(IndexPage& p, PageBuf& buf, size_t i,
                                                        std::string_view whole, size_t mid,
                                                        uint32_t leftNo, PageBuf& leftBuf) {
    std::shared_ptr<IndexPage> left(new IndexPage());
    left->no_ = leftNo;
    left->leaf_ = p.leaf_;
    left->owner_ = p.owner_;
    left->prev_ = p.prev_;
    left->next_ = p.no_;
    std::string rest;
    std::vector<uint32_t> restEnds;
    auto add = [&](std::string_view w, size_t at) {
        std::string& full = at < mid ? left->full_ : rest;
        std::vector<uint32_t>& ends = at < mid ? left->ends_ : restEnds;
        full.append(w);
        ends.push_back(uint32_t(full.size()));
    };
    for (size_t j = 0, at = 0; j <= p.size(); ++j) {
        if (j == i) add(whole, at++);
        if (j < p.size()) add(p.whole(j), at++);
    }
    p.full_ = std::move(rest);
    p.ends_ = std::move(restEnds);
    p.prev_ = leftNo;
    encode(*left, leftBuf);
    encode(p, buf);
    return left;
}

// ---------------------------------------------------------------------------------------------
// Walking and searching

namespace {

void walk(Pager& pager, uint32_t pgno, int depth, std::set<uint32_t>& seen,
          const std::function<void(const IndexEntry&)>& fn) {
    if (depth > fmt::kMaxIndexDepth) throwCorrupt(pgno, "the index tree is deeper than possible");
    if (!seen.insert(pgno).second) throwCorrupt(pgno, "the index tree reaches a page twice");
    auto p = loadIndexPage(pager, pgno);
    if (p->leaf()) {
        for (const IndexEntry& e : p->entries()) fn(e);
        return;
    }
    for (const IndexEntry& e : p->entries()) walk(pager, e.child, depth + 1, seen, fn);
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
    const std::string_view k = asView(key);
    uint32_t pgno = ix.rootPage;
    // Descend: the first node entry whose key is >= the search key leads to the first leaf that
    // can hold it (node entries carry the last key of their subtree).
    for (int depth = 0;; ++depth) {
        if (depth > fmt::kMaxIndexDepth)
            throwCorrupt(pgno, "the index tree is deeper than possible");
        auto p = loadIndexPage(pager, pgno);
        if (p->leaf()) break;
        size_t i = p->lowerBoundKey(k);
        uint32_t child = i < p->size() ? p->entry(i).child : p->tail();
        if (child == 0) return out;
        pgno = child;
    }
    std::set<uint32_t> seen;
    bool first = true;
    while (pgno != 0) {
        if (!seen.insert(pgno).second) throwCorrupt(pgno, "the index's leaf chain loops");
        auto p = loadIndexPage(pager, pgno);
        if (!p->leaf()) throwCorrupt(pgno, "the index's leaf chain reaches a node page");
        size_t i = first ? p->lowerBoundKey(k) : 0;
        first = false;
        for (; i < p->size(); ++i) {
            if (p->keyOf(i) != k) return out;
            out.push_back(p->entry(i).row);
        }
        pgno = p->next();
    }
    return out;
}

}  // namespace jet
