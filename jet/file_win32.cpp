// The file layer on Windows. Paths arrive as UTF-8 and go to the wide (UTF-16) calls; long ones
// get the "\\?\" prefix. Files are opened with every share mode, so that other readers and
// writers, and renames and deletes of the name, are not refused while we hold a file open (as
// on POSIX). Syncs are FlushFileBuffers, the atomic replacement is MoveFileExW with write-through.
//
// Locks. Windows' byte-range locks are mandatory: while one handle holds a range, no other
// handle may read or write those bytes (a shared lock still lets others read). So every lock the
// engine takes lies where nobody reads or writes: the commit lock past 2^32 (a Jet file stops
// at 2 GiB), Jet's user bytes of the lock file at 0x10000001 and up (its records lie in the
// first kilobytes), and the whole-file lock below on one byte at 2^62. The POSIX behaviour of
// re-locking a held range (a change of mode) and of unlocking a span that covers several locks
// is kept here by remembering the ranges this handle holds.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "jet/error.h"
#include "jet/file.h"

namespace jet {

namespace {

// The byte that stands for the whole file in tryLockExclusive().
constexpr uint64_t kWholeFileByte = uint64_t(1) << 62;
// Where rangeLockedElsewhere() looks: from Jet's first lock byte up to the largest offset that
// the system's locks take. Below lie the bytes others read, which a probe must not lock even for
// a moment.
constexpr uint64_t kProbeStart = 0x10000000;
constexpr uint64_t kProbeEnd = (uint64_t(1) << 63) - 1;

// Windows 10's delete and rename with POSIX semantics (FILE_INFO_BY_HANDLE_CLASS values that
// the toolchain's headers hide behind a version test); older systems refuse them, and the plain
// calls follow.
constexpr auto kDispositionInfoEx = FILE_INFO_BY_HANDLE_CLASS(21);
constexpr auto kRenameInfoEx = FILE_INFO_BY_HANDLE_CLASS(22);

// 100-nanosecond ticks from 1601 to 1970.
constexpr int64_t kEpochTicks = 116444736000000000LL;

int errnoOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return EINVAL;
        default:
            return EIO;
    }
}

// The system's message language is the user's; the engine's messages are English, so the text
// comes from the POSIX error the code maps to, with the Windows code for whoever looks it up.
[[noreturn]] void ioError(const std::string& what, const std::string& path, DWORD code) {
    const int err = errnoOf(code);
    Error e(err == ENOENT ? ErrorKind::NotFound : ErrorKind::Io,
            what + " \"" + path + "\": " + std::strerror(err) + " (Windows error " +
                std::to_string(code) + ")");
    e.setSysError(err);
    throw e;
}

std::wstring widen(const std::string& s) {
    if (s.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), int(s.size()), nullptr, 0);
    if (n <= 0) throwError(ErrorKind::Io, "The path \"" + s + "\" is not valid UTF-8");
    std::wstring w(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), int(s.size()), w.data(), n);
    return w;
}

std::string narrow(const wchar_t* w, size_t len) {
    if (len == 0) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w, int(len), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(std::max(n, 0)), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, w, int(len), s.data(), n, nullptr, nullptr);
    return s;
}

