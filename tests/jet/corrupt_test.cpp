// Damaged copies of the fixtures: byte flips in every kind of page and truncations at every page
// boundary must give an engine error or data, never a crash, a hang or another exception.
// Run under AddressSanitizer and UndefinedBehaviorSanitizer by the test command.
#include <gtest/gtest.h>

#include <random>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/dump.h"
#include "jet/error.h"
#include "jet/format.h"
#include "tests/support/testsupport.h"

namespace {

// Reads everything a reader can: catalog, every table's rows and long values, every index.
// Returns "" or the engine's error message.
std::string readAll(const std::vector<uint8_t>& bytes) {
    try {
        auto db = jet::Database::fromBytes(bytes);
        jet::checkDatabase(*db);  // reports problems instead of throwing for most damage
        for (auto& name : db->tableNames(jet::TableKind::All)) {
            std::ostringstream sink;
            jet::dumpTable(db->table(name), sink);
        }
        return "";
    } catch (const jet::Error& e) {
        return e.what();
    }
}

const char* kSmallFixtures[] = {"sample-test.mdb",
                                "mutated-test.mdb",
                                "access/jk-test2V2000.mdb",
                                "access/jk-overflowTestV2000.mdb",
                                "access/jk-compIndexTestV2000.mdb",
                                "access/jk-testUnicodeCompV2003.mdb",
                                "access/jk-delColTestV2000.mdb",
                                "access/jk-fixedNumericTestV2000.mdb"};

TEST(Corrupt, ByteFlipsGiveErrorsOrData) {
    ZN_REQUIRE_FIXTURES();
    std::mt19937 rng(20261210);
    size_t errors = 0, runs = 0;
    for (const char* name : kSmallFixtures) {
        const std::vector<uint8_t> good = zntest::readFile(zntest::fixture(name));
        const size_t pages = good.size() / jet::fmt::kPageSize;
        // Each trial damages one to four bytes; half of them hit page headers and the
        // structure areas at the start of a page, where most pointers and counts live.
        for (int trial = 0; trial < 60; ++trial) {
            std::vector<uint8_t> bad = good;
            int flips = 1 + int(rng() % 4);
            for (int k = 0; k < flips; ++k) {
                size_t page = 1 + rng() % (pages - 1);
                size_t off = (trial % 2) ? rng() % 64 : rng() % jet::fmt::kPageSize;
                uint8_t mask = uint8_t(1 + rng() % 255);
                bad[page * jet::fmt::kPageSize + off] ^= mask;
            }
            SCOPED_TRACE(std::string(name) + " trial " + std::to_string(trial));
            if (!readAll(bad).empty()) ++errors;
            ++runs;
        }
    }
    // Sanity: the damage is real enough to be noticed sometimes.
    EXPECT_GT(errors, 0u);
    RecordProperty("runs", int(runs));
}

std::string dumpAll(const std::vector<uint8_t>& bytes) {
    auto db = jet::Database::fromBytes(bytes);
    std::ostringstream out;
    for (auto& name : db->tableNames(jet::TableKind::All)) jet::dumpTable(db->table(name), out);
    return out.str();
}

TEST(Corrupt, TruncationAtEveryPageGivesAnErrorOrLosesNothing) {
    ZN_REQUIRE_FIXTURES();
    for (const char* name : {"sample-test.mdb", "access/jk-test2V2000.mdb"}) {
        const std::vector<uint8_t> good = zntest::readFile(zntest::fixture(name));
        const std::string whole = dumpAll(good);
        for (size_t cut = 0; cut < good.size(); cut += jet::fmt::kPageSize) {
            std::vector<uint8_t> bad(good.begin(), good.begin() + long(cut));
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            // A cut that loses pages a table needs is noticed, because a map or a pointer
            // names a page beyond the end; only free pages at the end may go unnoticed.
            if (readAll(bad).empty()) {
                EXPECT_EQ(dumpAll(bad), whole);
            }
        }
        // A cut inside a page is refused at once.
        std::vector<uint8_t> odd(good.begin(), good.begin() + long(good.size() / 2 + 7));
        EXPECT_NE(readAll(odd).find("truncated"), std::string::npos);
    }
}

TEST(Corrupt, StructurePagesDamagedEverywhere) {
    ZN_REQUIRE_FIXTURES();
    // Every byte of the catalog's definition page and of page 1 (the global map), each set to
    // a few hostile values.
    const std::vector<uint8_t> good = zntest::readFile(zntest::fixture("access/jk-empty.mdb"));
    for (size_t page : {size_t(1), size_t(2)}) {
        for (size_t off = 0; off < 800; ++off) {
            for (uint8_t v : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x7F)}) {
                std::vector<uint8_t> bad = good;
                bad[page * jet::fmt::kPageSize + off] = v;
                readAll(bad);
            }
        }
    }
}

}  // namespace
