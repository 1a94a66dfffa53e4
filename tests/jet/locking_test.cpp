// Sharing a database between processes: readers beside a committing writer see whole states, a
// writer waits for readers and gives up cleanly, long-lived readers notice changes; the Jet lock
// file (one writer at a time, stale ones taken over, live ones mean read-only); and why a
// database wanted for writing could only be read.
#include "jet/locking.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "jet/check.h"
#include "jet/compact.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;
namespace fs = std::filesystem;
using std::chrono::milliseconds;

// ---------------------------------------------------------------------------------------------
// A table whose every committed state can be recognised. Transaction k (N = 3k after it) adds
// rows N-2..N, deletes the rows that fell out of the window of the last 60, and sets the counter
// row (id 0) to N with a note whose length depends on N. Notes are long values, so pages of rows
// and of long values are filled, freed and reused all the time.

std::u16string noteOf(int64_t id) {
    std::u16string s = u"row " + fromUtf8(std::to_string(id)) + u":";
    s.append(size_t(10 + (id * 53) % 700), char16_t(u'a' + id % 26));
    return s;
}

std::u16string counterNote(int64_t n) {
    return std::u16string(size_t(100 + (n * 37) % 2000), u'#');
}

constexpr int64_t kWindow = 60;

bool deletedAt(int64_t id, int64_t n) {
    return id <= n - kWindow;
}

std::string makeItems(const std::string& dir) {
    const std::string path = dir + "/items.mdb";
    auto db = createDatabase(path);
    TableSpec spec;
    spec.name = "Items";
    spec.columns = {{"id", ColType::Long}, {"val", ColType::Long}, {"note", ColType::Memo}};
    IndexSpec pk;
    pk.name = "PrimaryKey";
    pk.columns = {{"id", true}};
    pk.primaryKey = true;
    spec.indexes = {pk};
    Table& t = createTable(*db, spec);
    Row r(3);
    r[0] = int64_t(0);
    r[1] = int64_t(0);
    r[2] = counterNote(0);
    t.insert(r);
    return path;
}

// One transaction of the writer; `ids` maps ids to rows.
void nextState(Database& db, int64_t& n, std::map<int64_t, RowId>& ids) {
    Table& t = db.table("Items");
    Transaction tx(db);
    for (int64_t id = n + 1; id <= n + 3; ++id) {
        Row r(3);
        r[0] = id;
        r[1] = id;
        r[2] = noteOf(id);
        ids[id] = t.insert(r);
    }
    n += 3;
    for (int64_t id = std::max<int64_t>(1, n - kWindow - 2); id <= n - kWindow; ++id) {
        t.remove(ids.at(id));
        ids.erase(id);
    }
    Row c(3);
    c[0] = int64_t(0);
    c[1] = n;
    c[2] = counterNote(n);
    t.update(ids.at(0), c);
    tx.commit();
}

std::map<int64_t, RowId> idsOf(Database& db) {
    std::map<int64_t, RowId> ids;
    for (auto s = db.table("Items").scan(false); s.next();)
        ids[std::get<int64_t>(s.row()[0])] = s.id();
    return ids;
}

// "" when the table holds one of the writer's states (its N in `n`), else what is wrong.
std::string checkItems(Database& db, int64_t* n = nullptr) {
    std::map<int64_t, Row> rows;
    for (auto s = db.table("Items").scan(); s.next();)
        rows[std::get<int64_t>(s.row()[0])] = s.row();
    if (!rows.count(0)) return "no counter row";
    const int64_t last = std::get<int64_t>(rows[0][1]);
    if (n) *n = last;
    if (rows[0][2] != Value(counterNote(last))) return "counter note of another state";
    size_t expected = 1;
    for (int64_t id = 1; id <= last; ++id) {
        if (deletedAt(id, last)) {
            if (rows.count(id)) return "row " + std::to_string(id) + " should be deleted";
            continue;
        }
        ++expected;
        auto it = rows.find(id);
        if (it == rows.end())
            return "row " + std::to_string(id) + " missing at N=" + std::to_string(last);
        if (it->second[1] != Value(id) || it->second[2] != Value(noteOf(id)))
            return "row " + std::to_string(id) + " holds other values";
    }
    if (rows.size() != expected)
        return std::to_string(rows.size()) + " rows where " + std::to_string(expected) +
               " belong to N=" + std::to_string(last);
    return "";
}

