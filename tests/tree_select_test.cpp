// The selection handler: a question node and topic nodes (with questions, without, with a gap
// in their numbering, with "_" in the name) give the status texts, buttons, popup menu,
// variables, dataset positions and preview expected of them; the gates cut the handling down
// to the positioning during a build and to nothing while the tree's events are off. Collapsing
// the topic of the selected question selects the topic; cut captions show as tooltips.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QToolTip>

#include "tests/tree_testing.h"

namespace {

class TreeSelect : public treetest::TreeHarness {
  protected:
    void SetUp() override {
        TreeHarness::SetUp();
        if (IsSkipped()) return;
        bank->addTopic(1, QStringLiteral("Первая"));
        bank->addTopic(2, QStringLiteral("Вторая_тема"));
        bank->addTopic(3, QStringLiteral("Пустая"));
        bank->addTopic(4, QStringLiteral("С пропуском"));
        bank->addQuestions(1, 1);
        bank->addQuestions(2, 3);
        for (int q : {1, 2, 4})
            bank->addQuestion(
                4, {q,
                    QStringLiteral("Gap %1").arg(q),
                    1,
                    2,
                    {},
                    {{1, QStringLiteral("g%1 a").arg(q)}, {2, QStringLiteral("g%1 b").arg(q)}}});
        bank->openLikeShowStep();
        tree->TreeObnov();
        clearRecords();
    }

    // The answer texts qrotveti holds (moves its cursor back to the first row).
    std::vector<std::string> answers() {
        std::vector<std::string> out;
        for (dm.qrotveti.first(); !dm.qrotveti.eof(); dm.qrotveti.next())
            out.push_back(dm.qrotveti.asString("otvet").toStdString());
        dm.qrotveti.first();
        return out;
    }

    // A topic node's summary; positions the datasets as the summary does.
    QString summary(int k, const QString& name, std::vector<int> shownQuestions) {
        QString s = QStringLiteral("<center><big><h3>Тема № ") + QString::number(k) + ". " + name +
                    "</h3></big>";
        for (int q : shownQuestions) s += pageOf(k, q);
        return s;
    }
};

TEST_F(TreeSelect, QuestionNodeGivesItsStatusButtonsMenuVariablesAndPage) {
    treeDb.setCurrentItem(node(2, 3));
    EXPECT_EQ(log, (std::vector<std::string>{"EdImage cleared", "popup PopupMenu2",
                                             "status Тема : 2  Вопрос : 3", "repaint", "preview",
                                             "answers shown"}));
    EXPECT_EQ(buttons(), "000111");
    EXPECT_EQ(tree->SelectedTopicNo, 2);
    EXPECT_EQ(tree->SelectedQuestionNo, 3);
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 2);
    EXPECT_EQ(dm.qrvoprosi.asInteger("idvopr"), 3);
    EXPECT_EQ(answers(),
              (std::vector<std::string>{"2.3 answer 1", "2.3 answer 2", "2.3 answer 3"}));
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0], pageOf(2, 3));
    EXPECT_TRUE(progress.empty());
}

TEST_F(TreeSelect, TopicNodeShowsTheSummaryOfAllItsQuestions) {
    treeDb.setCurrentItem(node(2));
    // "Вопросы темы" is on screen before the summary work starts; the bar steps once per
    // question and goes back to 0.
    EXPECT_EQ(log, (std::vector<std::string>{"EdImage cleared", "popup PopupMenu1",
                                             "status Вопросы темы 2", "repaint", "preview",
                                             "status Вопросов : 3", "answers shown"}));
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(progBar1.maximum(), 3);
    EXPECT_EQ(buttons(), "111100");
    EXPECT_EQ(tree->SelectedTopicNo, 0);
    EXPECT_EQ(tree->SelectedQuestionNo, 0);
    // The summary leaves the datasets on the topic's last question.
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 2);
    EXPECT_EQ(dm.qrvoprosi.asInteger("idvopr"), 3);
    EXPECT_EQ(answers(),
              (std::vector<std::string>{"2.3 answer 1", "2.3 answer 2", "2.3 answer 3"}));
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0], summary(2, QStringLiteral("Вторая_тема"), {1, 2, 3}));
}

TEST_F(TreeSelect, TopicWithoutQuestionsShowsOnlyItsHeading) {
    treeDb.setCurrentItem(node(2, 2));  // answers of 2.2 stay in qrotveti
    clearRecords();
    treeDb.setCurrentItem(node(3));
    EXPECT_EQ(previews,
              std::vector<QString>{QStringLiteral("<center><big><h3>Тема № 3. Пустая</h3></big>")});
    EXPECT_EQ(log[log.size() - 2], "status Вопросов : 0");
    EXPECT_EQ(buttons(), "111100");
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 3);
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 0);
    EXPECT_EQ(answers(),
              (std::vector<std::string>{"2.2 answer 1", "2.2 answer 2", "2.2 answer 3"}));
    // An empty topic keeps an empty bar, not a busy one.
    EXPECT_EQ(progBar1.value(), 0);
    EXPECT_GT(progBar1.maximum(), 0);
}

