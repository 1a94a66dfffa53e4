// Index maintenance: in-place edits of index pages lay them out exactly as a whole rewrite does,
// the in-place path of the index writer writes the same file as its general path, and the
// unique-entry counts follow Jet's rule; rows added to a data page in place land where the slot
// page would put them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/indexkey.h"
#include "jet/indexpage.h"
#include "jet/indexwriter.h"
#include "jet/pagewriter.h"
#include "store/bank/testbank.h"
#include "tests/support/randomwrites.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;

// An empty index page as this engine writes it.
PageBuf emptyIndexPage(bool leaf) {
    PageBuf b{};
    b[0] = leaf ? fmt::kPageIndexLeaf : fmt::kPageIndexNode;
    b[1] = 0x01;
    putU16(b.data() + fmt::kIdxFreeSpace, uint16_t(fmt::kIdxMaxEntryBytes));
    putU32(b.data() + fmt::kIdxOwner, 2);
    return b;
}

// A whole entry: key bytes of varying length sharing varying prefixes, then the row pointer
// (and for a node the child page).
std::string randomEntry(std::mt19937& rnd, bool leaf, const std::string& common) {
    static const char* stems[] = {"", "A", "AB", "ABC", "ABCDEFGH", "ABD", "B", "BBBBBBBBBBBB"};
    std::string e = common + stems[rnd() % 8];
    const size_t extra = rnd() % 6;
    for (size_t i = 0; i < extra; ++i) e.push_back(char('A' + rnd() % 4));
    e.push_back(char(0x01));  // keys end like text keys: none is a prefix of another
    for (int i = 0; i < (leaf ? 4 : 8); ++i) e.push_back(char(rnd() % 256));
    return e;
}

std::vector<std::string> wholes(const IndexPage& p) {
    std::vector<std::string> out;
    for (size_t i = 0; i < p.size(); ++i) out.emplace_back(p.whole(i));
    return out;
}

TEST(IndexPageEditor, InPlaceEditsLayOutThePageAsAWholeRewriteWould) {
    // Keys with little in common (the prefix mostly 0), and keys that all share a stem (a
    // prefix of 5 or more that new first and last entries keep or shorten).
    for (int kind = 0; kind < 4; ++kind) {
        const bool leaf = kind % 2 == 0;
        const std::string common = kind < 2 ? "" : "STEM!";
        SCOPED_TRACE(std::string(leaf ? "leaf" : "node") + (kind < 2 ? "" : ", shared stem"));
        std::mt19937 rnd(uint32_t(11 + kind));
        auto buf = std::make_shared<PageBuf>(emptyIndexPage(leaf));
        IndexPage p(Page{7, buf});
        ASSERT_TRUE(p.canonical());
        std::vector<std::string> model;
        for (int step = 0; step < 4000; ++step) {
            const int op = int(rnd() % 10);
            if (op < 6 || model.size() < 2) {
                std::string e = randomEntry(rnd, leaf, common);
                const size_t i =
                    p.lowerBound(std::string_view(e).substr(0, e.size() - (leaf ? 0 : 4)));
                if (IndexPageEditor::usedAfterInsert(p, i, e) > fmt::kIdxMaxEntryBytes) continue;
                IndexPageEditor::insert(p, *buf, i, e);
                model.insert(model.begin() + long(i), e);
            } else if (op < 9) {
                const size_t i = rnd() % model.size();
                IndexPageEditor::erase(p, *buf, i);
                model.erase(model.begin() + long(i));
            } else {
                // Same key and row, another child page (a node entry whose child changed) or,
                // on a leaf, the same entry again.
                const size_t i = rnd() % model.size();
                std::string e = model[i];
                if (!leaf) e.back() = char(rnd() % 256);
                if (IndexPageEditor::usedAfterReplace(p, i, e) > fmt::kIdxMaxEntryBytes) continue;
                IndexPageEditor::replace(p, *buf, i, e);
                model[i] = e;
            }
            ASSERT_EQ(wholes(p), model) << "step " << step;
            ASSERT_TRUE(IndexPageEditor::isCanonical(p, *buf)) << "step " << step;
            IndexPage again(Page{7, std::make_shared<PageBuf>(*buf)});
            ASSERT_EQ(wholes(again), model) << "step " << step;
            ASSERT_EQ(again.freeSpace(), p.freeSpace());
            ASSERT_EQ(again.prefix(), p.prefix());
        }
    }
}