OpenOptions writable() {
    OpenOptions o;
    o.writable = true;
    return o;
}

OpenOptions writableOrReadOnly() {
    OpenOptions o = writable();
    o.readOnlyFallback = true;
    return o;
}

// ---------------------------------------------------------------------------------------------
// Readers beside a writer

TEST(Sharing, ReadersBesideACommittingProcessSeeWholeStatesAndNeverFail) {
    // In memory when we can: this is about locking, and commits that wait for the disk would
    // make the readers wait just as long.
    std::string dir = zntest::tempDir();
    if (fs::is_directory("/dev/shm")) {
        dir = "/dev/shm/zntest-sharing-" + std::to_string(zntest::processId());
        fs::create_directories(dir);
    }
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code ec;
            if (dir.rfind("/dev/shm/", 0) == 0) fs::remove_all(dir, ec);
        }
    } cleanup{dir};
    const std::string path = makeItems(dir);
    zntest::Beside writer([&](const std::function<bool()>& stopping) {
        int64_t n = 0;
        try {
            auto db = Database::open(path, writable());
            auto ids = idsOf(*db);
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!stopping() && std::chrono::steady_clock::now() < until) nextState(*db, n, ids);
            return "ok " + std::to_string(n / 3);
        } catch (const std::exception& e) {
            return std::string("writer failed after ") + std::to_string(n / 3) +
                   " commits: " + e.what();
        }
    });

    // Fresh opens, one long-lived reader with a scope per read, and whole jettool runs.
    OpenOptions ro;
    auto longLived = Database::open(path, ro);
    int reads = 0, failures = 0, changes = 0, tool = 0;
    int64_t lastSeen = 0, maxSeen = 0;
    const auto start = std::chrono::steady_clock::now();
    while (reads < 300 || (maxSeen < 3 * kWindow &&
                           std::chrono::steady_clock::now() - start < std::chrono::seconds(20))) {
        std::string problem;
        int64_t n = -1;
        try {
            if (reads % 3 == 0) {
                auto db = Database::open(path, ro);
                Database::ReadScope read(*db);
                problem = checkItems(*db, &n);
            } else if (reads % 50 == 1) {
                ++tool;
                zntest::CommandResult r =
                    zntest::run({ZN_JETTOOL, "dump", path, "--table", "Items"});
                if (r.exitCode != 0) {
                    problem = "jettool: " + r.err;
                } else {
                    // The counter row: {"id":0,"note":"###…","val":N}
                    const size_t at = r.out.find("{\"id\":0,");
                    const size_t val = r.out.find("\"val\":", at);
                    if (at == std::string::npos || val == std::string::npos) {
                        problem = "jettool printed no counter row";
                    } else {
                        n = std::stoll(r.out.substr(val + 6));
                        size_t lines = 0, expected = 1;
                        for (char c : r.out) lines += c == '\n';
                        for (int64_t id = 1; id <= n; ++id) expected += !deletedAt(id, n);
                        if (lines != expected + 1)  // and the "# Items" line
                            problem = "jettool printed " + std::to_string(lines - 1) +
                                      " rows for N=" + std::to_string(n);
                    }
                }
            } else {
                Database::ReadScope read(*longLived);
                changes += read.changed();
                problem = checkItems(*longLived, &n);
                if (problem.empty() && n < lastSeen)
                    problem =
                        "N went back from " + std::to_string(lastSeen) + " to " + std::to_string(n);
                if (problem.empty()) lastSeen = n;
            }
        } catch (const std::exception& e) {
            problem = e.what();
        }
        if (!problem.empty()) {
            ++failures;
            ADD_FAILURE() << "read " << reads << ": " << problem;
            if (failures > 5) break;
        }
        maxSeen = std::max(maxSeen, n);
        ++reads;
    }
    const std::string status = writer.stop();
    EXPECT_EQ(status.substr(0, 3), "ok ") << status;
    std::cout << reads << " reads (" << tool << " by jettool) beside " << status.substr(3)
              << " commits; the long-lived reader saw " << changes << " changes\n";
    EXPECT_GE(maxSeen, 3 * kWindow) << "the writer committed too little while we read";
    EXPECT_GT(changes, 0);
    auto db = Database::open(path);
    EXPECT_EQ(checkItems(*db), "");
    EXPECT_TRUE(checkDatabase(*db).ok());
}

