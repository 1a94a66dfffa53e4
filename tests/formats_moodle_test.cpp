// Moodle XML reading: one small file per corner case (question types, answers and fractions,
// text formats, pictures, categories), and files that cannot be read at all.
#include <gtest/gtest.h>

#include <QStringList>

#include "formats/moodlexml.h"
#include "formats_testing.h"

namespace {

using namespace formatstest;

QByteArray quiz(const QString& body) {
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n") + body +
            QStringLiteral("\n</quiz>\n"))
        .toUtf8();
}

// A multichoice question with `answers` given as (fraction, text) and the text in `format`.
QString multichoice(const QString& text, const QStringList& answers,
                    const QString& format = QStringLiteral("html"),
                    const QString& extra = QString()) {
    QString out = QStringLiteral(
                      "<question type=\"multichoice\"><name><text>Q</text></name>"
                      "<questiontext format=\"%1\"><text><![CDATA[%2]]></text></questiontext>%3")
                      .arg(format, text, extra);
    for (const QString& a : answers) {
        const qsizetype bar = a.indexOf(u'|');
        out += QStringLiteral(
                   "<answer fraction=\"%1\" format=\"html\"><text>%2</text>"
                   "<feedback format=\"html\"><text>Отзыв</text></feedback></answer>")
                   .arg(a.left(bar), a.mid(bar + 1).toHtmlEscaped());
    }
    return out + QStringLiteral("</question>");
}

struct Case {
    const char* what;
    QString question;              // the <question> element
    QString text;                  // expected question text (when read)
    std::vector<QString> answers;  // expected answers; empty: a problem is expected
    int correct = 0;
    const char* problem = "";  // a part of the expected problem
};

