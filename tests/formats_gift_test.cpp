// GIFT reading: one small question per corner case of the syntax, categories, comments and
// where problems are reported.
#include <gtest/gtest.h>

#include "formats/exchange.h"
#include "formats/gift.h"
#include "formats_testing.h"

namespace {

using namespace formatstest;

struct Case {
    const char* what;
    const char* gift;
    const char* text;              // expected question text (when read)
    std::vector<QString> answers;  // expected answers; empty: a problem is expected
    int correct = 0;
    const char* problem = "";  // a part of the expected problem
};

TEST(Gift, EachQuestionCaseGivesTheQuestionOrItsProblem) {
    const Case cases[] = {
        {"name, right and wrong answers", "::Q1:: Сколько будет 2+2? {~3 =4 ~5}",
         "Сколько будет 2+2?", answers({"3", "4", "5"}), 2},
        {"answers on their own lines, feedback and general feedback dropped",
         "Столица Франции?\n{\n  =Париж#Верно!\n  ~Лион#Нет\n  ####Общий отзыв\n}",
         "Столица Франции?", answers({"Париж", "Лион"}), 1},
        {"every escape", "a\\~b\\=c\\#d\\{e\\}f\\:g\\\\h\\ni {=x\\=y ~z\\}}",
         "a~b=c#d{e}f:g\\h\r\ni", answers({"x=y", "z}"}), 1},
        {"a question over several lines", "Первая строка\nвторая {=да ~нет}",
         "Первая строка\r\nвторая", answers({"да", "нет"}), 1},
        {"[html] text and answers", "[html]<p>Это <b>жирный</b>&nbsp;текст</p> {=<i>а</i> ~б}",
         "Это жирный текст", answers({"а", "б"}), 1},
        {"[plain] keeps markup", "[plain]<b>x</b>  y {=1 ~2}", "<b>x</b>  y", answers({"1", "2"}),
         1},
        {"[markdown]", "::M::[markdown]**Жирный** текст {=1 ~2}", "Жирный текст",
         answers({"1", "2"}), 1},
        {"an answer with its own format", "Q {=[html]<b>a</b> ~[plain]<b>b</b>}", "Q",
         answers({"a", "<b>b</b>"}), 1},
        {"weights: one at 100 among partial ones", "Q {~%50%a ~%100%b ~%-25%c ~d}", "Q",
         answers({"a", "b", "c", "d"}), 2},
        {"weights with a decimal comma", "Q {~%33,3%a =b}", "Q", answers({"a", "b"}), 2},
        {"missing word", "Столица {=Москва ~Рим} России.", "Столица _____ России.",
         answers({"Москва", "Рим"}), 1},
        {"{T}", "Земля круглая. {T}", "Земля круглая.", answers({"Верно", "Неверно"}), 1},
        {"{TRUE} with feedback", "Q {TRUE#Да#Нет}", "Q", answers({"Верно", "Неверно"}), 1},
        {"{F}", "Q {F}", "Q", answers({"Верно", "Неверно"}), 2},
        {"{false}", "Q {false}", "Q", answers({"Верно", "Неверно"}), 2},
        {"two right answers", "Q {=a =b ~c}", "", {}, 0, "несколько: 2"},
        {"partial weights only", "Q {~%50%a ~%50%b}", "", {}, 0, "нет ответа с весом 100"},
        {"a weight that is no number", "Q {~%x%a =b}", "", {}, 0, "«x» — не число"},
        {"an unclosed weight", "Q {~%50a =b}", "", {}, 0, "не закрыт «%»"},
        {"essay", "Опишите {}", "", {}, 0, "эссе"},
        {"numerical", "Сколько? {#4:0.5}", "", {}, 0, "числовым"},
        {"matching", "Сопоставьте {=a -> 1 =b -> 2}", "", {}, 0, "соответствие"},
        {"an arrow among choices is text", "Q {=a -> b ~c}", "Q", answers({"a -> b", "c"}), 1},
        {"short answer", "Столица? {=Париж =Paris}", "", {}, 0, "кратким"},
        {"no answer block", "Просто текст", "", {}, 0, "описание"},
        {"an unclosed answer block", "Q {=a ~b", "", {}, 0, "не закрыт «}»"},
        {"two answer blocks", "a {=1 ~2} b {=3 ~4}", "", {}, 0, "несколько блоков"},
        {"an unclosed name", "::Q1 текст {=a ~b}", "", {}, 0, "«::»"},
        {"an answer block that is no list", "Q {a =b}", "", {}, 0, "«=» или «~»"},
        {"a picture in the text",
         "[html]Q<img src=\"@@PLUGINFILE@@/a.png\"> {=a ~b}",
         "",
         {},
         0,
         "«@@PLUGINFILE@@/a.png» не вложен"},
        {"one answer", "Q {=a ~}", "", {}, 0, "ответ 2 пуст"},
        {"seven answers", "Q {=1 ~2 ~3 ~4 ~5 ~6 ~7}", "", {}, 0, "ответов: 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult r = readGift(QByteArray(c.gift));
        if (c.answers.empty()) {
            EXPECT_TRUE(r.questions.empty());
            ASSERT_EQ(r.problems.size(), 1u);
            EXPECT_TRUE(r.problems[0].what.contains(QString::fromUtf8(c.problem)))
                << r.problems[0].what.toStdString();
            continue;
        }
        const Question& q = only(r);
        EXPECT_EQ(q.text, QString::fromUtf8(c.text));
        EXPECT_EQ(q.answers, c.answers);
        EXPECT_EQ(q.correct, c.correct);
    }
}

TEST(Gift, CommentsCategoriesAndBlankLinesShapeTheFile) {
    const char* file =
        "// Тест по географии\n"
        "::Без темы:: Q1 {=a ~b}\n"
        "\n"
        "$CATEGORY: $course$/top/География/Реки // озёра\n"
        "\n"
        "// комментарий между вопросами\n"
        "::Второй::\n"
        "// комментарий внутри вопроса\n"
        "Q2 {\n"
        "=a\n"
        "~b\n"
        "}\n"
        "\n\n"
        "$CATEGORY: Химия\n"
        "Q3 {=a ~b}\n"
        "\n"
        "::Плохой:: Q4 {=a =b}\n"
        "\n"
        "Q5 {T}\n";
    const ReadResult r = readGift(QByteArray(file));
    ASSERT_EQ(r.questions.size(), 4u) << problemsOf(r);
    EXPECT_EQ(r.questions[0].topic, QString());
    EXPECT_EQ(r.questions[0].where.name, QStringLiteral("Без темы"));
    EXPECT_EQ(r.questions[0].where.line, 2);
    EXPECT_EQ(r.questions[1].topic, QStringLiteral("Реки / озёра"));
    EXPECT_EQ(r.questions[1].text, QStringLiteral("Q2"));
    EXPECT_EQ(r.questions[1].where.line, 7);
    EXPECT_EQ(r.questions[2].topic, QStringLiteral("Химия"));
    EXPECT_EQ(r.questions[2].where.line, 16);
    EXPECT_EQ(r.questions[3].topic, QStringLiteral("Химия"));
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].where.describe(), QStringLiteral("строка 18, «Плохой»"));
}