TEST(Sharing, AWriterWaitsForAReadScopeThenGivesUpWithTheFileIntact) {
    const std::string path = makeItems(zntest::tempDir());
    OpenOptions w = writable();
    w.writeWait = milliseconds(300);
    auto writer = Database::open(path, w);
    auto ids = idsOf(*writer);
    int64_t n = 0;
    nextState(*writer, n, ids);
    auto reader = Database::open(path);
    const auto before = zntest::readFile(path);
    {
        Database::ReadScope read(*reader);
        const auto t0 = std::chrono::steady_clock::now();
        try {
            nextState(*writer, n, ids);
            ADD_FAILURE() << "committed during a read scope";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InUse) << e.what();
            EXPECT_NE(std::string(e.what()).find("reading"), std::string::npos) << e.what();
        }
        EXPECT_GE(std::chrono::steady_clock::now() - t0, milliseconds(300));
        EXPECT_FALSE(writer->inTransaction());
        EXPECT_EQ(checkItems(*reader), "");
    }
    EXPECT_EQ(zntest::readFile(path), before);
    EXPECT_FALSE(fs::exists(path + "-journal"));
    // Once the scope is over the same work commits.
    n = 3;
    ids = idsOf(*writer);
    nextState(*writer, n, ids);
    Database::ReadScope read(*reader);
    EXPECT_TRUE(read.changed());
    int64_t seen = 0;
    EXPECT_EQ(checkItems(*reader, &seen), "");
    EXPECT_EQ(seen, 6);
}

TEST(Sharing, AReaderWaitsForACommitInProgressOrSaysItIsBeingWritten) {
    const std::string path = makeItems(zntest::tempDir());
    auto writer = Database::open(path, writable());
    auto ids = idsOf(*writer);
    int64_t n = 0;
    for (milliseconds readWait : {milliseconds(10000), milliseconds(20)}) {
        SCOPED_TRACE("waiting up to " + std::to_string(readWait.count()) + " ms");
        std::thread reader;
        std::string seen;
        writer->pager().beforeWrite = [&](int writeNo) {
            if (writeNo != 1) return;
            // The commit lock is held now: a reader started here has to wait.
            reader = std::thread([&, readWait] {
                try {
                    OpenOptions o;
                    o.readWait = readWait;
                    auto db = Database::open(path, o);
                    int64_t m = -1;
                    seen = checkItems(*db, &m);
                    if (seen.empty()) seen = "N=" + std::to_string(m);
                } catch (const Error& e) {
                    seen = e.what();
                }
            });
            std::this_thread::sleep_for(milliseconds(200));
        };
        nextState(*writer, n, ids);
        writer->pager().beforeWrite = nullptr;
        reader.join();
        if (readWait > milliseconds(1000))
            EXPECT_EQ(seen, "N=" + std::to_string(n));
        else
            EXPECT_NE(seen.find("is being written by another program"), std::string::npos) << seen;
    }
}

