// Corpus files, hex dumps and the seeds made from our own engine's files (see corpus.h).
#include "fuzz/corpus.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "jet/bytes.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/format.h"
#include "jet/locking.h"
#include "store/bank/testbank.h"

namespace znfuzz {

#ifdef ZN_FUZZ_QT
// The seeds of the targets over Qt code (fuzz/entries_qt.cpp).
std::vector<Input> qtSeedsFor(std::string_view target, const std::vector<uint8_t>& sampleBank);
#endif

namespace fs = std::filesystem;

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string sharedFixtures() {
    std::error_code ec;
    return fs::is_directory(ZN_SHARED_FIXTURES, ec) ? std::string(ZN_SHARED_FIXTURES) : "";
}

std::string corpusFolder(const Target& target) {
    return std::string(ZN_FUZZ_CORPUS) + "/" + target.name;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file() && e.path().filename() != "README.md")
            out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

[[noreturn]] void malformed(const std::string& path, int line, const std::string& what) {
    throw std::runtime_error(path + ":" + std::to_string(line) + ": " + what);
}

std::optional<std::vector<uint8_t>> baseBytes(const std::string& name, std::string* why) {
    if (name.rfind("seed:", 0) == 0) {
        for (Input& s : databaseSeeds())
            if (s.name == name.substr(5)) return std::move(s.bytes);
        throw std::runtime_error("no seed " + name);
    }
    const std::string shared = sharedFixtures();
    if (shared.empty()) {
        if (why) *why = "its base " + name + " is in the shared fixtures folder, which is absent";
        return std::nullopt;
    }
    return readFile(shared + "/" + name);
}

}  // namespace

std::optional<Input> readInput(const std::string& path, std::string* why) {
    Input in;
    in.name = fs::path(path).filename().string();
    if (!endsWith(path, ".hex")) {
        in.bytes = readFile(path);
        return in;
    }
    std::ifstream text(path);
    if (!text) throw std::runtime_error("cannot read " + path);
    std::optional<size_t> size;
    std::vector<std::pair<size_t, std::vector<uint8_t>>> runs;
    std::string line;
    for (int no = 1; std::getline(text, line); ++no) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == "size") {
            size_t n = 0;
            if (!(words >> n)) malformed(path, no, "a size without a number");
            size = n;
        } else if (first == "base") {
            std::string name;
            words >> name;
            auto base = baseBytes(name, why);
            if (!base) return std::nullopt;
            in.bytes = std::move(*base);
        } else if (!first.empty() && first.back() == ':') {
            size_t at = 0;
            try {
                at = std::stoul(first.substr(0, first.size() - 1), nullptr, 16);
            } catch (const std::exception&) {
                malformed(path, no, "an offset that is no hex number");
            }
            std::vector<uint8_t> bytes;
            for (std::string b; words >> b;) {
                if (b.size() != 2 || !std::isxdigit(uint8_t(b[0])) || !std::isxdigit(uint8_t(b[1])))
                    malformed(path, no, "a byte that is not two hex digits: " + b);
                bytes.push_back(uint8_t(std::stoul(b, nullptr, 16)));
            }
            runs.emplace_back(at, std::move(bytes));
        } else {
            malformed(path, no, "a line that is no note, size, base or bytes");
        }
    }
    if (!size) malformed(path, 0, "no size line");
    in.bytes.resize(*size);
    for (const auto& [at, bytes] : runs) {
        if (at > *size || bytes.size() > *size - at) malformed(path, 0, "bytes past the size");
        std::copy(bytes.begin(), bytes.end(), in.bytes.begin() + std::ptrdiff_t(at));
    }
    return in;
}

std::string hexDump(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>* base,
                    const std::string& baseName, const std::string& note) {
    std::ostringstream out;
    std::istringstream lines(note);
    for (std::string l; std::getline(lines, l);) out << "# " << l << "\n";
    out << "size " << bytes.size() << "\n";
    if (base) out << "base " << baseName << "\n";
    auto baseAt = [&](size_t i) -> uint8_t { return base && i < base->size() ? (*base)[i] : 0; };
    // Lines of up to 16 bytes, from the first byte that differs to the last within its row.
    for (size_t row = 0; row < bytes.size(); row += 16) {
        const size_t end = std::min(bytes.size(), row + 16);
        size_t first = end, last = row;
        for (size_t i = row; i < end; ++i)
            if (bytes[i] != baseAt(i)) {
                first = std::min(first, i);
                last = i + 1;
            }
        if (first == end) continue;
        char head[24];
        std::snprintf(head, sizeof head, "%08zx:", first);
        out << head;
        for (size_t i = first; i < last; ++i) {
            char b[4];
            std::snprintf(b, sizeof b, " %02x", bytes[i]);
            out << b;
        }
        out << "\n";
    }
    return out.str();
}

