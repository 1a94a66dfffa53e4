// Shared helpers for the engine's tests.
#include "tests/support/testsupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "jet/database.h"
#include "jet/file.h"
#include "jet/locking.h"

#ifndef _WIN32
extern char** environ;
#endif

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

int processId() {
#ifdef _WIN32
    return int(::GetCurrentProcessId());
#else
    return int(::getpid());
#endif
}

std::string tempDir() {
    static int counter = 0;
    static const fs::path base = [] {
        // Wine hands out small process ids again and again: a folder a killed run left behind
        // must not be taken for ours.
        std::string name = "zntest-" + std::to_string(processId());
        for (int i = 1; fs::exists(fs::temp_directory_path() / name); ++i)
            name = "zntest-" + std::to_string(processId()) + "-" + std::to_string(i);
        fs::path b = fs::temp_directory_path() / name;
        fs::create_directories(b);
        static const fs::path made = b;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(made, ec);
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

#ifdef _WIN32

// Windows has no fork. Its locks belong to each open handle, so handles opened here meet each
// other as those of two programs do: what a child process held, this process holds itself.

HoldingChild::HoldingChild(const std::function<std::shared_ptr<void>()>& setUp) {
    try {
        kept_ = setUp();
    } catch (const std::exception& e) {
        error_ = std::string("error: ") + e.what();
    }
}

HoldingChild::~HoldingChild() = default;

int inChild(const std::function<int()>& body, bool asNobody) {
    // There is no user to become; tests take 77 as "cannot".
    if (asNobody) return 77;
    try {
        return body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "child: %s\n", e.what());
        return 99;
    }
}

struct Beside::State {
    std::atomic<bool> stopping{false};
    std::string report;
    std::thread thread;
};

Beside::Beside(std::function<std::string(const std::function<bool()>&)> body)
    : state_(std::make_unique<State>()) {
    State* st = state_.get();
    st->thread = std::thread([st, body = std::move(body)] {
        try {
            st->report = body([st] { return st->stopping.load(); });
        } catch (const std::exception& e) {
            st->report = std::string("error: ") + e.what();
        }
    });
}

std::string Beside::stop() {
    if (state_->thread.joinable()) {
        state_->stopping = true;
        state_->thread.join();
    }
    return state_->report;
}

Beside::~Beside() {
    stop();
}

namespace {

std::wstring wide(const std::string& s) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(std::max(n, 0)), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

// One argument quoted as CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
    std::wstring q = L"\"";
    size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++slashes;
        } else {
            if (c == L'"') q.append(slashes + 1, L'\\');
            slashes = 0;
        }
        q += c;
    }
    q.append(slashes, L'\\');
    return q + L"\"";
}

HANDLE outputFile(const std::string& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string slurpFile(const std::string& path) {
    std::vector<uint8_t> b = readFile(path);
    return std::string(b.begin(), b.end());
}

}  // namespace

CommandResult run(const std::vector<std::string>& argv) {
    CommandResult r;
    const std::string dir = tempDir();
    const std::string outPath = dir + "/out", errPath = dir + "/err";
    std::wstring line;
    for (const auto& a : argv) line += (line.empty() ? L"" : L" ") + quoted(wide(a));
    HANDLE out = outputFile(outPath), err = outputFile(errPath);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const bool started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &si, &pi);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) {
        r.err = "cannot start " + argv[0];
        return r;
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    r.exitCode = int(code);
    r.out = slurpFile(outPath);
    r.err = slurpFile(errPath);
    return r;
}

#else

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

struct Beside::State {
    pid_t pid = -1;
    int stop = -1, report = -1;
    std::string result;
};

Beside::Beside(std::function<std::string(const std::function<bool()>&)> body)
    : state_(std::make_unique<State>()) {
    int stop[2], report[2];
    if (::pipe(stop) != 0 || ::pipe(report) != 0) {
        state_->result = "error: cannot make pipes";
        return;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(stop[1]);
        ::close(report[0]);
        std::string msg;
        try {
            pollfd p{stop[0], POLLIN, 0};
            msg = body([&] { return ::poll(&p, 1, 0) != 0; });
        } catch (const std::exception& e) {
            msg = std::string("error: ") + e.what();
        }
        (void)!::write(report[1], msg.data(), msg.size());
        ::_exit(0);
    }
    ::close(stop[0]);
    ::close(report[1]);
    state_->pid = pid;
    state_->stop = stop[1];
    state_->report = report[0];
    if (pid < 0) state_->result = "error: cannot fork";
}

std::string Beside::stop() {
    if (state_->stop >= 0) {
        ::close(state_->stop);
        state_->stop = -1;
        state_->result = slurp(state_->report);
        ::close(state_->report);
        state_->report = -1;
    }
    if (state_->pid > 0) {
        ::waitpid(state_->pid, nullptr, 0);
        state_->pid = -1;
    }
    return state_->result;
}

Beside::~Beside() {
    stop();
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

#endif

std::string ourDump(const std::string& file, const std::vector<std::string>& args) {
    std::vector<std::string> argv{ZN_JETTOOL, "dump", file};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandResult r = run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

namespace {

bool oracleReady(std::string* why) {
#ifdef _WIN32
    // Node and mdbtools are Linux programs, which a program under Wine cannot start; the Linux
    // build compares with them.
    if (why) *why = "the independent readers run in the Linux build only";
    return false;
#endif
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
#ifdef _WIN32
    std::shared_ptr<jet::File> f = jet::Env::posix().open(ldb, jet::OpenMode::ReadWrite);
    if (!f->tryLockRange(jet::lockbytes::kJetUserSlot, 1, jet::LockMode::Exclusive))
        throw std::runtime_error("cannot lock");
    return f;
#else
    int fd = ::open(ldb.c_str(), O_RDWR);
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(jet::lockbytes::kJetUserSlot);
    fl.l_len = 1;
    if (fd < 0 || ::fcntl(fd, F_SETLK, &fl) != 0) throw std::runtime_error("cannot lock");
    return std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
#endif
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
