// A transaction is all or nothing: a power loss at any step of a commit, a process killed at
// any moment and an I/O error at any write all leave the database exactly as it was before the
// transaction or exactly as after it, readable by the other readers and clean.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/dump.h"
#include "jet/error.h"
#include "store/bank/testbank.h"
#include "tests/support/faultenv.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;

// A long transaction on a test database: new questions with answers (long values included),
// changed and deleted rows, so that data, long-value and index pages and the maps all change.
void bigTransaction(Database& db) {
    Transaction tx(db);
    Table& q = db.table("Voprosi");
    Table& a = db.table("Otveti");
    auto col = [](Table& t, const char* n) { return size_t(t.columnIndex(n)); };
    for (int i = 0; i < 20; ++i) {
        Row r(q.def().columns.size());
        r[col(q, "idtest")] = int64_t(3);
        r[col(q, "idvopr")] = int64_t(100 + i);
        r[col(q, "vopros")] = std::u16string(size_t(30 + 97 * i), u'в');
        r[col(q, "kolotvet")] = int64_t(4);
        r[col(q, "otvet")] = int64_t(1);
        q.insert(r);
        int64_t id = std::get<int64_t>(r[col(q, "id")]);
        for (int k = 1; k <= 4; ++k) {
            Row ar(a.def().columns.size());
            ar[col(a, "idvopr")] = id;
            ar[col(a, "idotv")] = int64_t(k);
            ar[col(a, "otvet")] = std::u16string(size_t(5 + 300 * k), u'о');
            a.insert(ar);
        }
    }
    std::vector<RowId> ids;
    for (auto s = a.scan(false); s.next();) ids.push_back(s.id());
    for (size_t k = 0; k < ids.size(); k += 7) a.remove(ids[k]);
    for (size_t k = 3; k < ids.size(); k += 11) {
        if (k % 7 == 0) continue;  // deleted above
        Row r = a.read(ids[k]);
        r[col(a, "otvet")] = std::u16string(6000, u'ы');
        a.update(ids[k], r);
    }
    tx.commit();
}

std::string dumpOf(Database& db) {
    std::ostringstream out;
    dumpTables(db, zn::bank::tableNamesIn(db), out);
    return out.str();
}

struct Expected {
    std::vector<uint8_t> original;
    std::string before, after;
    int steps = 0;  // file writes and syncs of the commit
};

const Expected& expected() {
    static const Expected e = [] {
        Expected x;
        x.original = zntest::readFile(zntest::fixture("sample-test.mdb"));
        zntest::CrashEnv env(1);
        env.put("/t/db.mdb", x.original);
        OpenOptions o;
        o.writable = true;
        o.env = &env;
        auto db = Database::open("/t/db.mdb", o);
        x.before = dumpOf(*db);
        db->pager().beforeWrite = [&](int n) { x.steps = n; };
        bigTransaction(*db);
        x.after = dumpOf(*db);
        return x;
    }();
    return e;
}

struct Died {};

// Runs `work` on the database at /t/db.mdb in `env` and cuts the power just before write or sync
// `k` of its commit (counted by the pager's hook): from then on nothing reaches the disk, not
// even the process's own attempt to put the file back, and of the writes not yet synced each is
// lost with probability `loss`. A `k` past the last step lets the work finish first.
void cutPowerAt(zntest::CrashEnv& env, int k, double loss,
                const std::function<void(Database&)>& work) {
    {
        OpenOptions o;
        o.writable = true;
        o.env = &env;
        auto db = Database::open("/t/db.mdb", o);
        db->pager().beforeWrite = [&](int n) {
            if (n != k) return;
            env.die();
            throw Died{};
        };
        try {
            work(*db);
        } catch (const Died&) {
        }
        try {
            db.reset();
        } catch (...) {
        }
    }
    env.crash(loss);
}

// The loss rates of the power-loss tests: every unsynced write lost, most of them, a few.
constexpr double kLosses[] = {1.0, 0.4, 0.1};

