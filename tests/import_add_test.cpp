// Adding questions of other formats to a bank and replacing it with them, over the data module
// alone: where the questions land and under which numbers, the 14-topic rule, the pictures, the
// backup and the one undo entry, and files that fail half-way.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "bulk/importformats.h"
#include "formats/gift.h"
#include "jet/error.h"
#include "problems/bankcheck.h"
#include "problems/search.h"
#include "store/backups.h"
#include "tests/import_testing.h"
#include "tests/support/faultenv.h"

namespace {

using bulktest::bytesOf;
using edtest::T;
using importtest::question;
using zn::ImportMode;
using zn::formats::Format;
using zn::formats::QuestionSet;

class AddImport : public importtest::BankFixture {};

// The questions go into the topic of the same name after its last question (even past a gap in
// its numbers), a topic the bank lacks is created after the last one, and nothing that was in
// the bank changes: not a row of it, not a column the import does not own.
TEST_F(AddImport, QuestionsGoIntoTheirTopicsAfterTheLastQuestionAndNothingOldChanges) {
    edtest::Q gap;
    gap.text = QStringLiteral("Пятый");
    gap.answers = {QStringLiteral("a"), QStringLiteral("b")};
    gap.number = 5;
    gap.kept = edtest::Q::Kept{7, 1, 2.5, QStringLiteral("старое")};
    open({edtest::topic("Алгебра", 2), {QStringLiteral("Физика"), {gap}}});
    const edtest::Snapshot before = file();

    QuestionSet set;
    set.questions = {question("Физика", "Ф1"), question("Химия", "Х1"), question("Алгебра", "А1"),
                     question("Химия", "Х2"), question("Алгебра", "А2")};
    const zn::ImportPlan p =
        import(moodleFile(set, "вопросы.xml"), Format::MoodleXml, ImportMode::Add);
    EXPECT_TRUE(p.read.problems.empty());
    const edtest::Snapshot after = file();
    EXPECT_EQ(bulktest::view(after), (QStringList{"T 1 [Алгебра] count 4",
                                                  "  Q 1.1 correct 2 of 3 img [] [Вопрос 1.1]",
                                                  "    A 1 [Ответ 1.1.1]",
                                                  "    A 2 [Ответ 1.1.2]",
                                                  "    A 3 [Ответ 1.1.3]",
                                                  "  Q 1.2 correct 2 of 3 img [] [Вопрос 1.2]",
                                                  "    A 1 [Ответ 1.2.1]",
                                                  "    A 2 [Ответ 1.2.2]",
                                                  "    A 3 [Ответ 1.2.3]",
                                                  "  Q 1.3 correct 2 of 3 img [] [А1]",
                                                  "    A 1 [да]",
                                                  "    A 2 [нет]",
                                                  "    A 3 [может быть]",
                                                  "  Q 1.4 correct 2 of 3 img [] [А2]",
                                                  "    A 1 [да]",
                                                  "    A 2 [нет]",
                                                  "    A 3 [может быть]",
                                                  "T 2 [Физика] count 2",
                                                  "  Q 2.5 correct 1 of 2 img [] [Пятый]",
                                                  "    A 1 [a]",
                                                  "    A 2 [b]",
                                                  "  Q 2.6 correct 2 of 3 img [] [Ф1]",
                                                  "    A 1 [да]",
                                                  "    A 2 [нет]",
                                                  "    A 3 [может быть]",
                                                  "T 3 [Химия] count 2",
                                                  "  Q 3.1 correct 2 of 3 img [] [Х1]",
                                                  "    A 1 [да]",
                                                  "    A 2 [нет]",
                                                  "    A 3 [может быть]",
                                                  "  Q 3.2 correct 2 of 3 img [] [Х2]",
                                                  "    A 1 [да]",
                                                  "    A 2 [нет]",
                                                  "    A 3 [может быть]"}))
        << bulktest::view(after).join("\n").toStdString();
    // The old rows are there under their ids, with what the editor never writes.
    for (size_t i = 0; i < before.questions.size(); ++i) {
        EXPECT_EQ(after.questions[i].id, before.questions[i].id);
        EXPECT_EQ(after.questions[i].vopros, before.questions[i].vopros);
        EXPECT_EQ(after.questions[i].idvopr, before.questions[i].idvopr);
    }
    for (size_t i = 0; i < before.answers.size(); ++i)
        EXPECT_EQ(after.answers[i].otvet, before.answers[i].otvet);
    {  // the columns the import does not own
        auto d = jet::Database::open(db.toStdString());
        jet::Table& v = d->table("Voprosi");
        for (auto sc = v.scan(); sc.next();)
            if (std::get<std::u16string>(sc.row()[size_t(v.columnIndex("vopros"))]) == u"Пятый") {
                EXPECT_EQ(std::get<int64_t>(sc.row()[size_t(v.columnIndex("pokaz"))]), 7);
                EXPECT_EQ(std::get<std::u16string>(sc.row()[size_t(v.columnIndex("vopros1"))]),
                          u"старое");
            }
    }
    // The plan told where they would go.
    ASSERT_EQ(p.topics.size(), 3u);
    EXPECT_EQ(p.topics[0].firstNumber, 6);
    EXPECT_FALSE(p.topics[0].created);
    EXPECT_TRUE(p.topics[1].created);
    EXPECT_EQ(p.topics[1].numtema, 3);
}

// Replace puts the file's questions in place of every topic, question and answer, numbered
// from 1; an exchange file keeps its own numbers there and is numbered after the last question
// when it is added.
TEST_F(AddImport, ReplaceTakesThePlaceOfTheBankAddKeepsIt) {
    open({edtest::topic("Старая", 3)});
    const QString gift = work + QStringLiteral("/новые.gift");
    bulktest::writeBytes(gift,
                         "$CATEGORY: $course$/Новая\n\nДва плюс два? {=4 ~3 ~5}\n\n"
                         "Небо синее? {T}\n");
    import(gift, Format::Gift, ImportMode::Replace);
    EXPECT_EQ(bulktest::view(file()),
              (QStringList{"T 1 [Новая] count 2", "  Q 1.1 correct 1 of 3 img [] [Два плюс два?]",
                           "    A 1 [4]", "    A 2 [3]", "    A 3 [5]",
                           "  Q 1.2 correct 1 of 2 img [] [Небо синее?]", "    A 1 [Верно]",
                           "    A 2 [Неверно]"}))
        << bulktest::view(file()).join("\n").toStdString();

    const QString txt = work + QStringLiteral("/обмен.txt");
    bulktest::writeBytes(txt, zn::exchange::toWindows1251(
                                  "01.Новая\r\n\r\n01.07.Седьмой\r\n2\r\n1.а\r\n2.б\r\n\r\n"
                                  "02.Другая\r\n\r\n02.03.Третий\r\n1\r\n1.в\r\n2.г\r\n\r\n"));
    import(txt, Format::Exchange, ImportMode::Add);
    QStringList added = bulktest::view(file());
    EXPECT_TRUE(added.contains("  Q 1.3 correct 2 of 2 img [] [Седьмой]"))
        << added.join("\n").toStdString();
    EXPECT_TRUE(added.contains("T 2 [Другая] count 1"));
    EXPECT_TRUE(added.contains("  Q 2.1 correct 1 of 2 img [] [Третий]"));

    import(txt, Format::Exchange, ImportMode::Replace);
    EXPECT_EQ(
        bulktest::view(file()),
        (QStringList{"T 1 [Новая] count 1", "  Q 1.7 correct 2 of 2 img [] [Седьмой]",
                     "    A 1 [а]", "    A 2 [б]", "T 2 [Другая] count 1",
                     "  Q 2.3 correct 1 of 2 img [] [Третий]", "    A 1 [в]", "    A 2 [г]"}));
}

// A bank holds at most 14 topics: the questions of a topic that would be the 15th are not
// imported, each reported with the topic command's message; the others are.
TEST_F(AddImport, ATopicBeyondTheFourteenthIsRefusedWithTheTopicMessage) {
    std::vector<T> topics;
    for (int k = 1; k <= 13; ++k) topics.push_back(edtest::topic(QStringLiteral("Т%1").arg(k), 1));
    open(topics);
    QuestionSet set;
    set.questions = {question("Новая 1", "Н1"), question("Новая 2", "Н2"),
                     question("Т3", "В третью"), question("Новая 2", "Н2б"),
                     question("Новая 1", "Н1б")};
    const zn::ImportPlan p =
        import(moodleFile(set, "много.xml"), Format::MoodleXml, ImportMode::Add);
    ASSERT_EQ(p.read.problems.size(), 2u);
    for (const auto& problem : p.read.problems)
        EXPECT_TRUE(problem.what.contains(zn::tooManyTopicsMessage(14)))
            << problem.what.toStdString();
    const edtest::Snapshot f = file();
    EXPECT_EQ(f.topics.size(), 14u);
    EXPECT_EQ(f.topics.back().tema, QStringLiteral("Новая 1"));
    EXPECT_EQ(f.questionsOf(14).size(), 2u);
    EXPECT_EQ(f.questionsOf(3).size(), 2u);
}

// Pictures are written into the data folder under names that fit img; a file with the same
// bytes is taken as it is, one with the same name and other bytes is never overwritten.
TEST_F(AddImport, PicturesAreWrittenWithoutOverwritingAnotherFile) {
    open({edtest::topic("Рисунки", 1)});
    bulktest::writeBytes(data + "same.png", importtest::png(1));
    bulktest::writeBytes(data + "taken.png", importtest::png(99));
    QuestionSet set;
    set.pictures = {{"копия.png", importtest::png(1), true},
                    {"taken.png", importtest::png(2), true},
                    {"очень-длинное-имя.png", importtest::png(3), true}};
    set.questions = {question("Рисунки", "С копией", 0), question("Рисунки", "Занятое", 1),
                     question("Рисунки", "Длинное", 2), question("Рисунки", "Снова", 1)};
    const zn::ImportPlan p =
        import(moodleFile(set, "рисунки.xml"), Format::MoodleXml, ImportMode::Add);
    ASSERT_TRUE(p.read.problems.empty());
    const auto qs = file().questionsOf(1);
    ASSERT_EQ(qs.size(), 5u);
    EXPECT_EQ(qs[1].img, QStringLiteral("same.png"));
    EXPECT_EQ(qs[2].img, QStringLiteral("taken1.png"));
    EXPECT_EQ(qs[4].img, QStringLiteral("taken1.png"));
    EXPECT_LE(qs[3].img.size(), 10);
    EXPECT_EQ(bytesOf(data + "taken.png"), importtest::png(99));
    EXPECT_EQ(bytesOf(data + "taken1.png"), importtest::png(2));
    EXPECT_EQ(bytesOf(data + qs[3].img), importtest::png(3));
    EXPECT_EQ(p.newPictureCount(), 2);
}

// The add is backed up first and is one entry of the undo history, which puts the file back
// byte for byte; redo brings the questions again.
TEST_F(AddImport, UndoOfAnAddRestoresTheFileByteForByte) {
    open({edtest::topic("Одна", 2), edtest::topic("Две", 1)});
    const QByteArray before = bytesOf(db);
    QuestionSet set;
    for (int i = 0; i < 30; ++i)
        set.questions.push_back(question(i % 2 ? "Одна" : "Третья", QString::number(i)));
    import(moodleFile(set, "тридцать.xml"), Format::MoodleXml, ImportMode::Add);
    EXPECT_EQ(file().questions.size(), 33u);
    const auto backups = zn::listBackups(db);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].command, QStringLiteral("добавление вопросов"));
    EXPECT_EQ(backups[0].questions, 3);
    EXPECT_EQ(dm().history.size(), 1);
    EXPECT_EQ(dm().history.undoLabel(), QStringLiteral("добавление вопросов"));
    EXPECT_EQ(dm().undo(), QString());
    EXPECT_EQ(bytesOf(db), before);
    EXPECT_EQ(dm().redo(), QString());
    EXPECT_EQ(file().questions.size(), 33u);
}

