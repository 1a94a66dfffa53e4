// The only layer that touches the operating system: files and the few directory operations the
// engine needs (journal beside the database, rename for compaction). Env is an interface so
// tests can plug in an in-memory or fault-injecting implementation.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace jet {

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
    // Takes an exclusive advisory lock for the life of this handle; false when another
    // handle (in any process) holds it.
    virtual bool tryLockExclusive() { return true; }
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

// Folder part of a path including the final separator, or "" when there is none.
std::string dirOf(const std::string& path);

}  // namespace jet
