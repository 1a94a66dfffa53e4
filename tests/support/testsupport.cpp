// Shared helpers for the engine's tests.
#include "tests/support/testsupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "jet/database.h"
#include "jet/locking.h"

extern char** environ;

namespace fs = std::filesystem;

namespace zntest {

std::string fixturesDir() {
    static const std::string dir = [] {
        std::error_code ec;
        fs::path p = fs::weakly_canonical(ZN_FIXTURES_DIR, ec);
        return (!ec && fs::is_directory(p)) ? p.string() : std::string();
    }();
    return dir;
}

std::string fixture(const std::string& name) {
    return fixturesDir() + "/" + name;
}

std::vector<std::string> allFixtures() {
    std::vector<std::string> out;
    if (fixturesDir().empty()) return out;
    for (auto& sub : {std::string(), std::string("/access"), std::string("/jackcess")})
        if (fs::is_directory(fixturesDir() + sub))
            for (auto& e : fs::directory_iterator(fixturesDir() + sub))
                if (e.path().extension() == ".mdb") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string tempDir() {
    static int counter = 0;
    static const fs::path base = [] {
        fs::path b = fs::temp_directory_path() / ("zntest-" + std::to_string(::getpid()));
        fs::create_directories(b);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(fs::temp_directory_path() / ("zntest-" + std::to_string(::getpid())),
                           ec);
        });
        return b;
    }();
    fs::path d = base / std::to_string(++counter);
    fs::create_directories(d);
    return d.string();
}

void copyFile(const std::string& from, const std::string& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

namespace {

std::string slurp(int fd) {
    std::string s;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, size_t(n));
    return s;
}

}  // namespace

HoldingChild::HoldingChild(const std::function<std::shared_ptr<void>()>& setUp) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) {
        error_ = "cannot make pipes";
        return;
    }
    std::fflush(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        std::string msg = "ok";
        std::shared_ptr<void> kept;
        try {
            kept = setUp();
        } catch (const std::exception& e) {
            msg = std::string("error: ") + e.what();
        }
        (void)!::write(ready[1], msg.data(), msg.size());
        ::close(ready[1]);
        char c;
        while (::read(release[0], &c, 1) > 0) {
        }
        kept.reset();  // closes what setUp opened, as its program would
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    std::string msg = slurp(ready[0]);
    ::close(ready[0]);
    if (pid_ < 0) msg = "cannot fork";
    if (msg != "ok") error_ = msg.empty() ? "the child died" : msg;
}

HoldingChild::~HoldingChild() {
    if (release_ >= 0) ::close(release_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
}

int inChild(const std::function<int()>& body, bool asNobody) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        int code = 0;
        if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        try {
            code = body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child: %s\n", e.what());
            code = 99;
        }
        std::fflush(nullptr);
        ::_exit(code);
    }
    if (pid < 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CommandResult run(const std::vector<std::string>& argv) {
    CommandResult r;
    const std::string dir = tempDir();
    const std::string outPath = dir + "/out", errPath = dir + "/err";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&fa);
        r.err = "cannot start " + argv[0];
        return r;
    }
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    int fd = ::open(outPath.c_str(), O_RDONLY);
    r.out = slurp(fd);
    ::close(fd);
    fd = ::open(errPath.c_str(), O_RDONLY);
    r.err = slurp(fd);
    ::close(fd);
    return r;
}