// Counts whether `db` holds the state before or after the transaction (anything else fails) and
// checks that it is clean.
void classify(Database& db, const Expected& ex, int& before, int& after) {
    std::string now = dumpOf(db);
    if (now == ex.before)
        ++before;
    else if (now == ex.after)
        ++after;
    else
        ADD_FAILURE() << "neither before nor after";
    CheckReport r = checkDatabase(db);
    EXPECT_TRUE(r.ok()) << testing::PrintToString(r.problems);
}

TEST(Crash, PowerLossAtEveryStepOfACommitLeavesBeforeOrAfter) {
    ZN_REQUIRE_FIXTURES();
    const Expected& ex = expected();
    const int steps = ex.steps;
    ASSERT_GT(steps, 10);
    int before = 0, after = 0;
    for (int k = 1; k <= steps + 1; ++k) {
        for (double loss : kLosses) {
            SCOPED_TRACE("crash before step " + std::to_string(k) + ", loss " +
                         std::to_string(loss));
            zntest::CrashEnv env(uint32_t(k * 10 + int(loss * 10)));
            env.put("/t/db.mdb", ex.original);
            cutPowerAt(env, k, loss, bigTransaction);
            OpenOptions o;
            o.writable = true;
            o.env = &env;
            auto db = Database::open("/t/db.mdb", o);
            classify(*db, ex, before, after);
        }
    }
    EXPECT_GT(before, 0);
    EXPECT_GT(after, 0);
}

#ifndef _WIN32
// Kills a child process (fork), which Windows does not have.
TEST(Crash, KilledProcessLeavesBeforeOrAfter) {
    ZN_REQUIRE_FIXTURES();
    const Expected& ex = expected();
    std::mt19937 rng(42);
    const int trials = 12;
    int before = 0, after = 0;
    for (int trial = 0; trial < trials; ++trial) {
        const std::string path = zntest::tempDir() + "/db.mdb";
        zntest::copyFile(zntest::fixture("sample-test.mdb"), path);
        // Half the trials die at a chosen write of the commit (or after it), half after a
        // random delay.
        const int killAt = trial % 2 ? 1 + int(rng() % uint32_t(ex.steps + 4)) : 0;
        const int delayUs = int(rng() % 400000);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                OpenOptions o;
                o.writable = true;
                auto db = Database::open(path, o);
                db->pager().beforeWrite = [&](int n) {
                    if (n == killAt) raise(SIGKILL);
                };
                bigTransaction(*db);
            } catch (...) {
                _exit(3);
            }
            _exit(0);
        }
        if (!killAt) {
            usleep(useconds_t(delayUs));
            kill(pid, SIGKILL);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        SCOPED_TRACE("trial " + std::to_string(trial));
        auto db = Database::open(path);  // recovers from the journal if there is one
        classify(*db, ex, before, after);
        // Nothing left to play back. A writer killed between its commit and its end leaves its
        // journal void, which a reader passes (the next writer removes it): how often that
        // happens depends on the machine's load, not on the engine.
        EXPECT_FALSE(Pager::journalIsLive(Env::posix(), path));
        std::string why;
        std::string theirs = zntest::mdbReaderDump(path, {}, &why);
        if (why.empty()) {
            EXPECT_TRUE(zntest::sameDump(theirs, zntest::ourDump(path, {})));
        }
    }
    std::cout << trials << " killed writers: " << before << " left the state before, " << after
              << " the state after the transaction\n";
}
#endif

