// The printout's values and HTML without a printer: which questions and answers a paper holds
// and in what order, the variants' draw, and stored markup in the HTML.
#include <gtest/gtest.h>

#include <QSet>
#include <algorithm>

#include "print/pagehtml.h"
#include "print/paper.h"
#include "tests/print_testing.h"

namespace {

using namespace zn::print;
using printtest::answerText;
using printtest::coded;

struct TempBank {
    QString dir = QString::fromStdString(zntest::tempDir());
    QString path = dir + QStringLiteral("/банк.mdb");
};

// The bank's own order whatever the rows' order: topics by number, questions by number,
// answers by idotv; kolotvet cuts off answer rows beyond it; a question whose otvet names none
// of its answers has no correct one; a question of no topic is not printed.
TEST(PrintPaper, BankIsPrintedInTheBanksOrderWithItsOwnKey) {
    TempBank b;
    prtest::RawQ q2 = coded(3, 2, 3, 0);  // otvet 0: no correct answer
    prtest::RawQ q1 = coded(3, 1, 3, 3);
    q1.kolotvet = 2;  // the third row is not one of its answers; otvet 3 names none of them
    prtest::RawQ loose = coded(1, 1, 0, 2);
    prtest::writeBank(b.path, {{3, QStringLiteral("Третья"), 2}, {1, QStringLiteral("Первая"), 1}},
                      {q2, q1, loose, coded(9, 1, 2, 1)},
                      // The answers of `loose` (question id 3), stored out of idotv order.
                      {{3, 2, answerText(1, 1, 2)}, {3, 1, answerText(1, 1, 1)}});
    const Paper paper = makePaper(printtest::sourceOf(b.path), {});
    ASSERT_EQ(paper.sections.size(), 1u);
    const auto& groups = paper.sections[0].groups;
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].heading, QStringLiteral("Тема 1. Первая"));
    EXPECT_EQ(groups[1].heading, QStringLiteral("Тема 3. Третья"));
    ASSERT_EQ(groups[0].questions.size(), 1u);
    EXPECT_EQ(groups[0].questions[0].answers,
              (std::vector<QString>{answerText(1, 1, 1), answerText(1, 1, 2)}));
    EXPECT_EQ(groups[0].questions[0].correct, 1);
    ASSERT_EQ(groups[1].questions.size(), 2u);
    EXPECT_EQ(groups[1].questions[0].label, QStringLiteral("1"));
    EXPECT_EQ(groups[1].questions[0].answers.size(), 2u);
    EXPECT_EQ(groups[1].questions[0].correct, -1);
    EXPECT_EQ(groups[1].questions[1].correct, -1);
    EXPECT_EQ(paper.questionCount(), 3);
    EXPECT_EQ(paper.withoutCorrect(), (QStringList{QStringLiteral("тема 3, вопрос 1"),
                                                   QStringLiteral("тема 3, вопрос 2")}));

    Options topics;
    topics.scope = Scope::Topics;
    topics.topics = {3, 42};
    const Paper chosen = makePaper(printtest::sourceOf(b.path), topics);
    ASSERT_EQ(chosen.sections[0].groups.size(), 1u);
    EXPECT_EQ(chosen.sections[0].groups[0].heading, QStringLiteral("Тема 3. Третья"));
}