TEST(MoodleXml, EachQuestionCaseGivesTheQuestionOrItsProblem) {
    const QStringList two = {QStringLiteral("0|3"), QStringLiteral("100|4")};
    const Case cases[] = {
        {"html text: paragraphs, breaks, entities, folded blanks",
         multichoice(QStringLiteral("<p>Сколько   будет\n 2&nbsp;+&nbsp;2?</p><p>Ответ "
                                    "&laquo;числом&raquo;<br>одной&#x20;цифрой &amp; всё</p>"),
                     two),
         QStringLiteral("Сколько будет 2 + 2?\r\nОтвет «числом»\r\nодной цифрой & всё"),
         answers({"3", "4"}), 2},
        {"<single> missing and fractions written with decimals",
         QStringLiteral("<question type=\"multichoice\"><questiontext format=\"plain_text\">"
                        "<text>Q</text></questiontext><answer fraction=\"100.0000000\"><text>a"
                        "</text></answer><answer fraction=\"-33.33333\"><text>b</text></answer>"
                        "<answer fraction=\"50\"><text>c</text></answer></question>"),
         QStringLiteral("Q"), answers({"a", "b", "c"}), 1},
        {"<single>1</single> is single",
         multichoice(QStringLiteral("Q"), two, QStringLiteral("html"),
                     QStringLiteral("<single>1</single>")),
         QStringLiteral("Q"), answers({"3", "4"}), 2},
        {"<single>false</single>",
         multichoice(QStringLiteral("Q"), two, QStringLiteral("html"),
                     QStringLiteral("<single>false</single>")),
         {},
         {},
         0,
         "нескольких"},
        {"two answers at 100",
         multichoice(QStringLiteral("Q"), {QStringLiteral("100|a"), QStringLiteral("100|b")}),
         {},
         {},
         0,
         "несколько: 2"},
        {"partial credit only",
         multichoice(QStringLiteral("Q"), {QStringLiteral("50|a"), QStringLiteral("50|b")}),
         {},
         {},
         0,
         "нет ответа с оценкой 100"},
        {"a blank answer is passed over",
         multichoice(QStringLiteral("Q"),
                     {QStringLiteral("0|a"), QStringLiteral("0| "), QStringLiteral("100|c")}),
         QStringLiteral("Q"), answers({"a", "c"}), 2},
        {"one answer",
         multichoice(QStringLiteral("Q"), {QStringLiteral("100|a")}),
         {},
         {},
         0,
         "ответов: 1"},
        {"seven answers",
         multichoice(QStringLiteral("Q"),
                     {QStringLiteral("100|1"), QStringLiteral("0|2"), QStringLiteral("0|3"),
                      QStringLiteral("0|4"), QStringLiteral("0|5"), QStringLiteral("0|6"),
                      QStringLiteral("0|7")}),
         {},
         {},
         0,
         "ответов: 7"},
        {"an empty question text",
         multichoice(QStringLiteral("<p> </p>"), two),
         {},
         {},
         0,
         "пустой текст"},
        {"plain_text keeps markup as text",
         multichoice(QStringLiteral("<b>x</b>  y\n z"), two, QStringLiteral("plain_text")),
         QStringLiteral("<b>x</b>  y\r\n z"), answers({"3", "4"}), 2},
        {"markdown",
         multichoice(QStringLiteral("## Задача\n**Жирный** и `код`, [ссылка](http://x) \\*"), two,
                     QStringLiteral("markdown")),
         QStringLiteral("Задача\r\nЖирный и код, ссылка *"), answers({"3", "4"}), 2},
        {"moodle_auto_format: line ends break lines, tags dropped",
         multichoice(QStringLiteral("Первая <i>строка</i>\nвторая"), two,
                     QStringLiteral("moodle_auto_format")),
         QStringLiteral("Первая строка\r\nвторая"), answers({"3", "4"}), 2},
        {"a CDATA section split around ]]>",
         QStringLiteral("<question type=\"multichoice\"><questiontext format=\"plain_text\">"
                        "<text><![CDATA[a ]]]]><![CDATA[> b]]></text></questiontext>"
                        "<answer fraction=\"100\"><text>x</text></answer>"
                        "<answer fraction=\"0\"><text>y</text></answer></question>"),
         QStringLiteral("a ]]> b"), answers({"x", "y"}), 1},
        {"truefalse, true right",
         QStringLiteral("<question type=\"truefalse\"><questiontext><text>Земля круглая"
                        "</text></questiontext><answer fraction=\"100\"><text>true</text>"
                        "</answer><answer fraction=\"0\"><text>false</text></answer></question>"),
         QStringLiteral("Земля круглая"), answers({"Верно", "Неверно"}), 1},
        {"truefalse, false right",
         QStringLiteral("<question type=\"truefalse\"><questiontext><text>Q</text>"
                        "</questiontext><answer fraction=\"0\"><text>true</text></answer>"
                        "<answer fraction=\"100\"><text>false</text></answer></question>"),
         QStringLiteral("Q"), answers({"Верно", "Неверно"}), 2},
        {"essay",
         QStringLiteral("<question type=\"essay\"><name><text>E</text></name><questiontext>"
                        "<text>Q</text></questiontext></question>"),
         {},
         {},
         0,
         "«эссе» (essay)"},
        {"matching",
         QStringLiteral("<question type=\"matching\"></question>"),
         {},
         {},
         0,
         "на соответствие"},
        {"an unknown type",
         QStringLiteral("<question type=\"ordering2\"></question>"),
         {},
         {},
         0,
         "«ordering2»"},
        {"a picture in an answer",
         QStringLiteral("<question type=\"multichoice\"><questiontext><text>Q</text>"
                        "</questiontext><answer fraction=\"100\" format=\"html\"><text><![CDATA["
                        "<img src=\"@@PLUGINFILE@@/a.png\">]]></text><file name=\"a.png\" "
                        "path=\"/\" encoding=\"base64\">iVBORw0KGgo=</file></answer>"
                        "<answer fraction=\"0\"><text>y</text></answer></question>"),
         {},
         {},
         0,
         "рисунок в ответе 1"},
        {"a picture the file does not carry",
         multichoice(QStringLiteral("Q<img src=\"@@PLUGINFILE@@/gone.png\">"), two),
         {},
         {},
         0,
         "«gone.png» не вложен"},
        {"a picture on another site",
         multichoice(QStringLiteral("Q<img src=\"http://example.org/a.png\">"), two),
         {},
         {},
         0,
         "не вложен"},
        {"an old <image> without its base64",
         multichoice(QStringLiteral("Q"), two, QStringLiteral("html"),
                     QStringLiteral("<image>pics/old.gif</image>")),
         {},
         {},
         0,
         "«old.gif» не вложен"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult r = readMoodleXml(quiz(c.question));
        EXPECT_FALSE(r.refused);
        if (c.answers.empty()) {
            EXPECT_TRUE(r.questions.empty());
            ASSERT_EQ(r.problems.size(), 1u);
            EXPECT_TRUE(r.problems[0].what.contains(QString::fromUtf8(c.problem)))
                << r.problems[0].what.toStdString();
            continue;
        }
        const Question& q = only(r);
        EXPECT_EQ(q.text, c.text);
        EXPECT_EQ(q.answers, c.answers);
        EXPECT_EQ(q.correct, c.correct);
        EXPECT_EQ(q.picture, -1);
    }
}

// The picture of a question: a <file> of its text named by @@PLUGINFILE@@ (percent-encoded,
// with a path), a data: address, or the old <image_base64>; the same bytes twice are one
// picture, two different files with one name are two.
TEST(MoodleXml, PicturesComeFromTheFilesTheTextRefersTo) {
    const QByteArray a = png(1), b = png(2), c = jpeg(3);
    auto withFile = [](const QString& src, const QString& name, const QString& path,
                       const QByteArray& bytes) {
        return QStringLiteral(
                   "<question type=\"multichoice\"><name><text>P</text></name>"
                   "<questiontext format=\"html\"><text><![CDATA[<p>Что это?</p><p><img "
                   "src=\"%1\" alt=\"\" width=\"10\"></p>]]></text><file name=\"%2\" path=\"%3\" "
                   "encoding=\"base64\">%4</file><file name=\"unused.png\" path=\"/\" "
                   "encoding=\"base64\">AAAA</file></questiontext>"
                   "<answer fraction=\"100\"><text>x</text></answer>"
                   "<answer fraction=\"0\"><text>y</text></answer></question>")
            .arg(src, name, path, QString::fromLatin1(bytes.toBase64()));
    };
    const QString body =
        withFile(QStringLiteral("@@PLUGINFILE@@/my%20pic%D1%8F.png"), QStringLiteral("my picя.png"),
                 QStringLiteral("/"), a) +
        withFile(QStringLiteral("@@PLUGINFILE@@/sub/image.png?time=123"),
                 QStringLiteral("image.png"), QStringLiteral("/sub/"), b) +
        withFile(QStringLiteral("@@PLUGINFILE@@/image.png"), QStringLiteral("image.png"),
                 QStringLiteral("/"), a) +
        multichoice(QStringLiteral("Q<img src=\"data:image/jpeg;base64,%1\">")
                        .arg(QString::fromLatin1(c.toBase64())),
                    {QStringLiteral("100|x"), QStringLiteral("0|y")}) +
        multichoice(QStringLiteral("Q"), {QStringLiteral("100|x"), QStringLiteral("0|y")},
                    QStringLiteral("html"),
                    QStringLiteral("<image>images/old.gif</image><image_base64>%1</image_base64>")
                        .arg(QString::fromLatin1(QByteArray("GIF89a-old").toBase64())));
    const ReadResult r = readMoodleXml(quiz(body));
    ASSERT_EQ(r.questions.size(), 5u) << problemsOf(r);
    EXPECT_TRUE(r.problems.empty()) << problemsOf(r);
    EXPECT_EQ(r.questions[0].text, QStringLiteral("Что это?"));
    ASSERT_EQ(r.pictures.size(), 4u);
    EXPECT_EQ(r.questions[0].picture, 0);
    EXPECT_EQ(r.pictures[0].name, QStringLiteral("my picя.png"));
    EXPECT_EQ(r.pictures[0].bytes, a);
    EXPECT_TRUE(r.pictures[0].embedded);
    EXPECT_EQ(r.questions[1].picture, 1);
    EXPECT_EQ(r.pictures[1].bytes, b);
    EXPECT_EQ(r.questions[2].picture, 0) << "the same bytes are the same picture";
    EXPECT_EQ(r.pictures[r.questions[3].picture].bytes, c);
    EXPECT_EQ(r.pictures[r.questions[4].picture].name, QStringLiteral("old.gif"));
    EXPECT_EQ(r.pictures[r.questions[4].picture].bytes, QByteArray("GIF89a-old"));
}

TEST(MoodleXml, TwoPicturesInOneQuestionOrANonPictureAreProblems) {
    const QString two = QStringLiteral(
        "<question type=\"multichoice\"><name><text>Два</text></name><questiontext "
        "format=\"html\"><text><![CDATA[<img src=\"@@PLUGINFILE@@/a.png\"><img "
        "src=\"@@PLUGINFILE@@/b.png\">]]></text><file name=\"a.png\" encoding=\"base64\">%1"
        "</file><file name=\"b.png\" encoding=\"base64\">%2</file></questiontext>"
        "<answer fraction=\"100\"><text>x</text></answer><answer fraction=\"0\"><text>y</text>"
        "</answer></question>");
    const QString notPicture = QStringLiteral(
        "<question type=\"multichoice\"><name><text>SVG</text></name><questiontext "
        "format=\"html\"><text><![CDATA[Q<img src=\"@@PLUGINFILE@@/a.svg\">]]></text>"
        "<file name=\"a.svg\" encoding=\"base64\">%1</file></questiontext>"
        "<answer fraction=\"100\"><text>x</text></answer><answer fraction=\"0\"><text>y</text>"
        "</answer></question>");
    const ReadResult r = readMoodleXml(quiz(
        two.arg(QString::fromLatin1(png(1).toBase64()), QString::fromLatin1(png(2).toBase64())) +
        notPicture.arg(QString::fromLatin1(QByteArray("<svg/>").toBase64()))));
    EXPECT_TRUE(r.questions.empty());
    EXPECT_TRUE(r.pictures.empty()) << "pictures of left-out questions are dropped";
    ASSERT_EQ(r.problems.size(), 2u);
    EXPECT_TRUE(r.problems[0].what.contains(QStringLiteral("рисунков в вопросе 2")));
    EXPECT_EQ(r.problems[0].where.name, QStringLiteral("Два"));
    EXPECT_TRUE(r.problems[1].what.contains(QStringLiteral("«a.svg» — не BMP, PNG, JPEG или GIF")));
}

TEST(MoodleXml, CategoriesNameTheTopicsOfTheQuestionsAfterThem) {
    auto category = [](const QString& path) {
        return QStringLiteral(
                   "<question type=\"category\"><category><text>%1</text></category>"
                   "<info format=\"html\"><text>i</text></info></question>")
            .arg(path);
    };
    const QString q =
        multichoice(QStringLiteral("Q"), {QStringLiteral("100|a"), QStringLiteral("0|b")});
    const ReadResult r = readMoodleXml(
        quiz(q + category(QStringLiteral("$course$/top/Математика/Дроби // доли")) + q +
             category(QStringLiteral("$course$/По умолчанию для 7А")) + q +
             category(QStringLiteral("$course$/top")) + q + category(QString(300, u'т')) + q));
    ASSERT_EQ(r.questions.size(), 4u) << problemsOf(r);
    EXPECT_EQ(r.questions[0].topic, QString());
    EXPECT_EQ(r.questions[1].topic, QStringLiteral("Дроби / доли"));
    EXPECT_EQ(r.questions[2].topic, QStringLiteral("По умолчанию для 7А"));
    EXPECT_EQ(r.questions[3].topic, QString());
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_TRUE(r.problems[0].what.contains(QStringLiteral("название темы длиннее 255")));
}

TEST(MoodleXml, ProblemsNameTheLineAndTheQuestion) {
    const QByteArray file = quiz(QStringLiteral(
        "<question type=\"multichoice\">\n<name><text> Первый </text></name>\n"
        "<questiontext><text>Q</text></questiontext></question>\n"
        "<question type=\"shortanswer\">\n<name><text>Второй</text></name></question>"));
    const ReadResult r = readMoodleXml(file);
    ASSERT_EQ(r.problems.size(), 2u);
    EXPECT_EQ(r.problems[0].where.line, 3);
    EXPECT_EQ(r.problems[0].where.name, QStringLiteral("Первый"));
    EXPECT_EQ(r.problems[0].where.describe(), QStringLiteral("строка 3, «Первый»"));
    EXPECT_EQ(r.problems[1].where.line, 6);
    EXPECT_TRUE(r.problems[1].what.contains(QStringLiteral("короткий ответ")));
}

TEST(MoodleXml, AByteOrderMarkIsAllowed) {
    const QByteArray file =
        "\xEF\xBB\xBF" +
        quiz(multichoice(QStringLiteral("Ёж"), {QStringLiteral("100|a"), QStringLiteral("0|b")}));
    const ReadResult r = readMoodleXml(file);
    EXPECT_EQ(only(r).text, QStringLiteral("Ёж"));
}

// A file that cannot be read as a whole gives one problem and nothing to import.
TEST(MoodleXml, UnreadableFilesAreRefusedWithAReason) {
    const QByteArray good =
        quiz(multichoice(QStringLiteral("Q"), {QStringLiteral("100|a"), QStringLiteral("0|b")}));
    const struct {
        const char* what;
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"windows-1251 declared", QByteArray(good).replace("UTF-8", "windows-1251"),
         "кодировке «windows-1251»"},
        {"UTF-16", QByteArray("\xFF\xFE<\0q\0", 6), "UTF-16"},
        {"another root", "<?xml version=\"1.0\"?><html><body/></html>", "«html»"},
        {"empty", "", "пуст"},
        {"not XML", "01.Тема\r\n", "повреждён"},
        {"mismatched tags", QByteArray(good).replace("</question>", "</questio>"), "повреждён"},
        {"garbage after the root", good + "<quiz/>", "повреждён"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult r = readMoodleXml(c.bytes);
        EXPECT_TRUE(r.refused);
        EXPECT_TRUE(r.questions.empty());
        ASSERT_EQ(r.problems.size(), 1u);
        EXPECT_TRUE(r.problems[0].what.contains(QString::fromUtf8(c.reason)))
            << r.problems[0].what.toStdString();
    }
    EXPECT_FALSE(readMoodleXml(good).refused);
}

// A file cut off anywhere before its end is refused whole: the questions before the cut are
// not imported either.
TEST(MoodleXml, AFileCutOffAnywhereImportsNothing) {
    QString body;
    for (int i = 0; i < 3; ++i)
        body += multichoice(QStringLiteral("Вопрос %1").arg(i),
                            {QStringLiteral("100|a"), QStringLiteral("0|b")});
    const QByteArray file = quiz(body);
    const qsizetype end = file.lastIndexOf("</quiz>") + 7;
    ASSERT_EQ(readMoodleXml(file).questions.size(), 3u);
    for (qsizetype cut = 0; cut < end; ++cut) {
        const ReadResult r = readMoodleXml(file.left(cut));
        ASSERT_TRUE(r.refused) << "cut at " << cut;
        ASSERT_TRUE(r.questions.empty()) << "cut at " << cut;
    }
}

}  // namespace
