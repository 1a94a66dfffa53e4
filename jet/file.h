// The only layer that touches the operating system: files and the few directory operations the
// engine needs (journal beside the database, rename for compaction). Env is an interface so
// tests can plug in an in-memory or fault-injecting implementation.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jet {

enum class LockMode { Shared, Exclusive };

// What tells one state of a file from another without reading it: which file it is, its size and
// when it was last modified (nanoseconds since the epoch).
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    bool sameFile(const FileStamp& o) const { return device == o.device && inode == o.inode; }
    bool operator==(const FileStamp&) const = default;
};

class File {
  public:
    virtual ~File() = default;
    virtual uint64_t size() = 0;
    // Reads up to n bytes at off; returns how many were read (fewer only at end of file).
    virtual size_t read(uint64_t off, uint8_t* buf, size_t n) = 0;
    // Writes all n bytes at off or throws an Io error.
    virtual void write(uint64_t off, const uint8_t* buf, size_t n) = 0;
    // Writes `parts` back to back from `off`: one gathered write where the system has it (a
    // commit's pages in a few calls instead of one each). By default one write() per part, so
    // a file system that simulates failures or power loss sees every part on its own.
    virtual void writeParts(uint64_t off, const std::vector<std::span<const uint8_t>>& parts) {
        for (const auto& p : parts) {
            write(off, p.data(), p.size());
            off += p.size();
        }
    }
    virtual void truncate(uint64_t size) = 0;
    virtual void sync() = 0;
    // Takes an exclusive advisory lock on the whole file (flock) for the life of this handle;
    // false when another handle (in any process) holds it.
    virtual bool tryLockExclusive() { return true; }

    // Advisory byte-range locks (POSIX open-file-description locks): every other handle, in this
    // process or another, sees them, and they go with this handle. The range may lie past the end
    // of the file. Returns false at once when another handle holds a conflicting lock.
    // REQUIRES for Exclusive: the file is open for writing.
    virtual bool tryLockRange(uint64_t /*off*/, uint64_t /*len*/, LockMode) { return true; }
    virtual void unlockRange(uint64_t /*off*/, uint64_t /*len*/) {}
    // Whether another handle holds a byte-range lock anywhere in the file.
    virtual bool rangeLockedElsewhere() { return false; }

    virtual FileStamp stamp() {
        FileStamp s;
        s.size = size();
        return s;
    }
    // After writes: makes the modification time later than `before`'s when the clock's coarse
    // ticks left it unchanged, so that every change of the contents changes stamp(). Best effort:
    // never throws.
    virtual void touch(const FileStamp& /*before*/) {}
};

enum class OpenMode {
    Read,       // existing file, read only
    ReadWrite,  // existing file
    Create,     // create or truncate, read-write
    CreateNew,  // create; fail if it exists
};

class Env {
  public:
    virtual ~Env() = default;
    // Throws Error(Io / NotFound) when the file cannot be opened.
    virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
    virtual bool exists(const std::string& path) = 0;
    // Removing a missing file is not an error.
    virtual void remove(const std::string& path) = 0;
    // Atomically replaces `to` by `from`.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Makes directory entries (creations, renames, removals) in the folder of `path` durable.
    virtual void syncDirOf(const std::string& path) = 0;
    // Names in `dir` (no "." or ".."); used to find leftovers.
    virtual std::vector<std::string> list(const std::string& dir) = 0;
    // The stamp of the file the path names now; nullopt when there is none.
    virtual std::optional<FileStamp> stamp(const std::string& path);
    // This computer's name, as Jet writes it into lock files.
    virtual std::string computerName() { return "localhost"; }

    // The real file system.
    static Env& posix();
};

// An in-memory file system for tests and fuzzing. Files are byte vectors keyed by path.
class MemEnv : public Env {
  public:
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
    bool exists(const std::string& path) override;
    void remove(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    void syncDirOf(const std::string&) override {}
    std::vector<std::string> list(const std::string& dir) override;

    // Direct access for tests.
    std::shared_ptr<std::vector<uint8_t>> data(const std::string& path);
    void put(const std::string& path, std::vector<uint8_t> bytes);

  private:
    std::map<std::string, std::shared_ptr<std::vector<uint8_t>>> files_;
};

// A file that passes every call on to another. Tests and tools derive from it and override
// only what they watch or change (a fault, a count), as LevelDB's EnvWrapper does for its Env.
class FileWrapper : public File {
  public:
    explicit FileWrapper(std::unique_ptr<File> target) : target_(std::move(target)) {}
    uint64_t size() override { return target_->size(); }
    size_t read(uint64_t off, uint8_t* buf, size_t n) override {
        return target_->read(off, buf, n);
    }
    void write(uint64_t off, const uint8_t* buf, size_t n) override { target_->write(off, buf, n); }
    // A wrapper that watches write() should send this through File::writeParts too, so that it
    // sees every part.
    void writeParts(uint64_t off, const std::vector<std::span<const uint8_t>>& parts) override {
        target_->writeParts(off, parts);
    }
    void truncate(uint64_t size) override { target_->truncate(size); }
    void sync() override { target_->sync(); }
    bool tryLockExclusive() override { return target_->tryLockExclusive(); }
    bool tryLockRange(uint64_t off, uint64_t len, LockMode mode) override {
        return target_->tryLockRange(off, len, mode);
    }
    void unlockRange(uint64_t off, uint64_t len) override { target_->unlockRange(off, len); }
    bool rangeLockedElsewhere() override { return target_->rangeLockedElsewhere(); }
    FileStamp stamp() override { return target_->stamp(); }
    void touch(const FileStamp& before) override { target_->touch(before); }

  protected:
    File& target() { return *target_; }

  private:
    std::unique_ptr<File> target_;
};

// A file system that passes every call on to another (see FileWrapper).
class EnvWrapper : public Env {
  public:
    explicit EnvWrapper(Env& target) : target_(&target) {}
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
        return target_->open(path, mode);
    }
    bool exists(const std::string& path) override { return target_->exists(path); }
    void remove(const std::string& path) override { target_->remove(path); }
    void rename(const std::string& from, const std::string& to) override {
        target_->rename(from, to);
    }
    void syncDirOf(const std::string& path) override { target_->syncDirOf(path); }
    std::vector<std::string> list(const std::string& dir) override { return target_->list(dir); }
    std::optional<FileStamp> stamp(const std::string& path) override {
        return target_->stamp(path);
    }
    std::string computerName() override { return target_->computerName(); }

  protected:
    Env& target() { return *target_; }

  private:
    Env* target_;
};

// A file system that counts the syncs of files and of folders made through it: what a commit
// costs, for tests and benchmarks.
class SyncCountingEnv : public EnvWrapper {
  public:
    using EnvWrapper::EnvWrapper;
    int64_t fileSyncs = 0;
    int64_t dirSyncs = 0;
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
        return std::make_unique<Counted>(EnvWrapper::open(path, mode), fileSyncs);
    }
    void syncDirOf(const std::string& path) override {
        ++dirSyncs;
        EnvWrapper::syncDirOf(path);
    }

  private:
    class Counted : public FileWrapper {
      public:
        Counted(std::unique_ptr<File> f, int64_t& syncs)
            : FileWrapper(std::move(f)), syncs_(syncs) {}
        void sync() override {
            ++syncs_;
            FileWrapper::sync();
        }

      private:
        int64_t& syncs_;
    };
};

// Folder part of a path including the final separator, or "" when there is none.
std::string dirOf(const std::string& path);

}  // namespace jet