// Variants: N distinct questions from each chosen topic (all of a smaller one), numbered from
// 1, answers a shuffle of the question's own with the correct one's place following its text;
// a seed always gives the same variants and variant k is variant 1 of the seed k - 1 above.
TEST(PrintPaper, VariantsDrawPerTopicAndShuffleAnswersFromTheSeed) {
    TempBank b;
    std::vector<prtest::RawQ> qs;
    for (int q = 1; q <= 12; ++q) qs.push_back(coded(1, q, 2 + q % 5, 1 + q % 2));
    for (int q = 1; q <= 3; ++q) qs.push_back(coded(2, q, 4, 4));
    for (int q = 1; q <= 6; ++q) qs.push_back(coded(3, q, 3, 2));
    prtest::writeBank(
        b.path,
        {{1, QStringLiteral("А"), 12}, {2, QStringLiteral("Б"), 3}, {3, QStringLiteral("В"), 6}},
        qs);
    const Source source = printtest::sourceOf(b.path);
    Options o;
    o.scope = Scope::Variants;
    o.topics = {1, 2};
    o.perTopic = 5;
    o.variants = 4;
    o.seed = 0xFFFFFFFEu;  // the variants' seeds wrap around to 0 and 1
    const Paper paper = makePaper(source, o);
    ASSERT_EQ(paper.sections.size(), 4u);

    bool shuffled = false;
    QSet<QString> orders;
    for (size_t v = 0; v < paper.sections.size(); ++v) {
        const Section& s = paper.sections[v];
        EXPECT_EQ(s.seed, quint32(o.seed + v));
        ASSERT_EQ(s.groups.size(), 1u);
        const auto& questions = s.groups[0].questions;
        ASSERT_EQ(questions.size(), 8u);  // 5 of topic 1, all 3 of topic 2
        QSet<qint64> seen;
        QString order;
        for (size_t i = 0; i < questions.size(); ++i) {
            const Question& q = questions[i];
            EXPECT_EQ(q.label, QString::number(i + 1));
            EXPECT_EQ(q.topic, i < 5 ? 1 : 2);
            EXPECT_FALSE(seen.contains(q.topic * 100 + q.number));
            seen.insert(q.topic * 100 + q.number);
            order += QString::number(q.number) + u',';
            // The same answers, the correct one where its text went.
            const prtest::RawQ& raw = qs[size_t(q.topic == 1 ? q.number - 1 : 11 + q.number)];
            std::vector<QString> sorted = q.answers;
            std::sort(sorted.begin(), sorted.end());
            std::vector<QString> own = raw.answers;
            std::sort(own.begin(), own.end());
            EXPECT_EQ(sorted, own);
            ASSERT_GE(q.correct, 0);
            EXPECT_EQ(q.answers[size_t(q.correct)], raw.answers[size_t(raw.otvet - 1)]);
            shuffled = shuffled || q.answers != raw.answers;
        }
        orders.insert(order);
    }
    EXPECT_TRUE(shuffled);
    EXPECT_GT(orders.size(), 1);

    auto sameQuestions = [](const Section& a, const Section& b) {
        const auto &x = a.groups[0].questions, &y = b.groups[0].questions;
        if (x.size() != y.size()) return false;
        for (size_t i = 0; i < x.size(); ++i)
            if (x[i].number != y[i].number || x[i].answers != y[i].answers ||
                x[i].correct != y[i].correct)
                return false;
        return true;
    };
    const Paper again = makePaper(source, o);
    for (size_t v = 0; v < 4; ++v) EXPECT_TRUE(sameQuestions(again.sections[v], paper.sections[v]));
    Options third = o;
    third.seed = variantSeed(o.seed, 3);
    third.variants = 1;
    EXPECT_TRUE(sameQuestions(makePaper(source, third).sections[0], paper.sections[2]));
    Options other = o;
    other.seed = 17;
    EXPECT_FALSE(sameQuestions(makePaper(source, other).sections[0], paper.sections[0]));

    // No topics chosen: every topic; more asked than a topic has: all of it.
    o.topics = {};
    o.perTopic = 100;
    o.variants = 1;
    EXPECT_EQ(makePaper(source, o).questionCount(), 21);
}

// A seed printed on a paper must give the same draw in every later build: the generator is
// splitmix64 (its published first output for seed 0).
TEST(PrintPaper, DrawIsSplitmix64) {
    EXPECT_EQ(Draw(0).next(), 0xE220A8397B1DCDAFull);
    Draw d(9);
    for (int i = 0; i < 1000; ++i) EXPECT_LT(d.below(7), 7u);
}

// Stored texts are markup on the question page; on paper the simple type tags stay, balanced,
// and nothing a text holds can break the page around it.
TEST(PrintHtml, StoredMarkupIsKeptBalancedOrPrintedAsText) {
    const struct {
        const char* stored;
        const char* html;
    } cases[] = {
        {"H<sub>2</sub>O и x<SUP>2</SUP>", "H<sub>2</sub>O и x<sup>2</sup>"},
        {"<b>жирный", "<b>жирный</b>"},
        {"конец</table></td> текста</b>", "конец текста"},
        {"<b><i>вложено</b> дальше</i>", "<b><i>вложено</i></b> дальше"},
        {"x < 5 && y > 2", "x &lt; 5 &amp;&amp; y &gt; 2"},
        {"&laquo;ёлка&raquo; &#1025; &#x401; &nope",
         "&laquo;ёлка&raquo; &#1025; &#x401; &amp;nope"},
        {"  строка 1\r\nстрока 2\nстрока 3\r", "строка 1<br>строка 2<br>строка 3"},
        {"<p>абзац</p><p>второй</p><br/>", "абзац<br>второй<br>"},
        {"<script>alert(1)</script><img src=x.png>текст<!-- заметка -->", "alert(1)текст"},
        {"<font color=red>красный</font> <b/>", "красный "},
        {"a <1 b", "a &lt;1 b"},
        {"незакрытый <b", "незакрытый &lt;b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textHtml(QString::fromUtf8(c.stored)), QString::fromUtf8(c.html)) << c.stored;
}

}  // namespace
