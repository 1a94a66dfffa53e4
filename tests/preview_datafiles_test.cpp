// Data-folder files found as Windows finds them, ignoring letter case: the lookup itself over a
// table of folder contents, the data folder's own spelling, and the question page written with
// the names found on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <ctime>

#include "preview/datafiles.h"
#include "preview/questionpage.h"
#include "tests/support/qtprint.h"

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

struct LookupCase {
    const char* what;
    std::vector<QString> files;  // created in the data folder ("x/" makes a folder)
    QString name;                // asked for
    QString expected;            // relative to the data folder
};

TEST(DataFiles, NameIsMatchedExactlyFirstThenIgnoringCase) {
    const std::vector<LookupCase> cases = {
        {"exact name", {"p3.jpg", "P3.JPG"}, "p3.jpg", "p3.jpg"},
        {"only another case", {"p3.jpg"}, "P3.JPG", "p3.jpg"},
        {"Cyrillic name", {"рисунок.png"}, "РИСУНОК.PNG", "рисунок.png"},
        {"first in name order", {"p3.jpg", "P3.jpg", "p3.JPG"}, "P3.JPG", "P3.jpg"},
        {"nothing matches", {"p4.jpg"}, "P3.JPG", "P3.JPG"},
        {"a folder is not a file", {"P3.JPG/"}, "p3.jpg", "p3.jpg"},
        {"a folder of that name is passed over", {"P3.JPG/", "p3.Jpg"}, "p3.jpg", "p3.Jpg"},
        {"subfolder parts", {"Sub/Pic.PNG"}, "sub/pic.png", "Sub/Pic.PNG"},
        {"hidden file", {".P.jpg"}, ".p.jpg", ".P.jpg"},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString data = dir.path() + QStringLiteral("/data/");
        QDir().mkpath(data);
        for (const QString& f : c.files) {
            if (f.endsWith(u'/'))
                QDir().mkpath(data + f);
            else
                touch(data + f);
        }
        EXPECT_EQ(zn::dataFileName(data, c.name), c.expected);
        EXPECT_EQ(zn::dataFilePath(data, c.name), data + c.expected);
    }
}

// Names are read again once the folder changed: a picture copied in after a lookup is found,
// and one removed is no longer given.
TEST(DataFiles, FolderChangesAreSeen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString data = dir.path() + QStringLiteral("/data/");
    touch(data + QStringLiteral("other.png"));
    // As a folder last changed a while ago, whose names are trusted until it changes.
    auto setFolderTime = [&] {
        timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(data).constData(), times, 0), 0);
    };
    setFolderTime();
    EXPECT_EQ(zn::dataFileName(data, QStringLiteral("P3.JPG")), QStringLiteral("P3.JPG"));

    touch(data + QStringLiteral("p3.jpg"));
    EXPECT_EQ(zn::dataFileName(data, QStringLiteral("P3.JPG")), QStringLiteral("p3.jpg"));
    setFolderTime();
    EXPECT_EQ(zn::dataFileName(data, QStringLiteral("P3.JPG")), QStringLiteral("p3.jpg"));

    ASSERT_TRUE(QFile::rename(data + QStringLiteral("p3.jpg"), data + QStringLiteral("p4.jpg")));
    EXPECT_EQ(zn::dataFileName(data, QStringLiteral("P3.JPG")), QStringLiteral("P3.JPG"));
}

TEST(DataFiles, EmptyNameAndMissingFolder) {
    EXPECT_EQ(zn::dataFilePath(QStringLiteral("/nowhere/data/"), QString()), QString());
    EXPECT_EQ(zn::dataFilePath(QStringLiteral("/nowhere/data/"), QStringLiteral("P3.JPG")),
              QStringLiteral("/nowhere/data/P3.JPG"));
}

TEST(DataFiles, DataFolderIsFoundInAnyCase) {
    struct Case {
        const char* what;
        std::vector<QString> folders;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"data", {"data", "Data"}, "data"},
        {"Data", {"Data"}, "Data"},
        {"several: first in name order", {"Data", "DATA", "dAta"}, "DATA"},
        {"none", {"other"}, "data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        for (const QString& f : c.folders) QDir().mkpath(dir.path() + u'/' + f);
        touch(dir.path() + QStringLiteral("/DATA.txt"));  // a file is never the data folder
        EXPECT_EQ(zn::dataFolderIn(dir.path()), dir.path() + u'/' + c.expected + u'/');
        EXPECT_EQ(zn::dataFolderIn(dir.path() + u'/'), dir.path() + u'/' + c.expected + u'/');
    }
}

// A bank from Windows names "P3.JPG" and the program's backgrounds as it pleases; the page
// refers to the files as the data folder spells them and is otherwise the same page.
TEST(DataFiles, QuestionPageUsesTheNamesOnDisk) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString data = dir.path() + QStringLiteral("/data/");
    for (const char* f : {"BG1.GIF", "Bg2.gif", "bg3.gif", "p3.jpg"}) touch(data + f);

    zn::Question q;
    q.idvopr = 4;
    q.vopros = QStringLiteral("Что на рисунке?");
    q.otvet = 1;
    q.kolotvet = 2;
    q.img = QStringLiteral("P3.JPG");
    const std::vector<zn::Answer> answers = {{1, 9, 1, QStringLiteral("Да")},
                                             {2, 9, 2, QStringLiteral("Нет")}};
    const QString page = zn::questionPage(q, answers, data);

    // The same page in a folder where the names are written exactly as asked for.
    const QString other = dir.path() + QStringLiteral("/exact/");
    for (const char* f : {"bg1.gif", "bg2.gif", "bg3.gif", "P3.JPG"}) touch(other + f);
    QString expected = zn::questionPage(q, answers, other);
    const QString folder = zn::folderReference(data);
    expected.replace(zn::folderReference(other), folder);
    expected.replace(folder + QStringLiteral("bg1.gif"), folder + QStringLiteral("BG1.GIF"));
    expected.replace(folder + QStringLiteral("bg2.gif"), folder + QStringLiteral("Bg2.gif"));
    expected.replace(folder + QStringLiteral("P3.JPG"), folder + QStringLiteral("p3.jpg"));
    EXPECT_EQ(page, expected);
    EXPECT_TRUE(page.contains(folder + QStringLiteral("p3.jpg\"")));
}

}  // namespace
