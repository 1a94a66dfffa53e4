// The problem check, its repairs and the search index, without widgets, on the problem bank
// and on the shared fixtures; and "znbank check".
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <functional>

#include "jet/error.h"
#include "problems/bankcheck.h"
#include "problems/repairs.h"
#include "problems/search.h"
#include "store/tdatmod.h"
#include "tests/problems_testing.h"
#include "tests/support/faultenv.h"
#include "tests/support/testsupport.h"

namespace {

using zn::problems::Kind;
using zn::problems::Problem;

struct Bank {
    QString folder, path, data;
};

Bank problemBank() {
    Bank b;
    b.folder = QString::fromStdString(zntest::tempDir());
    b.path = b.folder + QStringLiteral("/проблемы.mdb");
    b.data = b.folder + QStringLiteral("/data/");
    prtest::makeProblemBank(b.path);
    prtest::makeProblemPictures(b.data);
    return b;
}

std::vector<Problem> checkFile(const QString& path, const QString& data) {
    auto db = jet::Database::open(path.toStdString());
    return zn::problems::check(zn::problems::readBankRows(*db), data);
}

const Problem* findKind(const std::vector<Problem>& ps, Kind kind) {
    for (const Problem& p : ps)
        if (p.kind == kind) return &p;
    return nullptr;
}

TEST(ProblemCheck, FindsEveryKindOnceInTheProblemBank) {
    const Bank b = problemBank();
    const auto problems = checkFile(b.path, b.data);
    const auto counts = zn::problems::countByKind(problems);
    for (int k = 0; k < zn::problems::kKindCount; ++k)
        EXPECT_EQ(counts[size_t(k)], k < prtest::kBankKinds ? 1 : 0)
            << zn::problems::kindCode(Kind(k)).toStdString();
    EXPECT_EQ(problems.size(), size_t(prtest::kBankKinds));

    // Where each problem is: topic and question numbers, and the tree node.
    struct Where {
        Kind kind;
        qint64 topic, question;
        int topicPos, questionPos;
    };
    const Where where[] = {
        {Kind::WrongCorrectAnswer, 1, 1, 1, 1}, {Kind::AnswerCountDiffers, 1, 2, 1, 2},
        {Kind::AnswerCountRange, 1, 3, 1, 3},   {Kind::EmptyQuestion, 1, 4, 1, 4},
        {Kind::EmptyAnswer, 1, 5, 1, 5},        {Kind::ControlCharacters, 2, 1, 2, 1},
        {Kind::PictureName, 2, 3, 2, 2},        {Kind::MissingPicture, 1, 6, 1, 6},
        {Kind::UnreadablePicture, 1, 7, 1, 7},  {Kind::ExchangeHazard, 1, 8, 1, 8},
        {Kind::TopicNumbers, 0, 0, 0, 0},       {Kind::QuestionNumbers, 2, 0, 2, 0},
        {Kind::StoredCount, 2, 0, 2, 0},        {Kind::OrphanQuestion, 20, 1, 0, 0},
        {Kind::OrphanAnswer, 0, 0, 0, 0},       {Kind::TooManyTopics, 0, 0, 0, 0},
    };
    for (const Where& w : where) {
        const Problem* p = findKind(problems, w.kind);
        ASSERT_TRUE(p) << zn::problems::kindCode(w.kind).toStdString();
        SCOPED_TRACE(zn::problems::problemLine(*p).toStdString());
        EXPECT_EQ(p->topic, w.topic);
        EXPECT_EQ(p->question, w.question);
        EXPECT_EQ(p->topicPos, w.topicPos);
        EXPECT_EQ(p->questionPos, w.questionPos);
        EXPECT_FALSE(p->description.isEmpty());
    }
    // Row ids: the answer's own id for answer problems.
    EXPECT_GT(findKind(problems, Kind::OrphanAnswer)->rowId, 0);
    EXPECT_TRUE(findKind(problems, Kind::OrphanAnswer)->description.contains(u"9999"));
    EXPECT_TRUE(findKind(problems, Kind::TopicNumbers)->description.contains(u"15"));

    // Without a data folder pictures are not looked at.
    const auto noPictures = zn::problems::countByKind(checkFile(b.path, QString()));
    EXPECT_EQ(noPictures[size_t(Kind::MissingPicture)], 0);
    EXPECT_EQ(noPictures[size_t(Kind::UnreadablePicture)], 0);
    // An empty data folder: every named picture is missing.
    const QString empty = b.folder + QStringLiteral("/пусто/");
    QDir().mkpath(empty);
    EXPECT_EQ(zn::problems::countByKind(checkFile(b.path, empty))[size_t(Kind::MissingPicture)], 3);
}

// The correct answer's number against the question's answers: 0, past the answer count, or
// the number of no answer. Each case is found by its own rule (its description says which).
TEST(ProblemCheck, ACorrectAnswerOutOfRangeIsFound) {
    const QString path = QString::fromStdString(zntest::tempDir()) + QStringLiteral("/b.mdb");
    auto question = [](qint64 otvet, std::vector<QString> answers, qint64 kolotvet = -1) {
        prtest::RawQ q = prtest::rawQ(1, 1, QStringLiteral("Вопрос"), otvet);
        q.answers = std::move(answers);
        q.kolotvet = kolotvet;
        return q;
    };
    struct Case {
        const char* what;
        prtest::RawQ q;
        std::vector<prtest::RawA> loose;  // the question's id is 1
        QString description;
    } cases[] = {
        {"none marked", question(0, {"а", "б", "в"}), {}, "правильный ответ не отмечен (номер 0)"},
        {"past the 3 answers", question(5, {"а", "б", "в"}), {}, "правильный ответ 5, а ответов 3"},
        {"past the count of 3, with 4 answers stored",
         question(4, {"а", "б", "в", "г"}, 3),
         {},
         "правильный ответ 4, а ответов 3"},
        {"answers numbered 1 and 3",
         question(2, {"а"}, 2),
         {{1, 3, "в"}},
         "нет ответа с номером 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        prtest::writeBank(path, {{1, QStringLiteral("Тема"), 1}}, {c.q}, c.loose);
        const auto problems = checkFile(path, QString());
        const Problem* p = findKind(problems, Kind::WrongCorrectAnswer);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->description, c.description);
        EXPECT_EQ(p->question, 1);
        EXPECT_EQ(zn::problems::countByKind(problems)[size_t(Kind::WrongCorrectAnswer)], 1);
    }
}

// What the shared fixtures really hold, with no pictures beside them: sample-test.mdb names one
// picture (p3.jpg) and has four question texts with line breaks, which the exchange file splits;
// large-test.mdb names 600 pictures and has 1,210 texts with line breaks or characters outside
// Windows-1251; mutated-test.mdb (after its random edits) names 125 pictures and has 376 such
// texts; empty-test.mdb holds nothing. Nothing else is wrong with any of them.
TEST(ProblemCheck, SharedFixturesHoldOnlyWhatTheyHold) {
    if (zntest::fixturesDir().empty()) GTEST_SKIP() << "shared fixtures folder is absent";
    const QString none = QString::fromStdString(zntest::tempDir()) + u'/';
    struct Case {
        const char* file;
        int missingPictures, exchange;
    };
    for (const Case& c : {Case{"sample-test.mdb", 1, 4}, Case{"large-test.mdb", 600, 1210},
                          Case{"mutated-test.mdb", 125, 376}, Case{"empty-test.mdb", 0, 0}}) {
        SCOPED_TRACE(c.file);
        const auto problems = checkFile(QString::fromStdString(zntest::fixture(c.file)), none);
        std::vector<int> expected(size_t(zn::problems::kKindCount), 0);
        expected[size_t(Kind::MissingPicture)] = c.missingPictures;
        expected[size_t(Kind::ExchangeHazard)] = c.exchange;
        EXPECT_EQ(zn::problems::countByKind(problems), expected);
    }
    const auto sample = checkFile(QString::fromStdString(zntest::fixture("sample-test.mdb")), none);
    const Problem* picture = findKind(sample, Kind::MissingPicture);
    ASSERT_TRUE(picture);
    EXPECT_EQ(zn::problems::problemLine(*picture),
              QStringLiteral("missing-picture\t1\t3\t3\tфайла «p3.jpg» нет в папке данных"));
}

// znbank check prints one line per problem and exits 1; a sound bank gives nothing and 0.
TEST(ProblemCheck, ZnbankCheckPrintsTheProblems) {
    const Bank b = problemBank();
    auto r = zntest::run({ZN_ZNBANK, "check", b.path.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const QStringList lines = QString::fromLocal8Bit(r.out).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), prtest::kBankKinds);
    EXPECT_TRUE(
        lines.contains(QStringLiteral("unreadable-picture\t1\t7\t7\tфайл «bad.jpg» не "
                                      "читается как рисунок")))
        << r.out;
    // Another data folder: the three pictures are missing there.
    const QString other = b.folder + QStringLiteral("/другая");
    QDir().mkpath(other);
    r = zntest::run({ZN_ZNBANK, "check", b.path.toStdString(), "--data", other.toStdString()});
    EXPECT_EQ(QString::fromLocal8Bit(r.out).count(QStringLiteral("missing-picture")), 3);

    const QString sound = b.folder + QStringLiteral("/хорошая.mdb");
    prtest::writeBank(sound, {{1, QStringLiteral("Тема"), 2}},
                      {prtest::rawQ(1, 1, QStringLiteral("Первый"), 2),
                       prtest::rawQ(1, 2, QStringLiteral("Второй"), 1)});
    r = zntest::run({ZN_ZNBANK, "check", sound.toStdString()});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(
        zntest::run({ZN_ZNBANK, "check", (b.folder + QStringLiteral("/нет.mdb")).toStdString()})
            .exitCode,
        1);
    EXPECT_EQ(zntest::run({ZN_ZNBANK, "check", sound.toStdString(), "--data"}).exitCode, 2);
}

}  // namespace