TEST(IndexPageEditor, APageLaidOutElsewhereIsRewrittenAtItsFirstChange) {
    // Two entries stored without the prefix they share, and bytes left past the entries: a
    // valid page, though not the way this engine lays one out.
    auto buf = std::make_shared<PageBuf>(emptyIndexPage(true));
    const std::string a = std::string("KEY1") + '\x01' + std::string("\x00\x00\x05\x01", 4);
    const std::string b = std::string("KEY2") + '\x01' + std::string("\x00\x00\x05\x02", 4);
    std::memcpy(buf->data() + fmt::kIdxFirstEntry, a.data(), a.size());
    std::memcpy(buf->data() + fmt::kIdxFirstEntry + a.size(), b.data(), b.size());
    (*buf)[fmt::kIdxBitmap + a.size() / 8] |= uint8_t(1 << (a.size() % 8));
    const size_t end = a.size() + b.size();
    (*buf)[fmt::kIdxBitmap + end / 8] |= uint8_t(1 << (end % 8));
    putU16(buf->data() + fmt::kIdxFreeSpace, uint16_t(fmt::kIdxMaxEntryBytes - end));
    (*buf)[fmt::kIdxFirstEntry + end + 3] = 0xEE;
    IndexPage p(Page{9, buf});
    EXPECT_FALSE(p.canonical());
    ASSERT_EQ(wholes(p), (std::vector<std::string>{a, b}));
    const std::string c = std::string("KEY15") + '\x01' + std::string("\x00\x00\x05\x03", 4);
    IndexPageEditor::insert(p, *buf, 1, c);
    EXPECT_TRUE(p.canonical());
    EXPECT_TRUE(IndexPageEditor::isCanonical(p, *buf));
    EXPECT_EQ(p.prefix(), 3u);
    EXPECT_EQ(wholes(IndexPage(Page{9, buf})), (std::vector<std::string>{a, c, b}));
}

// A damaged page whose entries are out of order: the middle one is shorter than the prefix its
// first and last share, so a layout that drops that prefix from it would copy a negative length.
// It decodes (the checker reports the order), is not taken for this engine's layout, and an edit
// of it is a corruption error.
TEST(IndexPageEditor, EntriesOutOfOrderAreNeitherCanonicalNorEditable) {
    for (bool leaf : {true, false}) {
        SCOPED_TRACE(leaf ? "leaf" : "node");
        const std::string tail = leaf ? std::string("\x00\x00\x05\x01", 4)
                                      : std::string("\x00\x00\x05\x01\x00\x00\x00\x09", 8);
        const std::string longer = std::string("AAAAAAAAAAAA") + tail;
        const std::string shorter = std::string("A") + tail;
        auto buf = std::make_shared<PageBuf>(emptyIndexPage(leaf));
        size_t end = 0;
        for (const std::string& e : {longer, shorter, longer}) {
            std::memcpy(buf->data() + fmt::kIdxFirstEntry + end, e.data(), e.size());
            end += e.size();
            (*buf)[fmt::kIdxBitmap + end / 8] |= uint8_t(1 << (end % 8));
        }
        putU16(buf->data() + fmt::kIdxFreeSpace, uint16_t(fmt::kIdxMaxEntryBytes - end));
        IndexPage p(Page{9, buf});
        EXPECT_FALSE(p.canonical());
        ASSERT_EQ(wholes(p), (std::vector<std::string>{longer, shorter, longer}));
        EXPECT_THROW(IndexPageEditor::replace(p, *buf, 0, longer), jet::Error);
    }
}

// A damaged page with an entry that is only a row pointer (and child page): no key. Every key
// has a byte, and the writer cannot lay such an entry out again, so a write on the page once
// ended in a usage error (found by fuzzing the writer). Reading the page is a corruption error,
// wherever the entry is.
TEST(IndexPage, AnEntryWithoutAKeyIsCorrupt) {
    for (bool leaf : {true, false}) {
        const std::string tail = leaf ? std::string("\x00\x00\x05\x01", 4)
                                      : std::string("\x00\x00\x05\x01\x00\x00\x00\x09", 8);
        const std::string keyed = std::string(
                                      "\x7f"
                                      "A\x01") +
                                  tail;
        for (size_t bare = 0; bare < 2; ++bare) {
            SCOPED_TRACE(std::string(leaf ? "leaf" : "node") + ", entry " + std::to_string(bare));
            auto buf = std::make_shared<PageBuf>(emptyIndexPage(leaf));
            size_t end = 0;
            for (size_t i = 0; i < 2; ++i) {
                const std::string& e = i == bare ? tail : keyed;
                std::memcpy(buf->data() + fmt::kIdxFirstEntry + end, e.data(), e.size());
                end += e.size();
                (*buf)[fmt::kIdxBitmap + end / 8] |= uint8_t(1 << (end % 8));
            }
            putU16(buf->data() + fmt::kIdxFreeSpace, uint16_t(fmt::kIdxMaxEntryBytes - end));
            try {
                IndexPage p(Page{9, buf});
                ADD_FAILURE() << "the page was read";
            } catch (const jet::Error& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
            }
        }
    }
}

