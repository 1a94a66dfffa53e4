// Misbehaving file systems for the crash and fault tests.
#include "tests/support/faultenv.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"

namespace zntest {

namespace {

class FaultFile : public jet::FileWrapper {
  public:
    FaultFile(std::unique_ptr<jet::File> f, FaultEnv& env) : FileWrapper(std::move(f)), env_(env) {}
    void write(uint64_t off, const uint8_t* buf, size_t n) override {
        env_.step();
        FileWrapper::write(off, buf, n);
    }
    // One step per part, as a failing disk may stop between any two.
    void writeParts(uint64_t off, const std::vector<std::span<const uint8_t>>& parts) override {
        File::writeParts(off, parts);
    }
    void truncate(uint64_t size) override {
        env_.step();
        FileWrapper::truncate(size);
    }
    void sync() override {
        env_.step();
        FileWrapper::sync();
    }

  private:
    FaultEnv& env_;
};

}  // namespace

void FaultEnv::step() {
    ++count_;
    if (onStep) onStep(count_);
    if (failFrom_ > 0 && (count_ == failFrom_ || (lasting_ && count_ > failFrom_)))
        jet::throwError(jet::ErrorKind::Io,
                        "injected I/O error (operation " + std::to_string(count_) + ")");
}

std::unique_ptr<jet::File> FaultEnv::open(const std::string& path, jet::OpenMode mode) {
    return std::make_unique<FaultFile>(EnvWrapper::open(path, mode), *this);
}

void FaultEnv::syncDirOf(const std::string& path) {
    step();
    EnvWrapper::syncDirOf(path);
}

// ---------------------------------------------------------------------------------------------

class CrashFile : public jet::File {
  public:
    CrashFile(std::shared_ptr<CrashEnv::FileState> s, bool writable, std::shared_ptr<bool> dead)
        : s_(std::move(s)), w_(writable), dead_(std::move(dead)) {}
    uint64_t size() override { return s_->current.size(); }
    size_t read(uint64_t off, uint8_t* buf, size_t n) override {
        if (off >= s_->current.size()) return 0;
        size_t k = std::min<uint64_t>(n, s_->current.size() - off);
        std::memcpy(buf, s_->current.data() + off, k);
        return k;
    }
    void write(uint64_t off, const uint8_t* buf, size_t n) override {
        if (!w_) jet::throwError(jet::ErrorKind::Io, "read-only file");
        if (*dead_) return;
        if (off + n > s_->current.size()) s_->current.resize(off + n);
        std::memcpy(s_->current.data() + off, buf, n);
        s_->pending.push_back({off, std::vector<uint8_t>(buf, buf + n)});
    }
    void truncate(uint64_t size) override {
        if (*dead_) return;
        s_->current.resize(size);
        s_->pending.push_back({size, {}, true});  // in its place among the writes
    }
    void sync() override {
        if (*dead_) return;
        s_->durable = s_->current;
        s_->pending.clear();
    }

  private:
    std::shared_ptr<CrashEnv::FileState> s_;
    bool w_;
    std::shared_ptr<bool> dead_;
};

std::unique_ptr<jet::File> CrashEnv::open(const std::string& path, jet::OpenMode mode) {
    auto it = files_.find(path);
    switch (mode) {
        case jet::OpenMode::Read:
        case jet::OpenMode::ReadWrite:
            if (it == files_.end())
                jet::throwError(jet::ErrorKind::NotFound, "Cannot open file \"" + path + "\"");
            return std::make_unique<CrashFile>(it->second, mode == jet::OpenMode::ReadWrite, dead_);
        case jet::OpenMode::CreateNew:
            if (it != files_.end()) jet::throwError(jet::ErrorKind::Io, "exists: " + path);
            [[fallthrough]];
        case jet::OpenMode::Create: {
            if (*dead_) jet::throwError(jet::ErrorKind::Io, "the power is off: " + path);
            auto s = std::make_shared<FileState>();
            files_[path] = s;
            return std::make_unique<CrashFile>(s, true, dead_);
        }
    }
    return nullptr;
}

bool CrashEnv::exists(const std::string& path) {
    return files_.count(path) != 0;
}
void CrashEnv::remove(const std::string& path) {
    if (*dead_) return;
    files_.erase(path);
}
void CrashEnv::rename(const std::string& from, const std::string& to) {
    if (*dead_) return;
    auto it = files_.find(from);
    if (it == files_.end()) jet::throwError(jet::ErrorKind::NotFound, "no file " + from);
    files_[to] = it->second;
    files_.erase(from);
}
void CrashEnv::syncDirOf(const std::string&) {
    if (*dead_) return;
    durable_ = files_;
}
std::vector<std::string> CrashEnv::list(const std::string& dir) {
    std::vector<std::string> out;
    for (auto& [p, s] : files_)
        if (jet::dirOf(p) == dir) out.push_back(p.substr(dir.size()));
    return out;
}

void CrashEnv::put(const std::string& path, std::vector<uint8_t> bytes) {
    auto s = std::make_shared<FileState>();
    s->durable = s->current = std::move(bytes);
    files_[path] = s;
    durable_[path] = s;
}

void CrashEnv::crash(double loss) {
    std::uniform_real_distribution<double> u(0, 1);
    *dead_ = false;
    files_ = durable_;
    for (auto& [p, s] : files_) {
        // Writes since the last sync survive each with probability 1 - loss, in order.
        std::vector<uint8_t> d = s->durable;
        for (auto& w : s->pending) {
            if (u(rng_) < loss) continue;
            if (w.truncate) {
                d.resize(w.off);
                continue;
            }
            if (w.off + w.bytes.size() > d.size()) d.resize(w.off + w.bytes.size());
            std::memcpy(d.data() + w.off, w.bytes.data(), w.bytes.size());
        }
        s->current = s->durable = d;
        s->pending.clear();
    }
}

}  // namespace zntest
