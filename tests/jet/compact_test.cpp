// Compaction: every object and live row survives, the other readers agree, the file is clean and
// not larger, auto-number seeds restart at the highest id, a second compaction changes nothing,
// an unwritable sort order becomes General, and no failure or crash harms the original.
#include "jet/compact.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/dump.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/header.h"
#include "tests/support/faultenv.h"
#include "tests/support/randomwrites.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;
namespace fs = std::filesystem;

std::string userDump(const std::string& path) {
    OpenOptions o;
    o.allowPassword = true;
    auto db = Database::open(path, o);
    std::ostringstream out;
    dumpTables(*db, db->tableNames(TableKind::User), out);
    return out.str();
}

// The system tables with table ids replaced by table names, which compaction keeps.
std::string systemView(const std::string& path) {
    OpenOptions o;
    o.allowPassword = true;
    auto db = Database::open(path, o);
    std::map<int64_t, std::string> tables;
    for (auto& e : db->catalog())
        if (e.isTable()) tables[e.tdefPage()] = e.name;
    std::ostringstream out;
    for (auto& name : db->tableNames(TableKind::System)) {
        Table& t = db->table(name);
        const TableDef& d = t.def();
        std::vector<std::string> lines;
        for (auto s = t.scan(); s.next();) {
            std::string line;
            for (size_t i = 0; i < d.columns.size(); ++i) {
                std::string v = dumpValue(s.row()[i]);
                bool idColumn = (name == "MSysObjects" && d.columns[i].name == "Id") ||
                                (name == "MSysACEs" && d.columns[i].name == "ObjectId");
                if (idColumn) {
                    auto* id = std::get_if<int64_t>(&s.row()[i]);
                    if (id && tables.count(*id)) v = "table " + tables[*id];
                }
                line += d.columns[i].name + "=" + v + ";";
            }
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        out << "# " << name << "\n";
        for (auto& l : lines) out << l << "\n";
    }
    return out.str();
}

void expectSeedsRestart(const std::string& path) {
    OpenOptions o;
    o.allowPassword = true;
    auto db = Database::open(path, o);
    for (auto& name : db->tableNames(TableKind::All)) {
        Table& t = db->table(name);
        const TableDef& d = t.def();
        int col = -1;
        for (size_t i = 0; i < d.columns.size(); ++i)
            if (d.columns[i].autoNumber() && d.columns[i].type == ColType::Long) col = int(i);
        if (col < 0) continue;
        int64_t max = 0;
        for (auto s = t.scan(false); s.next();)
            if (auto* v = std::get_if<int64_t>(&s.row()[size_t(col)])) max = std::max(max, *v);
        EXPECT_EQ(d.lastAutoNumber, max) << "table " << name;
    }
}

void expectClean(const std::string& path) {
    OpenOptions o;
    o.allowPassword = true;
    auto db = Database::open(path, o);
    CheckReport r = checkDatabase(*db);
    EXPECT_TRUE(r.ok()) << testing::PrintToString(r.problems);
}

// Compacts `source` into a new file and checks everything the copy must keep.
std::string compactAndCompare(const std::string& source) {
    const std::string dest = zntest::tempDir() + "/compacted.mdb";
    CompactResult r = compactDatabase(source, dest);
    EXPECT_TRUE(r.note.empty());
    EXPECT_LE(fs::file_size(dest), fs::file_size(source));
    EXPECT_EQ(r.sizeAfter, fs::file_size(dest));
    EXPECT_TRUE(zntest::sameDump(userDump(dest), userDump(source)));
    EXPECT_TRUE(zntest::sameDump(systemView(dest), systemView(source)));
    expectClean(dest);
    expectSeedsRestart(dest);
    std::string why;
    std::string theirs = zntest::mdbReaderDump(dest, {"--all"}, &why);
    if (why.empty()) {
        std::string ours = zntest::ourDump(dest, {"--all"});
        EXPECT_TRUE(zntest::sameDump(theirs, ours));
        EXPECT_TRUE(zntest::sameDump(zntest::mdbToolsView(zntest::mdbToolsDump(dest, {"--all"})),
                                     zntest::mdbToolsView(ours)));
    }
    return dest;
}

class CompactFixture : public testing::TestWithParam<std::string> {};

TEST_P(CompactFixture, KeepsEveryObjectAndRowAndAgainChangesNothing) {
    const std::string dest = compactAndCompare(GetParam());
    // Compacting the compacted file again changes nothing that matters.
    const std::string again = zntest::tempDir() + "/again.mdb";
    compactDatabase(dest, again);
    EXPECT_EQ(fs::file_size(again), fs::file_size(dest));
    EXPECT_EQ(userDump(again), userDump(dest));
    EXPECT_EQ(systemView(again), systemView(dest));
}

INSTANTIATE_TEST_SUITE_P(Shared, CompactFixture, testing::ValuesIn(zntest::allFixtures()),
                         [](const testing::TestParamInfo<std::string>& i) {
                             std::string n = fs::path(i.param).stem().string();
                             for (char& c : n)
                                 if (!isalnum(uint8_t(c))) c = '_';
                             return n;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CompactFixture);

TEST(Compact, AfterRandomWritesEverythingSurvives) {
    ZN_REQUIRE_FIXTURES();
    for (const char* name :
         {"sample-test.mdb", "access/jk-indexTestV2000.mdb", "access/jk-test2V2000.mdb"}) {
        SCOPED_TRACE(name);
        const std::string path = zntest::tempDir() + "/db.mdb";
        zntest::copyFile(zntest::fixture(name), path);
        zntest::WriteStats st;
        zntest::randomWrites(path, 77, zntest::envInt("ZN_RANDOM_OPS", 1500) / 3, st);
        compactAndCompare(path);
    }
}

void setSortOrder(const std::string& path, uint16_t lcid) {
    auto bytes = zntest::readFile(path);
    std::span<uint8_t> page0(bytes.data(), 4096);
    Header::applyMask(page0);
    putU16(bytes.data() + fmt::kHdrSortOrder, lcid);
    Header::applyMask(page0);
    zntest::writeFile(path, bytes);
}

TEST(Compact, AnUnwritableSortOrderBecomesGeneralWithTextIndexesRebuilt) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = zntest::tempDir() + "/cyrillic.mdb";
    zntest::copyFile(zntest::fixture("access/jk-fixedTextTestV2000.mdb"), path);
    setSortOrder(path, 0x0419);
    const std::string dest = zntest::tempDir() + "/general.mdb";
    CompactResult r = compactDatabase(path, dest);
    EXPECT_NE(r.note.find("General"), std::string::npos);
    auto db = Database::open(dest);
    EXPECT_TRUE(db->generalSortOrder());
    EXPECT_EQ(userDump(dest), userDump(path));
    CheckReport rep = checkDatabase(*db);
    EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);
    EXPECT_EQ(rep.keysNotComparable, 0u);  // every text key was written in the General order
    // And its text indexes can be written again.
    db.reset();
    OpenOptions w;
    w.writable = true;
    db = Database::open(dest, w);
    Table& t = db->table("users");
    auto s = t.scan();
    ASSERT_TRUE(s.next());
    Row row = s.row();
    RowId id = s.id();
    row[size_t(t.columnIndex("c_user_login"))] = std::u16string(u"новый вход");
    t.update(id, row);
    EXPECT_TRUE(checkDatabase(*db).ok());
}