TEST(Fault, IoErrorAtEveryWriteLeavesTheFileUnchanged) {
    ZN_REQUIRE_FIXTURES();
    const Expected& ex = expected();
    int ops = 0, opening = 0;
    {
        const std::string path = zntest::tempDir() + "/db.mdb";
        zntest::copyFile(zntest::fixture("sample-test.mdb"), path);
        zntest::FaultEnv env(0);
        OpenOptions o;
        o.writable = true;
        o.env = &env;
        auto db = Database::open(path, o);
        opening = env.operations();  // the lock file's record, which may fail harmlessly
        bigTransaction(*db);
        ops = env.operations();
    }
    ASSERT_GT(ops, opening + 5);
    for (int k = opening + 1; k <= ops; ++k) {
        for (bool lasting : {false, true}) {
            SCOPED_TRACE("failing operation " + std::to_string(k) +
                         (lasting ? " and all after it" : ""));
            const std::string path = zntest::tempDir() + "/db.mdb";
            zntest::copyFile(zntest::fixture("sample-test.mdb"), path);
            bool failed = false;
            {
                // A one-off error, or a disk that stays full: then putting the file back fails
                // too, and the journal restores it at the next open.
                zntest::FaultEnv env(k, lasting);
                OpenOptions o;
                o.writable = true;
                o.env = &env;
                auto db = Database::open(path, o);
                try {
                    bigTransaction(*db);
                } catch (const Error& e) {
                    failed = true;
                    EXPECT_EQ(e.kind(), ErrorKind::Io) << e.what();
                }
            }
            auto db = Database::open(path);
            if (failed) {
                EXPECT_EQ(zntest::readFile(path), ex.original);
            } else {
                // Only the last step, after the commit point, may fail without an error.
                EXPECT_EQ(k, ops);
                EXPECT_EQ(dumpOf(*db), ex.after);
            }
            EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
        }
    }
}

}  // namespace

namespace {

// A journal carries its own checksum, but the checksum only tells a torn write from a whole
// one. A whole journal that names pages past the file's end, or a size the file never had,
// did not come from a transaction of ours: it is dropped, not played back.
std::vector<uint8_t> journal(uint64_t origSize, const std::vector<uint32_t>& pages) {
    auto put = [](std::vector<uint8_t>& b, size_t at, uint64_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    std::vector<uint8_t> b(32 + pages.size() * (4 + 4096), 0);
    std::memcpy(b.data(), "ZNJRNL01", 8);
    put(b, 8, 4096, 4);
    put(b, 12, origSize, 8);
    put(b, 20, pages.size(), 4);
    for (size_t i = 0; i < pages.size(); ++i) {
        put(b, 32 + i * (4 + 4096), pages[i], 4);
        std::memset(b.data() + 32 + i * (4 + 4096) + 4, 0xAB, 4096);
    }
    uint64_t h = 1469598103934665603ull;
    auto add = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) h = (h ^ b[i]) * 1099511628211ull;
    };
    add(0, 24);
    add(32, b.size());
    put(b, 24, h, 8);
    return b;
}

TEST(Crash, AJournalThatDidNotComeFromUsIsNotPlayedBack) {
    ZN_REQUIRE_FIXTURES();
    const std::vector<uint8_t> original = zntest::readFile(zntest::fixture("sample-test.mdb"));
    const uint64_t size = original.size();
    struct Case {
        const char* what;
        uint64_t origSize;
        std::vector<uint32_t> pages;
        bool played;
    } cases[] = {
        {"a page inside the file: played back", size, {3}, true},
        {"a page past the file's end", size, {uint32_t(size / 4096)}, false},
        {"a page 16 TB away", size, {0xFFFFFFF0u}, false},
        {"a size larger than the file", size + 4096 * 1000, {3}, false},
        {"a size that is not whole pages", size - 100, {3}, false},
        {"a cut file with every page cut off: played back and grown again",
         size + 2 * 4096,
         {3, uint32_t(size / 4096), uint32_t(size / 4096) + 1},
         true},
        {"a cut file missing a page cut off", size + 2 * 4096, {3, uint32_t(size / 4096)}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = zntest::tempDir() + "/db.mdb";
        zntest::writeFile(path, original);
        zntest::writeFile(path + "-journal", journal(c.origSize, c.pages));
        OpenOptions o;
        o.writable = true;
        { auto db = Database::open(path, o); }
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
        const std::vector<uint8_t> now = zntest::readFile(path);
        if (c.played) {
            ASSERT_EQ(now.size(), c.origSize);
            EXPECT_EQ(now[3 * 4096], 0xAB);
        } else {
            EXPECT_EQ(now, original);
        }
    }
}

}  // namespace

