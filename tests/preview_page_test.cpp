// VoptoStrUniv: the page of one question compared with the text assembled here, independently,
// from the page's fixed pieces, over a table of questions: every answer count 0..7 with every
// correct-answer number around it, with and without a picture, fewer and more answer rows than
// the count, gaps in the answer numbers, markup and leading blanks.
#include <gtest/gtest.h>

#include <QStringList>
#include <QUrl>

#include "preview/questionpage.h"
#include "tests/preview_testing.h"

using previewtest::AnswerRow;
using previewtest::QuestionRow;

namespace {

// The data folder of these tests and how the page must write it: a file URL with blanks,
// Cyrillic letters, "#", "%" and brackets percent-encoded.
const QString kFolder = QStringLiteral("/tmp/zn h7/Тест #5 %(a)/data/");
const QString kFolderRef =
    QStringLiteral("file:///tmp/zn%20h7/%D0%A2%D0%B5%D1%81%D1%82%20%235%20%25%28a%29/data/");

// The page from its pieces, for question number `number` with text `text`, correct answer C,
// answer count N, picture `img` and the answer texts shown as answers 1..N.
QString expectedPage(int number, const QString& text, int c, int n, const QString& img,
                     const QStringList& shown) {
    const QString f = kFolderRef;
    QString p = "<center><h3>Вопрос № " + QString::number(number) +
                "</h3></center><table width=\"98%\" cellspacing=\"0\" cellpadding=\"8\"><tr><td "
                "width=\"3%\" style=\"border: 1px solid #8db2e3;background-image: url(" +
                f + "bg1.gif);\" align=\"left\"><b>?</b></td>" +
                "<td width=\"100%\" style=\"border: 1px solid #8db2e3;background-image: url(" + f +
                "bg1.gif);\" align=\"left\"><b>" + text + "</b></td></tr></table>";
    if (!img.isEmpty())
        p += "<div>&nbsp;</div><div align=\"center\"><img src=\"" + f + zn::fileNameReference(img) +
             "\"></img></div>";
    else
        p += "<div>&nbsp;</div>";
    if (n < 2 || n > 6 || c < 1 || c > n) return p;
    for (int k = 1; k <= n; ++k) {
        const QString ab1 =
            "<div>&nbsp;</div><table width=\"98%\" cellspacing=\"0\" cellpadding=\"8\"><tr><td "
            "width=\"3%\" style=\"border: 1px solid #8db2e3; background-image: url(";
        const QString ab5 =
            "</td><td width=\"97%\" style=\"border: 1px solid #8db2e3; background-image: url(";
        const QString a = shown[k - 1];
        if (k == c)
            p += ab1 + f + "bg2.gif);\" align=\"left\">" + "<b>" + QString::number(k) + "</b>" +
                 ab5 + f + "bg2.gif);\" align=\"left\"><b>" + a + "</b></td></tr></table>";
        else
            p += ab1 + f + "bg3.gif);\" align=\"left\">" + QString::number(k) + ab5 + f +
                 "bg3.gif);\" align=\"left\">" + a + "</td></tr></table>";
    }
    return p;
}

struct Case {
    QString what;
    QuestionRow row;    // idvopr is filled in by the test
    QStringList shown;  // answer texts expected as answers 1..N
};

std::vector<AnswerRow> numberedAnswers(int count, const QString& prefix) {
    std::vector<AnswerRow> out;
    for (int k = 1; k <= count; ++k) out.push_back({k, prefix + QString::number(k)});
    return out;
}

std::vector<Case> cases() {
    std::vector<Case> out;
    // Every count 0..7 with every C from 0 to N + 1; N answer rows. Every third one has a
    // picture.
    int i = 0;
    for (int n = 0; n <= 7; ++n) {
        for (int c = 0; c <= n + 1; ++c, ++i) {
            const QString prefix = QStringLiteral("N%1 C%2 ответ ").arg(n).arg(c);
            Case k;
            k.what = QStringLiteral("N=%1 C=%2").arg(n).arg(c);
            k.row.text = QStringLiteral("Вопрос N%1 C%2").arg(n).arg(c);
            k.row.otvet = c;
            k.row.kolotvet = n;
            k.row.img = i % 3 == 0 ? QStringLiteral("p%1.jpg").arg(i) : QString();
            k.row.answers = numberedAnswers(n, prefix);
            for (int a = 1; a <= n; ++a) k.shown << prefix + QString::number(a);
            out.push_back(k);
        }
    }
    out.push_back({"N=4 with two answer rows: 3 and 4 repeat the second",
                   {0, "few", 1, 4, {}, {{1, "one"}, {2, "two"}}},
                   {"one", "two", "two", "two"}});
    out.push_back({"N=2 with four answer rows: the first two",
                   {0, "many", 2, 2, {}, {{1, "one"}, {2, "two"}, {3, "three"}, {4, "four"}}},
                   {"one", "two"}});
    out.push_back(
        {"N=3 without answer rows: empty texts", {0, "none", 3, 3, "a.jpg", {}}, {"", "", ""}});
    out.push_back({"idotv 2, 5, 9 are answers 1, 2, 3 (stored out of order)",
                   {0, "gaps", 3, 3, {}, {{9, "nine"}, {2, "two"}, {5, "five"}}},
                   {"two", "five", "nine"}});
    out.push_back({"markup and leading blanks are kept as written",
                   {0,
                    "  Какое <i>слово</i> &amp; <b>x</b> < y",
                    1,
                    2,
                    {},
                    {{1, " <u>first</u>"}, {2, "   second &nbsp;"}}},
                   {" <u>first</u>", "   second &nbsp;"}});
    out.push_back({"a picture name of blanks is a picture name",
                   {0, "blank picture", 2, 2, "   ", {{1, "a"}, {2, "b"}}},
                   {"a", "b"}});
    out.push_back({"a picture name with characters a URL reserves",
                   {0, "odd picture", 1, 2, "№1 #%?.jpg", {{1, "a"}, {2, "b"}}},
                   {"a", "b"}});
    out.push_back({"N=6 with C=6 and a picture",
                   {0, "six", 6, 6, "q.png", numberedAnswers(6, "s")},
                   {"s1", "s2", "s3", "s4", "s5", "s6"}});
    return out;
}

TEST(QuestionPage, EqualsThePageAssembledFromItsPieces) {
    ZN_REQUIRE_FIXTURES();
    zn::TDatMod dm;
    previewtest::TestBank bank(dm);
    std::vector<Case> all = cases();
    bank.addTopic(1, QStringLiteral("Темы"), int(all.size()));
    for (size_t i = 0; i < all.size(); ++i) {
        all[i].row.idvopr = int(i + 1);
        bank.addQuestion(1, all[i].row);
    }
    dm.qrtema.open();

    for (const Case& c : all) {
        SCOPED_TRACE(c.what.toStdString());
        ASSERT_TRUE(dm.qrvoprosi.locate("idvopr", c.row.idvopr));
        const int questionRow = dm.qrvoprosi.recNo();
        // Leave the answers' cursor off the first row: the page must start from the first.
        if (dm.qrotveti.recordCount() > 1) dm.qrotveti.next();

        const QString key = QStringLiteral("1_%1").arg(c.row.idvopr);
        const QString page = zn::VoptoStrUniv(dm, kFolder, key);
        EXPECT_EQ(page.toStdString(), expectedPage(c.row.idvopr, c.row.text, c.row.otvet,
                                                   c.row.kolotvet, c.row.img, c.shown)
                                          .toStdString());
        EXPECT_EQ(dm.qrvoprosi.recNo(), questionRow) << "qrvoprosi moved";
        EXPECT_EQ(dm.qrotveti.recNo(), c.row.answers.empty() ? 0 : 1)
            << "qrotveti not back on its first row";
    }
}

// The folder is written as a file URL whatever characters it holds, and decodes back to it.
TEST(QuestionPage, FolderReferenceIsAnEncodedFileUrl) {
    EXPECT_EQ(zn::folderReference(kFolder), kFolderRef);
    EXPECT_EQ(zn::folderReference(QStringLiteral("/plain/data/")),
              QStringLiteral("file:///plain/data/"));
    EXPECT_EQ(zn::folderReference(QStringLiteral("/a'b\"c;d&e=f/")),
              QStringLiteral("file:///a%27b%22c%3Bd%26e%3Df/"));
    // Decoding gives the folder back.
    EXPECT_EQ(QUrl(zn::folderReference(kFolder) + QStringLiteral("bg1.gif")).toLocalFile(),
              kFolder + QStringLiteral("bg1.gif"));
    // So does a picture name after it.
    const QString name = QStringLiteral("№1 #a%?\".jpg");
    EXPECT_EQ(zn::fileNameReference(QStringLiteral("a.jpg")), QStringLiteral("a.jpg"));
    EXPECT_EQ(QUrl(zn::folderReference(kFolder) + zn::fileNameReference(name)).toLocalFile(),
              kFolder + name);
}

}  // namespace
