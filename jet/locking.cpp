// The commit lock and the Jet lock file.
#include "jet/locking.h"

#include <algorithm>
#include <thread>

#include "jet/error.h"

namespace jet {

namespace {

using Clock = std::chrono::steady_clock;

// How long a writer lets waiting readers go first.
constexpr Millis kReaderTurn(200);

// Polls `attempt` until it succeeds or `wait` has passed; returns whether it succeeded.
template <class F>
bool retryFor(Millis wait, F attempt) {
    const auto deadline = Clock::now() + wait;
    Millis pause(1);
    for (;;) {
        if (attempt()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, Millis(2));
    }
}

std::string seconds(Millis m) {
    const auto tenths = (m.count() + 50) / 100;
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") +
           " s";
}

}  // namespace

void lockForReading(File& f, Millis wait, const std::string& path) {
    bool waiting = false;
    const bool ok = retryFor(wait, [&] {
        // A writer waiting for the commit lock holds the pending byte: wait behind it.
        if (f.tryLockRange(lockbytes::kPending, 1, LockMode::Shared)) {
            const bool got = f.tryLockRange(lockbytes::kShared, 1, LockMode::Shared);
            f.unlockRange(lockbytes::kPending, 1);
            if (got) return true;
        }
        // Tell the writer we are here, so that it lets us in between its commits.
        if (!waiting) waiting = f.tryLockRange(lockbytes::kWaiting, 1, LockMode::Shared);
        return false;
    });
    if (waiting) f.unlockRange(lockbytes::kWaiting, 1);
    if (!ok)
        throwError(ErrorKind::InUse, "The database \"" + path +
                                         "\" is being written by another program (waited " +
                                         seconds(wait) + "); try again in a moment");
}

void lockForWriting(File& f, Millis wait, const std::string& path) {
    const auto start = Clock::now();
    auto left = [&] {
        return std::max(Millis(0), wait - std::chrono::duration_cast<Millis>(Clock::now() - start));
    };
    // Readers that waited through our last commit go first, for a moment at most.
    retryFor(std::min(wait, kReaderTurn), [&] {
        if (!f.tryLockRange(lockbytes::kWaiting, 1, LockMode::Exclusive)) return false;
        f.unlockRange(lockbytes::kWaiting, 1);
        return true;
    });
    bool ok = retryFor(left(),
                       [&] { return f.tryLockRange(lockbytes::kPending, 1, LockMode::Exclusive); });
    if (ok) {
        ok = retryFor(left(),
                      [&] { return f.tryLockRange(lockbytes::kShared, 1, LockMode::Exclusive); });
        if (!ok) f.unlockRange(lockbytes::kPending, 1);
    }
    if (!ok)
        throwError(ErrorKind::InUse, "The database \"" + path +
                                         "\" is in use: another program kept reading it for " +
                                         seconds(wait) + "; try again in a moment");
}

void unlockCommit(File& f) {
    f.unlockRange(lockbytes::kPending, 3);
}

void WriteLock::acquire() {
    lockForWriting(f_, wait_, path_);
    held_ = true;
    try {
        before_ = f_.stamp();
    } catch (...) {
        held_ = false;
        unlockCommit(f_);
        throw;
    }
}

WriteLock::~WriteLock() {
    if (!held_) return;
    f_.touch(before_);
    unlockCommit(f_);
}

// ---------------------------------------------------------------------------------------------
// The lock file

const char* const kLockFileUser = "Znatokar";

std::string lockFilePath(const std::string& path) {
    auto slash = path.find_last_of(kPathSeparators);
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".ldb";
    return path.substr(0, dot) + ".ldb";
}

namespace {

constexpr size_t kNameField = 32;
constexpr size_t kMaxRecords = 255;  // Jet's limit of users

std::string field(const uint8_t* p) {
    size_t n = 0;
    while (n < kNameField && p[n]) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

void putField(uint8_t* p, const std::string& s) {
    std::copy_n(s.begin(), std::min(s.size(), kNameField - 1), p);
}

std::vector<uint8_t> readAll(File& f) {
    std::vector<uint8_t> b(size_t(std::min<uint64_t>(f.size(), kMaxRecords * kLockRecordSize)));
    b.resize(f.read(0, b.data(), b.size()));
    return b;
}

// Why the lock file `f` held by someone means the database cannot be written.
LockFile::Result heldBy(File* f, bool wholeFileLock, const std::string& ldb) {
    std::vector<LockFileRecord> recs;
    if (f) {
        try {
            recs = parseLockFile(readAll(*f));
        } catch (const Error&) {
        }
    }
    bool ours = false, others = false;
    std::string who;
    for (auto& r : recs) {
        (r.user == kLockFileUser ? ours : others) = true;
        if (!who.empty()) who += ", ";
        who += r.user.empty() ? r.computer : r.user + " on " + r.computer;
    }
    LockFile::Result res;
    if (!others && (ours || wholeFileLock)) {
        res.cause = ReadOnlyCause::InUseByThisProgram;
        res.why = "it is open for writing in another copy of this program";
        std::string computers;
        for (auto& r : recs)
            if (!r.computer.empty()) computers += (computers.empty() ? "" : ", ") + r.computer;
        if (!computers.empty()) res.why += " on " + computers;
    } else {
        res.cause = ReadOnlyCause::InUseByOtherProgram;
        res.why = "it is open in Access or another Jet program";
        if (!who.empty()) res.why += " (" + who + ")";
    }
    res.why += "; its lock file \"" + ldb + "\" is held";
    return res;
}

LockFile::Result folderReadOnly(const std::string& ldb, const Error& e) {
    LockFile::Result res;
    res.cause = ReadOnlyCause::FolderReadOnly;
    res.why = "its folder does not allow creating the lock file \"" + ldb + "\" and the journal (" +
              e.what() + ")";
    return res;
}

}  // namespace

std::vector<LockFileRecord> parseLockFile(const std::vector<uint8_t>& bytes) {
    std::vector<LockFileRecord> out;
    for (size_t at = 0; at + kLockRecordSize <= bytes.size() && out.size() < kMaxRecords;
         at += kLockRecordSize) {
        LockFileRecord r{field(bytes.data() + at), field(bytes.data() + at + kNameField)};
        if (!r.computer.empty() || !r.user.empty()) out.push_back(std::move(r));
    }
    return out;
}

LockFile::Result LockFile::acquire(Env& env, const std::string& dbPath) {
    const std::string ldb = lockFilePath(dbPath);
    // A few rounds: the file can vanish or be replaced between our open and our lock, when its
    // owner closes or another program takes it over at the same moment.
    for (int round = 0; round < 50; ++round) {
        std::unique_ptr<File> f;
        try {
            f = env.open(ldb, OpenMode::CreateNew);
        } catch (const Error& e) {
            if (!env.exists(ldb)) {
                if (e.permissionDenied()) return folderReadOnly(ldb, e);
                throw;
            }
        }
        const bool created = f != nullptr;
        if (!f) {
            try {
                f = env.open(ldb, OpenMode::ReadWrite);
            } catch (const Error& e) {
                if (e.kind() == ErrorKind::NotFound) continue;  // just removed
                if (!e.permissionDenied()) throw;
                // Someone else's, and we may not write it: in use if held, else stale.
                try {
                    f = env.open(ldb, OpenMode::Read);
                } catch (const Error& e2) {
                    if (e2.kind() == ErrorKind::NotFound) continue;
                    throw;
                }
                if (f->rangeLockedElsewhere() || !f->tryLockExclusive())
                    return heldBy(f.get(), false, ldb);
                try {
                    env.remove(ldb);
                } catch (const Error& e3) {
                    if (e3.permissionDenied()) return folderReadOnly(ldb, e3);
                    throw;
                }
                continue;
            }
        }
        if (!f->tryLockExclusive()) return heldBy(f.get(), true, ldb);
        if (f->rangeLockedElsewhere()) return heldBy(f.get(), false, ldb);
        // The name may have been removed (its owner closed) or given to a new file since we
        // opened it.
        auto now = env.stamp(ldb);
        if (!now || !now->sameFile(f->stamp())) continue;
        if (!created) {
            // Stale: the program that made it has ended. Make a fresh one, which also shows
            // that the folder lets us create files (the journal needs that).
            try {
                env.remove(ldb);
            } catch (const Error& e) {
                if (e.permissionDenied()) return folderReadOnly(ldb, e);
                throw;
            }
            continue;
        }
        // Jet marks the users of a lock file with locks on their slots' bytes.
        if (!f->tryLockRange(lockbytes::kJetUserSlot, 1, LockMode::Exclusive))
            return heldBy(f.get(), false, ldb);
        std::unique_ptr<LockFile> lock(new LockFile(env, ldb, std::move(f)));
        // The record only informs people and other programs; failing to write it is no reason
        // to refuse the database.
        try {
            uint8_t rec[kLockRecordSize] = {};
            putField(rec, env.computerName());
            putField(rec + kNameField, kLockFileUser);
            lock->f_->write(0, rec, sizeof rec);
        } catch (const Error&) {
        }
        Result res;
        res.lock = std::move(lock);
        return res;
    }
    throwError(ErrorKind::InUse, "Cannot take the lock file \"" + ldb +
                                     "\": other programs keep creating and removing it");
}

LockFile::~LockFile() {
    try {
        auto now = env_.stamp(path_);
        // Another Jet program may have opened the database beside us (it holds its user's byte
        // of the lock file): the file is theirs to remove then, and only our record goes.
        if (now && now->sameFile(f_->stamp())) {
            if (!f_->rangeLockedElsewhere()) {
                env_.remove(path_);
            } else {
                const uint8_t none[kLockRecordSize] = {};
                f_->write(0, none, sizeof none);
            }
        }
    } catch (const Error&) {
    }
    f_.reset();
}

}  // namespace jet
