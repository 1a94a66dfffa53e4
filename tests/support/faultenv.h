// File systems that misbehave on purpose, for the crash and fault tests.
//
// FaultEnv wraps the real file system and makes every write and sync fail from the n-th one on
// (a full or failing disk). CrashEnv keeps files in memory and remembers which writes were not
// yet synced; crash() throws those away (all of them or a random part), as a power loss would,
// and directory changes are lost unless the folder was synced.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "jet/file.h"

namespace zntest {

class FaultEnv : public jet::EnvWrapper {
  public:
    // Writes, truncations and syncs are numbered from 1. Operation `failAt` fails (0: none);
    // when `lasting`, every later one fails too, as on a full disk.
    explicit FaultEnv(int failAt, bool lasting = true)
        : EnvWrapper(jet::Env::posix()), failFrom_(failAt), lasting_(lasting) {}
    std::unique_ptr<jet::File> open(const std::string& path, jet::OpenMode mode) override;
    void syncDirOf(const std::string& path) override;

    int operations() const { return count_; }
    // Called with each operation's number before it runs (a test can end the process there).
    std::function<void(int)> onStep;
    // Called by files before each write or sync.
    void step();

  private:
    int failFrom_;
    bool lasting_;
    int count_ = 0;
};

class CrashEnv : public jet::Env {
  public:
    explicit CrashEnv(uint32_t seed) : rng_(seed) {}
    std::unique_ptr<jet::File> open(const std::string& path, jet::OpenMode mode) override;
    bool exists(const std::string& path) override;
    void remove(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    void syncDirOf(const std::string& path) override;
    std::vector<std::string> list(const std::string& dir) override;

    // The power goes at this moment: from now on every write, truncation, sync, rename and
    // removal of this file system is dropped without a word, so whatever the process still does
    // (rolling back, cleaning up) reaches no disk. crash() brings the power back.
    void die() { *dead_ = true; }
    // A power loss: unsynced writes vanish (each with probability `loss`, so some survive in
    // any order), and so do directory changes made since the folder was last synced.
    void crash(double loss);
    void put(const std::string& path, std::vector<uint8_t> bytes);

    struct FileState {
        std::vector<uint8_t> durable;  // what survives a crash
        std::vector<uint8_t> current;  // what a reader sees now
        struct Write {
            uint64_t off;
            std::vector<uint8_t> bytes;
            bool truncate = false;  // cut the file at `off` (bytes empty)
        };
        std::vector<Write> pending;
    };

  private:
    friend class CrashFile;
    std::map<std::string, std::shared_ptr<FileState>> files_;  // what the folder shows now
    std::map<std::string, std::shared_ptr<FileState>>
        durable_;  // what the folder held at its last sync
    std::mt19937 rng_;
    std::shared_ptr<bool> dead_ = std::make_shared<bool>(false);  // shared with the open files
};

}  // namespace zntest