// Random writes on a fixture, once through the in-place path and once through the general path
// only: the files must come out byte for byte the same.
class SamePathResult : public testing::TestWithParam<const char*> {};

TEST_P(SamePathResult, InPlaceAndGeneralPathsWriteTheSameFile) {
    ZN_REQUIRE_FIXTURES();
    const uint32_t seed = 4242;
    const int ops = zntest::envInt("ZN_RANDOM_OPS", 1500);
    std::vector<uint8_t> result[2];
    for (int general = 0; general < 2; ++general) {
        IndexWriter::generalPathOnly = general;
        const std::string path = zntest::tempDir() + "/db.mdb";
        zntest::copyFile(zntest::fixture(GetParam()), path);
        zntest::WriteStats st;
        zntest::randomWrites(path, seed, ops, st);
        result[general] = zntest::readFile(path);
    }
    IndexWriter::generalPathOnly = false;
    ASSERT_EQ(result[0].size(), result[1].size());
    size_t firstDiff = 0;
    while (firstDiff < result[0].size() && result[0][firstDiff] == result[1][firstDiff])
        ++firstDiff;
    EXPECT_EQ(firstDiff, result[0].size())
        << "first difference in page " << firstDiff / fmt::kPageSize << " at offset "
        << firstDiff % fmt::kPageSize;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SamePathResult,
                         testing::Values("sample-test.mdb", "access/jk-compIndexTestV2000.mdb",
                                         "access/jk-testIndexPropertiesV2000.mdb",
                                         "access/jk-fixedTextTestV2000.mdb"),
                         [](const testing::TestParamInfo<const char*>& i) {
                             std::string n = std::filesystem::path(i.param).stem().string();
                             for (char& c : n)
                                 if (!isalnum(uint8_t(c))) c = '_';
                             return n;
                         });

// The same on a new bank grown to several index levels: inserts, re-keys and deletes in a few
// transactions, so leaves split, their last entries go and pages empty.
TEST(SamePath, ABankGrownAndThinnedComesOutTheSame) {
    std::vector<uint8_t> empty;
    {
        MemEnv env;
        CreateOptions o;
        o.env = &env;
        auto db = createDatabase("/bank.mdb", o);
        zn::bank::createTestSchema(*db);
        db.reset();
        empty = *env.data("/bank.mdb");
    }
    std::vector<uint8_t> result[2];
    for (int general = 0; general < 2; ++general) {
        IndexWriter::generalPathOnly = general;
        MemEnv env;
        env.put("/bank.mdb", empty);
        OpenOptions o;
        o.env = &env;
        o.writable = true;
        auto db = Database::open("/bank.mdb", o);
        Table& t = db->table("Otveti");
        const size_t cQ = size_t(t.columnIndex("idvopr")), cA = size_t(t.columnIndex("idotv"));
        std::mt19937 rnd(99);
        std::vector<RowId> ids;
        for (int round = 0; round < 3; ++round) {
            Transaction tx(*db);
            for (int i = 0; i < 3000; ++i) {
                Row r(t.def().columns.size());
                r[cQ] = int64_t(rnd() % 2000);
                r[cA] = int64_t(rnd() % 6);
                ids.push_back(t.insert(r));
            }
            std::shuffle(ids.begin(), ids.end(), rnd);
            for (int i = 0; i < 1500 && !ids.empty(); ++i) {
                if (i % 2) {
                    t.remove(ids.back());
                    ids.pop_back();
                } else {
                    Row r = t.read(ids[size_t(i)]);
                    r[cQ] = int64_t(rnd() % 2000);
                    t.update(ids[size_t(i)], r);
                }
            }
            tx.commit();
        }
        // Most of what is left goes too, emptying leaves all over the trees.
        Transaction tx(*db);
        for (size_t i = 0; i + 200 < ids.size(); ++i) t.remove(ids[i]);
        tx.commit();
        CheckReport rep = checkDatabase(*db);
        EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);
        db.reset();
        result[general] = *env.data("/bank.mdb");
    }
    IndexWriter::generalPathOnly = false;
    ASSERT_EQ(result[0].size(), result[1].size());
    size_t firstDiff = 0;
    while (firstDiff < result[0].size() && result[0][firstDiff] == result[1][firstDiff])
        ++firstDiff;
    EXPECT_EQ(firstDiff, result[0].size())
        << "first difference in page " << firstDiff / fmt::kPageSize << " at offset "
        << firstDiff % fmt::kPageSize;
}

