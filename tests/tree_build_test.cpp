// Building the tree: TreeObnov and the start-up build give one node and one TbTema row per
// topic and question, rewrite the stored question counts, fill the slots, select the first
// question (or the first topic) and drive the progress bar; an empty topic list leaves an empty
// tree and runs no selection handling; topics after the 14th get nodes and summaries too.
#include <gtest/gtest.h>

#include "tests/tree_testing.h"

using treetest::TbTemaRow;

namespace {

class TreeBuild : public treetest::TreeHarness {
  protected:
    // Topics with 2, 0 and 1 questions whose stored counts are all wrong.
    void threeTopics() {
        bank->addTopic(1, QStringLiteral("Алгебра"), 7);
        bank->addTopic(2, QStringLiteral("Пустая"), 3);
        bank->addTopic(3, QStringLiteral("Геометрия"), -1);
        bank->addQuestions(1, 2);
        bank->addQuestions(3, 1);
        bank->openLikeShowStep();
    }

    // The nodes as "caption [image/selected image]", children indented.
    std::vector<std::string> nodes() const {
        std::vector<std::string> out;
        auto add = [&](QTreeWidgetItem* n, const char* indent) {
            out.push_back(indent + n->text(0).toStdString() + " [" +
                          std::to_string(n->data(0, zn::TopicTree::kImageRole).toInt()) + "/" +
                          std::to_string(n->data(0, zn::TopicTree::kSelectedImageRole).toInt()) +
                          "]");
        };
        for (int i = 0; i < treeDb.topLevelItemCount(); ++i) {
            add(treeDb.topLevelItem(i), "");
            for (int j = 0; j < treeDb.topLevelItem(i)->childCount(); ++j)
                add(treeDb.topLevelItem(i)->child(j), "  ");
        }
        return out;
    }

    void expectThreeTopicTree() {
        EXPECT_EQ(nodes(),
                  (std::vector<std::string>{"Тема 1. Алгебра [0/0]", "  Вопрос 1 [1/2]",
                                            "  Вопрос 2 [1/2]", "Тема 2. Пустая [0/0]",
                                            "Тема 3. Геометрия [0/0]", "  Вопрос 1 [1/2]"}));
        EXPECT_EQ(tbTemaRows(), (std::vector<TbTemaRow>{{0, 1, "Тема 1. Алгебра", 0, 0},
                                                        {1, 0, "1_1", 1, 1},
                                                        {2, 0, "1_2", 1, 2},
                                                        {3, 2, "Тема 2. Пустая", 0, 0},
                                                        {4, 3, "Тема 3. Геометрия", 0, 0},
                                                        {5, 0, "3_1", 3, 1}}));
        EXPECT_EQ(bank->storedCounts(), (std::vector<int>{2, 0, 1}));
        EXPECT_EQ(tree->TopicSlots[1].name, QStringLiteral("Алгебра"));
        EXPECT_EQ(tree->TopicSlots[1].count, 2);
        EXPECT_EQ(tree->TopicSlots[2].count, 0);
        EXPECT_EQ(tree->TopicSlots[3].name, QStringLiteral("Геометрия"));
        EXPECT_EQ(tree->TopicSlots[3].count, 1);

        // Node 1, the first topic's first question, is selected and handled in full.
        ASSERT_NE(treeDb.currentItem(), nullptr);
        EXPECT_EQ(zn::TopicTree::nodePosition(treeDb.currentItem()), 1);
        EXPECT_TRUE(treeDb.currentItem()->isSelected());
        EXPECT_TRUE(node(1)->isExpanded());
        EXPECT_EQ(tree->TreeEventsOn, 1);
        EXPECT_EQ(tree->TreeComplete, 1);
        EXPECT_EQ(tree->SelectedTopicNo, 1);
        EXPECT_EQ(tree->SelectedQuestionNo, 1);
        ASSERT_EQ(previews.size(), 1u);
        EXPECT_EQ(previews[0], pageOf(1, 1));
        EXPECT_EQ(buttons(), "000111");
    }
};

TEST_F(TreeBuild, TreeObnovGivesSixNodesRowsAndCountsForTopicsWithTwoNoneAndOneQuestion) {
    threeTopics();
    tree->TreeEventsOn = tree->TreeComplete = 1;
    tree->TreeObnov();
    expectThreeTopicTree();
    EXPECT_EQ(log, (std::vector<std::string>{"EdImage cleared", "popup PopupMenu2",
                                             "status Тема : 1  Вопрос : 1", "repaint", "preview",
                                             "answers shown"}));

    // A question node's icon shows image 1, and image 2 while it is selected.
    const QIcon icon = node(1, 1)->icon(0);
    const auto colourOf = [](const QIcon& i, QIcon::Mode mode) {
        return i.pixmap(16, mode).toImage().pixel(8, 8);
    };
    EXPECT_EQ(colourOf(icon, QIcon::Normal), treetest::imageColour(1).rgb());
    EXPECT_EQ(colourOf(icon, QIcon::Selected), treetest::imageColour(2).rgb());
    // A topic node shows image 0 also while selected.
    EXPECT_EQ(colourOf(node(1)->icon(0), QIcon::Selected), treetest::imageColour(0).rgb());

    // The bar ran once over the build (three walks over the three topics) and ended at 0.
    EXPECT_EQ(progress.front(), 1);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
    EXPECT_EQ(progress[progress.size() - 2], 9);
    EXPECT_EQ(progress.back(), 0);

    // A second build over the now correct database gives the same tree again, and writes
    // nothing: every count is right already.
    clearRecords();
    const auto bytes = zntest::readFile(bank->file().toStdString());
    tree->TreeObnov();
    expectThreeTopicTree();
    EXPECT_EQ(zntest::readFile(bank->file().toStdString()), bytes);
}

TEST_F(TreeBuild, StartupBuildSelectsTheFirstNodeWhileOnlyTheFirstTopicExists) {
    threeTopics();
    tree->startupBuild();
    expectThreeTopicTree();
    EXPECT_EQ(topicsAtPreview, std::vector<int>{1});
}

TEST_F(TreeBuild, FirstTopicWithoutQuestionsIsTheSelectedNode) {
    bank->addTopic(1, QStringLiteral("Пустая"));
    bank->addTopic(2, QStringLiteral("Вторая"));
    bank->addQuestions(2, 2);
    bank->openLikeShowStep();
    tree->TreeObnov();
    ASSERT_EQ(treeDb.currentItem(), node(1));
    EXPECT_EQ(node(1)->childCount(), 0);
    EXPECT_EQ(tree->SelectedTopicNo, 0);
    EXPECT_EQ(tree->SelectedQuestionNo, 0);
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0], QStringLiteral("<center><big><h3>Тема № 1. Пустая</h3></big>"));
    EXPECT_EQ(log.back(), "answers shown");
    EXPECT_EQ(log[log.size() - 2], "status Вопросов : 0");
}