// The absolute form of a path (ReplaceFileW wants one).
std::wstring fullPath(const std::wstring& p) {
    const DWORD n = ::GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
    if (n == 0) return p;
    std::wstring full(n, L'\0');
    const DWORD got = ::GetFullPathNameW(p.c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return p;
    full.resize(got);
    return full;
}

// The path as the wide calls take it. Past MAX_PATH only the "\\?\" form works; that form is
// taken literally (no '/', no "." or ".." parts), so it is built from the full path, which
// GetFullPathNameW normalises.
std::wstring sysPath(const std::string& path) {
    std::wstring w = widen(path);
    // CreateDirectory's limit is 12 below MAX_PATH: stay clear of both.
    if (w.size() < MAX_PATH - 12 || w.rfind(L"\\\\?\\", 0) == 0) return w;
    const std::wstring full = fullPath(w);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

FileStamp stampOf(const BY_HANDLE_FILE_INFORMATION& info) {
    FileStamp s;
    s.device = info.dwVolumeSerialNumber;
    s.inode = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const int64_t ticks = int64_t((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                  info.ftLastWriteTime.dwLowDateTime);
    s.modifiedNs = (ticks - kEpochTicks) * 100;
    return s;
}

OVERLAPPED at(uint64_t off) {
    OVERLAPPED ov{};
    ov.Offset = DWORD(off);
    ov.OffsetHigh = DWORD(off >> 32);
    return ov;
}

class Win32File : public File {
  public:
    Win32File(HANDLE h, std::string path, bool writable)
        : h_(h), path_(std::move(path)), writable_(writable) {}
    ~Win32File() override {
        // Closing the handle releases its locks.
        ::CloseHandle(h_);
    }

    uint64_t size() override {
        LARGE_INTEGER n;
        if (!::GetFileSizeEx(h_, &n)) ioError("Cannot read the size of", path_, ::GetLastError());
        return uint64_t(n.QuadPart);
    }
    size_t read(uint64_t off, uint8_t* buf, size_t n) override {
        size_t done = 0;
        while (done < n) {
            const DWORD want = DWORD(std::min<size_t>(n - done, size_t(1) << 30));
            OVERLAPPED ov = at(off + done);
            DWORD got = 0;
            if (!::ReadFile(h_, buf + done, want, &got, &ov)) {
                const DWORD code = ::GetLastError();
                if (code == ERROR_HANDLE_EOF) break;
                ioError("Cannot read", path_, code);
            }
            if (got == 0) break;
            done += got;
        }
        return done;
    }
    void write(uint64_t off, const uint8_t* buf, size_t n) override {
        size_t done = 0;
        while (done < n) {
            const DWORD want = DWORD(std::min<size_t>(n - done, size_t(1) << 30));
            OVERLAPPED ov = at(off + done);
            DWORD put = 0;
            if (!::WriteFile(h_, buf + done, want, &put, &ov))
                ioError("Cannot write", path_, ::GetLastError());
            if (put == 0) ioError("Cannot write", path_, ERROR_WRITE_FAULT);
            done += put;
        }
    }
    void truncate(uint64_t size) override {
        FILE_END_OF_FILE_INFO info{};
        info.EndOfFile.QuadPart = LONGLONG(size);
        if (!::SetFileInformationByHandle(h_, FileEndOfFileInfo, &info, sizeof info))
            ioError("Cannot resize", path_, ::GetLastError());
    }
    void sync() override {
        // A handle open for reading has nothing of ours to flush (and Windows refuses it).
        if (!writable_) return;
        if (!::FlushFileBuffers(h_)) ioError("Cannot flush", path_, ::GetLastError());
    }
    bool tryLockExclusive() override {
        return tryLockRange(kWholeFileByte, 1, LockMode::Exclusive);
    }
    bool tryLockRange(uint64_t off, uint64_t len, LockMode mode) override {
        auto it = std::find_if(held_.begin(), held_.end(),
                               [&](const Held& h) { return h.off == off && h.len == len; });
        if (it != held_.end()) {
            if (it->mode == mode) return true;
            if (mode == LockMode::Shared) {
                // Down: a shared lock may lie over this handle's own exclusive one, and the
                // first unlock of a doubly locked range drops the exclusive one.
                if (!lock(off, len, LockMode::Shared)) return false;
                unlock(off, len);
                it->mode = LockMode::Shared;
                return true;
            }
            // Up: an exclusive lock may not lie over any lock, our own included.
            unlock(off, len);
            if (lock(off, len, LockMode::Exclusive)) {
                it->mode = LockMode::Exclusive;
                return true;
            }
            if (!lock(off, len, LockMode::Shared)) held_.erase(it);
            return false;
        }
        if (!lock(off, len, mode)) return false;
        held_.push_back({off, len, mode});
        return true;
    }
    void unlockRange(uint64_t off, uint64_t len) override {
        const uint64_t end = off + len;
        for (auto it = held_.begin(); it != held_.end();) {
            if (it->off >= off && it->off + it->len <= end) {
                unlock(it->off, it->len);
                it = held_.erase(it);
            } else {
                ++it;
            }
        }
    }
    bool rangeLockedElsewhere() override {
        // Whether an exclusive lock fits everywhere in the probed span but on the ranges this
        // handle holds (and on the whole-file byte, which other handles' flock stands for):
        // any lock of another handle makes one of the probes fail.
        std::vector<std::pair<uint64_t, uint64_t>> mine{{kWholeFileByte, 1}};
        for (const Held& h : held_) mine.emplace_back(h.off, h.len);
        std::sort(mine.begin(), mine.end());
        uint64_t from = kProbeStart;
        auto probe = [&](uint64_t to) {
            if (to <= from) return false;
            if (!lock(from, to - from, LockMode::Exclusive)) return true;
            unlock(from, to - from);
            return false;
        };
        for (const auto& [off, len] : mine) {
            if (off + len <= from) continue;
            if (probe(std::min(off, kProbeEnd))) return true;
            from = std::max(from, off + len);
        }
        return probe(kProbeEnd);
    }
    FileStamp stamp() override {
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(h_, &info))
            ioError("Cannot read the state of", path_, ::GetLastError());
        return stampOf(info);
    }
    void touch(const FileStamp& before) override {
        try {
            FileStamp now = stamp();
            if (!now.sameFile(before) || now.size != before.size ||
                now.modifiedNs > before.modifiedNs)
                return;
            // The write fell in the same clock tick as the one before it: move the time on by
            // one tick of the file system's clock.
            const int64_t ticks = before.modifiedNs / 100 + kEpochTicks + 1;
            FILETIME ft;
            ft.dwLowDateTime = DWORD(uint64_t(ticks));
            ft.dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
            ::SetFileTime(h_, nullptr, nullptr, &ft);
        } catch (const Error&) {
        }
    }

  private:
    struct Held {
        uint64_t off, len;
        LockMode mode;
    };

    // One LockFileEx, failing at once when another handle is in the way. A file system without
    // byte-range locks lets nobody hold one, so that counts as taken.
    bool lock(uint64_t off, uint64_t len, LockMode mode) {
        OVERLAPPED ov = at(off);
        DWORD flags = LOCKFILE_FAIL_IMMEDIATELY;
        if (mode == LockMode::Exclusive) flags |= LOCKFILE_EXCLUSIVE_LOCK;
        if (::LockFileEx(h_, flags, 0, DWORD(len), DWORD(len >> 32), &ov)) return true;
        const DWORD code = ::GetLastError();
        if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return false;
        if (code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION) return true;
        ioError("Cannot lock", path_, code);
    }
    void unlock(uint64_t off, uint64_t len) {
        OVERLAPPED ov = at(off);
        ::UnlockFileEx(h_, 0, DWORD(len), DWORD(len >> 32), &ov);
    }

    HANDLE h_;
    std::string path_;
    bool writable_;
    std::vector<Held> held_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool isFolder(const std::wstring& p) {
    const DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

class Win32Env : public Env {
  public:
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
        const std::wstring p = sysPath(path);
        DWORD access = GENERIC_READ;
        DWORD disposition = OPEN_EXISTING;
        switch (mode) {
            case OpenMode::Read:
                break;
            case OpenMode::ReadWrite:
                access |= GENERIC_WRITE;
                break;
            case OpenMode::Create:
                access |= GENERIC_WRITE;
                disposition = CREATE_ALWAYS;
                break;
            case OpenMode::CreateNew:
                access |= GENERIC_WRITE;
                disposition = CREATE_NEW;
                break;
        }
        HANDLE h = ::CreateFileW(p.c_str(), access, kShareAll, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (isFolder(p)) throwError(ErrorKind::Io, "\"" + path + "\" is not a regular file");
            ioError("Cannot open file", path, code);
        }
        if (::GetFileType(h) != FILE_TYPE_DISK) {
            ::CloseHandle(h);
            throwError(ErrorKind::Io, "\"" + path + "\" is not a regular file");
        }
        return std::make_unique<Win32File>(h, path, mode != OpenMode::Read);
    }
    bool exists(const std::string& path) override {
        return ::GetFileAttributesW(sysPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    void remove(const std::string& path) override {
        const std::wstring p = sysPath(path);
        // With POSIX semantics (Windows 10 and later) the name goes at once, even while others
        // hold the file open, as unlink does; a plain delete leaves it until the last handle
        // closes, and a new file of that name cannot be made meanwhile.
        HANDLE h =
            ::CreateFileW(p.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return;
        } else {
            FILE_DISPOSITION_INFO_EX info{};
            info.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                         FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;
            const bool done =
                ::SetFileInformationByHandle(h, kDispositionInfoEx, &info, sizeof info);
            ::CloseHandle(h);
            if (done) return;
        }
        if (::DeleteFileW(p.c_str())) return;
        DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return;
        // Unlink ignores a file's own read-only flag (the folder decides); so do we.
        const DWORD attrs = ::GetFileAttributesW(p.c_str());
        if (code == ERROR_ACCESS_DENIED && attrs != INVALID_FILE_ATTRIBUTES &&
            (attrs & FILE_ATTRIBUTE_READONLY) && !(attrs & FILE_ATTRIBUTE_DIRECTORY) &&
            ::SetFileAttributesW(p.c_str(), attrs & ~DWORD(FILE_ATTRIBUTE_READONLY))) {
            if (::DeleteFileW(p.c_str())) return;
            code = ::GetLastError();
            ::SetFileAttributesW(p.c_str(), attrs);
        }
        ioError("Cannot delete", path, code);
    }
    void rename(const std::string& from, const std::string& to) override {
        const std::wstring f = sysPath(from), t = sysPath(to);
        if (::MoveFileExW(f.c_str(), t.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        const DWORD code = ::GetLastError();
        // The classic rules refuse to replace a file that someone holds open (a reader, or the
        // compaction that holds its source until the rename). A rename with POSIX semantics
        // (Windows 10 and later, on NTFS) replaces it as rename() does; elsewhere ReplaceFileW
        // does, as those handles let the file be renamed (FILE_SHARE_DELETE): it moves the old
        // file aside, where they keep reading it, and removes it when they close.
        if (code == ERROR_ACCESS_DENIED &&
            (renamePosix(f, t) ||
             ::ReplaceFileW(fullPath(t).c_str(), fullPath(f).c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)))
            return;
        ioError("Cannot rename \"" + from + "\" to", to, code);
    }
    void syncDirOf(const std::string&) override {
        // Windows offers no flush of a folder's entries. NTFS logs its changes to them in its
        // journal, and renames ask for write-through (MOVEFILE_WRITE_THROUGH).
    }
    std::optional<FileStamp> stamp(const std::string& path) override {
        HANDLE h = ::CreateFileW(sysPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return std::nullopt;
            ioError("Cannot read the state of", path, code);
        }
        BY_HANDLE_FILE_INFORMATION info;
        const bool ok = ::GetFileInformationByHandle(h, &info);
        const DWORD code = ::GetLastError();
        ::CloseHandle(h);
        if (!ok) ioError("Cannot read the state of", path, code);
        return stampOf(info);
    }
    std::string computerName() override {
        wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
        if (!::GetComputerNameW(buf, &n) || n == 0) return "localhost";
        return narrow(buf, n);
    }
    std::vector<std::string> list(const std::string& dir) override {
        std::string pattern = dir.empty() ? std::string(".") : dir;
        if (pattern.find_last_of(kPathSeparators) != pattern.size() - 1) pattern += '\\';
        pattern += '*';
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileExW(sysPath(pattern).c_str(), FindExInfoBasic, &fd,
                                      FindExSearchNameMatch, nullptr, 0);
        std::vector<std::string> out;
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_NOT_FOUND) return out;  // an empty folder (no "." at a root)
            ioError("Cannot list folder", dir, code);
        }
        do {
            std::string n = narrow(fd.cFileName, std::wcslen(fd.cFileName));
            if (n != "." && n != "..") out.push_back(std::move(n));
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
        return out;
    }

  private:
    static bool renamePosix(const std::wstring& from, const std::wstring& to) {
        HANDLE h = ::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        std::vector<uint8_t> buf(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
        info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
        info->RootDirectory = nullptr;
        info->FileNameLength = DWORD(to.size() * sizeof(wchar_t));
        std::memcpy(info->FileName, to.data(), to.size() * sizeof(wchar_t));
        const bool ok = ::SetFileInformationByHandle(h, kRenameInfoEx, info, DWORD(buf.size()));
        ::CloseHandle(h);
        return ok;
    }
};

}  // namespace

Env& Env::posix() {
    static Win32Env env;
    return env;
}

}  // namespace jet
