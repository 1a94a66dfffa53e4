// Export and import again: what a writer puts into a file reads back into the same questions,
// answers and pictures, and what a format cannot carry is reported.
#include <gtest/gtest.h>

#include "formats/aiken.h"
#include "formats/formats.h"
#include "formats/gift.h"
#include "formats/moodlexml.h"
#include "formats_testing.h"

namespace {

using namespace formatstest;

Question question(const QString& topic, const QString& text, std::vector<QString> answers,
                  int correct, int picture = -1) {
    Question q;
    q.topic = topic;
    q.text = text;
    q.answers = std::move(answers);
    q.correct = correct;
    q.picture = picture;
    return q;
}

// Texts that trip naive writers: markup and escape characters of every format, blanks that
// HTML folds, line breaks, tabs, quotes, a CDATA end, Cyrillic.
QuestionSet awkwardSet() {
    QuestionSet s;
    s.pictures = {{QStringLiteral("рис 1.png"), png(1), true},
                  {QStringLiteral("b.jpg"), jpeg(2), true}};
    s.questions = {
        question(QStringLiteral("Алгебра"), QStringLiteral("Сколько будет 2 + 2?"),
                 {QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}, 2, 0),
        question(QStringLiteral("Алгебра"),
                 QStringLiteral("Знаки: <b>не жирный</b> & \"кавычки\" ]]> {a} ~ = # : \\ %"),
                 {QStringLiteral("a<b"), QStringLiteral("x = y"), QStringLiteral("~тильда"),
                  QStringLiteral("#решётка"), QStringLiteral("{скобки}"), QStringLiteral("50%")},
                 6, 1),
        question(QStringLiteral("Дроби / доли"),
                 QStringLiteral("Строка 1\r\n  отступ и  два пробела\r\n\r\nпосле пустой\tтаб"),
                 {QStringLiteral("одна\r\nдве"), QStringLiteral("да")}, 1, 0),
        question(QStringLiteral("Дроби / доли"), QStringLiteral("[html] не формат"),
                 {QStringLiteral("%5% — не вес"), QStringLiteral("[plain] тоже")}, 1),
        question(QStringLiteral("/Слеш в начале"), QStringLiteral("// не комментарий"),
                 {QStringLiteral("a"), QStringLiteral("b")}, 2),
    };
    return s;
}

void expectSameQuestions(const ReadResult& r, const QuestionSet& s, bool topics, bool pictures) {
    ASSERT_EQ(r.questions.size(), s.questions.size()) << problemsOf(r);
    EXPECT_TRUE(r.problems.empty()) << problemsOf(r);
    for (size_t i = 0; i < s.questions.size(); ++i) {
        SCOPED_TRACE(i);
        const Question &want = s.questions[i], &got = r.questions[i];
        if (topics) {
            EXPECT_EQ(got.topic, want.topic);
        }
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.answers, want.answers);
        EXPECT_EQ(got.correct, want.correct);
        if (!pictures) continue;
        ASSERT_EQ(got.picture >= 0, want.picture >= 0);
        if (want.picture < 0) continue;
        const Picture &a = s.pictures[size_t(want.picture)], &b = r.pictures[size_t(got.picture)];
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.bytes, a.bytes);
        EXPECT_TRUE(b.embedded);
    }
}

TEST(RoundTrip, MoodleXmlGivesBackQuestionsTopicsAndPictures) {
    const QuestionSet s = awkwardSet();
    const WriteResult w = writeMoodleXml(s);
    EXPECT_TRUE(w.problems.empty());
    const ReadResult r = readMoodleXml(w.bytes);
    expectSameQuestions(r, s, true, true);
    EXPECT_EQ(r.pictures.size(), 2u) << "a picture used twice is written and read as one";
}