namespace {

// Undo and redo put a commit's page images back as a transaction of their own; undoing a commit
// that added pages cuts the file. A power loss at any step leaves the file exactly as before or
// exactly as after, byte for byte.
std::vector<uint8_t> bytesIn(jet::Env& env, const std::string& path) {
    auto f = env.open(path, jet::OpenMode::Read);
    std::vector<uint8_t> out(f->size());
    out.resize(f->read(0, out.data(), out.size()));
    return out;
}

TEST(Crash, PowerLossAtEveryStepOfRestoringPagesLeavesBeforeOrAfter) {
    ZN_REQUIRE_FIXTURES();
    const Expected& ex = expected();
    // The images of the big transaction, and the file after it.
    CommitImages images;
    std::vector<uint8_t> grown;
    {
        zntest::CrashEnv env(7);
        env.put("/t/db.mdb", ex.original);
        OpenOptions o;
        o.writable = true;
        o.env = &env;
        auto db = Database::open("/t/db.mdb", o);
        db->setCommitObserver([&](const CommitImages& c) { images = c; });
        bigTransaction(*db);
        grown = bytesIn(env, "/t/db.mdb");
        ASSERT_GT(images.newPageCount, images.oldPageCount) << "the transaction adds pages";
        // Undo and redo without a crash: exact.
        db->restorePages(images.before, images.oldPageCount);
        EXPECT_EQ(bytesIn(env, "/t/db.mdb"), ex.original);
        EXPECT_EQ(dumpOf(*db), ex.before);
        db->restorePages(images.after, images.newPageCount);
        EXPECT_EQ(bytesIn(env, "/t/db.mdb"), grown);
        EXPECT_EQ(dumpOf(*db), ex.after);
    }
    struct Way {
        const char* what;
        const std::vector<uint8_t>* from;
        const std::vector<uint8_t>* to;
        const PageImages* pages;
        uint32_t count;
    } ways[] = {
        {"undo (the file shrinks)", &grown, &ex.original, &images.before, images.oldPageCount},
        {"redo (the file grows)", &ex.original, &grown, &images.after, images.newPageCount}};
    for (const Way& w : ways) {
        int steps = 0;
        {
            zntest::CrashEnv env(3);
            env.put("/t/db.mdb", *w.from);
            OpenOptions o;
            o.writable = true;
            o.env = &env;
            auto db = Database::open("/t/db.mdb", o);
            db->pager().beforeWrite = [&](int n) { steps = n; };
            db->restorePages(*w.pages, w.count);
        }
        ASSERT_GT(steps, 3);
        int before = 0, after = 0;
        for (int k = 1; k <= steps + 1; ++k) {
            for (double loss : kLosses) {
                SCOPED_TRACE(std::string(w.what) + ": crash before step " + std::to_string(k) +
                             ", loss " + std::to_string(loss));
                zntest::CrashEnv env(uint32_t(k * 10 + int(loss * 10)));
                env.put("/t/db.mdb", *w.from);
                cutPowerAt(env, k, loss, [&](Database& db) { db.restorePages(*w.pages, w.count); });
                OpenOptions o;
                o.writable = true;
                o.env = &env;
                auto db = Database::open("/t/db.mdb", o);
                const std::vector<uint8_t> now = bytesIn(env, "/t/db.mdb");
                if (now == *w.from)
                    ++before;
                else if (now == *w.to)
                    ++after;
                else
                    ADD_FAILURE() << "neither before nor after";
                CheckReport r = checkDatabase(*db);
                EXPECT_TRUE(r.ok()) << testing::PrintToString(r.problems);
            }
        }
        EXPECT_GT(before, 0) << w.what;
        EXPECT_GT(after, 0) << w.what;
    }
}

}  // namespace