TEST(Gift, AWindows1251FileIsDecoded) {
    const QByteArray file = zn::exchange::toWindows1251(QStringLiteral("Вопрос {=Да ~Нет}"));
    const ReadResult r = readGift(file);
    const Question& q = only(r);
    EXPECT_EQ(q.text, QStringLiteral("Вопрос"));
    EXPECT_EQ(q.answers, answers({"Да", "Нет"}));
}

// Files pasted together leave a byte-order mark inside: it is no part of a text (the GIFT
// writer would put it at the start of its file, where it is read as the file's own).
TEST(Gift, AByteOrderMarkInsideTheFileIsNoPartOfATextNorOfATopic) {
    const ReadResult r = readGift(
        "Q1 {=a ~b}\n\n$CATEGORY: \xEF\xBB\xBFT\n\n\xEF\xBB\xBFQ2 {=\xEF\xBB\xBF"
        "a ~b}\n");
    ASSERT_EQ(r.questions.size(), 2u) << problemsOf(r);
    EXPECT_EQ(r.questions[1].text, QStringLiteral("Q2"));
    EXPECT_EQ(r.questions[1].topic, QStringLiteral("T"));
    EXPECT_EQ(r.questions[1].answers, answers({"a", "b"}));
    const ReadResult back = readGift(writeGift(r).bytes);
    ASSERT_EQ(back.questions.size(), 2u) << problemsOf(back);
    EXPECT_EQ(back.questions[1].text, QStringLiteral("Q2"));
}

}  // namespace
