// Whole-file copies with POSIX calls (the engine's Env has no copy, and these files are not
// databases being written).
#include "store/filecopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "jet/error.h"

namespace zn {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path) {
    const int err = errno;
    jet::Error e(err == ENOENT ? jet::ErrorKind::NotFound : jet::ErrorKind::Io,
                 what + " \"" + path + "\": " + std::strerror(err));
    e.setSysError(err);
    throw e;
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes all `n` bytes at `off` (positioned writes: the copy never depends on a file offset).
void writeAt(int fd, const char* data, size_t n, off_t off, const std::string& path) {
    for (size_t done = 0; done < n;) {
        const ssize_t put = ::pwrite(fd, data + done, n - done, off + off_t(done));
        if (put < 0) {
            if (errno == EINTR) continue;
            fail("Cannot write", path);
        }
        done += size_t(put);
    }
}

// Reads up to `n` bytes; fewer only at the end of the file.
size_t readSome(int fd, char* data, size_t n, const std::string& path) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, data + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            fail("Cannot read", path);
        }
        if (r == 0) break;
        got += size_t(r);
    }
    return got;
}

}  // namespace

void syncFolderOf(const std::string& path) {
    Fd d;
    d.fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d.fd < 0) fail("Cannot open the folder of", path);
    if (::fsync(d.fd) != 0) fail("Cannot sync the folder of", path);
}

void copyWholeFile(const std::string& from, const std::string& to, bool durable) {
    Fd in, out;
    in.fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) fail("Cannot open", from);
    out.fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out.fd < 0) fail("Cannot create", to);
    std::vector<char> buf(1 << 20);
    off_t at = 0;
    for (;;) {
        const size_t got = readSome(in.fd, buf.data(), buf.size(), from);
        if (got == 0) break;
        writeAt(out.fd, buf.data(), got, at, to);
        at += off_t(got);
    }
    if (durable) {
        if (::fsync(out.fd) != 0) fail("Cannot sync", to);
        syncFolderOf(to);
    }
}

void writeWholeFile(const std::string& to, const std::string& bytes) {
    Fd out;
    out.fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out.fd < 0) fail("Cannot create", to);
    writeAt(out.fd, bytes.data(), bytes.size(), 0, to);
    if (::fsync(out.fd) != 0) fail("Cannot sync", to);
}

bool sameContents(const std::string& a, const std::string& b) {
    try {
        Fd fa, fb;
        fa.fd = ::open(a.c_str(), O_RDONLY | O_CLOEXEC);
        fb.fd = ::open(b.c_str(), O_RDONLY | O_CLOEXEC);
        if (fa.fd < 0 || fb.fd < 0) return false;
        struct stat sa {};
        struct stat sb {};
        if (::fstat(fa.fd, &sa) != 0 || ::fstat(fb.fd, &sb) != 0 || sa.st_size != sb.st_size)
            return false;
        std::vector<char> x(1 << 16), y(1 << 16);
        for (;;) {
            const size_t n = readSome(fa.fd, x.data(), x.size(), a);
            const size_t m = readSome(fb.fd, y.data(), y.size(), b);
            if (n != m || std::memcmp(x.data(), y.data(), n) != 0) return false;
            if (n == 0) return true;
        }
    } catch (const jet::Error&) {
        return false;
    }
}

void renameDurably(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) fail("Cannot rename \"" + from + "\" to", to);
    syncFolderOf(to);
}

void replaceWithCopy(const std::string& source, const std::string& target) {
    const std::string temp = target + ".restoring";
    try {
        copyWholeFile(source, temp, false);
        Fd f;
        f.fd = ::open(temp.c_str(), O_RDWR | O_CLOEXEC);
        if (f.fd < 0 || ::fsync(f.fd) != 0) fail("Cannot sync", temp);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    // The commit point: rename() replaces the name atomically.
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        errno = err;
        fail("Cannot put the copy in place of", target);
    }
    syncFolderOf(target);
}

}  // namespace zn
