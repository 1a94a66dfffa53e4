// Opening a database the data module cannot write: it opens for reading, says why in Russian
// and writes nothing; a lock file nobody holds any more does not stop writing; a database open
// for reading follows what another program commits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <filesystem>
#include <optional>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/locking.h"
#include "store/tdatmod.h"
#include "store/values.h"
#include "tests/store_testing.h"

namespace fs = std::filesystem;

namespace {

// What the data module reports on `path`: read-only or not, the message, whether it could read
// the topics, and whether opening it left the file and its folder as they were.
struct Opened {
    bool readOnly = false;
    QString message;
    int topics = -1;
    bool untouched = false;
};

Opened openWithDataModule(const std::string& path) {
    const auto before = zntest::readFile(path);
    const auto entries = [&] {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(fs::path(path).parent_path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto folderBefore = entries();
    Opened o;
    {
        zn::TDatMod dm;
        dm.connectTo(QString::fromStdString(path));
        dm.qrtema.open();
        dm.tbSettings.open();
        dm.recountQuestions();  // what every tree build does: writes only when it can
        o.readOnly = dm.readOnly();
        o.message = dm.readOnlyMessage();
        o.topics = dm.qrtema.recordCount();
    }
    o.untouched = zntest::readFile(path) == before && entries() == folderBefore;
    return o;
}

// A copy of sample-test.mdb with one topic's stored count wrong, so that a tree build would
// write if it could.
std::string bankWithAWrongCount(const std::string& dir) {
    const std::string path = dir + "/bank.mdb";
    zntest::copyFile(zntest::fixture("sample-test.mdb"), path);
    auto db = jet::Database::open(path, {.writable = true});
    jet::Table& t = db->table("Tema");
    for (auto s = t.scan(); s.next();) {
        jet::Row r = s.row();
        r[size_t(t.columnIndex("kolvopr"))] = int64_t(99);
        t.update(s.id(), r);
        break;
    }
    return path;
}

TEST(ReadOnlyOpen, ALockFileHeldByAnotherProgramOrCopyOpensForReadingAndSaysWhy) {
    ZN_REQUIRE_FIXTURES();
    struct Case {
        const char* what;
        std::function<std::shared_ptr<void>(const std::string& path)> hold;
        const char* says;
    } cases[] = {
        {"a Jet program",
         [](const std::string& path) {
             return zntest::holdLikeJet(fs::path(path).replace_extension(".ldb").string());
         },
         "открыта в другой программе"},
        {"another copy of the editor",
         [](const std::string& path) {
             return std::shared_ptr<void>(jet::Database::open(path, {.writable = true}).release(),
                                          [](void* db) { delete static_cast<jet::Database*>(db); });
         },
         "в другом окне программы «Знатокар»"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = bankWithAWrongCount(zntest::tempDir());
        zntest::HoldingChild other([&] { return c.hold(path); });
        ASSERT_EQ(other.error(), "");
        const Opened o = openWithDataModule(path);
        EXPECT_TRUE(o.readOnly);
        EXPECT_TRUE(o.message.contains(QString::fromUtf8(c.says))) << o.message.toStdString();
        EXPECT_TRUE(o.message.contains(QStringLiteral("только для чтения")));
        EXPECT_EQ(o.topics, 3);
        EXPECT_TRUE(o.untouched);
    }
}

// Permissions do not bind root: these cases run in a child that becomes an unprivileged user.
TEST(ReadOnlyOpen, AProtectedFileOrFolderOpensForReadingAndSaysWhy) {
    ZN_REQUIRE_FIXTURES();
    struct Case {
        const char* what;
        mode_t file, folder;
        const char* says;
    } cases[] = {
        {"read-only file", 0444, 0777, "защищён от записи"},
        {"read-only folder", 0666, 0555, "нельзя записывать"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = zntest::tempDir() + "/папка";
        fs::create_directory(dir);
        const std::string path = bankWithAWrongCount(dir);
        ::chmod(path.c_str(), c.file);
        ::chmod(dir.c_str(), c.folder);
        const int code = zntest::inChild(
            [&] {
                const Opened o = openWithDataModule(path);
                if (!o.readOnly) return 1;
                if (!o.message.contains(QString::fromUtf8(c.says))) return 2;
                if (o.topics != 3) return 3;
                if (!o.untouched) return 4;
                return 0;
            },
            true);
        ::chmod(dir.c_str(), 0755);
        ::chmod(path.c_str(), 0644);
        if (code == 77) GTEST_SKIP() << "cannot become an unprivileged user to test permissions";
        EXPECT_EQ(code, 0);
    }
}

// A lock file left behind by a program that has ended does not make the database read-only.
TEST(ReadOnlyOpen, AStaleLockFileIsTakenOver) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = bankWithAWrongCount(zntest::tempDir());
    zntest::writeFile(fs::path(path).replace_extension(".ldb").string(),
                      zntest::jetLockFile({{"OFFICE-PC", "Admin"}}));
    zn::TDatMod dm;
    dm.connectTo(QString::fromStdString(path));
    EXPECT_FALSE(dm.readOnly());
    EXPECT_EQ(dm.readOnlyMessage(), QString());
    dm.qrtema.open();
    dm.recountQuestions();
    EXPECT_EQ(dm.qrtema.asInteger("kolvopr"), 3);
}

// Opened for reading beside a program that writes: after its commit the datasets are read
// again on their rows.
TEST(ReadOnlyOpen, ADatabaseOpenForReadingFollowsAnotherProgramsCommits) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = bankWithAWrongCount(zntest::tempDir());
    auto holdWritable = [&](const std::function<void(jet::Database&)>& change) {
        auto db = jet::Database::open(path, {.writable = true});
        change(*db);
        return std::shared_ptr<void>(db.release(),
                                     [](void* p) { delete static_cast<jet::Database*>(p); });
    };
    std::optional<zntest::HoldingChild> writer;
    writer.emplace([&] { return holdWritable([](jet::Database&) {}); });
    ASSERT_EQ(writer->error(), "");
    zn::TDatMod dm;
    dm.connectTo(QString::fromStdString(path));
    ASSERT_TRUE(dm.readOnly());
    dm.qrtema.open();
    dm.qrtema.locate("numtema", 3);
    EXPECT_FALSE(dm.refreshIfChangedByOthers());

    // Another process, the next one to hold the file, renames topic 3.
    writer.reset();
    writer.emplace([&] {
        return holdWritable([](jet::Database& db) {
            jet::Table& t = db.table("Tema");
            for (auto s = t.scan(); s.next();) {
                jet::Row r = s.row();
                if (std::get<int64_t>(r[size_t(t.columnIndex("numtema"))]) != 3) continue;
                r[size_t(t.columnIndex("tema"))] = std::u16string(u"Переименована рядом");
                t.update(s.id(), r);
            }
        });
    });
    ASSERT_EQ(writer->error(), "");
    EXPECT_TRUE(dm.refreshIfChangedByOthers());
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 3);
    EXPECT_EQ(dm.qrtema.asString("tema"), QStringLiteral("Переименована рядом"));
    EXPECT_FALSE(dm.refreshIfChangedByOthers());
}

}  // namespace
