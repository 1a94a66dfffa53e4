// The reader against the shared fixtures and the independent readers, and its refusals of
// files it must not open.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/datapage.h"
#include "jet/dump.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/header.h"
#include "tests/support/testsupport.h"

namespace {

using jet::Database;
using jet::ErrorKind;

std::string baseName(const std::string& p) {
    return std::filesystem::path(p).filename().string();
}

// --- Refusals ---------------------------------------------------------------------------------

struct Refusal {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> patch;
    ErrorKind kind;
    const char* message;  // a part of the message the user sees
};

void setUnmasked(std::vector<uint8_t>& f, size_t off, std::initializer_list<uint8_t> bytes) {
    std::span<uint8_t> page0(f.data(), 4096);
    jet::Header::applyMask(page0);
    size_t i = off;
    for (uint8_t b : bytes) f[i++] = b;
    jet::Header::applyMask(page0);
}

TEST(Open, RefusesWhatIsNotAJet4Database) {
    ZN_REQUIRE_FIXTURES();
    const std::vector<uint8_t> good = zntest::readFile(zntest::fixture("access/jk-empty.mdb"));
    const std::vector<Refusal> cases = {
        {"empty file", [](auto& f) { f.clear(); }, ErrorKind::Unsupported, "too short"},
        {"text file", [](auto& f) { f.assign(5000, 'a'); }, ErrorKind::Unsupported,
         "no database header"},
        {"cut inside a page", [](auto& f) { f.resize(f.size() - 100); }, ErrorKind::Corrupt,
         "truncated"},
        {"only the header page", [](auto& f) { f.resize(4096); }, ErrorKind::Corrupt, "truncated"},
        {"Access 97", [](auto& f) { f[0x14] = 0; }, ErrorKind::Unsupported, "Access 97"},
        {"Access 2007", [](auto& f) { f[0x14] = 2; }, ErrorKind::Unsupported, ".accdb"},
        {"ACE engine name", [](auto& f) { std::memcpy(f.data() + 4, "Standard ACE DB", 15); },
         ErrorKind::Unsupported, ".accdb"},
        {"MSISAM", [](auto& f) { std::memcpy(f.data() + 4, "MSISAM Database", 15); },
         ErrorKind::Unsupported, "MSISAM"},
        {"encoded",
         [](auto& f) {
             setUnmasked(f, 0x3E, {0x12, 0x34, 0x56, 0x78});
         },
         ErrorKind::Unsupported, "encoded"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> f = good;
        c.patch(f);
        try {
            Database::fromBytes(f, false, false);
            ADD_FAILURE() << "opened";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), c.kind) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(Open, RefusesADatabaseWithAPassword) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = zntest::fixture("access/password-V2000.mdb");
    try {
        Database::open(path);
        ADD_FAILURE() << "opened";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
        EXPECT_NE(std::string(e.what()).find("password"), std::string::npos) << e.what();
    }
    // Tools that debug files may read it; the password is only a masked header field.
    jet::OpenOptions o;
    o.allowPassword = true;
    auto db = Database::open(path, o);
    EXPECT_EQ(db->header().password(), u"password");
}

TEST(Open, MissingFileNamesTheFile) {
    try {
        Database::open("/nonexistent/folder/test.mdb");
        ADD_FAILURE();
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::NotFound);
        EXPECT_NE(std::string(e.what()).find("/nonexistent/folder/test.mdb"), std::string::npos);
    }
}

// --- Every fixture, against the independent readers ------------------------------------------

class Fixture : public testing::TestWithParam<std::string> {};

// Neither mdb-reader nor mdbtools can decode column type 0x11 (MSysAccessObjects.Data of Access
// 2000 files), so their dumps leave that table out; ours has it.
std::string withoutUnreadableTables(std::string dump) {
    const std::string head = "# MSysAccessObjects\n";
    auto at = dump.find(head);
    if (at == std::string::npos) return dump;
    auto next = dump.find("\n# ", at + head.size() - 1);
    dump.erase(at, next == std::string::npos ? std::string::npos : next + 1 - at);
    return dump;
}

TEST_P(Fixture, DumpEqualsMdbReader) {
    for (const char* which : {"--all", "--system"}) {
        SCOPED_TRACE(which);
        std::string why;
        std::string theirs = zntest::mdbReaderDump(GetParam(), {which}, &why);
        if (!why.empty()) GTEST_SKIP() << why;
        EXPECT_TRUE(zntest::sameDump(withoutUnreadableTables(zntest::ourDump(GetParam(), {which})),
                                     theirs));
    }
}

TEST_P(Fixture, DumpEqualsMdbTools) {
    for (const char* which : {"--all", "--system"}) {
        SCOPED_TRACE(which);
        std::string why;
        std::string theirs = zntest::mdbToolsDump(GetParam(), {which}, &why);
        if (!why.empty()) GTEST_SKIP() << why;
        EXPECT_TRUE(zntest::sameDump(
            zntest::mdbToolsView(withoutUnreadableTables(zntest::ourDump(GetParam(), {which}))),
            zntest::mdbToolsView(theirs)));
    }
}

TEST_P(Fixture, IntegrityCheckVerifiesEveryIndexKey) {
    jet::OpenOptions o;
    o.allowPassword = true;
    auto db = Database::open(GetParam(), o);
    jet::CheckReport r = jet::checkDatabase(*db);
    std::vector<std::string> problems = r.problems;
    if (baseName(GetParam()).starts_with("jk-queryTest")) {
        // Access itself left a stale row count in MSysQueries of these files.
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0], "table \"MSysQueries\": 82 rows recorded, 90 found");
        problems.clear();
    }
    EXPECT_TRUE(problems.empty()) << testing::PrintToString(problems);
    EXPECT_GT(r.keysCompared, 0u);
}