// Jet counts an index's unique keys as it adds entries: one more when the added key was not in
// the index, none fewer when a removal takes a key's last entry (Access files keep counts above
// their distinct keys after deletions). Checked against a model through inserts, re-keys and
// deletes, with duplicates running across many leaves and a transaction rolled back.
TEST(UniqueCounts, FollowJetsRuleAcrossLeavesAndRollbacks) {
    const std::string path = zntest::tempDir() + "/counts.mdb";
    auto db = createDatabase(path);
    zn::bank::createTestSchema(*db);
    Table& t = db->table("Otveti");
    const size_t cQ = size_t(t.columnIndex("idvopr")), cA = size_t(t.columnIndex("idotv")),
                 cText = size_t(t.columnIndex("otvet"));
    const RealIndex* byQ = t.indexOn("idvopr");
    const RealIndex* byA = t.indexOn("idotv");
    ASSERT_TRUE(byQ && byA);
    const uint32_t slotQ = byQ->slot, slotA = byA->slot;
    struct Model {
        std::multiset<int64_t> keys;
        uint32_t count = 0;
        void add(int64_t k) {
            if (!keys.count(k)) ++count;
            keys.insert(k);
        }
        void remove(int64_t k) { keys.erase(keys.find(k)); }
    } mq, ma;
    auto storedCount = [&](uint32_t slot) { return t.def().realIndexes[slot].uniqueCount; };
    std::mt19937 rnd(5);
    std::map<uint32_t, std::pair<int64_t, int64_t>> rows;  // RowId -> (idvopr, idotv)
    auto insert = [&](int64_t q, int64_t a) {
        Row r(t.def().columns.size());
        r[cQ] = q;
        r[cA] = a;
        r[cText] = std::u16string(size_t(rnd() % 40), u'о');
        RowId id = t.insert(r);
        rows[id.raw()] = {q, a};
    };
    Transaction tx(*db);
    for (int i = 0; i < 6000; ++i) {
        const int64_t q = int64_t(rnd() % 500), a = int64_t(rnd() % 7);
        insert(q, a);
        mq.add(q);
        ma.add(a);
        ASSERT_EQ(storedCount(slotQ), mq.count) << "insert " << i;
        ASSERT_EQ(storedCount(slotA), ma.count) << "insert " << i;
    }
    tx.commit();
    // Deletes never lower the counts; re-keys count like inserts of the new key.
    std::vector<uint32_t> ids;
    for (auto& [raw, v] : rows) ids.push_back(raw);
    std::shuffle(ids.begin(), ids.end(), rnd);
    Transaction changes(*db);
    for (size_t k = 0; k < 3000; ++k) {
        const RowId id = RowId::fromRaw(ids[k]);
        auto [q, a] = rows[ids[k]];
        if (k % 3 == 0) {
            t.remove(id);
            mq.remove(q);
            ma.remove(a);
        } else {
            Row r = t.read(id);
            const int64_t nq = k % 3 == 1 ? int64_t(500 + k) : int64_t(rnd() % 500);
            r[cQ] = nq;
            t.update(id, r);
            if (nq != q) {  // an unchanged key leaves its index alone
                mq.remove(q);
                mq.add(nq);
            }
        }
        ASSERT_EQ(storedCount(slotQ), mq.count) << "change " << k;
        ASSERT_EQ(storedCount(slotA), ma.count) << "change " << k;
    }
    changes.commit();
    // A rolled-back transaction leaves the counts as they were.
    const uint32_t before = storedCount(slotQ);
    {
        Transaction undone(*db);
        insert(30000, 1);
        EXPECT_EQ(storedCount(slotQ), before + 1);
    }
    EXPECT_EQ(storedCount(slotQ), before);
    db.reset();
    auto again = Database::open(path);
    EXPECT_EQ(again->table("Otveti").def().realIndexes[slotQ].uniqueCount, mq.count);
    EXPECT_EQ(again->table("Otveti").def().realIndexes[slotA].uniqueCount, ma.count);
    CheckReport r = checkDatabase(*again);
    EXPECT_TRUE(r.ok()) << testing::PrintToString(r.problems);
}

