// What the file layer's implementations share: the in-memory file system for tests, path
// helpers and the defaults of Env. The real file systems live in file_posix.cpp and
// file_win32.cpp, one of which the build picks.
#include "jet/file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "jet/error.h"

namespace jet {

namespace {

[[noreturn]] void memError(const std::string& what, const std::string& path, int err) {
    Error e(err == ENOENT ? ErrorKind::NotFound : ErrorKind::Io,
            what + " \"" + path + "\": " + std::strerror(err));
    e.setSysError(err);
    throw e;
}

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

std::optional<FileStamp> Env::stamp(const std::string& path) {
    if (!exists(path)) return std::nullopt;
    return open(path, OpenMode::Read)->stamp();
}

std::string dirOf(const std::string& path) {
    auto slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::unique_ptr<File> MemEnv::open(const std::string& path, OpenMode mode) {
    auto it = files_.find(path);
    switch (mode) {
        case OpenMode::Read:
        case OpenMode::ReadWrite:
            if (it == files_.end()) memError("Cannot open file", path, ENOENT);
            return std::make_unique<MemFile>(it->second, mode == OpenMode::ReadWrite);
        case OpenMode::CreateNew:
            if (it != files_.end()) memError("Cannot create file", path, EEXIST);
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
    if (it == files_.end()) memError("Cannot rename", from, ENOENT);
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
