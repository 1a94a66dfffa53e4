// Shared helpers for the engine's tests: fixture paths, temporary folders, running the
// independent readers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jet {
class Database;
}

namespace zntest {

// Folder of the shared .mdb fixtures, or "" when it is absent.
std::string fixturesDir();
// Full path of a fixture ("sample-test.mdb", "access/jk-empty.mdb").
std::string fixture(const std::string& name);
// Every fixture file (the top folder, access/ and jackcess/), sorted.
std::vector<std::string> allFixtures();

// This process's id.
int processId();
// A fresh empty folder under the build's temporary area, removed at exit.
std::string tempDir();
// Copies `from` to `to` (overwriting) and makes the copy writable.
void copyFile(const std::string& from, const std::string& to);
std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
// A writable copy of fixture `name`, as db.mdb in a fresh temporary folder.
std::string copyOf(const std::string& fixtureName);
// Opens the database at `path` for writing.
std::unique_ptr<jet::Database> openWritable(const std::string& path);

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs argv (no shell), capturing standard output and error.
CommandResult run(const std::vector<std::string>& argv);

// A child process (fork) that runs `setUp` and then waits, keeping what it returned alive (open
// databases, files, locks), until this object is destroyed. On Windows setUp runs in this
// process (see Beside for why that is the same to locks). The constructor returns once setUp
// has finished; error() says what it threw ("" when it succeeded).
class HoldingChild {
  public:
    explicit HoldingChild(const std::function<std::shared_ptr<void>()>& setUp);
    ~HoldingChild();
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;
    const std::string& error() const { return error_; }

  private:
    int pid_ = -1;
    int release_ = -1;
    std::shared_ptr<void> kept_;  // Windows: what setUp returned, held in this process
    std::string error_;
};

// Runs `body` beside the test, as another program would, until stop(): in a child process
// (fork); on Windows, which has no fork, in a thread, whose files meet the test's as another
// program's do because Windows' locks belong to each open handle. body polls its argument to
// learn when to finish and returns a report ("error: ..." when it threw).
class Beside {
  public:
    explicit Beside(std::function<std::string(const std::function<bool()>& stopping)> body);
    ~Beside();
    Beside(const Beside&) = delete;
    Beside& operator=(const Beside&) = delete;
    // Asks body to finish, waits for it and returns its report.
    std::string stop();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs `body` in a child process (fork) and returns its result (0..255), or -1 when the child
// died. With `asNobody`, a child of root first becomes the unprivileged user 65534, so that
// file permissions apply to it; it returns 77 when it cannot (always on Windows, where body
// runs in this process).
int inChild(const std::function<int()>& body, bool asNobody = false);

// A Jet lock file's bytes holding one 64-byte record per (computer, user) pair.
std::vector<uint8_t> jetLockFile(const std::vector<std::pair<std::string, std::string>>& users);
// What a Jet program does when it opens a database (as Wine runs it): writes its record into
// the lock file `ldb` and holds a record lock on its user byte until the result is released.
// For a HoldingChild's setUp.
std::shared_ptr<void> holdLikeJet(const std::string& ldb);

// The canonical dump of FILE as read by us (jettool), by mdb-reader and by mdbtools. `args` are
// the dump options ("--all", "--system"). The oracle functions return "" and set `why` when the
// reader is not installed.
std::string ourDump(const std::string& file, const std::vector<std::string>& args);
std::string mdbReaderDump(const std::string& file, const std::vector<std::string>& args,
                          std::string* why = nullptr);
std::string mdbToolsDump(const std::string& file, const std::vector<std::string>& args,
                         std::string* why = nullptr);
// Compares two dumps line by line; on a difference the message shows the first differing
// lines only (dumps are long).
testing::AssertionResult sameDump(const std::string& actual, const std::string& expected);

// What of a dump mdbtools can represent (applied to both sides of a comparison with it).
std::string mdbToolsView(const std::string& dump);

// A file our engine wrote is sound for every reader: `jettool check` passes, and the dump of
// the test tables reads the same in mdb-reader and in mdb-export (over what mdbtools can
// represent) as in our engine. Readers that are not installed are skipped with a note.
testing::AssertionResult readersAgree(const std::string& file);

// When JET_TEST_OUTPUT names a folder, copies `file` there as `name`, so that the files tests
// leave behind can be looked at or fed to other tools.
void keepOutput(const std::string& file, const std::string& name);

}  // namespace zntest

#define ZN_REQUIRE_FIXTURES()                                                                \
    do {                                                                                     \
        if (zntest::fixturesDir().empty())                                                   \
            GTEST_SKIP() << "the shared fixtures folder (../shared/fixtures/mdb) is absent"; \
    } while (0)
