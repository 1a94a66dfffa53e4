// Creating databases and tables: what the other readers see, the identity copied from an
// existing database, and definitions Jet does not allow.
#include "jet/create.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/header.h"
#include "store/bank/testbank.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;

std::string newPath() {
    return zntest::tempDir() + "/new.mdb";
}

void expectClean(Database& db) {
    CheckReport r = checkDatabase(db);
    EXPECT_TRUE(r.ok()) << testing::PrintToString(r.problems);
}

std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

TEST(Create, TestSchemaFromNothingIsWhatOtherReadersSee) {
    const std::string path = newPath();
    {
        auto db = createDatabase(path);
        zn::bank::createTestSchema(*db);
        expectClean(*db);
        EXPECT_EQ(db->tableNames(),
                  (std::vector<std::string>{"Otveti", "Settings", "Tema", "Voprosi"}));
        EXPECT_EQ(db->table("Settings").def().rowCount, 5u);
    }
    zntest::CommandResult tables = zntest::run({"mdb-tables", "-1", path});
    if (tables.exitCode != 0) GTEST_SKIP() << "mdbtools is not installed (run tools/setup.sh)";
    EXPECT_EQ(tables.out, "Tema\nVoprosi\nOtveti\nSettings\n");
    // mdb-schema reads the indexes from the definitions.
    zntest::CommandResult schema = zntest::run({"mdb-schema", "--indexes", path, "postgres"});
    std::vector<std::string> indexes;
    for (auto& l : lines(schema.out))
        if (!l.starts_with("--") &&
            (l.find("INDEX") != std::string::npos || l.find("PRIMARY KEY") != std::string::npos))
            indexes.push_back(l);
    EXPECT_EQ(indexes,
              (std::vector<std::string>{
                  "ALTER TABLE \"tema\" ADD CONSTRAINT \"tema_pkey\" PRIMARY KEY (\"id\");",
                  "CREATE INDEX \"tema_numtema_idx\" ON \"tema\" (\"numtema\");",
                  "ALTER TABLE \"voprosi\" ADD CONSTRAINT \"voprosi_pkey\" PRIMARY KEY (\"id\");",
                  "CREATE INDEX \"voprosi_idtest_idx\" ON \"voprosi\" (\"idtest\");",
                  "CREATE INDEX \"voprosi_idvopr_idx\" ON \"voprosi\" (\"idvopr\");",
                  "ALTER TABLE \"otveti\" ADD CONSTRAINT \"otveti_pkey\" PRIMARY KEY (\"id\");",
                  "CREATE INDEX \"otveti_idvopr_idx\" ON \"otveti\" (\"idvopr\");",
                  "CREATE INDEX \"otveti_idotv_idx\" ON \"otveti\" (\"idotv\");",
                  "ALTER TABLE \"settings\" ADD CONSTRAINT \"settings_pkey\" PRIMARY KEY (\"id\");",
              }));
    if (!zntest::fixturesDir().empty()) {
        // The same column types as the test databases made by another Jet library.
        EXPECT_EQ(
            zntest::run({"mdb-schema", "--indexes", path, "access"}).out,
            zntest::run({"mdb-schema", "--indexes", zntest::fixture("empty-test.mdb"), "access"})
                .out);
    }
    std::string why;
    std::string theirs = zntest::mdbReaderDump(path, {"--all"}, &why);
    if (why.empty()) {
        EXPECT_TRUE(zntest::sameDump(theirs, zntest::ourDump(path, {"--all"})));
        EXPECT_TRUE(zntest::sameDump(zntest::mdbReaderDump(path, {"--system"}),
                                     zntest::ourDump(path, {"--system"})));
    }
}

TEST(Create, RowsAddedLaterReadTheSameInEveryReader) {
    const std::string path = newPath();
    {
        auto db = createDatabase(path);
        zn::bank::createTestSchema(*db);
        zn::bank::fillSampleContent(*db);
        expectClean(*db);
    }
    std::string why;
    std::string theirs = zntest::mdbReaderDump(path, {"--all"}, &why);
    if (!why.empty()) GTEST_SKIP() << why;
    std::string ours = zntest::ourDump(path, {"--all"});
    EXPECT_NE(ours.find("Геометрия"), std::string::npos);
    EXPECT_TRUE(zntest::sameDump(theirs, ours));
    EXPECT_TRUE(zntest::sameDump(zntest::mdbToolsView(zntest::mdbToolsDump(path, {"--all"})),
                                 zntest::mdbToolsView(ours)));
}

