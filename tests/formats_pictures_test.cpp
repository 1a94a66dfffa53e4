// The names imported pictures get in the data folder, and writing them there.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "formats/pictures.h"
#include "formats_testing.h"

namespace {

using namespace formatstest;

Picture embedded(const QString& name, const QByteArray& bytes) {
    return {name, bytes, true};
}

TEST(Pictures, TypesAreKnownBySignature) {
    EXPECT_EQ(pictureType(png(1)), PictureType::Png);
    EXPECT_EQ(pictureType(jpeg(1)), PictureType::Jpeg);
    EXPECT_EQ(pictureType("GIF87a..."), PictureType::Gif);
    EXPECT_EQ(pictureType("GIF89a..."), PictureType::Gif);
    EXPECT_EQ(pictureType(QByteArray("BM") + QByteArray(30, '\0')), PictureType::Bmp);
    EXPECT_EQ(pictureType("BM"), PictureType::Unknown) << "too short for a bitmap header";
    EXPECT_EQ(pictureType("<svg/>"), PictureType::Unknown);
    EXPECT_EQ(pictureType(QByteArray()), PictureType::Unknown);
}

struct NameCase {
    const char* what;
    Picture picture;
    const char* expected;
    bool write = true;
};

// One picture at a time against the same folder.
TEST(Pictures, EachPictureGetsANameThatFitsAndTakesNoOtherFilesPlace) {
    const std::vector<ExistingFile> folder = {
        {QStringLiteral("IMAGE.PNG"), png(100)},      {QStringLiteral("same.png"), png(101)},
        {QStringLiteral("longname12.png"), png(102)}, {QStringLiteral("bg1.gif"), QByteArray()},
        {QStringLiteral("photo.jpg"), QByteArray()},  {QStringLiteral("abcdef.png"), QByteArray()},
    };
    const NameCase cases[] = {
        {"a free name is kept", embedded(QStringLiteral("pic.png"), png(1)), "pic.png"},
        {"a long name is cut to ten characters", embedded(QStringLiteral("photograph.png"), png(1)),
         "photog.png"},
        {"a taken name, letter case ignored, gets a number",
         embedded(QStringLiteral("image.png"), png(1)), "image1.png"},
        {"a taken name gets a number", embedded(QStringLiteral("photo.jpg"), jpeg(1)),
         "photo1.jpg"},
        {"a cut name that is taken is cut further for its number",
         embedded(QStringLiteral("abcdefgh.png"), png(1)), "abcde1.png"},
        {"the same bytes as a file there: its name, nothing written",
         embedded(QStringLiteral("other.png"), png(101)), "same.png", false},
        {"the same bytes under a name too long for the column are not reused",
         embedded(QStringLiteral("x.png"), png(102)), "x1.png"},
        {"no extension: the type's", embedded(QStringLiteral("pic"), png(1)), "pic.png"},
        {"an extension saying another type is replaced",
         embedded(QStringLiteral("pic.gif"), jpeg(1)), "pic.jpg"},
        {"jpeg stays jpeg", embedded(QStringLiteral("pic.JPEG"), jpeg(1)), "pic.JPEG"},
        {"a folder in the name is dropped", embedded(QStringLiteral("sub/dir\\a1.png"), png(1)),
         "a1.png"},
        {"characters a file name cannot hold", embedded(QStringLiteral("a:b*c?.png"), png(1)),
         "a_b_c_.png"},
        {"characters outside Windows-1251", embedded(QStringLiteral("图表.png"), png(1)), "__.png"},
        {"Cyrillic stays", embedded(QStringLiteral("рис.png"), png(1)), "рис.png"},
        {"a one-letter stem would read as an answer line",
         embedded(QStringLiteral("a.png"), png(1)), "a1.png"},
        {"a device name of Windows", embedded(QStringLiteral("con.png"), png(1)), "con1.png"},
        {"trailing dots and blanks", embedded(QStringLiteral("ab. .png"), png(1)), "ab.png"},
        {"an empty name", embedded(QString(), png(1)), "image1.png"},
        {"a name only is kept as it is",
         {QStringLiteral("whatever-long.jpg"), {}, false},
         "whatever-long.jpg",
         false},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PlannedPicture> plan = planPictureNames({c.picture}, folder, 10);
        ASSERT_EQ(plan.size(), 1u);
        EXPECT_EQ(plan[0].name, QString::fromUtf8(c.expected));
        EXPECT_EQ(plan[0].write, c.write);
    }
}

// Several pictures of one file: the names planned take each other's place into account.
TEST(Pictures, PicturesOfOneFileGetDistinctNamesUnlessTheirBytesAreEqual) {
    std::vector<Picture> pictures;
    for (int i = 0; i < 12; ++i) pictures.push_back(embedded(QStringLiteral("image.png"), png(i)));
    pictures.push_back(embedded(QStringLiteral("copy.png"), png(3)));
    const std::vector<PlannedPicture> plan = planPictureNames(pictures, {}, 10);
    ASSERT_EQ(plan.size(), pictures.size());
    QSet<QString> names;
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_LE(plan[i].name.size(), 10);
        EXPECT_TRUE(plan[i].write);
        names.insert(plan[i].name.toLower());
    }
    EXPECT_EQ(names.size(), 12);
    EXPECT_EQ(plan[0].name, QStringLiteral("image.png"));
    EXPECT_EQ(plan[1].name, QStringLiteral("image1.png"));
    EXPECT_EQ(plan[11].name, QStringLiteral("imag11.png"));
    EXPECT_EQ(plan[12].name, plan[3].name) << "equal bytes share the name";
}

