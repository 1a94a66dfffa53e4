// Moving and copying questions between topics and up and down within one: the numbers on both
// sides, the answers that go with a question, one undo entry per command; and the question
// menu's items in the running program.
#include "tree/moves.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTreeWidget>

#include "tests/import_testing.h"
#include "tree/movesarea.h"

namespace {

using bulktest::bytesOf;

class Moves : public importtest::BankFixture {
  protected:
    zn::QuestionMoves moves() { return zn::QuestionMoves(dm(), {}); }
    // The row id of question `number` of topic `topic` as the file holds it now.
    qint64 idOf(qint64 topic, int number) {
        for (const auto& q : file().questionsOf(topic))
            if (q.idvopr == number) return q.id;
        return -1;
    }
};

// A moved question goes to the end of the target with its answers; both topics are numbered
// 1..n again and their stored counts follow; undo puts the file back byte for byte.
TEST_F(Moves, AMoveClosesTheGapAndAppendsToTheTarget) {
    open({edtest::topic("Первая", 4), edtest::topic("Вторая", 2)});
    const QByteArray before = bytesOf(db);
    const qint64 second = idOf(1, 2), fourth = idOf(1, 4);
    EXPECT_EQ(moves().moveToTopic({fourth, second}, 2, false), 3);
    const QStringList v = bulktest::view(file());
    EXPECT_EQ(v.filter(QRegularExpression("^T|^  Q")),
              (QStringList{"T 1 [Первая] count 2", "  Q 1.1 correct 2 of 3 img [] [Вопрос 1.1]",
                           "  Q 1.2 correct 2 of 3 img [] [Вопрос 1.3]", "T 2 [Вторая] count 4",
                           "  Q 2.1 correct 2 of 3 img [] [Вопрос 2.1]",
                           "  Q 2.2 correct 2 of 3 img [] [Вопрос 2.2]",
                           "  Q 2.3 correct 2 of 3 img [] [Вопрос 1.4]",
                           "  Q 2.4 correct 2 of 3 img [] [Вопрос 1.2]"}))
        << v.join("\n").toStdString();
    // The answers went with their question.
    EXPECT_TRUE(v.contains("    A 1 [Ответ 1.4.1]"));
    EXPECT_EQ(file().answers.size(), 18u);
    EXPECT_EQ(dm().history.size(), 1);
    EXPECT_EQ(dm().history.undoLabel(), QStringLiteral("перенос вопросов в тему 2"));
    EXPECT_EQ(dm().undo(), QString());
    EXPECT_EQ(bytesOf(db), before);

    // A missing target topic is refused, nothing written.
    EXPECT_THROW(moves().moveToTopic({second}, 9, false), jet::Error);
    EXPECT_EQ(bytesOf(db), before);
}

// A copy leaves the source as it is and gets answers of its own.
TEST_F(Moves, ACopyKeepsTheSourceAndCopiesTheAnswers) {
    edtest::Q pictured{QStringLiteral("С рисунком"), 1, {"а", "б"}, QStringLiteral("p.png")};
    open({{QStringLiteral("Первая"), {pictured}}, edtest::topic("Вторая", 1)});
    EXPECT_EQ(moves().moveToTopic({idOf(1, 1)}, 2, true), 2);
    const edtest::Snapshot f = file();
    ASSERT_EQ(f.questionsOf(1).size(), 1u);
    const auto target = f.questionsOf(2);
    ASSERT_EQ(target.size(), 2u);
    EXPECT_EQ(target[1].vopros, QStringLiteral("С рисунком"));
    EXPECT_EQ(target[1].img, QStringLiteral("p.png"));
    EXPECT_NE(target[1].id, f.questionsOf(1)[0].id);
    EXPECT_EQ(f.answersOf(target[1].id).size(), 2u);
    EXPECT_EQ(f.answersOf(f.questionsOf(1)[0].id).size(), 2u);
    EXPECT_EQ(f.topics[1].kolvopr, 2);
    EXPECT_EQ(dm().history.undoLabel(), QStringLiteral("копирование вопросов в тему 2"));
}

// Up and down swap a question with its neighbour; at the ends nothing is written.
TEST_F(Moves, UpAndDownSwapWithTheNeighbourAndStopAtTheEnds) {
    open({edtest::topic("Одна", 3)});
    const qint64 first = idOf(1, 1), last = idOf(1, 3);
    EXPECT_EQ(moves().moveWithinTopic(first, -1), 0);
    EXPECT_EQ(moves().moveWithinTopic(last, 1), 0);
    EXPECT_EQ(dm().history.size(), 0);
    const QByteArray before = bytesOf(db);
    EXPECT_EQ(moves().moveWithinTopic(first, 1), 2);
    auto qs = file().questionsOf(1);
    EXPECT_EQ(qs[0].vopros, QStringLiteral("Вопрос 1.2"));
    EXPECT_EQ(qs[1].vopros, QStringLiteral("Вопрос 1.1"));
    EXPECT_EQ(moves().moveWithinTopic(last, -1), 2);
    qs = file().questionsOf(1);
    EXPECT_EQ(qs[1].vopros, QStringLiteral("Вопрос 1.3"));
    EXPECT_EQ(qs[2].vopros, QStringLiteral("Вопрос 1.1"));
    EXPECT_EQ(dm().history.size(), 2);
    EXPECT_EQ(dm().undo(), QString());
    EXPECT_EQ(dm().undo(), QString());
    EXPECT_EQ(bytesOf(db), before);
}

// ---------------------------------------------------------------------------------------------
// The question menu in the running program

class MoveMenu : public edtest::ProgramTest {
  protected:
    QAction* action(const char* name) {
        for (QAction* a : form().questionMenu()->actions())
            if (a->objectName() == QLatin1String(name)) return a;
        return nullptr;
    }
    void selectQuestion(int topic, int question) {
        form().treeDb()->setCurrentItem(
            form().treeDb()->topLevelItem(topic - 1)->child(question - 1));
    }
    QTreeWidgetItem* current() { return form().treeDb()->currentItem(); }
};

// "Перенести в другую тему…" offers the selected question's topic with it checked and the
// other topics; moved, the question is selected in its new place.
TEST_F(MoveMenu, MovingFromTheMenuSelectsTheQuestionInItsNewPlace) {
    startOn({edtest::topic("Первая", 3), edtest::topic("Вторая", 1), edtest::topic("Третья", 0)});
    selectQuestion(1, 2);
    modal->push(zn::ModalAnswer{zn::Ok, {}, 1});
    modal->onRequest = [](const zn::ModalRequest& r) {
        auto* d = qobject_cast<zn::MoveQuestionsDialog*>(r.window);
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(d->questionList()->count(), 3);
        EXPECT_EQ(d->questionList()->item(1)->checkState(), Qt::Checked);
        EXPECT_EQ(d->questionList()->item(0)->checkState(), Qt::Unchecked);
        d->questionList()->item(2)->setCheckState(Qt::Checked);
        ASSERT_EQ(d->targetBox()->count(), 2);
        d->targetBox()->setCurrentIndex(1);  // "Тема 3. Третья"
    };
    ASSERT_NE(action("ActMoveQuestions"), nullptr);
    action("ActMoveQuestions")->trigger();
    modal->onRequest = nullptr;
    const edtest::Snapshot f = file();
    EXPECT_EQ(f.questionsOf(1).size(), 1u);
    ASSERT_EQ(f.questionsOf(3).size(), 2u);
    EXPECT_EQ(f.questionsOf(3)[0].vopros, QStringLiteral("Вопрос 1.2"));
    ASSERT_NE(current(), nullptr);
    EXPECT_EQ(current()->text(0), QStringLiteral("Вопрос 1"));
    EXPECT_EQ(current()->parent()->text(0), QStringLiteral("Тема 3. Третья"));
    EXPECT_EQ(dm().qrvoprosi.asString("vopros"), QStringLiteral("Вопрос 1.2"));

    // Down from the menu: the question moves and stays selected.
    selectQuestion(3, 1);
    action("ActQuestionDown")->trigger();
    EXPECT_EQ(file().questionsOf(3)[1].vopros, QStringLiteral("Вопрос 1.2"));
    EXPECT_EQ(current()->text(0), QStringLiteral("Вопрос 2"));
    EXPECT_TRUE(messages().empty());
}

// A question node dropped on another topic moves there (copied with Ctrl); dropped on its own
// topic nothing happens. (The drop event itself is taken by the area's filter on the tree's
// viewport; the platform's drag loop cannot run offscreen, so the drop is called as the filter
// calls it.)
TEST_F(MoveMenu, DroppingAQuestionOnAnotherTopicMovesIt) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 1)});
    QTreeWidget* tree = form().treeDb();
    EXPECT_TRUE(tree->dragEnabled());
    EXPECT_TRUE(tree->acceptDrops());
    selectQuestion(1, 1);
    const QByteArray before = bytesOf(db);
    p->moves()->dropOnto(tree->topLevelItem(0)->child(1), false);  // its own topic
    EXPECT_EQ(bytesOf(db), before);
    p->moves()->dropOnto(tree->topLevelItem(1)->child(0), false);
    EXPECT_EQ(file().questionsOf(2).size(), 2u);
    EXPECT_EQ(file().questionsOf(1).size(), 1u);
    EXPECT_EQ(current()->parent()->text(0), QStringLiteral("Тема 2. Вторая"));
    EXPECT_EQ(current()->text(0), QStringLiteral("Вопрос 2"));
    p->moves()->dropOnto(tree->topLevelItem(0), true);  // copied back with Ctrl
    EXPECT_EQ(file().questionsOf(1).size(), 2u);
    EXPECT_EQ(file().questionsOf(2).size(), 2u);
    EXPECT_EQ(dm().history.size(), 2);
}

}  // namespace