TEST(Create, LikeAnExistingDatabaseTakesItsHeaderAndSecurityIds) {
    ZN_REQUIRE_FIXTURES();
    const std::string like = zntest::fixture("access/jk-testPromotionV2000.mdb");
    auto source = Database::open(like);
    const std::string path = newPath();
    CreateOptions o;
    o.like = like;
    auto db = createDatabase(path, o);
    zn::bank::createTestSchema(*db);
    EXPECT_EQ(db->header().codePage(), source->header().codePage());
    EXPECT_EQ(db->header().sortOrder(), source->header().sortOrder());
    EXPECT_EQ(db->header().creationDate(), source->header().creationDate());
    // The new table's owner and access-control rows use the source's ids.
    auto sidsOf = [](Database& d, int64_t object) {
        std::vector<Blob> out;
        Table& aces = d.table("MSysACEs");
        for (auto s = aces.scan(); s.next();)
            if (std::get<int64_t>(s.row()[size_t(aces.columnIndex("ObjectId"))]) == object)
                out.push_back(std::get<Blob>(s.row()[size_t(aces.columnIndex("SID"))]));
        std::sort(out.begin(), out.end());
        return out;
    };
    int64_t jobs = 0;
    for (auto& e : source->catalog())
        if (e.name == "jobDB1") jobs = e.tdefPage();
    EXPECT_EQ(sidsOf(*db, db->table("Tema").tdefPage()), sidsOf(*source, jobs));
    expectClean(*db);
}

TEST(Create, AnUnwritableSortOrderBecomesGeneralAndSaysSo) {
    ZN_REQUIRE_FIXTURES();
    const std::string like = zntest::tempDir() + "/cyrillic.mdb";
    auto bytes = zntest::readFile(zntest::fixture("access/jk-empty.mdb"));
    std::span<uint8_t> page0(bytes.data(), 4096);
    Header::applyMask(page0);
    bytes[fmt::kHdrSortOrder] = 0x19;  // 1049, Russian
    bytes[fmt::kHdrSortOrder + 1] = 0x04;
    Header::applyMask(page0);
    zntest::writeFile(like, bytes);
    std::string note;
    CreateOptions o;
    o.like = like;
    o.note = &note;
    auto db = createDatabase(newPath(), o);
    EXPECT_TRUE(db->generalSortOrder());
    EXPECT_NE(note.find("General"), std::string::npos);
    zn::bank::createTestSchema(*db);
    expectClean(*db);
}

std::vector<ColumnSpec> manyMemos(int n) {
    std::vector<ColumnSpec> out;
    for (int i = 0; i < n; ++i) out.push_back({"m" + std::to_string(i), ColType::Memo});
    return out;
}

TEST(Create, DefinitionsJetDoesNotAllowAreRefusedAndChangeNothing) {
    const std::string path = newPath();
    auto db = createDatabase(path);
    zn::bank::createTestSchema(*db);
    db.reset();
    const auto before = zntest::readFile(path);
    OpenOptions w;
    w.writable = true;
    db = Database::open(path, w);
    using T = ColType;
    struct Case {
        const char* name;
        TableSpec spec;
    };
    const std::vector<Case> cases = {
        {"name in use", {"Tema", {{"a", T::Long}}, {}}},
        {"name in use, other case", {"TEMA", {{"a", T::Long}}, {}}},
        {"empty name", {"", {{"a", T::Long}}, {}}},
        {"name with a dot", {"a.b", {{"a", T::Long}}, {}}},
        {"no columns", {"t", {}, {}}},
        {"two columns alike", {"t", {{"a", T::Long}, {"A", T::Int}}, {}}},
        {"text of 300 characters", {"t", {{"a", T::Text, 300}}, {}}},
        {"auto-number that is not LONG", {"t", {{"a", T::Int, 255, 255, true}}, {}}},
        {"index on a missing column", {"t", {{"a", T::Long}}, {{"i", {{"b", true}}}}}},
        {"index on a memo", {"t", {{"a", T::Memo}}, {{"i", {{"a", true}}}}}},
        {"two indexes alike",
         {"t", {{"a", T::Long}}, {{"i", {{"a", true}}}, {"I", {{"a", false}}}}}},
        {"too many long-value columns", {"t", manyMemos(60), {}}},
        {"two primary keys",
         {"t",
          {{"a", T::Long}, {"b", T::Long}},
          {{"p", {{"a", true}}, true}, {"q", {{"b", true}}, true}}}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            createTable(*db, c.spec);
            ADD_FAILURE() << "created";
        } catch (const Error& e) {
            EXPECT_TRUE(e.kind() == ErrorKind::Constraint || e.kind() == ErrorKind::Unsupported)
                << e.what();
        }
    }
    db.reset();
    EXPECT_EQ(zntest::readFile(path), before);

    // Inside a larger transaction a refused table leaves nothing behind either: what the
    // transaction did before it is committed alone.
    db = Database::open(path, w);
    {
        Transaction tx(*db);
        Table& s = db->table("Settings");
        Row r(s.def().columns.size());
        r[size_t(s.columnIndex("SettingName"))] = std::u16string(u"extra");
        s.insert(r);
        EXPECT_THROW(createTable(*db, {"t", manyMemos(60), {}}), Error);
        tx.commit();
    }
    EXPECT_FALSE(db->hasTable("t"));
    EXPECT_EQ(db->table("Settings").def().rowCount, 6u);
    expectClean(*db);
}

}  // namespace
