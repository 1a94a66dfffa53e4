// CSV reading: separators, quoting, encodings and the row layouts spreadsheets save.
#include <gtest/gtest.h>

#include "formats/csv.h"
#include "formats/exchange.h"
#include "formats_testing.h"

namespace {

using namespace formatstest;

// A whole table as a Russian spreadsheet saves it: header, ";", Windows-1251, CR LF, all ten
// columns, empty cells for the answers not used, and a picture.
TEST(Csv, ASpreadsheetSavedTableIsRead) {
    const QByteArray file = zn::exchange::toWindows1251(QStringLiteral(
        "Тема;Вопрос;Ответ 1;Ответ 2;Ответ 3;Ответ 4;Ответ 5;Ответ 6;Верный;Рисунок\r\n"
        "Физика;Единица силы?;Ньютон;Джоуль;Ватт;;;;1;\r\n"
        "Физика;\"Что на рисунке; и где?\";Линза;\"Зеркало \"\"плоское\"\"\";;;;;2;pic1.jpg\r\n"
        "Химия;\"Формула\r\nводы?\";H2O;CO2;;;;;1;pic1.jpg\r\n"));
    const ReadResult r = readCsv(file);
    ASSERT_EQ(r.questions.size(), 3u) << problemsOf(r);
    EXPECT_TRUE(r.problems.empty()) << problemsOf(r);
    const Question& a = r.questions[0];
    EXPECT_EQ(a.topic, QStringLiteral("Физика"));
    EXPECT_EQ(a.text, QStringLiteral("Единица силы?"));
    EXPECT_EQ(a.answers, answers({"Ньютон", "Джоуль", "Ватт"}));
    EXPECT_EQ(a.correct, 1);
    EXPECT_EQ(a.picture, -1);
    EXPECT_EQ(a.where.line, 2);
    const Question& b = r.questions[1];
    EXPECT_EQ(b.text, QStringLiteral("Что на рисунке; и где?"));
    EXPECT_EQ(b.answers, answers({"Линза", "Зеркало \"плоское\""}));
    EXPECT_EQ(b.correct, 2);
    ASSERT_EQ(r.pictures.size(), 1u) << "one name, one picture";
    EXPECT_EQ(r.pictures[0].name, QStringLiteral("pic1.jpg"));
    EXPECT_FALSE(r.pictures[0].embedded);
    EXPECT_EQ(b.picture, 0);
    const Question& c = r.questions[2];
    EXPECT_EQ(c.text, QStringLiteral("Формула\r\nводы?"));
    EXPECT_EQ(c.picture, 0);
    EXPECT_EQ(c.where.line, 4);
}

struct Case {
    const char* what;
    QByteArray csv;
    const char* text;              // expected question text (when read)
    std::vector<QString> answers;  // expected answers; empty: a problem is expected
    int correct = 0;
    const char* picture = "";
    const char* problem = "";
};

TEST(Csv, EachRowCaseGivesTheQuestionOrItsProblem) {
    const Case cases[] = {
        {"commas, UTF-8 with a byte-order mark", "\xEF\xBB\xBFТ,Вопрос,да,нет,1\n", "Вопрос",
         answers({"да", "нет"}), 1},
        {"UTF-8 without a mark, tabs", "Т\tQ\ta\tb\tc\t3\tp.png\n", "Q", answers({"a", "b", "c"}),
         3, "p.png"},
        {"commas inside quotes do not count for the separator", "\"a,b,c\";Q;x;y;2\n", "Q",
         answers({"x", "y"}), 2},
        {"a short row: answers then the number", "Т;Q;3;4;5;2\n", "Q", answers({"3", "4", "5"}), 2},
        {"a short row with a picture", "Т;Q;3;4;2;a.gif", "Q", answers({"3", "4"}), 2, "a.gif"},
        {"blanks around unquoted fields", " Т ; Q ; a ; b ; 1 \n", "Q", answers({"a", "b"}), 1},
        {"a lone CR ends rows", "Т;Q;a;b;1\r", "Q", answers({"a", "b"}), 1},
        {"a header in English", "topic;question;a1;a2;right\nТ;Q;a;b;2\n", "Q", answers({"a", "b"}),
         2},
        {"no number", "Т;Q;a;b\n", "", {}, 0, "", "нет номера верного ответа"},
        {"a number out of range", "Т;Q;a;b;3\n", "", {}, 0, "", "номер верного ответа 3"},
        {"an empty answer between others", "Т;Q;a;;c;;;;1;\n", "", {}, 0, "", "ответ 2 пуст"},
        {"a picture name too long",
         "Т;Q;a;b;1;picture123.png\n",
         "",
         {},
         0,
         "",
         "длиннее 10 символов"},
        {"a quote left open", "Т;\"Q;a;b;1\nТ;Q;a;b;1\n", "", {}, 0, "", "кавычка не закрыта"},
        {"seven answers", "Т;Q;1;2;3;4;5;6;7;1\n", "", {}, 0, "", "ответов: 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult r = readCsv(c.csv);
        if (c.answers.empty()) {
            EXPECT_TRUE(r.questions.empty());
            ASSERT_EQ(r.problems.size(), 1u) << problemsOf(r);
            EXPECT_TRUE(r.problems[0].what.contains(QString::fromUtf8(c.problem)))
                << r.problems[0].what.toStdString();
            continue;
        }
        const Question& q = only(r);
        EXPECT_EQ(q.text, QString::fromUtf8(c.text));
        EXPECT_EQ(q.answers, c.answers);
        EXPECT_EQ(q.correct, c.correct);
        EXPECT_EQ(q.picture >= 0 ? r.pictures[size_t(q.picture)].name : QString(),
                  QString::fromUtf8(c.picture));
    }
}

// A bad row is reported with the line it starts on, and the rows around it are read.
TEST(Csv, ABadRowDoesNotStopTheOthers) {
    const QByteArray file =
        "T;\"two\nlines\";a;b;1\n"
        "\n"
        "T;Q;a;b;x\n"
        "T;Q2;a;b;2\n";
    const ReadResult r = readCsv(file);
    ASSERT_EQ(r.questions.size(), 2u) << problemsOf(r);
    EXPECT_EQ(r.questions[1].text, QStringLiteral("Q2"));
    EXPECT_EQ(r.questions[1].where.line, 5);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].where.line, 4);
}

}  // namespace
