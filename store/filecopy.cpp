// Whole-file copies through the engine's file layer, which syncs files and folders and replaces
// names atomically on every system it runs on (these files are not databases being written, so
// the engine itself has no copy).
#include "store/filecopy.h"

#include <cstring>
#include <vector>

#include "jet/error.h"
#include "jet/file.h"

namespace zn {

namespace {

jet::Env& env() {
    return jet::Env::posix();
}

// Removes `path`, quietly: used only to clean up after a failure that is being reported.
void removeQuietly(const std::string& path) {
    try {
        env().remove(path);
    } catch (const jet::Error&) {
    }
}

}  // namespace

void syncFolderOf(const std::string& path) {
    env().syncDirOf(path);
}

void copyWholeFile(const std::string& from, const std::string& to, bool durable) {
    auto in = env().open(from, jet::OpenMode::Read);
    auto out = env().open(to, jet::OpenMode::Create);
    std::vector<uint8_t> buf(1 << 20);
    for (uint64_t at = 0;;) {
        const size_t got = in->read(at, buf.data(), buf.size());
        if (got == 0) break;
        out->write(at, buf.data(), got);
        at += got;
    }
    if (durable) {
        out->sync();
        env().syncDirOf(to);
    }
}

void writeWholeFile(const std::string& to, const std::string& bytes) {
    auto out = env().open(to, jet::OpenMode::Create);
    out->write(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    out->sync();
}

bool sameContents(const std::string& a, const std::string& b) {
    try {
        auto fa = env().open(a, jet::OpenMode::Read);
        auto fb = env().open(b, jet::OpenMode::Read);
        if (fa->size() != fb->size()) return false;
        std::vector<uint8_t> x(1 << 16), y(1 << 16);
        for (uint64_t at = 0;;) {
            const size_t n = fa->read(at, x.data(), x.size());
            const size_t m = fb->read(at, y.data(), y.size());
            if (n != m || std::memcmp(x.data(), y.data(), n) != 0) return false;
            if (n == 0) return true;
            at += n;
        }
    } catch (const jet::Error&) {
        return false;
    }
}

void renameDurably(const std::string& from, const std::string& to) {
    env().rename(from, to);
    env().syncDirOf(to);
}

void replaceWithCopy(const std::string& source, const std::string& target) {
    const std::string temp = target + ".restoring";
    try {
        copyWholeFile(source, temp, false);
        env().open(temp, jet::OpenMode::ReadWrite)->sync();
    } catch (...) {
        removeQuietly(temp);
        throw;
    }
    // The commit point: the rename replaces the name atomically.
    try {
        env().rename(temp, target);
    } catch (...) {
        removeQuietly(temp);
        throw;
    }
    env().syncDirOf(target);
}

}  // namespace zn
