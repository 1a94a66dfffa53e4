// What a commit costs and leaves behind: three syncs, the journal's name made durable once, and
// a journal file that stays void between commits, is no obstacle to readers and goes with the
// database. (The crash and fault tests check that a commit is all or nothing.)
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "store/bank/testbank.h"
#include "tests/support/faultenv.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;

void addTopic(Database& db, int64_t number) {
    Table& t = db.table("Tema");
    Row r(t.def().columns.size());
    r[size_t(t.columnIndex("numtema"))] = number;
    t.insert(r);
}

TEST(Commit, SyncsThreeTimesAndMakesTheJournalsNameDurableOnce) {
    MemEnv memory;
    SyncCountingEnv env(memory);
    {
        CreateOptions o;
        o.env = &env;
        auto db = createDatabase("/t/db.mdb", o);
        zn::bank::createTestSchema(*db);
    }
    OpenOptions o;
    o.env = &env;
    o.writable = true;
    auto db = Database::open("/t/db.mdb", o);
    struct Case {
        const char* what;
        int topics;
        int fileSyncs, dirSyncs;
    } cases[] = {
        {"the first commit creates the journal", 1, 3, 1},
        {"a later one reuses it", 50, 3, 0},
        {"and another", 1, 3, 0},
        {"a transaction that changed nothing", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        env.fileSyncs = env.dirSyncs = 0;
        Transaction tx(*db);
        for (int i = 0; i < c.topics; ++i) addTopic(*db, i);
        tx.commit();
        EXPECT_EQ(env.fileSyncs, c.fileSyncs);
        EXPECT_EQ(env.dirSyncs, c.dirSyncs);
    }
}

TEST(Commit, TheVoidJournalStaysBetweenCommitsAndGoesWithTheDatabase) {
    const std::string path = zntest::tempDir() + "/db.mdb";
    const std::string journal = Pager::journalPath(path);
    {
        auto db = createDatabase(path);
        zn::bank::createTestSchema(*db);
    }
    EXPECT_FALSE(std::filesystem::exists(journal));
    OpenOptions o;
    o.writable = true;
    auto writer = Database::open(path, o);
    addTopic(*writer, 1);
    ASSERT_TRUE(std::filesystem::exists(journal));
    EXPECT_FALSE(Pager::journalIsLive(Env::posix(), path));
    // A reader is not held up by it while the writer has the file, and sees the commit.
    {
        auto reader = Database::open(path);
        EXPECT_EQ(reader->table("Tema").def().rowCount, 1u);
    }
    EXPECT_TRUE(std::filesystem::exists(journal));
    // Left behind by a writer that ended without closing: a reader passes it (it cannot tell
    // that writer from one between commits), the next writer removes it, and the file is as the
    // last commit left it.
    const std::vector<uint8_t> leftover = zntest::readFile(journal);
    writer.reset();
    EXPECT_FALSE(std::filesystem::exists(journal));
    const std::vector<uint8_t> committed = zntest::readFile(path);
    for (bool writable : {false, true}) {
        SCOPED_TRACE(writable ? "writer" : "reader");
        zntest::writeFile(journal, leftover);
        OpenOptions w;
        w.writable = writable;
        auto db = Database::open(path, w);
        EXPECT_EQ(std::filesystem::exists(journal), !writable);
        EXPECT_EQ(db->table("Tema").def().rowCount, 1u);
        db.reset();
        EXPECT_EQ(zntest::readFile(path), committed);
    }
}

// Two operations in a row fail: where they hit a page of the commit and the first write that
// would put the file back, the journal is the only way back, and nothing may write over it:
// later transactions are refused until the database is opened again, which restores the file.
// Wherever they hit, what reopening finds is whole and holds exactly the commits that landed.
TEST(Commit, ACommitThatCannotBeUndoneKeepsItsJournalForTheNextOpen) {
    bool refusedOnce = false;
    for (int k = 1; k <= 12; ++k) {
        SCOPED_TRACE("failing operations " + std::to_string(k) + " and " + std::to_string(k + 1) +
                     " after the open");
        const std::string path = zntest::tempDir() + "/db.mdb";
        {
            auto db = createDatabase(path);
            zn::bank::createTestSchema(*db);
            addTopic(*db, 1);
        }
        const std::vector<uint8_t> before = zntest::readFile(path);
        zntest::FaultEnv env(0);
        int from = 0;
        env.onStep = [&](int n) {
            if (from && (n == from || n == from + 1))
                throwError(ErrorKind::Io, "injected I/O error");
        };
        OpenOptions o;
        o.env = &env;
        o.writable = true;
        auto db = Database::open(path, o);
        from = env.operations() + k;
        uint32_t landed = 1;
        bool failed = false, refused = false;
        try {
            addTopic(*db, 2);
            ++landed;
        } catch (const Error&) {
            failed = true;
        }
        try {
            addTopic(*db, 3);
            ++landed;
        } catch (const Error& e) {
            if (std::string(e.what()).find("open it again") != std::string::npos) refused = true;
        }
        EXPECT_TRUE(!refused || failed);
        refusedOnce = refusedOnce || refused;
        db.reset();
        OpenOptions w;
        w.writable = true;
        auto again = Database::open(path, w);
        EXPECT_TRUE(checkDatabase(*again).ok());
        EXPECT_EQ(again->table("Tema").def().rowCount, landed);
        again.reset();
        if (refused) {
            EXPECT_EQ(zntest::readFile(path), before);
        }
    }
    EXPECT_TRUE(refusedOnce);
}

}  // namespace

