// Sharing a database file between processes.
//
// Two kinds of lock keep readers and the writer apart:
//
// - The commit lock: byte-range locks on the database file itself, far past anything Jet locks.
//   A reader holds it shared while it reads; the writer holds it exclusive only while it writes
//   pages at commit (and while it plays back a journal). A writer that wants it first takes the
//   "pending" byte, which stops new readers from starting, so a steady stream of readers cannot
//   starve it; a reader kept waiting holds the "waiting" byte shared, and a writer lets such
//   readers in before it takes the pending byte again, so a writer committing back to back
//   cannot starve them either.
// - The lock file (`name.ldb` beside `name.mdb`, Jet's own): the writer creates it, writes a
//   record of its computer and user name, and holds it locked (flock, and Jet's first user-lock
//   byte) for the whole time it has the database open, so only one writer at a time has it, and
//   Jet programs and other copies of this program can see that it is in use. It is removed on
//   close. One that nobody holds (its program ended) is taken over.
//
// docs/jet-format.md ("Locking") gives the reasoning.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/file.h"

namespace jet {

namespace lockbytes {
// On the database file. Jet's extended byte-range locks lie below 2^31; these lie past 2^32.
constexpr uint64_t kPending = uint64_t(1) << 32;
constexpr uint64_t kShared = kPending + 1;
constexpr uint64_t kWaiting = kPending + 2;
// On the lock file: the byte of Jet's first user slot (Jet's user locks are 0x10000001 up).
constexpr uint64_t kJetUserSlot = 0x10000001;
}  // namespace lockbytes

using Millis = std::chrono::milliseconds;

// Takes the commit lock shared (for reading), waiting up to `wait` while another program
// commits; then throws InUse naming `path`.
void lockForReading(File& f, Millis wait, const std::string& path);
// Takes the commit lock exclusive (for writing pages), waiting up to `wait` for readers to
// finish; then throws InUse naming `path`. REQUIRES: `f` is open for writing.
void lockForWriting(File& f, Millis wait, const std::string& path);
// Releases the commit lock, whichever was taken.
void unlockCommit(File& f);

// The commit lock held exclusive for a scope: acquire() takes it; the destructor makes sure the
// file's stamp moved if it was written (so readers notice the change) and releases it.
class WriteLock {
  public:
    WriteLock(File& f, std::string path, Millis wait)
        : f_(f), path_(std::move(path)), wait_(wait) {}
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    void acquire();

  private:
    File& f_;
    std::string path_;
    Millis wait_;
    bool held_ = false;
    FileStamp before_;
};

// Why a database that was to be opened for writing could only be opened for reading.
enum class ReadOnlyCause {
    None,                 // writable, or opened for reading as asked
    FileReadOnly,         // the file's permissions (or a read-only file system) forbid writing
    FolderReadOnly,       // the folder does not let us create the lock file and the journal
    InUseByThisProgram,   // another copy of this program has it open for writing
    InUseByOtherProgram,  // Access or another Jet program has it open
};

// Path of the Jet lock file of the database at `dbPath`: the extension replaced by ".ldb".
std::string lockFilePath(const std::string& dbPath);

// One 64-byte record of a lock file: a 32-byte computer name and a 32-byte security (user)
// name, each NUL-terminated (or filling its field).
struct LockFileRecord {
    std::string computer;
    std::string user;
};
constexpr size_t kLockRecordSize = 64;
// The user name this engine writes into its records, telling its copies from Jet programs.
extern const char* const kLockFileUser;
// Every non-empty record of a lock file's bytes (a trailing partial record is ignored).
std::vector<LockFileRecord> parseLockFile(const std::vector<uint8_t>& bytes);

// A lock file held for a writer; dropping it removes the file and releases the locks.
class LockFile {
  public:
    struct Result {
        std::unique_ptr<LockFile> lock;  // set when taken
        ReadOnlyCause cause = ReadOnlyCause::None;
        std::string why;  // when not taken: a clause saying why ("it is open in …")
    };
    // Creates or takes over the lock file of the database at `dbPath`. Throws only for errors
    // other than permissions (those give FolderReadOnly).
    static Result acquire(Env& env, const std::string& dbPath);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    LockFile(Env& env, std::string path, std::unique_ptr<File> f)
        : env_(env), path_(std::move(path)), f_(std::move(f)) {}
    Env& env_;
    std::string path_;
    std::unique_ptr<File> f_;
};

}  // namespace jet
