// Whole-file copies through the engine's file layer, which syncs files and folders and replaces
// names atomically on every system it runs on (these files are not databases being written, so
// the engine itself has no copy).
#include "store/filecopy.h"

#include <vector>

#include "jet/error.h"
#include "jet/file.h"

namespace zn {

void copyWholeFile(const std::string& from, const std::string& to, bool durable) {
    jet::Env& env = jet::Env::posix();
    auto in = env.open(from, jet::OpenMode::Read);
    auto out = env.open(to, jet::OpenMode::Create);
    std::vector<uint8_t> buf(1 << 20);
    for (uint64_t at = 0;;) {
        const size_t got = in->read(at, buf.data(), buf.size());
        if (got == 0) break;
        out->write(at, buf.data(), got);
        at += got;
    }
    if (durable) {
        out->sync();
        env.syncDirOf(to);
    }
}

void replaceWithCopy(const std::string& source, const std::string& target) {
    jet::Env& env = jet::Env::posix();
    const std::string temp = target + ".restoring";
    try {
        copyWholeFile(source, temp, false);
        env.open(temp, jet::OpenMode::ReadWrite)->sync();
    } catch (...) {
        try {
            env.remove(temp);
        } catch (const jet::Error&) {
        }
        throw;
    }
    // The commit point: the rename replaces the name atomically.
    try {
        env.rename(temp, target);
    } catch (...) {
        try {
            env.remove(temp);
        } catch (const jet::Error&) {
        }
        throw;
    }
    env.syncDirOf(target);
}

}  // namespace zn