// Another program puts other bytes at the path of a database we have open for writing: a copy
// over it (the same file), a file renamed over it, a cut, or other bytes with the time put back.
// The next transaction is refused before it writes anything; our own commits never are.
TEST(Commit, AFileChangedUnderAWriterRefusesTheNextTransaction) {
    ZN_REQUIRE_FIXTURES();
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        void (*change)(const std::string& path, const std::string& other);
    } cases[] = {
        {"another bank copied over it",
         [](const std::string& path, const std::string& other) {
             fs::copy_file(other, path, fs::copy_options::overwrite_existing);
         }},
        {"another bank renamed over it",
         [](const std::string& path, const std::string& other) {
             zntest::copyFile(other, path + ".new");
             // Through the file layer: on Windows a plain rename refuses a file held open,
             // where the layer replaces it as another program that saves over it would.
             Env::posix().rename(path + ".new", path);
         }},
        {"cut to half its size",
         [](const std::string& path, const std::string&) {
             fs::resize_file(path, fs::file_size(path) / 2);
         }},
        {"its catalog page changed, size and time kept",
         [](const std::string& path, const std::string&) {
             const auto time = fs::last_write_time(path);
             std::vector<uint8_t> bytes = zntest::readFile(path);
             bytes[2 * 4096 + 100] ^= 0x5A;
             zntest::writeFile(path, bytes);
             fs::last_write_time(path, time);
         }},
    };
    const std::string other = zntest::fixture("empty-test.mdb");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = zntest::copyOf("sample-test.mdb");
        OpenOptions o;
        o.writable = true;
        auto db = Database::open(path, o);
        Table& tema = db->table("Tema");
        // Our own commits leave the file as we know it.
        auto first = tema.scan();
        ASSERT_TRUE(first.next());
        const RowId id = first.id();
        Row row = first.row();
        const size_t name = size_t(tema.columnIndex("tema"));
        for (int i = 0; i < 3; ++i) {
            Transaction tx(*db);
            row[name] = u"Тема " + std::u16string(size_t(i + 1), u'!');
            tema.update(id, row);
            tx.commit();
        }
        EXPECT_TRUE(db->unchangedByOthers());
        c.change(path, other);
        const std::vector<uint8_t> changed = zntest::readFile(path);
        EXPECT_FALSE(db->unchangedByOthers());
        try {
            Transaction tx(*db);
            ADD_FAILURE() << "the transaction began";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Changed) << e.what();
        }
        EXPECT_EQ(zntest::readFile(path), changed) << "nothing was written";
        db.reset();
    }
}
