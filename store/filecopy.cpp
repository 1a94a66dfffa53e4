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
    throw jet::Error(err == ENOENT ? jet::ErrorKind::NotFound : jet::ErrorKind::Io,
                     what + " \"" + path + "\": " + std::strerror(err));
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

void syncFolder(const std::string& path) {
    Fd d;
    d.fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d.fd < 0) fail("Cannot open the folder of", path);
    if (::fsync(d.fd) != 0) fail("Cannot sync the folder of", path);
}

}  // namespace

void copyWholeFile(const std::string& from, const std::string& to, bool durable) {
    Fd in, out;
    in.fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) fail("Cannot open", from);
    out.fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out.fd < 0) fail("Cannot create", to);
    std::vector<char> buf(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in.fd, buf.data(), buf.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            fail("Cannot read", from);
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.fd, buf.data() + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                fail("Cannot write", to);
            }
            done += put;
        }
    }
    if (durable) {
        if (::fsync(out.fd) != 0) fail("Cannot sync", to);
        syncFolder(to);
    }
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
    syncFolder(target);
}

}  // namespace zn