// ---------------------------------------------------------------------------------------------
// Seeds

namespace {

// The sample bank jettool creates, stamped with a fixed time: the same bytes on every run (a
// hex dump of a finding lists only the bytes that differ from it).
std::vector<uint8_t> sampleBank() {
    jet::MemEnv env;
    jet::CreateOptions o;
    o.env = &env;
    jet::setFixedCreationTime(46000.5);
    try {
        auto db = jet::createDatabase("/sample.mdb", o);
        zn::bank::createTestSchema(*db);
        zn::bank::fillSampleContent(*db);
    } catch (...) {
        jet::setFixedCreationTime(std::nullopt);
        throw;
    }
    jet::setFixedCreationTime(std::nullopt);
    return *env.data("/sample.mdb");
}

// Lock files as Jet programs and our engine write them: one and two records, and a partial one.
std::vector<Input> lockFileSeeds() {
    auto record = [](const std::string& computer, const std::string& user) {
        std::vector<uint8_t> r(jet::kLockRecordSize, 0);
        std::copy(computer.begin(), computer.end(), r.begin());
        std::copy(user.begin(), user.end(), r.begin() + 32);
        return r;
    };
    std::vector<uint8_t> two = record("CLASS-PC", jet::kLockFileUser);
    const auto other = record("TEACHER", "Admin");
    two.insert(two.end(), other.begin(), other.end());
    std::vector<uint8_t> partial = two;
    partial.resize(100);
    return {{"ours.ldb", record("localhost", jet::kLockFileUser)},
            {"two.ldb", two},
            {"partial.ldb", partial}};
}

}  // namespace

std::vector<Input> databaseSeeds() {
    static const std::vector<Input> seeds = [] {
        const std::vector<uint8_t> good = sampleBank();
        std::vector<Input> out{{"sample.mdb", good}};
        const size_t pages = good.size() / jet::fmt::kPageSize;
        // Per page: a few bytes of its first 64 (type, counts, pointers, the first offsets)
        // set to other values, and a few anywhere in it; index pages also get damage where
        // their entries are laid out.
        for (size_t p = 1; p < pages; ++p) {
            std::mt19937 rng(uint32_t(20261211 + p));
            const size_t at = p * jet::fmt::kPageSize;
            const uint8_t type = good[at];
            auto damaged = [&](const char* kind, size_t from, size_t span, int bytes) {
                std::vector<uint8_t> bad = good;
                for (int k = 0; k < bytes; ++k) {
                    const uint8_t values[] = {0x00, 0xFF, 0x7F, 0x80, uint8_t(rng())};
                    bad[at + from + rng() % span] = values[rng() % 5];
                }
                char name[64];
                std::snprintf(name, sizeof name, "sample-p%zu-t%u-%s.mdb", p, type, kind);
                out.push_back({name, std::move(bad)});
            };
            damaged("head", 0, 64, 4);
            damaged("any", 0, jet::fmt::kPageSize, 4);
            if (type == jet::fmt::kPageIndexNode || type == jet::fmt::kPageIndexLeaf)
                damaged("entries", 0x16, 0x200, 6);
        }
        // Cut short: half the pages, and in the middle of a page.
        out.push_back(
            {"sample-half.mdb",
             {good.begin(), good.begin() + std::ptrdiff_t(pages / 2 * jet::fmt::kPageSize)}});
        out.push_back({"sample-cut.mdb", {good.begin(), good.end() - 1000}});
        return out;
    }();
    return seeds;
}

std::vector<Input> seedsFor(const Target& target) {
    if (target.readsDatabases) return databaseSeeds();
    const std::string name = target.name;
    if (name == "lock_file") return lockFileSeeds();
#ifdef ZN_FUZZ_QT
    return qtSeedsFor(name, databaseSeeds().front().bytes);
#else
    return {};
#endif
}

}  // namespace znfuzz