std::vector<PlannedPicture> planFor(const QString& dir, const std::vector<Picture>& pictures) {
    return planPictureNames(pictures, readPictureFolder(dir, pictures), 10);
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(Pictures, PlannedPicturesAreWrittenAndAFolderReadBackMatchesThem) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("data"));
    const std::vector<Picture> pictures = {embedded(QStringLiteral("a1.png"), png(1)),
                                           embedded(QStringLiteral("a1.png"), png(2)),
                                           embedded(QStringLiteral("b1.jpg"), jpeg(3))};
    std::vector<PlannedPicture> plan = planFor(dir, pictures);
    QString error;
    ASSERT_TRUE(writePlannedPictures(dir, pictures, plan, &error)) << error.toStdString();
    EXPECT_EQ(contents(dir + QStringLiteral("/a1.png")), png(1));
    EXPECT_EQ(contents(dir + QStringLiteral("/a11.png")), png(2));
    EXPECT_EQ(contents(dir + QStringLiteral("/b1.jpg")), jpeg(3));

    // The same file imported again writes nothing: every picture is found by its bytes.
    plan = planFor(dir, pictures);
    for (const PlannedPicture& p : plan) EXPECT_FALSE(p.write) << p.name.toStdString();
    EXPECT_EQ(plan[1].name, QStringLiteral("a11.png"));
}

// A file that appears under a planned name between planning and writing is not overwritten,
// and the pictures this call wrote before it are removed again.
TEST(Pictures, AFileThatAppearedMeanwhileIsNeverOverwritten) {
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    const std::vector<Picture> pictures = {embedded(QStringLiteral("first.png"), png(1)),
                                           embedded(QStringLiteral("second.png"), png(2))};
    const std::vector<PlannedPicture> plan = planFor(dir, pictures);
    {
        QFile f(dir + QStringLiteral("/second.png"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("someone else's");
    }
    QString error;
    EXPECT_FALSE(writePlannedPictures(dir, pictures, plan, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("second.png"))) << error.toStdString();
    EXPECT_EQ(contents(dir + QStringLiteral("/second.png")), QByteArray("someone else's"));
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/first.png")));

    // The same bytes appearing meanwhile are fine.
    QFile::remove(dir + QStringLiteral("/second.png"));
    {
        QFile f(dir + QStringLiteral("/second.png"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(png(2));
    }
    EXPECT_TRUE(writePlannedPictures(dir, pictures, plan, &error)) << error.toStdString();
    EXPECT_EQ(contents(dir + QStringLiteral("/first.png")), png(1));
}

}  // namespace
