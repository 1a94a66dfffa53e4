// Index keys: Yes/No columns in ignore-nulls and unique indexes, keys at every numeric type's
// limits compared with what the integrity check recomputes and with the other readers, and what a
// write says about an index it cannot keep.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
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
using zntest::copyOf;
using zntest::openWritable;

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

// ---------------------------------------------------------------------------------------------
// Keys at every numeric type's limits (jk-numeric-index-types.mdb: an index on each type,
// ascending and descending). Each column's values are listed in ascending key order, one row per
// value with the other columns NULL.

std::string render(const Value& v) {
    if (auto* d = std::get_if<double>(&v)) {
        uint64_t bits;
        std::memcpy(&bits, d, 8);
        return "double " + std::to_string(bits);
    }
    if (auto* d = std::get_if<DateTime>(&v)) return render(Value(d->days)) + " as date";
    if (auto* c = std::get_if<Currency>(&v)) return "money " + std::to_string(c->scaled);
    if (auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto* b = std::get_if<bool>(&v)) return *b ? "Yes" : "No";
    if (isNull(v)) return "NULL";
    return "other";
}

struct Limits {
    const char* column;
    std::vector<Value> ascending;  // in ascending key order
};

std::vector<Limits> numericLimits() {
    using F = std::numeric_limits<float>;
    using D = std::numeric_limits<double>;
    std::vector<Limits> out;
    auto add = [&](const char* column, auto make, auto... values) {
        Limits l{column, {}};
        (l.ascending.push_back(make(values)), ...);
        out.push_back(std::move(l));
    };
    auto integer = [](int64_t x) { return Value(x); };
    auto money = [](int64_t x) { return Value(Currency{x}); };
    auto real = [](double x) { return Value(x); };
    auto date = [](double x) { return Value(DateTime{x}); };
    // Floating point keys: negative values have every bit inverted, so -NaN sorts below -inf and
    // -0.0 below 0.0; NaN sorts above inf.
    const double negNaN = -D::quiet_NaN();
    add(
        "b", [](bool b) { return Value(b); }, true, false);
    add("by", integer, 0, 1, 127, 128, 254, 255);
    add("i", integer, -32768, -32767, -1, 0, 1, 32766, 32767);
    add("l", integer, INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX);
    add("m", money, INT64_MIN, INT64_MIN + 1, int64_t(-1), int64_t(0), int64_t(1), INT64_MAX);
    add("f", real, negNaN, -double(F::infinity()), -double(F::max()), -1.0,
        -double(F::denorm_min()), -0.0, 0.0, double(F::denorm_min()), double(F::min()), 1.0,
        double(F::max()), double(F::infinity()), double(F::quiet_NaN()));
    add("d", real, negNaN, -D::infinity(), D::lowest(), -1.0, -D::denorm_min(), -0.0, 0.0,
        D::denorm_min(), D::min(), 1.0, D::max(), D::infinity(), D::quiet_NaN());
    // Access' range: 100-01-01 to 9999-12-31 23:59:59.
    add("dt", date, -657434.0, -1.5, -0.0, 0.0, 0.5, 2958465.0 + 86399.0 / 86400.0);
    return out;
}

TEST(NumericKeys, LimitsGiveOrderedKeysThatCheckAndTheReadersConfirm) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("jackcess/jk-numeric-index-types.mdb");
    const auto limits = numericLimits();
    {
        auto db = openWritable(path);
        Table& t = db->table("Typed");
        Transaction tx(*db);
        // Insert in an order unlike the keys', so the index has to sort them.
        for (auto& lim : limits)
            for (size_t k = lim.ascending.size(); k-- > 0;) {
                Row r(t.def().columns.size());
                r[size_t(t.columnIndex(lim.column))] = lim.ascending[k];
                t.insert(r);
            }
        tx.commit();
    }
    auto db = Database::open(path);
    CheckReport rep = checkDatabase(*db);
    EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);
    EXPECT_EQ(rep.keysNotComparable, 0u);
    Table& t = db->table("Typed");
    const TableDef def = t.def();
    size_t entries = 0;
    for (auto& ix : def.realIndexes) {
        const std::string name = def.indexName(ix);
        SCOPED_TRACE(name);
        std::vector<RowId> order;
        forEachIndexEntry(db->pager(), ix, [&](const IndexEntry& e) { order.push_back(e.row); });
        entries += order.size();
        if (ix.columns.size() != 1 || name == "PrimaryKey") continue;
        const Column* c = def.columnByNumber(ix.columns[0].column);
        auto lim = std::find_if(limits.begin(), limits.end(),
                                [&](const Limits& l) { return c->name == l.column; });
        if (lim == limits.end()) continue;
        // The index order read back as values: the other rows' NULLs (No for Yes/No) first in an
        // ascending index, last in a descending one.
        std::vector<std::string> got;
        for (RowId id : order)
            got.push_back(render(t.read(id, false)[size_t(t.columnIndex(c->name))]));
        std::vector<std::string> want;
        size_t others = def.rowCount - lim->ascending.size();
        const std::string filler = c->type == ColType::Boolean ? "No" : "NULL";
        for (size_t k = 0; k < others; ++k) want.push_back(filler);
        for (auto& v : lim->ascending) {
            Value stored = v;
            if (c->type == ColType::Single)  // stored as a float
                stored = double(float(std::get<double>(v)));
            want.push_back(render(stored));
        }
        if (c->type == ColType::Boolean) {
            // Yes sorts before No.
            want = {render(true)};
            for (size_t k = 0; k + 1 < def.rowCount; ++k) want.push_back("No");
        }
        if (!ix.columns[0].ascending) std::reverse(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
    EXPECT_GE(rep.keysCompared, entries);  // every entry of Typed, and the system tables'

    // The other readers, each when it is installed (the others skip the same way).
    std::string why;
    const std::string theirs = zntest::mdbReaderDump(path, {"--all"}, &why);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_TRUE(zntest::sameDump(zntest::ourDump(path, {"--all"}), theirs));
    const std::string tools = zntest::mdbToolsDump(path, {"--all"}, &why);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_TRUE(zntest::sameDump(zntest::mdbToolsView(zntest::ourDump(path, {"--all"})),
                                 zntest::mdbToolsView(tools)));
}

// Just beyond the limits: refused with the column named, the file unchanged. Dates outside
// Access' range (and NaN) used to be stored, and then neither our dump nor the other readers
// could show them.
TEST(NumericKeys, ValuesBeyondTheLimitsAreRefused) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("jackcess/jk-numeric-index-types.mdb");
    const auto before = zntest::readFile(path);
    using D = std::numeric_limits<double>;
    struct Case {
        const char* column;
        Value value;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"dt", DateTime{D::quiet_NaN()}, "100-01-01 to 9999-12-31"},
        {"dt", DateTime{D::infinity()}, "100-01-01 to 9999-12-31"},
        {"dt", DateTime{-657435.0}, "100-01-01 to 9999-12-31"},
        {"dt", DateTime{2958466.0}, "100-01-01 to 9999-12-31"},
        {"f", 3.5e38, "single-precision"},
        {"by", int64_t(256), "0 to 255"},
    };
    {
        auto db = openWritable(path);
        Table& t = db->table("Typed");
        for (auto& c : cases) {
            SCOPED_TRACE(render(c.value));
            Row r(t.def().columns.size());
            r[size_t(t.columnIndex(c.column))] = c.value;
            try {
                t.insert(r);
                ADD_FAILURE() << "accepted";
            } catch (const Error& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Constraint);
                EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            }
        }
    }
    EXPECT_TRUE(zntest::readFile(path) == before) << "the file changed";
}
