// POSIX and in-memory implementations of the file layer.
#include "jet/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "jet/error.h"

namespace jet {

namespace {

[[noreturn]] void ioError(const std::string& what, const std::string& path, int err) {
    throwError(err == ENOENT ? ErrorKind::NotFound : ErrorKind::Io,
               what + " \"" + path + "\": " + std::strerror(err));
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

  private:
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

class MemFile : public File {
  public:
    explicit MemFile(std::shared_ptr<std::vector<uint8_t>> d, bool writable)
        : d_(std::move(d)), writable_(writable) {}
    uint64_t size() override { return d_->size(); }
    size_t read(uint64_t off, uint8_t* buf, size_t n) override {
        if (off >= d_->size()) return 0;
        size_t k = std::min<uint64_t>(n, d_->size() - off);
        std::memcpy(buf, d_->data() + off, k);
        return k;
    }
    void write(uint64_t off, const uint8_t* buf, size_t n) override {
        if (!writable_) throwError(ErrorKind::Io, "Cannot write a file opened for reading");
        if (off + n > d_->size()) d_->resize(off + n);
        std::memcpy(d_->data() + off, buf, n);
    }
    void truncate(uint64_t size) override { d_->resize(size); }
    void sync() override {}

  private:
    std::shared_ptr<std::vector<uint8_t>> d_;
    bool writable_;
};

}  // namespace

Env& Env::posix() {
    static PosixEnv env;
    return env;
}

std::string dirOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::unique_ptr<File> MemEnv::open(const std::string& path, OpenMode mode) {
    auto it = files_.find(path);
    switch (mode) {
        case OpenMode::Read:
        case OpenMode::ReadWrite:
            if (it == files_.end()) ioError("Cannot open file", path, ENOENT);
            return std::make_unique<MemFile>(it->second, mode == OpenMode::ReadWrite);
        case OpenMode::CreateNew:
            if (it != files_.end()) ioError("Cannot create file", path, EEXIST);
            [[fallthrough]];
        case OpenMode::Create: {
            auto d = std::make_shared<std::vector<uint8_t>>();
            files_[path] = d;
            return std::make_unique<MemFile>(d, true);
        }
    }
    return nullptr;
}
bool MemEnv::exists(const std::string& path) {
    return files_.count(path) != 0;
}
void MemEnv::remove(const std::string& path) {
    files_.erase(path);
}
void MemEnv::rename(const std::string& from, const std::string& to) {
    auto it = files_.find(from);
    if (it == files_.end()) ioError("Cannot rename", from, ENOENT);
    files_[to] = it->second;
    files_.erase(from);
}
std::vector<std::string> MemEnv::list(const std::string& dir) {
    std::vector<std::string> out;
    for (auto& [p, d] : files_)
        if (dirOf(p) == dir) out.push_back(p.substr(dir.size()));
    return out;
}
std::shared_ptr<std::vector<uint8_t>> MemEnv::data(const std::string& path) {
    auto it = files_.find(path);
    return it == files_.end() ? nullptr : it->second;
}
void MemEnv::put(const std::string& path, std::vector<uint8_t> bytes) {
    files_[path] = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
}

}  // namespace jet
