// The tool bar's topic and question commands follow the selected node after every way the
// editing commands come back on: start-up, opening a bank, undo, redo and restoring a backup.
// A question node disables the topic commands; a topic node disables editing and deleting a
// question.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTreeWidget>

#include "frame/modal.h"
#include "frame/tform1.h"
#include "store/backups.h"
#include "store/tdatmod.h"
#include "tests/editor_testing.h"

namespace {

class Commands : public edtest::ProgramTest {
  protected:
    void trigger(const char* objectName) {
        auto* a = form().findChild<QAction*>(QString::fromLatin1(objectName));
        ASSERT_NE(a, nullptr) << objectName;
        a->trigger();
    }
    // The enabled state of Buttem1..3 and Butvop1..3 as "TTT-QQQ" (1 on, 0 off).
    std::string states() {
        std::string out;
        for (QAction* a : {form().buttem1(), form().buttem2(), form().buttem3()})
            out += a->isEnabled() ? '1' : '0';
        out += '-';
        for (QAction* a : {form().butvop1(), form().butvop2(), form().butvop3()})
            out += a->isEnabled() ? '1' : '0';
        return out;
    }
    // What the selection rules give for the current node.
    std::string expected() {
        QTreeWidgetItem* node = form().treeDb()->currentItem();
        if (!node) return "111-000";
        return node->parent() ? "000-111" : "111-100";
    }
};

TEST_F(Commands, FollowTheSelectedNodeAfterEveryWayEditingComesBack) {
    // The first topic has no questions: its node is selected at start-up.
    startOn({edtest::topic("Пустая", 0), edtest::topic("Вторая", 2)});
    ASSERT_EQ(form().treeDb()->currentItem()->parent(), nullptr);
    EXPECT_EQ(states(), "111-100") << "start-up on a topic node";

    const QString other = work + QStringLiteral("/другой.mdb");
    edtest::makeBank(other, {edtest::topic("Первая", 3)});
    modal->push({zn::Ok, other});
    trigger("ToolButton9");
    ASSERT_NE(form().treeDb()->currentItem()->parent(), nullptr);
    EXPECT_EQ(states(), "000-111") << "opening a bank, on a question node";

    form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(0));
    trigger("Buttem3");  // delete topic 1: the tree is empty
    EXPECT_EQ(states(), expected()) << "after deleting the only topic";
    trigger("MenuUndo");
    EXPECT_EQ(states(), expected()) << "undo";
    EXPECT_EQ(states(), "000-111");
    trigger("MenuRedo");
    EXPECT_EQ(states(), expected()) << "redo";

    trigger("MenuUndo");
    trigger("ToolButton4");  // compaction: a backup
    ASSERT_FALSE(zn::listBackups(other).empty());
    modal->clear();
    modal->push({zn::Ok, {}, 1});  // the list's newest backup, "Восстановить"
    trigger("MenuRestoreBackup");
    EXPECT_EQ(states(), expected()) << "restoring a backup";
}

}  // namespace