// Questions 1, 2 and 4: the count is 3, and the missing number 3 shows the first question.
TEST_F(TreeSelect, GapInNumberingShowsTheFirstQuestionInItsPlace) {
    EXPECT_EQ(bank->storedCounts()[3], 3);
    treeDb.setCurrentItem(node(4));
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0], summary(4, QStringLiteral("С пропуском"), {1, 2, 1}));
    EXPECT_EQ(log[log.size() - 2], "status Вопросов : 3");
}

TEST_F(TreeSelect, DuringABuildOnlyThePositioningRuns) {
    tree->TreeComplete = 0;
    for (const auto& a : actions) a->setEnabled(false);
    treeDb.setCurrentItem(node(2, 2));
    EXPECT_EQ(log,
              (std::vector<std::string>{"EdImage cleared", "popup PopupMenu2", "answers shown"}));
    EXPECT_EQ(buttons(), "000000");
    EXPECT_EQ(tree->SelectedTopicNo, 2);
    EXPECT_EQ(tree->SelectedQuestionNo, 2);
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 2);
    EXPECT_EQ(dm.qrvoprosi.asInteger("idvopr"), 2);

    treeDb.setCurrentItem(node(4));
    EXPECT_EQ(log.back(), "answers shown");
    EXPECT_EQ(log[log.size() - 2], "popup PopupMenu1");
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 4);
    EXPECT_EQ(dm.qrvoprosi.asInteger("idvopr"), 1);
    EXPECT_TRUE(previews.empty());
    EXPECT_TRUE(progress.empty());
}

TEST_F(TreeSelect, NothingRunsWhileTreeEventsAreOff) {
    tree->TreeEventsOn = 0;
    treeDb.setCurrentItem(node(2, 2));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(tree->SelectedTopicNo, 1);  // from the build's selection of question 1 of topic 1
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 1);
}

// Collapsing the topic of the selected question hides the question: the selection moves to the
// topic and is handled as a selection of the topic (status, buttons, summary).
TEST_F(TreeSelect, CollapsingTheSelectedQuestionsTopicSelectsTheTopic) {
    node(2)->setExpanded(true);
    treeDb.setCurrentItem(node(2, 3));
    clearRecords();

    node(2)->setExpanded(false);
    EXPECT_EQ(treeDb.currentItem(), node(2));
    EXPECT_EQ(treeDb.selectedItems(), QList<QTreeWidgetItem*>{node(2)});
    EXPECT_EQ(log, (std::vector<std::string>{"EdImage cleared", "popup PopupMenu1",
                                             "status Вопросы темы 2", "repaint", "preview",
                                             "status Вопросов : 3", "answers shown"}));
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0], summary(2, QStringLiteral("Вторая_тема"), {1, 2, 3}));
    EXPECT_EQ(buttons(), "111100");
    EXPECT_EQ(tree->SelectedTopicNo, 0);
    EXPECT_EQ(tree->SelectedQuestionNo, 0);
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 2);
}

// Collapsing a topic the selection is not in, or the selected topic itself, moves nothing.
TEST_F(TreeSelect, CollapsingAnotherTopicKeepsTheSelection) {
    node(2)->setExpanded(true);
    treeDb.setCurrentItem(node(2, 3));
    clearRecords();
    node(1)->setExpanded(false);
    EXPECT_EQ(treeDb.currentItem(), node(2, 3));
    EXPECT_TRUE(log.empty());

    treeDb.setCurrentItem(node(2));
    clearRecords();
    node(2)->setExpanded(false);
    EXPECT_EQ(treeDb.currentItem(), node(2));
    EXPECT_TRUE(log.empty());
}

// A caption the tree cuts with "…" shows whole as a tooltip; one it shows whole has none.
TEST_F(TreeSelect, CutCaptionsShowWholeAsTooltips) {
    treeDb.show();
    for (int width : {50, 600}) {
        SCOPED_TRACE(width);
        treeDb.resize(width, 300);
        QApplication::processEvents();
        const bool cut = width == 50;
        for (int k = 1; k <= 4; ++k) {
            QTreeWidgetItem* topic = node(k);
            EXPECT_EQ(zn::TopicTree::captionIsCut(&treeDb, topic), cut) << k;
            const QPoint at = treeDb.visualItemRect(topic).center();
            QHelpEvent help(QEvent::ToolTip, at, treeDb.viewport()->mapToGlobal(at));
            QApplication::sendEvent(treeDb.viewport(), &help);
            EXPECT_EQ(QToolTip::isVisible(), cut) << k;
            if (cut) {
                EXPECT_EQ(QToolTip::text(), topic->text(0));
            }
            // The tip fades out after a moment.
            QToolTip::hideText();
            QElapsedTimer waited;
            waited.start();
            while (QToolTip::isVisible() && waited.elapsed() < 5000)
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            ASSERT_FALSE(QToolTip::isVisible());
        }
    }
    // A hidden node (its topic collapsed) is not cut: nothing of it is shown.
    node(2)->setExpanded(false);
    EXPECT_FALSE(zn::TopicTree::captionIsCut(&treeDb, node(2, 1)));
}

}  // namespace