// A file that breaks off half-way is refused whole, and so is one the engine cannot take: the
// bank stays byte for byte, and pictures written before a failed write are taken back.
TEST_F(AddImport, AFileThatFailsHalfWayImportsNothing) {
    open({edtest::topic("Одна", 1)});
    const QByteArray before = bytesOf(db);
    QuestionSet set;
    set.pictures = {{"p.png", importtest::png(5), true}};
    for (int i = 0; i < 40; ++i) set.questions.push_back(question("Новая", QString(200, u'ж'), 0));
    const QString whole = moodleFile(set, "целый.xml");
    const QByteArray bytes = bytesOf(whole);
    const QString cut = work + QStringLiteral("/обрыв.xml");
    bulktest::writeBytes(cut, bytes.left(bytes.size() / 2));
    const zn::ImportPlan broken = import(cut, Format::MoodleXml, ImportMode::Add);
    EXPECT_TRUE(broken.read.refused);
    EXPECT_TRUE(broken.empty());
    EXPECT_EQ(bytesOf(db), before);
    EXPECT_TRUE(QDir(data).entryList(QDir::Files).isEmpty());

    // Every write of the engine failing in turn: the file as it was and no picture left, until
    // the import lands whole.
    bool landed = false;
    int failures = 0;
    for (int k = 1; !landed; ++k) {
        SCOPED_TRACE(k);
        ASSERT_LT(k, 400);
        zntest::FaultEnv env(0);
        reopen();
        dm().Conn.close();
        dm().Conn.setEnv(&env);
        dm().reopen();
        env = zntest::FaultEnv(k, false);
        try {
            import(whole, Format::MoodleXml, ImportMode::Add);
            landed = true;
        } catch (const std::exception&) {
            ++failures;
            EXPECT_EQ(bytesOf(db), before);
            EXPECT_TRUE(QDir(data).entryList(QDir::Files).isEmpty());
        }
        dm().Conn.close();
        dm().Conn.setEnv(nullptr);
    }
    EXPECT_GT(failures, 2);
    EXPECT_EQ(file().questions.size(), 41u);
    EXPECT_EQ(QDir(data).entryList(QDir::Files).size(), 1);
}