TEST(Sharing, ALongLivedReaderFollowsCommitsAndCompactionAtItsNextScope) {
    const std::string path = makeItems(zntest::tempDir());
    auto reader = Database::open(path);
    Table* items = nullptr;
    {
        Database::ReadScope read(*reader);
        EXPECT_FALSE(read.changed());
        items = &reader->table("Items");
        EXPECT_EQ(items->def().rowCount, 1u);
    }
    {
        Database::ReadScope read(*reader);
        EXPECT_FALSE(read.changed()) << "nothing was written";
    }
    int64_t n = 0;
    {
        auto writer = Database::open(path, writable());
        auto ids = idsOf(*writer);
        for (int k = 0; k < 12; ++k) nextState(*writer, n, ids);
    }
    {
        Database::ReadScope read(*reader);
        EXPECT_TRUE(read.changed());
        EXPECT_TRUE(reader->changedSinceLastRead());
        // Nested scopes add nothing.
        Database::ReadScope inner(*reader);
        EXPECT_FALSE(inner.changed());
        int64_t seen = 0;
        EXPECT_EQ(checkItems(*reader, &seen), "");
        EXPECT_EQ(seen, n);
        EXPECT_EQ(items->def().rowCount, 37u);
    }
    compactInPlace(path);  // a reader between scopes does not stop it
    {
        Database::ReadScope read(*reader);
        EXPECT_TRUE(read.changed()) << "the file was replaced";
        EXPECT_EQ(checkItems(*reader), "");
        // The reference taken before still names the table, wherever compaction put it.
        EXPECT_EQ(items->def().rowCount, 37u);
        EXPECT_EQ(&reader->table("Items"), items);
    }
    {
        Database::ReadScope read(*reader);
        EXPECT_FALSE(read.changed());
        EXPECT_FALSE(reader->changedSinceLastRead());
    }
}

// ---------------------------------------------------------------------------------------------
// The lock file

std::vector<LockFileRecord> recordsOf(const std::string& ldb) {
    return parseLockFile(zntest::readFile(ldb));
}

using zntest::holdLikeJet;
using zntest::jetLockFile;

TEST(LockFile, RecordsAreJetsSixtyFourByteLayout) {
    std::vector<uint8_t> b = jetLockFile({{"PC1", "Admin"}, {"", ""}, {"PC2", "Teacher"}});
    // A name that fills its field has no NUL; a trailing partial record is ignored.
    std::string full(32, 'N');
    b.insert(b.end(), full.begin(), full.end());
    b.insert(b.end(), full.begin(), full.end());
    b.resize(b.size() + 10, 'x');
    auto recs = parseLockFile(b);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0].computer, "PC1");
    EXPECT_EQ(recs[0].user, "Admin");
    EXPECT_EQ(recs[1].computer, "PC2");
    EXPECT_EQ(recs[1].user, "Teacher");
    EXPECT_EQ(recs[2].computer, full);
    EXPECT_EQ(recs[2].user, full);
    EXPECT_EQ(lockFilePath("/a/b/test.mdb"), "/a/b/test.ldb");
    EXPECT_EQ(lockFilePath("/a.b/test"), "/a.b/test.ldb");
}

