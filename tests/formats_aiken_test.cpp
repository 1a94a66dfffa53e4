// Aiken reading: labels, the ANSWER line, and the questions that are reported instead of
// guessed.
#include <gtest/gtest.h>

#include "formats/aiken.h"
#include "formats/exchange.h"
#include "formats_testing.h"

namespace {

using namespace formatstest;

struct Case {
    const char* what;
    const char* aiken;
    const char* text;              // expected question text (when read)
    std::vector<QString> answers;  // expected answers; empty: a problem is expected
    int correct = 0;
    const char* problem = "";
};

TEST(Aiken, EachQuestionCaseGivesTheQuestionOrItsProblem) {
    const Case cases[] = {
        {"labels with dots", "Сколько будет 2+2?\nA. 3\nB. 4\nC. 5\nANSWER: B\n",
         "Сколько будет 2+2?", answers({"3", "4", "5"}), 2},
        {"labels with brackets and no blank", "Q\nA)3\nB)  4\nANSWER:A", "Q", answers({"3", "4"}),
         1},
        {"Cyrillic labels", "Столица?\nА) Москва\nБ) Рим\nВ) Осло\nANSWER: В", "Столица?",
         answers({"Москва", "Рим", "Осло"}), 3},
        {"a Cyrillic look-alike among Latin labels", "Q\nА. x\nB. y\nС. z\nANSWER: C", "Q",
         answers({"x", "y", "z"}), 3},
        {"a Cyrillic letter that looks like a Latin label", "Q\nA. x\nB. y\nANSWER: В", "Q",
         answers({"x", "y"}), 2},
        {"a question over two lines", "Первая строка\nвторая\nA. x\nB. y\nANSWER: A",
         "Первая строка\r\nвторая", answers({"x", "y"}), 1},
        {"blank lines between answers", "Q\nA. x\n\nB. y\n\nANSWER: B", "Q", answers({"x", "y"}),
         2},
        {"an answer in lower case", "Q\nA. x\nB. y\nANSWER: b", "", {}, 0, "«b» строчная"},
        {"an answer out of range",
         "Q\nA. x\nB. y\nANSWER: D",
         "",
         {},
         0,
         "буквы «D» нет среди ответов (A–B)"},
        {"several letters", "Q\nA. x\nB. y\nANSWER: A, B", "", {}, 0, "не одна буква"},
        {"no letter", "Q\nA. x\nB. y\nANSWER:", "", {}, 0, "нет буквы"},
        {"no ANSWER at the end", "Q\nA. x\nB. y\n", "", {}, 0, "нет строки «ANSWER:»"},
        {"ANSWER without answers", "Q\nANSWER: A", "", {}, 0, "нет вариантов"},
        {"ANSWER without a question", "ANSWER: A", "", {}, 0, "без вопроса"},
        {"a label out of order is text", "Q\nB. x\nA. y\nANSWER: A", "", {}, 0, "ответов: 1"},
        {"one answer", "Q\nA. x\nANSWER: A", "", {}, 0, "ответов: 1"},
        {"seven answers",
         "Q\nA. 1\nB. 2\nC. 3\nD. 4\nE. 5\nF. 6\nG. 7\nANSWER: A",
         "",
         {},
         0,
         "ответов: 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult r = readAiken(QByteArray(c.aiken));
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
        EXPECT_TRUE(q.topic.isEmpty());
    }
}

// A question that lacks its ANSWER line does not swallow the next one, with or without a blank
// line between them; problems carry the question's first line.
TEST(Aiken, AQuestionWithoutAnswerLineIsReportedAndTheNextIsRead) {
    const QByteArray file =
        zn::exchange::toWindows1251(QStringLiteral("Первый?\nA. x\nB. y\n"
                                                   "Второй?\nA. x\nB. y\nANSWER: A\n"
                                                   "Третий?\nA. x\nB. y\n\n"
                                                   "Четвёртый?\r\nA. x\r\nB. y\r\nANSWER: B\r\n"
                                                   "Пятый?\n\n"
                                                   "Шестой?\nA. x\nB. y\nANSWER: A\n"));
    const ReadResult r = readAiken(file);
    ASSERT_EQ(r.questions.size(), 3u) << problemsOf(r);
    EXPECT_EQ(r.questions[0].text, QStringLiteral("Второй?"));
    EXPECT_EQ(r.questions[0].where.line, 4);
    EXPECT_EQ(r.questions[1].text, QStringLiteral("Четвёртый?"));
    EXPECT_EQ(r.questions[1].correct, 2);
    EXPECT_EQ(r.questions[2].text, QStringLiteral("Шестой?"));
    ASSERT_EQ(r.problems.size(), 3u) << problemsOf(r);
    EXPECT_EQ(r.problems[0].where.line, 1);
    EXPECT_EQ(r.problems[1].where.line, 8);
    EXPECT_EQ(r.problems[2].where.line, 16);
    EXPECT_TRUE(r.problems[2].what.contains(QStringLiteral("нет вариантов")));
}

}  // namespace