std::string ourDump(const std::string& file, const std::vector<std::string>& args) {
    std::vector<std::string> argv{ZN_JETTOOL, "dump", file};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandResult r = run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

namespace {

bool oracleReady(std::string* why) {
    std::string mod = std::string(ZN_ORACLE_DIR) + "/node_modules/mdb-reader";
    if (!fs::exists(mod)) {
        if (why) *why = "mdb-reader is not installed (run tools/setup.sh)";
        return false;
    }
    return true;
}

std::string oracleDump(const char* script, const std::string& file,
                       const std::vector<std::string>& args) {
    std::vector<std::string> argv{"node", std::string(ZN_ORACLE_DIR) + "/" + script, file};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandResult r = run(argv);
    EXPECT_EQ(r.exitCode, 0) << script << ": " << r.err;
    return r.out;
}

}  // namespace

std::string mdbReaderDump(const std::string& file, const std::vector<std::string>& args,
                          std::string* why) {
    if (!oracleReady(why)) return "";
    return oracleDump("mdbreader-dump.mjs", file, args);
}

std::string mdbToolsDump(const std::string& file, const std::vector<std::string>& args,
                         std::string* why) {
    if (!oracleReady(why)) return "";
    static const bool installed = run({"mdb-export", "--version"}).exitCode == 0;
    if (!installed) {
        if (why) *why = "mdbtools is not installed (run tools/setup.sh)";
        return "";
    }
    return oracleDump("mdbexport-dump.mjs", file, args);
}

testing::AssertionResult sameDump(const std::string& actual, const std::string& expected) {
    if (actual == expected) return testing::AssertionSuccess();
    std::istringstream a(actual), e(expected);
    std::string la, le;
    int line = 0, shown = 0;
    auto r = testing::AssertionFailure();
    auto cut = [](const std::string& s) { return s.size() > 400 ? s.substr(0, 400) + "..." : s; };
    for (;;) {
        bool ga = bool(std::getline(a, la)), ge = bool(std::getline(e, le));
        ++line;
        if (!ga && !ge) break;
        if (ga && ge && la == le) continue;
        r << "\nline " << line << ":\n  got:      " << (ga ? cut(la) : "(end)")
          << "\n  expected: " << (ge ? cut(le) : "(end)");
        if (++shown == 3) break;
    }
    return r;
}

std::string mdbToolsView(const std::string& dump) {
    std::string in = tempDir() + "/dump.txt";
    writeFile(in, std::vector<uint8_t>(dump.begin(), dump.end()));
    CommandResult r =
        run({"sh", "-c",
             "node '" + std::string(ZN_ORACLE_DIR) + "/lossy.mjs' --mdbtools < '" + in + "'"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

testing::AssertionResult readersAgree(const std::string& file) {
    CommandResult check = run({ZN_JETTOOL, "check", file});
    if (check.exitCode != 0)
        return testing::AssertionFailure() << "jettool check " << file << ":\n"
                                           << check.out << check.err;
    const std::string ours = ourDump(file, {});
    std::string why;
    const std::string reader = mdbReaderDump(file, {}, &why);
    if (why.empty()) {
        auto same = sameDump(reader, ours);
        if (!same) return same << "\n(mdb-reader against our engine, " << file << ")";
    }
    why.clear();
    const std::string tools = mdbToolsDump(file, {}, &why);
    if (why.empty()) {
        auto same = sameDump(mdbToolsView(tools), mdbToolsView(ours));
        if (!same) return same << "\n(mdb-export against our engine, " << file << ")";
    }
    return testing::AssertionSuccess();
}

void keepOutput(const std::string& file, const std::string& name) {
    const char* out = std::getenv("JET_TEST_OUTPUT");
    if (!out || !*out) return;
    fs::create_directories(out);
    fs::copy_file(file, std::string(out) + "/" + name, fs::copy_options::overwrite_existing);
}

std::vector<uint8_t> jetLockFile(const std::vector<std::pair<std::string, std::string>>& users) {
    std::vector<uint8_t> b(users.size() * jet::kLockRecordSize, 0);
    for (size_t i = 0; i < users.size(); ++i) {
        std::memcpy(b.data() + i * 64, users[i].first.data(), users[i].first.size());
        std::memcpy(b.data() + i * 64 + 32, users[i].second.data(), users[i].second.size());
    }
    return b;
}

std::shared_ptr<void> holdLikeJet(const std::string& ldb) {
    writeFile(ldb, jetLockFile({{"OFFICE-PC", "Admin"}}));
    int fd = ::open(ldb.c_str(), O_RDWR);
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(jet::lockbytes::kJetUserSlot);
    fl.l_len = 1;
    if (fd < 0 || ::fcntl(fd, F_SETLK, &fl) != 0) throw std::runtime_error("cannot lock");
    return std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
}

std::string copyOf(const std::string& fixtureName) {
    std::string path = tempDir() + "/db.mdb";
    copyFile(fixture(fixtureName), path);
    return path;
}

std::unique_ptr<jet::Database> openWritable(const std::string& path) {
    jet::OpenOptions o;
    o.writable = true;
    return jet::Database::open(path, o);
}

}  // namespace zntest
