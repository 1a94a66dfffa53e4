// Seeded random writes on copies of the fixtures, checked against an in-memory model of every
// table, against the independent readers and with the integrity check.
//
// ZN_RANDOM_OPS (default 1500) and ZN_RANDOM_SEEDS (default 3) make long runs possible; when
// JET_TEST_OUTPUT names a folder, every resulting database is left there. ZN_RANDOM_PARANOID=1
// runs the integrity check after every write, to find the first one that breaks something.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/dump.h"
#include "jet/error.h"
#include "tests/support/randomwrites.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;
using zntest::engineDump;
using zntest::envInt;
using zntest::modelDump;

void keepOutput(const std::string& path, const std::string& name) {
    const char* out = std::getenv("JET_TEST_OUTPUT");
    if (!out || !*out) return;
    std::filesystem::create_directories(out);
    std::filesystem::copy_file(path, std::string(out) + "/" + name,
                               std::filesystem::copy_options::overwrite_existing);
}

class RandomWrites : public testing::TestWithParam<const char*> {};

TEST_P(RandomWrites, ModelReadersAndCheckAgree) {
    ZN_REQUIRE_FIXTURES();
    const int ops = envInt("ZN_RANDOM_OPS", 1500);
    const int seeds = envInt("ZN_RANDOM_SEEDS", 3);
    for (int s = 1; s <= seeds; ++s) {
        const uint32_t seed = uint32_t(s * 7919 + std::hash<std::string>{}(GetParam()) % 1000);
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::string path = zntest::tempDir() + "/db.mdb";
        zntest::copyFile(zntest::fixture(GetParam()), path);
        zntest::WriteStats st;
        auto models = zntest::randomWrites(path, seed, ops, st);
        std::string base = std::filesystem::path(GetParam()).stem().string();
        keepOutput(path, base + "-random-" + std::to_string(seed) + ".mdb");

        auto db = Database::open(path);
        CheckReport rep = checkDatabase(*db);
        EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);
        const std::string expect = modelDump(*db, models);
        EXPECT_TRUE(zntest::sameDump(engineDump(*db, models), expect));
        std::string why;
        std::string theirs = zntest::mdbReaderDump(path, {"--all"}, &why);
        if (why.empty()) {
            EXPECT_TRUE(zntest::sameDump(theirs, zntest::ourDump(path, {"--all"})));
            EXPECT_TRUE(
                zntest::sameDump(zntest::mdbToolsView(zntest::mdbToolsDump(path, {"--all"})),
                                 zntest::mdbToolsView(zntest::ourDump(path, {"--all"}))));
        }
        RecordProperty("inserts" + std::to_string(s), st.inserts);
        std::cout << GetParam() << " seed " << seed << ": " << st.inserts << " inserts, "
                  << st.updates << " updates, " << st.deletes << " deletes, " << st.rejected
                  << " rejected (" << st.refusedByRelationship << " by a relationship), "
                  << st.cascaded << " cascaded, " << st.rolledBack << " groups rolled back; "
                  << std::filesystem::file_size(path) / 4096 << " pages\n";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RandomWrites,
    testing::Values("sample-test.mdb", "access/jk-indexTestV2000.mdb",
                    "access/jk-compIndexTestV2000.mdb", "access/jk-bigIndexTestV2000.mdb",
                    "access/jk-testIndexPropertiesV2000.mdb", "access/jk-test2V2000.mdb",
                    "access/jk-delColTestV2000.mdb", "access/jk-fixedTextTestV2000.mdb",
                    "access/jk-fixedNumericTestV2000.mdb", "jackcess/jk-yesno-index.mdb"),
    [](const testing::TestParamInfo<const char*>& i) {
        std::string n = std::filesystem::path(i.param).stem().string();
        for (char& c : n)
            if (!isalnum(uint8_t(c))) c = '_';
        return n;
    });

}  // namespace