TEST(LockFile, AWriterHoldsOneWithItsRecordAndRemovesItOnClose) {
    const std::string dir = zntest::tempDir();
    const std::string path = makeItems(dir);
    const std::string ldb = dir + "/items.ldb";
    EXPECT_FALSE(fs::exists(ldb)) << "created and closed";
    {
        auto db = Database::open(path, writable());
        ASSERT_TRUE(fs::exists(ldb));
        auto recs = recordsOf(ldb);
        ASSERT_EQ(recs.size(), 1u);
        EXPECT_EQ(recs[0].computer, Env::posix().computerName());
        EXPECT_EQ(recs[0].user, kLockFileUser);
        EXPECT_EQ(fs::file_size(ldb), kLockRecordSize);
        // Other programs see it held, by flock and by Jet's user byte.
#ifdef _WIN32
        EXPECT_FALSE(Env::posix().open(ldb, OpenMode::Read)->tryLockExclusive());
        EXPECT_FALSE(Env::posix()
                         .open(ldb, OpenMode::ReadWrite)
                         ->tryLockRange(lockbytes::kJetUserSlot, 1, LockMode::Exclusive));
#else
        EXPECT_NE(zntest::run({"flock", "-n", "-x", ldb, "true"}).exitCode, 0);
        EXPECT_EQ(zntest::inChild([&] {
                      int fd = ::open(ldb.c_str(), O_RDWR);
                      struct flock fl;
                      std::memset(&fl, 0, sizeof fl);
                      fl.l_type = F_WRLCK;
                      fl.l_whence = SEEK_SET;
                      fl.l_start = off_t(lockbytes::kJetUserSlot);
                      fl.l_len = 1;
                      return ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK ? 1 : 0;
                  }),
                  1);
#endif
        // A read-only open leaves it alone.
        auto reader = Database::open(path);
        EXPECT_EQ(checkItems(*reader), "");
    }
    EXPECT_FALSE(fs::exists(ldb));

    // A Jet program that opened the database beside the writer (its user's byte locked) keeps
    // the lock file: it is not removed from under it, and only our record is cleared. The
    // other program is a child started before the writer opens, so that it shares none of the
    // writer's open files.
#ifdef _WIN32
    // On Windows locks belong to handles: a handle of this process stands for that program.
    {
        std::unique_ptr<File> other;
        {
            auto db = Database::open(path, writable());
            other = Env::posix().open(ldb, OpenMode::ReadWrite);
            ASSERT_TRUE(other->tryLockRange(lockbytes::kJetUserSlot + 1, 1, LockMode::Exclusive));
        }
        EXPECT_TRUE(fs::exists(ldb));
        EXPECT_TRUE(recordsOf(ldb).empty());
        EXPECT_EQ(Database::open(path, writableOrReadOnly())->readOnlyCause(),
                  ReadOnlyCause::InUseByOtherProgram);
    }
#else
    int go[2], ready[2], stop[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(stop), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        char c = 0;
        if (::read(go[0], &c, 1) != 1) ::_exit(1);
        const int fd = ::open(ldb.c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = off_t(lockbytes::kJetUserSlot + 1);
        fl.l_len = 1;
        c = fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0 ? 1 : 0;
        if (::write(ready[1], &c, 1) != 1) ::_exit(1);
        (void)!::read(stop[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    {
        auto db = Database::open(path, writable());
        ASSERT_EQ(::write(go[1], "g", 1), 1);
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ASSERT_EQ(c, 1);
    }
    EXPECT_TRUE(fs::exists(ldb));
    EXPECT_TRUE(recordsOf(ldb).empty());
    // ... and while the other program holds it, the database is in use for a writer.
    EXPECT_EQ(Database::open(path, writableOrReadOnly())->readOnlyCause(),
              ReadOnlyCause::InUseByOtherProgram);
    ASSERT_EQ(::write(stop[1], "s", 1), 1);
    ::waitpid(child, nullptr, 0);
    for (int fd : {go[0], go[1], ready[0], ready[1], stop[0], stop[1]}) ::close(fd);
#endif
}

TEST(LockFile, AStaleOneIsTakenOver) {
    const std::string dir = zntest::tempDir();
    const std::string path = makeItems(dir);
    const std::string ldb = dir + "/items.ldb";
    // Left by a Jet program that ended: two users' records, nobody holding it.
    zntest::writeFile(ldb, jetLockFile({{"OFFICE-PC", "Admin"}, {"LAB-3", "Admin"}}));
    {
        auto db = Database::open(path, writableOrReadOnly());
        EXPECT_TRUE(db->writable());
        EXPECT_EQ(db->readOnlyCause(), ReadOnlyCause::None);
        EXPECT_EQ(db->readOnlyReason(), "");
        auto recs = recordsOf(ldb);
        ASSERT_EQ(recs.size(), 1u);
        EXPECT_EQ(recs[0].user, kLockFileUser);
        auto ids = idsOf(*db);
        int64_t n = 0;
        nextState(*db, n, ids);
    }
    EXPECT_FALSE(fs::exists(ldb));
    auto db = Database::open(path);
    EXPECT_EQ(checkItems(*db), "");
}

struct InUseCase {
    const char* name;
    std::function<std::shared_ptr<void>(const std::string& path)> holder;  // in a child
    ReadOnlyCause cause;
    const char* says;
};

TEST(LockFile, ALiveOneMeansReadOnlyWithTheCauseAndTheFileUnharmed) {
    const std::vector<InUseCase> cases = {
        {"another copy of this program",
         [](const std::string& path) {
             return std::shared_ptr<void>(Database::open(path, writable()));
         },
         ReadOnlyCause::InUseByThisProgram, "another copy of this program"},
        {"a Jet program",
         [](const std::string& path) {
             return holdLikeJet(fs::path(path).replace_extension(".ldb").string());
         },
         ReadOnlyCause::InUseByOtherProgram, "another Jet program (Admin on OFFICE-PC)"},
    };
    for (const InUseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = zntest::tempDir();
        const std::string path = makeItems(dir);
        const std::string ldb = dir + "/items.ldb";
        zntest::HoldingChild holder([&] { return c.holder(path); });
        ASSERT_EQ(holder.error(), "");
        const auto before = zntest::readFile(path);
        const auto ldbBefore = zntest::readFile(ldb);

        auto db = Database::open(path, writableOrReadOnly());
        EXPECT_FALSE(db->writable());
        EXPECT_EQ(db->readOnlyCause(), c.cause);
        const std::string reason = db->readOnlyReason();
        EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
        EXPECT_NE(reason.find("items.ldb"), std::string::npos) << reason;
        EXPECT_EQ(checkItems(*db), "") << "it reads";
        try {
            Row r(3);
            r[0] = int64_t(99);
            db->table("Items").insert(r);
            ADD_FAILURE() << "wrote a database in use";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::ReadOnly);
            EXPECT_EQ(e.what(), reason);
        }
        // Without the fallback the open fails, and so does compaction.
        try {
            Database::open(path, writable());
            ADD_FAILURE() << "opened for writing";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InUse);
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        try {
            compactInPlace(path);
            ADD_FAILURE() << "compacted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::InUse);
            EXPECT_NE(std::string(e.what()).find("cannot be compacted"), std::string::npos)
                << e.what();
        }
        db.reset();
        EXPECT_EQ(zntest::readFile(path), before);
        EXPECT_EQ(zntest::readFile(ldb), ldbBefore);
    }
}

TEST(LockFile, TwoWritersInOneProcessAreRefusedLikeTwoProcesses) {
    const std::string path = makeItems(zntest::tempDir());
    auto first = Database::open(path, writable());
    EXPECT_THROW(Database::open(path, writable()), Error);
    auto second = Database::open(path, writableOrReadOnly());
    EXPECT_EQ(second->readOnlyCause(), ReadOnlyCause::InUseByThisProgram);
    auto ids = idsOf(*first);
    int64_t n = 0;
    nextState(*first, n, ids);
    Database::ReadScope read(*second);
    EXPECT_TRUE(read.changed());
    EXPECT_EQ(checkItems(*second), "");
}

// ---------------------------------------------------------------------------------------------
// Permissions

TEST(ReadOnlyCause, AReadOnlyFileOrFolderIsReportedAndTheDatabaseStillReads) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permissions: Windows has no read-only folders and no user to become";
#else
    struct Case {
        const char* name;
        mode_t fileMode;
        mode_t folderMode;
        ReadOnlyCause cause;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"read-only file", 0444, 0777, ReadOnlyCause::FileReadOnly, "the file may not be written"},
        {"read-only folder", 0666, 0555, ReadOnlyCause::FolderReadOnly,
         "its folder does not allow creating the lock file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = zntest::tempDir() + "/sub";
        fs::create_directory(dir);
        const std::string path = makeItems(dir);
        ::chmod(path.c_str(), c.fileMode);
        ::chmod(dir.c_str(), c.folderMode);
        // Permissions do not bind root: the checks run as an unprivileged user then.
        const int code = zntest::inChild(
            [&] {
                try {
                    Database::open(path, writable());
                    return 1;
                } catch (const Error& e) {
                    if (e.kind() != ErrorKind::Io) return 2;
                    if (std::string(e.what()).find(c.says) == std::string::npos) return 3;
                }
                auto db = Database::open(path, writableOrReadOnly());
                if (db->writable()) return 4;
                if (db->readOnlyCause() != c.cause) return 5;
                if (db->readOnlyReason().find(c.says) == std::string::npos) return 6;
                if (!checkItems(*db).empty()) return 7;
                if (fs::exists(dir + "/items.ldb")) return 8;
                return 0;
            },
            true);
        ::chmod(dir.c_str(), 0755);
        ::chmod(path.c_str(), 0644);
        if (code == 77) GTEST_SKIP() << "cannot become an unprivileged user to test permissions";
        EXPECT_EQ(code, 0);
    }
#endif
}

}  // namespace