TEST(Compact, TextTheGeneralOrderCannotIndexIsRefusedAndTheOriginalKept) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = zntest::tempDir() + "/cjk.mdb";
    zntest::copyFile(zntest::fixture("access/jk-testUnicodeCompV2003.mdb"), path);
    setSortOrder(path, 0x0419);
    const auto before = zntest::readFile(path);
    EXPECT_THROW(compactInPlace(path), Error);
    EXPECT_EQ(zntest::readFile(path), before);
    for (auto& e : fs::directory_iterator(fs::path(path).parent_path()))
        EXPECT_FALSE(e.path().extension() == ".tmp") << e.path();
}

std::vector<std::string> tempFiles(const std::string& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with("mdb") && e.path().extension() == ".tmp")
            out.push_back(e.path().filename().string());
    return out;
}

TEST(CompactInPlace, ReplacesTheFileAndCleansUpLeftovers) {
    ZN_REQUIRE_FIXTURES();
    const std::string dir = zntest::tempDir();
    const std::string path = dir + "/db.mdb";
    zntest::copyFile(zntest::fixture("mutated-test.mdb"), path);
    const std::string data = userDump(path);
    std::ofstream(dir + "/mdbBEEF.tmp") << "left by a crash";
    std::ofstream(dir + "/mdbnote.txt") << "not ours";
    // A copy another compaction holds is not touched.
    auto held = Env::posix().open(dir + "/mdbCAFE.tmp", OpenMode::Create);
    ASSERT_TRUE(held->tryLockExclusive());
    CompactResult r = compactInPlace(path);
    EXPECT_LT(r.sizeAfter, r.sizeBefore);
    EXPECT_EQ(fs::file_size(path), r.sizeAfter);
    EXPECT_EQ(userDump(path), data);
    expectClean(path);
    EXPECT_EQ(tempFiles(dir), std::vector<std::string>{"mdbCAFE.tmp"});
    EXPECT_TRUE(fs::exists(dir + "/mdbnote.txt"));
}

