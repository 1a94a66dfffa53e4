// The file layer on POSIX systems: pread/pwrite, fsync, rename, flock for whole-file locks and
// open-file-description locks for byte ranges.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "jet/error.h"
#include "jet/file.h"

namespace jet {

namespace {

[[noreturn]] void ioError(const std::string& what, const std::string& path, int err) {
    Error e(err == ENOENT ? ErrorKind::NotFound : ErrorKind::Io,
            what + " \"" + path + "\": " + std::strerror(err));
    e.setSysError(err);
    throw e;
}

bool locksUnsupported(int err) {
    return err == EINVAL || err == ENOLCK || err == EOPNOTSUPP || err == ENOSYS;
}

FileStamp stampOf(const struct stat& st) {
    FileStamp s;
    s.device = uint64_t(st.st_dev);
    s.inode = uint64_t(st.st_ino);
    s.size = uint64_t(st.st_size);
    s.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

class PosixFile : public File {
  public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override { ::close(fd_); }

    uint64_t size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) ioError("Cannot read the size of", path_, errno);
        return uint64_t(st.st_size);
    }
    size_t read(uint64_t off, uint8_t* buf, size_t n) override {
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(fd_, buf + done, n - done, off_t(off + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                ioError("Cannot read", path_, errno);
            }
            if (r == 0) break;
            done += size_t(r);
        }
        return done;
    }
    void write(uint64_t off, const uint8_t* buf, size_t n) override {
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pwrite(fd_, buf + done, n - done, off_t(off + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                ioError("Cannot write", path_, errno);
            }
            done += size_t(r);
        }
    }
    void writeParts(uint64_t off, const std::vector<std::span<const uint8_t>>& parts) override {
        std::vector<iovec> iov;
        iov.reserve(parts.size());
        for (const auto& p : parts)
            if (!p.empty()) iov.push_back({const_cast<uint8_t*>(p.data()), p.size()});
        size_t first = 0;
        while (first < iov.size()) {
            const int count = int(std::min<size_t>(iov.size() - first, IOV_MAX));
            ssize_t r = ::pwritev(fd_, iov.data() + first, count, off_t(off));
            if (r < 0) {
                if (errno == EINTR) continue;
                ioError("Cannot write", path_, errno);
            }
            // A short write: skip what was written and go on with the rest.
            off += uint64_t(r);
            size_t done = size_t(r);
            while (first < iov.size() && done >= iov[first].iov_len) done -= iov[first++].iov_len;
            if (first < iov.size()) {
                iov[first].iov_base = static_cast<uint8_t*>(iov[first].iov_base) + done;
                iov[first].iov_len -= done;
            }
        }
    }
    void truncate(uint64_t size) override {
        if (::ftruncate(fd_, off_t(size)) != 0) ioError("Cannot resize", path_, errno);
    }
    void sync() override {
        if (::fsync(fd_) != 0) ioError("Cannot flush", path_, errno);
    }
    bool tryLockExclusive() override {
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno == EWOULDBLOCK) return false;
            ioError("Cannot lock", path_, errno);
        }
        return true;
    }
    bool tryLockRange(uint64_t off, uint64_t len, LockMode mode) override {
        struct flock fl = range(mode == LockMode::Shared ? F_RDLCK : F_WRLCK, off, len);
        while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EACCES) return false;
            // A file system without byte-range locks: nobody else can hold one either.
            if (locksUnsupported(errno)) return true;
            ioError("Cannot lock", path_, errno);
        }
        return true;
    }
    void unlockRange(uint64_t off, uint64_t len) override {
        struct flock fl = range(F_UNLCK, off, len);
        while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {
        }
    }
    bool rangeLockedElsewhere() override {
        // Asks whether a write lock on the whole file (and beyond) could be placed: any lock
        // another handle holds says no.
        struct flock fl = range(F_WRLCK, 0, 0);
        while (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) {
            if (errno == EINTR) continue;
            if (locksUnsupported(errno)) return false;
            ioError("Cannot query the locks of", path_, errno);
        }
        return fl.l_type != F_UNLCK;
    }
    FileStamp stamp() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) ioError("Cannot read the state of", path_, errno);
        return stampOf(st);
    }
    void touch(const FileStamp& before) override {
        try {
            FileStamp now = stamp();
            if (!now.sameFile(before) || now.size != before.size ||
                now.modifiedNs > before.modifiedNs)
                return;
            // The write fell in the same clock tick as the one before it. Setting a time needs
            // the file's owner; anyone who may write it can set "now", which moves on with the
            // next tick.
            const int64_t want = before.modifiedNs + 1000;
            struct timespec ts[2];
            ts[0].tv_sec = 0;
            ts[0].tv_nsec = UTIME_OMIT;
            ts[1].tv_sec = time_t(want / 1000000000);
            ts[1].tv_nsec = long(want % 1000000000);
            if (::futimens(fd_, ts) == 0 && stamp().modifiedNs > before.modifiedNs) return;
            for (int i = 0; i < 100; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (::futimens(fd_, nullptr) != 0) return;
                if (stamp().modifiedNs > before.modifiedNs) return;
            }
        } catch (const Error&) {
        }
    }

  private:
    static struct flock range(short type, uint64_t off, uint64_t len) {
        struct flock fl;
        std::memset(&fl, 0, sizeof fl);
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        fl.l_start = off_t(off);
        fl.l_len = off_t(len);
        return fl;
    }

    int fd_;
    std::string path_;
};

class PosixEnv : public Env {
  public:
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
        int flags = O_CLOEXEC;
        switch (mode) {
            case OpenMode::Read:
                flags |= O_RDONLY;
                break;
            case OpenMode::ReadWrite:
                flags |= O_RDWR;
                break;
            case OpenMode::Create:
                flags |= O_RDWR | O_CREAT | O_TRUNC;
                break;
            case OpenMode::CreateNew:
                flags |= O_RDWR | O_CREAT | O_EXCL;
                break;
        }
        int fd = ::open(path.c_str(), flags, 0666);
        if (fd < 0) ioError("Cannot open file", path, errno);
        struct stat st;
        if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
            ::close(fd);
            throwError(ErrorKind::Io, "\"" + path + "\" is not a regular file");
        }
        return std::make_unique<PosixFile>(fd, path);
    }
    bool exists(const std::string& path) override {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0;
    }
    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) ioError("Cannot delete", path, errno);
    }
    void rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            ioError("Cannot rename \"" + from + "\" to", to, errno);
    }
    void syncDirOf(const std::string& path) override {
        const std::string folder = dirOf(path);
        const std::string dir = folder.empty() ? std::string(".") : folder;
        int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) ioError("Cannot open folder", dir, errno);
        int rc = ::fsync(fd);
        int err = errno;
        ::close(fd);
        // Some file systems do not support syncing a directory; that is not fatal.
        if (rc != 0 && err != EINVAL && err != EROFS) ioError("Cannot flush folder", dir, err);
    }
    std::optional<FileStamp> stamp(const std::string& path) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) return std::nullopt;
            ioError("Cannot read the state of", path, errno);
        }
        return stampOf(st);
    }
    std::string computerName() override {
        char buf[256] = {};
        if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "localhost";
        return buf;
    }
    std::vector<std::string> list(const std::string& dir) override {
        std::vector<std::string> out;
        DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
        if (!d) ioError("Cannot list folder", dir, errno);
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") out.push_back(n);
        }
        ::closedir(d);
        return out;
    }
};

}  // namespace

Env& Env::posix() {
    static PosixEnv env;
    return env;
}

}  // namespace jet