// What was added is a bank like any other: the problem check finds nothing wrong with it and the
// search finds its texts under the numbers the tree shows.
TEST_F(AddImport, TheProblemListAndSearchSeeTheAddedQuestions) {
    open({edtest::topic("Одна", 2)});
    QuestionSet set;
    set.pictures = {{"p.png", importtest::realPng(), true}};
    set.questions = {question("Одна", "Ёжик в тумане", 0), question("Другая", "Слон")};
    import(moodleFile(set, "поиск.xml"), Format::MoodleXml, ImportMode::Add);
    dm().Conn.close();
    auto database = jet::Database::open(db.toStdString());
    const auto rows = zn::problems::readBankRows(*database);
    const auto problems = zn::problems::check(rows, data);
    for (const auto& pr : problems) ADD_FAILURE() << zn::problems::problemLine(pr).toStdString();
    const zn::problems::SearchIndex index(rows);
    auto hits = index.find(QStringLiteral("ежик"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].topic, 1);
    EXPECT_EQ(hits[0].question, 3);
    hits = index.find(QStringLiteral("слон"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].topicPos, 2);
}

// Another test database as the source: its topics' questions with their pictures (taken from
// the data folder beside it, whatever its letter case), so that two banks merge.
TEST_F(AddImport, AnotherBankIsMergedWithItsPictures) {
    open({edtest::topic("Общая", 1)});
    const QString other = work + QStringLiteral("/другой/bank.mdb");
    ASSERT_TRUE(QDir().mkpath(work + QStringLiteral("/другой/Data")));
    edtest::Q withPicture{QStringLiteral("С рисунком"), 1, {"а", "б"}, QStringLiteral("Pic.PNG")};
    edtest::Q missing{QStringLiteral("Без файла"), 2, {"а", "б"}, QStringLiteral("нет.png")};
    edtest::makeBank(
        other, {{QStringLiteral("Общая"), {withPicture}}, {QStringLiteral("Своя"), {missing}}});
    bulktest::writeBytes(work + QStringLiteral("/другой/Data/pic.png"), importtest::png(8));
    const zn::ImportPlan p = import(other, Format::Mdb, ImportMode::Add);
    for (const auto& pr : p.read.problems) ADD_FAILURE() << pr.what.toStdString();
    const edtest::Snapshot f = file();
    EXPECT_EQ(bulktest::view(f).mid(5),
              (QStringList{"  Q 1.2 correct 1 of 2 img [Pic.PNG] [С рисунком]", "    A 1 [а]",
                           "    A 2 [б]", "T 2 [Своя] count 1",
                           "  Q 2.1 correct 2 of 2 img [нет.png] [Без файла]", "    A 1 [а]",
                           "    A 2 [б]"}))
        << bulktest::view(f).join("\n").toStdString();
    EXPECT_EQ(bytesOf(data + "Pic.PNG"), importtest::png(8));

    // A file that is no database is refused with the engine's message.
    const QString junk = work + QStringLiteral("/junk.mdb");
    bulktest::writeBytes(junk, QByteArray(4096, 'x'));
    const zn::ImportPlan refused = plan(junk, Format::Mdb, ImportMode::Add);
    EXPECT_TRUE(refused.read.refused);
    ASSERT_EQ(refused.read.problems.size(), 1u);
}

}  // namespace