TEST(CompactInPlace, APathWithoutAFolderUsesTheCurrentOne) {
    ZN_REQUIRE_FIXTURES();
    const std::string dir = zntest::tempDir();
    zntest::copyFile(zntest::fixture("sample-test.mdb"), dir + "/test.mdb");
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    compactInPlace("test.mdb");
    fs::current_path(old);
    EXPECT_TRUE(tempFiles(dir).empty());
    expectClean(dir + "/test.mdb");
}

TEST(CompactInPlace, AFileInUseIsNotCompacted) {
    ZN_REQUIRE_FIXTURES();
    const std::string dir = zntest::tempDir();
    const std::string path = dir + "/db.mdb";
    zntest::copyFile(zntest::fixture("sample-test.mdb"), path);
    const auto before = zntest::readFile(path);
    {
        OpenOptions w;
        w.writable = true;
        auto other = Database::open(path, w);
        try {
            compactInPlace(path);
            ADD_FAILURE() << "compacted a file in use";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InUse);
        }
    }
    EXPECT_EQ(zntest::readFile(path), before);
    EXPECT_TRUE(tempFiles(dir).empty());
}

// How many writes and syncs compacting a copy of `path` takes.
int compactionOperations(const std::string& path) {
    const std::string probe = (fs::path(path).parent_path() / "probe.mdb").string();
    zntest::copyFile(path, probe);
    zntest::FaultEnv env(0);
    compactInPlace(probe, &env);
    fs::remove(probe);
    return env.operations();
}

TEST(CompactInPlace, AnIoErrorAtAnyStepKeepsTheOriginal) {
    ZN_REQUIRE_FIXTURES();
    const std::string dir = zntest::tempDir();
    const std::string path = dir + "/db.mdb";
    zntest::copyFile(zntest::fixture("sample-test.mdb"), path);
    const auto original = zntest::readFile(path);
    const std::string data = userDump(path);
    const int ops = compactionOperations(path);
    ASSERT_GT(ops, 3);
    for (int k = 1; k <= ops; ++k) {
        for (bool lasting : {false, true}) {
            SCOPED_TRACE("failing operation " + std::to_string(k) +
                         (lasting ? " and all after it" : ""));
            zntest::writeFile(path, original);
            zntest::FaultEnv env(k, lasting);
            try {
                compactInPlace(path, &env);
                EXPECT_EQ(userDump(path), data);  // the failure came too late to matter
            } catch (const Error&) {
                EXPECT_EQ(zntest::readFile(path), original);
            }
            EXPECT_TRUE(tempFiles(dir).empty());
        }
    }
}

#ifndef _WIN32
// Kills a child process (fork), which Windows does not have.
TEST(CompactInPlace, AKilledCompactionKeepsTheOriginalReadable) {
    ZN_REQUIRE_FIXTURES();
    const std::string dir = zntest::tempDir();
    const std::string path = dir + "/db.mdb";
    zntest::copyFile(zntest::fixture("mutated-test.mdb"), path);
    const std::string data = userDump(path);
    const int ops = compactionOperations(path);
    for (int trial = 0; trial < 8; ++trial) {
        const int killAt = 1 + (trial * 37) % (ops + 2);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            zntest::FaultEnv env(0);
            env.onStep = [&](int n) {
                if (n == killAt) raise(SIGKILL);
            };
            try {
                compactInPlace(path, &env);
            } catch (...) {
                _exit(3);
            }
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        SCOPED_TRACE("killed at operation " + std::to_string(killAt));
        EXPECT_EQ(userDump(path), data);
        expectClean(path);
    }
    // The next compaction clears what the killed ones left.
    compactInPlace(path);
    EXPECT_TRUE(tempFiles(dir).empty());
    EXPECT_EQ(userDump(path), data);
}
#endif

}  // namespace