// Rows added to, changed on and removed from a data page in place leave it as SlotPage would,
// for table rows and long-value rows; a page with a free slot goes through SlotPage for an added
// row.
TEST(DataPageInPlace, AddsAndRemovesRowsAsTheSlotPageWould) {
    for (bool lval : {false, true}) {
        SCOPED_TRACE(lval ? "long values" : "rows");
        MemEnv env;
        env.put("/a", std::vector<uint8_t>(3 * fmt::kPageSize, 0));
        env.put("/b", std::vector<uint8_t>(3 * fmt::kPageSize, 0));
        Pager a(env, "/a", env.open("/a", OpenMode::ReadWrite), true);
        Pager b(env, "/b", env.open("/b", OpenMode::ReadWrite), true);
        a.setJournaling(false);
        b.setJournaling(false);
        a.begin();
        b.begin();
        initDataPage(a.modify(2), 7, lval);
        initDataPage(b.modify(2), 7, lval);
        std::mt19937 rnd(3);
        for (int i = 0;; ++i) {
            std::vector<uint8_t> row(1 + rnd() % 300);
            for (auto& x : row) x = uint8_t(rnd());
            const uint16_t flags = !lval && i % 5 == 4 ? fmt::kRowDeleted : 0;
            size_t freeAfter = 0;
            const int slot = appendRow(a, 2, row, flags, freeAfter);
            SlotPage sp = SlotPage::load(b, 2);
            if (!sp.fits(row.size())) {
                EXPECT_EQ(slot, -1);
                break;
            }
            ASSERT_EQ(slot, int(sp.add(row, flags)));
            sp.store(b);
            ASSERT_EQ(freeAfter, sp.freeSpace());
            ASSERT_EQ(*a.get(2).buf, *b.get(2).buf) << "row " << i;
        }
        // Rows given new bytes in place, longer and shorter, leave it as SlotPage leaves it;
        // a row that no longer fits is left to SlotPage (which moves it elsewhere), as are
        // long-value pages.
        for (int k = 0; k < 200; ++k) {
            const unsigned slot = unsigned(rnd() % SlotPage::load(b, 2).slots.size());
            std::vector<uint8_t> row(1 + rnd() % 400);
            for (auto& x : row) x = uint8_t(rnd());
            size_t freeAfter = 0;
            const bool done = replaceRow(a, RowId{2, uint8_t(slot)}, row, freeAfter);
            SlotPage sp = SlotPage::load(b, 2);
            sp.slots[slot].data = row;
            if (lval || sp.used() > fmt::kPageSize) {
                EXPECT_FALSE(done);
                continue;
            }
            ASSERT_TRUE(done) << "slot " << slot;
            sp.store(b);
            ASSERT_EQ(freeAfter, sp.freeSpace());
            ASSERT_EQ(*a.get(2).buf, *b.get(2).buf) << "slot " << slot << ", round " << k;
        }
        // Rows removed in place leave the page as SlotPage leaves it, down to the last live
        // long value (whose page is released instead).
        std::vector<unsigned> order(SlotPage::load(b, 2).slots.size());
        for (unsigned k = 0; k < order.size(); ++k) order[k] = k;
        std::shuffle(order.begin(), order.end(), rnd);
        for (size_t k = 0; k < order.size(); ++k) {
            size_t freeAfter = 0;
            const bool done = removeRow(a, RowId{2, uint8_t(order[k])}, freeAfter);
            if (lval && k + 1 == order.size()) {
                EXPECT_FALSE(done);
                break;
            }
            ASSERT_TRUE(done) << "slot " << order[k];
            SlotPage sp = SlotPage::load(b, 2);
            sp.remove(order[k]);
            sp.store(b);
            ASSERT_EQ(freeAfter, sp.freeSpace());
            ASSERT_EQ(*a.get(2).buf, *b.get(2).buf) << "slot " << order[k];
            // A free slot is taken again by SlotPage, so adding is left to it.
            const bool anyFree = std::any_of(sp.slots.begin(), sp.slots.end(),
                                             [&](const SlotPage::Slot& x) { return sp.isFree(x); });
            if (anyFree) {
                EXPECT_EQ(appendRow(a, 2, std::vector<uint8_t>(4, 1), 0, freeAfter), -1);
            }
        }
    }
}

}  // namespace