TEST_F(TreeBuild, EmptyTemaLeavesAnEmptyTreeAndRunsNoSelection) {
    bank->openLikeShowStep();
    // What an earlier build left: a node, a TbTema row, a slot, TreeComplete.
    treeDb.addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("old")}));
    treeDb.setCurrentItem(treeDb.topLevelItem(0));
    tree->TopicSlots[1] = {QStringLiteral("old slot"), 4};
    dm.TbTema.insert();
    dm.TbTema.setInteger("id", 0);
    dm.TbTema.setInteger("nb", 1);
    dm.TbTema.post();
    tree->TreeComplete = 0;
    clearRecords();

    tree->TreeObnov();
    EXPECT_EQ(treeDb.topLevelItemCount(), 0);
    EXPECT_EQ(treeDb.currentItem(), nullptr);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(tree->TreeEventsOn, 1);
    EXPECT_EQ(tree->TreeComplete, 0);
    EXPECT_EQ(tree->TopicSlots[1].name, QStringLiteral("old slot"));
    EXPECT_EQ(dm.TbTema.recordCount(), 1);
    EXPECT_EQ(tree->SelectedTopicNo, -1);

    // The start-up build on no topics opens TreeComplete only; TreeEventsOn stays 0.
    tree->TreeEventsOn = 0;
    tree->startupBuild();
    EXPECT_EQ(treeDb.topLevelItemCount(), 0);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(tree->TreeEventsOn, 0);
    EXPECT_EQ(tree->TreeComplete, 1);
}

TEST_F(TreeBuild, TopicsAfterTheFourteenthGetCaptionsQuestionNodesAndSummaries) {
    for (int k = 1; k <= 16; ++k) {
        bank->addTopic(k, QStringLiteral("T%1").arg(k));
        bank->addQuestions(k, k % 3);
    }
    bank->openLikeShowStep();
    tree->TreeObnov();
    ASSERT_EQ(treeDb.topLevelItemCount(), 16);
    EXPECT_EQ(node(14)->text(0), QStringLiteral("Тема 14. T14"));
    EXPECT_EQ(node(15)->text(0), QStringLiteral("Тема 15. T15"));
    EXPECT_EQ(node(16)->text(0), QStringLiteral("Тема 16. T16"));
    EXPECT_EQ(node(15)->childCount(), 0);
    EXPECT_EQ(node(16)->childCount(), 1);
    EXPECT_EQ(bank->storedCounts()[15], 1);
    EXPECT_EQ(tree->TopicSlots[14].name, QStringLiteral("T14"));
    EXPECT_EQ(tree->slot(16).name, QStringLiteral("T16"));

    const std::vector<TbTemaRow> rows = tbTemaRows();
    EXPECT_EQ(rows[rows.size() - 2], (TbTemaRow{int(rows.size()) - 2, 16, "Тема 16. T16", 0, 0}));
    EXPECT_EQ(rows.back(), (TbTemaRow{int(rows.size()) - 1, 0, "16_1", 16, 1}));

    clearRecords();
    treeDb.setCurrentItem(node(16));
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0],
              QStringLiteral("<center><big><h3>Тема № 16. T16</h3></big>") + pageOf(16, 1));
    EXPECT_EQ(log[2], "status Вопросы темы 16");
    treeDb.setCurrentItem(node(16, 1));
    EXPECT_EQ(tree->SelectedTopicNo, 16);
    EXPECT_EQ(tree->SelectedQuestionNo, 1);
    EXPECT_EQ(previews.back(), pageOf(16, 1));
}

}  // namespace