// The two other readers read the row-slot flags the other way round from Access: they skip
// 0x4000 slots (a moved row's pointer) and read every other slot in place, 0x8000 included.
// When a moved row is deleted the way another Jet library deletes it (the pointer slot marked
// 0xC000, the moved copy left at 0x8000), they show the copy as a live row; Access, which marks
// deleted rows 0xC000 and follows pointers from 0x4000 slots, does not, and neither do we: the
// row was deleted. This test makes such a file and shows the difference.
TEST(Readers, DisagreeOnAnOrphanedMovedRowAndAccessIsRight) {
    ZN_REQUIRE_FIXTURES();
    std::vector<uint8_t> bytes =
        zntest::readFile(zntest::fixture("access/jk-overflowTestV2000.mdb"));
    std::string movedRow;
    {
        auto db = Database::fromBytes(bytes);
        jet::Table& t = db->table("Table1");
        bool done = false;
        for (uint32_t pg : t.dataPages()) {
            jet::DataPage dp(db->pager().get(pg));
            for (unsigned r = 0; r < dp.rowCount() && !done; ++r) {
                if (!dp.overflowPointer(r)) continue;
                std::ostringstream one;
                jet::dumpRows("Table1", t.def(), {t.read(jet::RowId{pg, uint8_t(r)})}, one);
                movedRow = one.str().substr(one.str().find('\n') + 1);
                // Mark the pointer deleted, leave the moved copy as it is, count one row less.
                size_t slot = size_t(pg) * 4096 + jet::fmt::kDataRowTable + 2 * r;
                bytes[slot + 1] |= 0xC0;
                size_t count = size_t(t.tdefPage()) * 4096 + jet::fmt::kTdefRowCount;
                bytes[count] -= 1;
                done = true;
            }
            if (done) break;
        }
        ASSERT_TRUE(done) << "the fixture has no moved row";
    }
    const std::string path = zntest::tempDir() + "/orphan.mdb";
    zntest::writeFile(path, bytes);
    const std::string ours = zntest::ourDump(path, {"--all"});
    EXPECT_EQ(ours.find(movedRow), std::string::npos);
    std::string why;
    std::string theirs = zntest::mdbReaderDump(path, {"--all"}, &why);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_NE(theirs.find(movedRow), std::string::npos) << "mdb-reader no longer shows the orphan";
    // Apart from that row the readers agree.
    std::string theirsWithout = theirs;
    theirsWithout.erase(theirsWithout.find(movedRow), movedRow.size());
    EXPECT_TRUE(zntest::sameDump(ours, theirsWithout));
    std::string tools = zntest::mdbToolsView(zntest::mdbToolsDump(path, {"--all"}));
    EXPECT_NE(tools.find(zntest::mdbToolsView("# Table1\n" + movedRow).substr(9)),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Shared, Fixture, testing::ValuesIn(zntest::allFixtures()),
                         [](const testing::TestParamInfo<std::string>& i) {
                             std::string n = baseName(i.param);
                             for (char& c : n)
                                 if (!isalnum(uint8_t(c))) c = '_';
                             return n;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Fixture);

}  // namespace
