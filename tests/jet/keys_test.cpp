// Index keys: Yes/No columns in ignore-nulls and unique indexes, keys at every numeric type's
// limits compared with what the integrity check recomputes and with the other readers, and what a
// write says about an index it cannot keep.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "jet/check.h"
#include "jet/compact.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/indexpage.h"
#include "jet/indexwriter.h"
#include "jet/rowstore.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;

std::string copyOf(const std::string& fixture) {
    std::string path = zntest::tempDir() + "/db.mdb";
    zntest::copyFile(zntest::fixture(fixture), path);
    return path;
}

std::unique_ptr<Database> openWritable(const std::string& path) {
    OpenOptions o;
    o.writable = true;
    return Database::open(path, o);
}

std::vector<std::string> problemsOf(Database& db) {
    return checkDatabase(db).problems;
}

std::string hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

// Every index of `table` as its entries in index order: key bytes and the row's `id` (row
// pointers differ between files).
std::map<std::string, std::vector<std::string>> indexEntries(Database& db,
                                                             const std::string& table) {
    Table& t = db.table(table);
    const TableDef def = t.def();
    const size_t idCol = size_t(t.columnIndex("id"));
    std::map<std::string, std::vector<std::string>> out;
    for (auto& ix : def.realIndexes) {
        auto& list = out[def.indexName(ix)];
        forEachIndexEntry(db.pager(), ix, [&](const IndexEntry& e) {
            Row r = t.read(e.row, false);
            list.push_back(hex(e.key) + " id " + std::to_string(std::get<int64_t>(r[idCol])));
        });
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Yes/No columns: never NULL, so an ignore-nulls index holds every row and a unique index
// refuses a second Yes.

const char* kYesNo = "jackcess/jk-yesno-index.mdb";

std::vector<TableSpec> yesNoTables() {
    return {TableSpec{"B",
                      {{"id", ColType::Long, 255, 255, true},
                       {"flag", ColType::Boolean},
                       {"t", ColType::Text, 20}},
                      {IndexSpec{"PrimaryKey", {{"id", true}}, true},
                       IndexSpec{"ix_flag_t", {{"flag", true}, {"t", true}}, false, false, true},
                       IndexSpec{"ix_flag", {{"flag", true}}, false, false, true}}},
            TableSpec{"U",
                      {{"id", ColType::Long, 255, 255, true}, {"flag", ColType::Boolean}},
                      {IndexSpec{"PrimaryKey", {{"id", true}}, true},
                       IndexSpec{"ux_flag", {{"flag", true}}, false, true}}}};
}

void insertYesNoRows(Database& db) {
    Table& b = db.table("B");
    for (auto [flag, text] : std::vector<std::pair<bool, Value>>{
             {true, Value()}, {false, Value()}, {true, Value(std::u16string(u"x"))}}) {
        Row r(3);
        r[1] = flag;
        r[2] = text;
        b.insert(r);
    }
    Row u(2);
    u[1] = true;
    db.table("U").insert(u);
}

TEST(YesNoKeys, InsertedRowsGiveTheReferenceEntries) {
    ZN_REQUIRE_FIXTURES();
    auto ref = Database::open(zntest::fixture(kYesNo));
    EXPECT_EQ(problemsOf(*ref), std::vector<std::string>{});
    const auto refB = indexEntries(*ref, "B"), refU = indexEntries(*ref, "U");
    EXPECT_EQ(refB.at("ix_flag").size(), 3u);
    EXPECT_EQ(refB.at("ix_flag_t").size(), 3u);

    // Our own tables with the same definitions, and the reference with its rows deleted.
    const std::string made = zntest::tempDir() + "/made.mdb";
    {
        auto db = createDatabase(made);
        for (auto& spec : yesNoTables()) createTable(*db, spec);
        insertYesNoRows(*db);
    }
    const std::string emptied = copyOf(kYesNo);
    {
        auto db = openWritable(emptied);
        for (const char* name : {"B", "U"}) {
            Table& t = db->table(name);
            std::vector<RowId> ids;
            for (auto s = t.scan(false); s.next();) ids.push_back(s.id());
            for (RowId id : ids) t.remove(id);
        }
        // Reinsert with the reference's ids.
        Table& b = db->table("B");
        int64_t id = 1;
        for (auto [flag, text] : std::vector<std::pair<bool, Value>>{
                 {true, Value()}, {false, Value()}, {true, Value(std::u16string(u"x"))}}) {
            Row r(3);
            r[0] = id++;
            r[1] = flag;
            r[2] = text;
            b.insert(r);
        }
        Row u(2);
        u[0] = int64_t(1);
        u[1] = true;
        db->table("U").insert(u);
    }
    for (const std::string& path : {made, emptied}) {
        SCOPED_TRACE(path);
        auto db = Database::open(path);
        EXPECT_EQ(indexEntries(*db, "B"), refB);
        EXPECT_EQ(indexEntries(*db, "U"), refU);
        EXPECT_EQ(problemsOf(*db), std::vector<std::string>{});
        EXPECT_TRUE(zntest::sameDump(zntest::ourDump(path, {"--all"}),
                                     zntest::ourDump(zntest::fixture(kYesNo), {"--all"})));
    }

    // Compaction keeps them.
    const std::string compacted = copyOf(kYesNo);
    compactInPlace(compacted);
    auto db = Database::open(compacted);
    EXPECT_EQ(indexEntries(*db, "B"), refB);
    EXPECT_EQ(indexEntries(*db, "U"), refU);
    EXPECT_EQ(problemsOf(*db), std::vector<std::string>{});
}

TEST(YesNoKeys, UniqueIndexRefusesASecondYesAndTakesNo) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf(kYesNo);
    auto db = openWritable(path);
    Table& u = db->table("U");
    const auto before = zntest::readFile(path);
    Row yes(2);
    yes[1] = true;
    try {
        u.insert(yes);
        ADD_FAILURE() << "a second Yes was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Constraint);
        EXPECT_NE(std::string(e.what()).find("ux_flag"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(zntest::readFile(path) == before) << "the file changed";
    // A missing value is No, and so is the row's only No.
    Row none(2);
    RowId no = u.insert(none);
    EXPECT_EQ(u.read(no)[1], Value(false));
    Row again(2);
    again[1] = false;
    EXPECT_THROW(u.insert(again), Error);
    // Changing the No into Yes collides too.
    Row changed = u.read(no);
    changed[1] = true;
    EXPECT_THROW(u.update(no, changed), Error);
    EXPECT_EQ(problemsOf(*db), std::vector<std::string>{});
}

TEST(YesNoKeys, CheckReportsAMissingEntryOfAYesNoIndex) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf(kYesNo);
    auto db = openWritable(path);
    // Take out the entry of the row (No, NULL) as the engine used to leave it out.
    Table& b = db->table("B");
    const TableDef def = b.def();
    const RealIndex* ix = nullptr;
    for (auto& r : def.realIndexes)
        if (def.indexName(r) == "ix_flag") ix = &r;
    ASSERT_NE(ix, nullptr);
    std::optional<IndexEntry> no;
    std::vector<uint8_t> key;
    RowId row;
    forEachIndexEntry(db->pager(), *ix, [&](const IndexEntry& e) {
        if (std::get<bool>(b.read(e.row, false)[1]) == false) {
            key = e.keyBytes();
            row = e.row;
        }
    });
    ASSERT_FALSE(key.empty());
    {
        Transaction tx(*db);
        Ctx x(db->pager());
        IndexWriter(x.pager, x.alloc, x.maps, def.page, *ix).remove(key, row);
        tx.commit();
    }
    auto problems = problemsOf(*db);
    ASSERT_EQ(problems.size(), 2u) << testing::PrintToString(problems);
    EXPECT_NE(problems[0].find("no entry for row"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("2 entries for 3 rows"), std::string::npos) << problems[1];
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// An index the engine cannot keep: the refusal names the type, and compacting (which only
// changes the sort order) is not offered as the cure.

TEST(UnwritableIndex, RefusalNamesTheKeyTypeAndOffersNoCompaction) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("jackcess/jk-numeric-index-types.mdb");
    const auto before = zntest::readFile(path);
    {
        auto db = openWritable(path);
        Table& t = db->table("Odd");
        Row r(t.def().columns.size());
        try {
            t.insert(r);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            const std::string m = e.what();
            EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
            EXPECT_NE(m.find("\"ix_g\""), std::string::npos) << m;
            EXPECT_NE(m.find("GUID"), std::string::npos) << m;
            EXPECT_EQ(m.find("compact"), std::string::npos) << m;
            EXPECT_EQ(m.find("sort order"), std::string::npos) << m;
        }
        // A table without such an index takes the same values.
        Table& plain = db->table("OddNoIndex");
        Row p(plain.def().columns.size());
        p[1] = Guid{};
        plain.insert(p);
    }
    EXPECT_FALSE(zntest::readFile(path) == before);
}
