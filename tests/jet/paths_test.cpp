// File names as teachers give them: Cyrillic folders and names with spaces, and paths longer
// than Windows' classic limit of 260 characters, opened by the engine (which takes UTF-8) and by
// jettool from its command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "jet/database.h"
#include "jet/file.h"
#include "jet/locking.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;
namespace fs = std::filesystem;

// std::filesystem takes a narrow string in the system's code page on Windows; the engine's
// paths are UTF-8.
fs::path utf8Path(const std::string& s) {
    return fs::path(std::u8string(s.begin(), s.end()));
}

// The separator a person types on this system.
#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

TEST(Paths, CyrillicNamesWithSpacesAndLongPathsOpenInTheEngineAndInJettool) {
    ZN_REQUIRE_FIXTURES();
    std::string longFolder = "банки учителей";
    while (longFolder.size() < 300) longFolder += kSep + "папка с тестами за четверть";
    const struct {
        const char* name;
        std::string folder, file;
    } cases[] = {
        {"Cyrillic folder and name with spaces", "Тесты 9 класс", "мой банк.mdb"},
        {"path past 260 characters", longFolder, "банк.mdb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = zntest::tempDir() + kSep + c.folder;
        const std::string path = dir + kSep + c.file;
        fs::create_directories(utf8Path(dir));
        const std::vector<uint8_t> bytes = zntest::readFile(zntest::fixture("sample-test.mdb"));
        {
            auto f = Env::posix().open(path, OpenMode::CreateNew);
            f->write(0, bytes.data(), bytes.size());
            f->sync();
        }
        EXPECT_TRUE(fs::exists(utf8Path(path)));
        // Written through the engine (journal and lock file beside it), then read back.
        {
            auto db = zntest::openWritable(path);
            EXPECT_TRUE(Env::posix().exists(lockFilePath(path)));
            EXPECT_FALSE(db->tableNames(TableKind::User).empty());
        }
        EXPECT_FALSE(Env::posix().exists(lockFilePath(path)));
        EXPECT_EQ(Env::posix().list(dir + kSep), std::vector<std::string>{c.file});
        // jettool gets the name on its command line (on Windows: the wide one).
        zntest::CommandResult r = zntest::run({ZN_JETTOOL, "check", path});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("OK"), std::string::npos) << r.out;
    }
}

}  // namespace