TEST(RoundTrip, MoodleXmlWritesOnlyPicturesTheQuestionsUse) {
    QuestionSet s;
    s.pictures = {{QStringLiteral("used.png"), png(1), true},
                  {QStringLiteral("unused.png"), png(2), true},
                  {QStringLiteral("nofile.png"), QByteArray(), false}};
    s.questions = {
        question({}, QStringLiteral("Q"), {QStringLiteral("a"), QStringLiteral("b")}, 1, 0),
        question({}, QStringLiteral("Q2"), {QStringLiteral("a"), QStringLiteral("b")}, 1, 2)};
    s.questions[1].where.name = QStringLiteral("тема 1, вопрос 2");
    const WriteResult w = writeMoodleXml(s);
    EXPECT_TRUE(w.bytes.contains("used.png"));
    EXPECT_FALSE(w.bytes.contains("unused.png"));
    EXPECT_FALSE(w.bytes.contains("nofile.png"));
    EXPECT_FALSE(w.bytes.contains("<question type=\"category\">")) << "no topics, no categories";
    ASSERT_EQ(w.problems.size(), 1u);
    EXPECT_EQ(w.problems[0].where.name, QStringLiteral("тема 1, вопрос 2"));
    EXPECT_TRUE(w.problems[0].what.contains(QStringLiteral("«nofile.png» не записан")));
    const ReadResult r = readMoodleXml(w.bytes);
    ASSERT_EQ(r.questions.size(), 2u) << problemsOf(r);
    EXPECT_EQ(r.questions[1].picture, -1);
}

TEST(RoundTrip, MoodleXmlReplacesCharactersXmlCannotHold) {
    QuestionSet s;
    s.questions = {question({},
                            QStringLiteral("a\x01"
                                           "b"),
                            {QStringLiteral("x"), QStringLiteral("y")}, 1)};
    const WriteResult w = writeMoodleXml(s);
    ASSERT_EQ(w.problems.size(), 1u);
    const ReadResult r = readMoodleXml(w.bytes);
    EXPECT_EQ(only(r).text, QStringLiteral("a?b"));  // r outlives the reference
}

TEST(RoundTrip, GiftGivesBackQuestionsAndTopicsAndReportsPictures) {
    const QuestionSet s = awkwardSet();
    const WriteResult w = writeGift(s);
    ASSERT_EQ(w.problems.size(), 3u) << "three questions have pictures";
    EXPECT_TRUE(w.problems[0].what.contains(QStringLiteral("«рис 1.png» не перенесён")));
    const ReadResult r = readGift(w.bytes);
    expectSameQuestions(r, s, true, false);
    for (const Question& q : r.questions) EXPECT_EQ(q.picture, -1);
    // Only the questions whose texts the default format would change are marked [plain].
    int plain = 0;
    for (const QByteArray& line : w.bytes.split('\n')) plain += line.startsWith("[plain]");
    EXPECT_EQ(plain, 4);
}

TEST(RoundTrip, AikenGivesBackQuestionsAndReportsWhatItCannotCarry) {
    QuestionSet s = awkwardSet();
    const WriteResult w = writeAiken(s);
    // Topics once; pictures of three questions; line breaks in the third.
    ASSERT_EQ(w.problems.size(), 5u);
    EXPECT_TRUE(w.problems[0].what.contains(QStringLiteral("нет тем")));
    const ReadResult r = readAiken(w.bytes);
    for (Question& q : s.questions) {
        q.text = q.text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed();
        for (QString& a : q.answers) a.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    }
    expectSameQuestions(r, s, false, false);
}

TEST(RoundTrip, ExportThroughTheDispatcherMatchesTheWriters) {
    const QuestionSet s = awkwardSet();
    EXPECT_EQ(write(Format::MoodleXml, s).bytes, writeMoodleXml(s).bytes);
    EXPECT_EQ(write(Format::Gift, s).bytes, writeGift(s).bytes);
    EXPECT_EQ(write(Format::Aiken, s).bytes, writeAiken(s).bytes);
    const WriteResult csv = write(Format::Csv, s);
    EXPECT_TRUE(csv.bytes.isEmpty());
    EXPECT_EQ(csv.problems.size(), 1u);
    for (Format f : {Format::MoodleXml, Format::Gift, Format::Aiken}) {
        SCOPED_TRACE(formatCode(f).toStdString());
        const QByteArray bytes = write(f, s).bytes;
        EXPECT_EQ(detectFormat(bytes, QStringLiteral("export.txt")), f);
        EXPECT_EQ(read(f, bytes).questions.size(), s.questions.size());
    }
}

}  // namespace