namespace {

// The data module on a copy of the problem bank, opened as the editor opens a bank.
struct Opened {
    explicit Opened(const QString& path, jet::Env* env = nullptr) {
        dm.Conn.setEnv(env);
        dm.Conn.setConnectionString(zn::TDatMod::connectionString(path));
        dm.Conn.open();
        dm.qrtema.open();
    }
    zn::TDatMod dm;
    zn::Feedback feedback;
    int rebuilds = 0;
    zn::Repairs repairs{dm, feedback, [this] { ++rebuilds; }};
};

std::vector<int> countsOf(const QString& path, const QString& data) {
    return zn::problems::countByKind(checkFile(path, data));
}

// Each repair shows what it will change, then removes the problems it is for (renumbering the
// topics also brings the stored counts up to date) and leaves every other problem and a file
// every reader reads alike.
TEST(ProblemRepairs, EachRepairRemovesItsProblems) {
    struct Case {
        const char* name;
        std::function<zn::Repairs::Plan(zn::Repairs&)> plan;
        std::function<void(zn::Repairs&)> repair;
        std::vector<Kind> gone;
        int planLines;
    };
    const Case cases[] = {
        {"renumber-questions",
         [](zn::Repairs& r) { return r.planRenumberQuestions(2); },
         [](zn::Repairs& r) { r.renumberQuestions(2); },
         {Kind::QuestionNumbers},
         1},
        {"renumber-topics",
         [](zn::Repairs& r) { return r.planRenumberTopics(); },
         [](zn::Repairs& r) { r.renumberTopics(); },
         {Kind::TopicNumbers, Kind::StoredCount},
         1},
        {"recount",
         [](zn::Repairs& r) { return r.planRecount(); },
         [](zn::Repairs& r) { r.recount(); },
         {Kind::StoredCount},
         1},
        {"delete-orphans",
         [](zn::Repairs& r) { return r.planDeleteOrphans(); },
         [](zn::Repairs& r) { r.deleteOrphans(); },
         {Kind::OrphanQuestion, Kind::OrphanAnswer},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bank b = problemBank();
        std::vector<int> expected = countsOf(b.path, b.data);
        for (Kind k : c.gone) expected[size_t(k)] = 0;
        {
            Opened o(b.path);
            const zn::Repairs::Plan plan = c.plan(o.repairs);
            EXPECT_TRUE(plan.refusal.isEmpty());
            EXPECT_EQ(plan.changes.size(), c.planLines) << plan.text().toStdString();
            // Rows are named by the numbers and texts the teacher sees, never by row ids.
            EXPECT_FALSE(plan.text().contains(QStringLiteral("id "))) << plan.text().toStdString();
            c.repair(o.repairs);
            EXPECT_EQ(o.rebuilds, 1);
            EXPECT_TRUE(c.plan(o.repairs).nothingToDo());
        }
        EXPECT_EQ(countsOf(b.path, b.data), expected);
        EXPECT_TRUE(zntest::readersAgree(b.path.toStdString()));
    }
}

// Renumbering the topics would move a question of no topic into one: refused, nothing written.
TEST(ProblemRepairs, RenumberingTopicsRefusesToAdoptAnOrphan) {
    const QString path = QString::fromStdString(zntest::tempDir()) + QStringLiteral("/b.mdb");
    prtest::writeBank(
        path, {{1, QStringLiteral("Первая"), 1}, {3, QStringLiteral("Третья"), 1}},
        {prtest::rawQ(1, 1, QStringLiteral("В1")), prtest::rawQ(2, 1, QStringLiteral("Сирота")),
         prtest::rawQ(3, 1, QStringLiteral("В3"))});
    const auto before = zntest::readFile(path.toStdString());
    Opened o(path);
    const zn::Repairs::Plan plan = o.repairs.planRenumberTopics();
    EXPECT_TRUE(plan.refusal.contains(QStringLiteral("Сначала удалите вопросы без темы")))
        << plan.text().toStdString();
    EXPECT_TRUE(
        plan.refusal.contains(QStringLiteral("В теме 2, которой нет, записан вопрос 1 "
                                             "«Сирота»")))
        << plan.refusal.toStdString();
    EXPECT_THROW(o.repairs.renumberTopics(), jet::Error);
    EXPECT_EQ(o.rebuilds, 0);
    o.dm.Conn.close();
    EXPECT_EQ(zntest::readFile(path.toStdString()), before);
}

// A repair whose commit the disk refuses lands nothing: the error propagates, the file is as it
// was, the tree is not rebuilt and the data module still shows every row.
TEST(ProblemRepairs, AFailedRepairLeavesTheFileAsItWas) {
    const Bank b = problemBank();
    const auto before = zntest::readFile(b.path.toStdString());
    zntest::FaultEnv env(0);
    {
        Opened o(b.path, &env);
        env = zntest::FaultEnv(1, true);
        EXPECT_THROW(o.repairs.deleteOrphans(), jet::Error);
        EXPECT_EQ(o.rebuilds, 0);
        EXPECT_FALSE(o.dm.inWrite());
        EXPECT_EQ(o.dm.qrtema.recordCount(), 15);
        EXPECT_EQ(o.repairs.planDeleteOrphans().changes.size(), 2);
    }
    EXPECT_EQ(zntest::readFile(b.path.toStdString()), before);
}

// Question search: case folded (Cyrillic included), "ё" as "е", over text, answers and picture
// names; questions of no topic are not found (they have no node).
TEST(ProblemSearch, FindsFoldedTextInQuestionsAnswersAndPictures) {
    const Bank b = problemBank();
    auto db = jet::Database::open(b.path.toStdString());
    const zn::problems::SearchIndex index(zn::problems::readBankRows(*db));
    struct Case {
        QString query;
        std::vector<qint64> questions;  // of topic 1, in tree order
    };
    const Case cases[] = {
        {QStringLiteral("ЕЛКА"), {10}},          {QStringLiteral("зеленая ёлка"), {10}},
        {QStringLiteral("good.png"), {9}},       {QStringLiteral("∑"), {8}},
        {QStringLiteral("вопрос 1.1"), {1, 10}}, {QStringLiteral("   "), {}},
        {QStringLiteral("Вопрос 20.1"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        std::vector<qint64> found;
        for (const auto& h : index.find(c.query)) found.push_back(h.question);
        EXPECT_EQ(found, c.questions);
    }
    size_t total = 0;
    EXPECT_EQ(index.find(QStringLiteral("ответ"), 3, &total).size(), 3u);
    EXPECT_EQ(total, 12u);
}

}  // namespace
