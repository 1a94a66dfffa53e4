// The main window's undo commands: captions that name the command, the tree shown as the file
// is after undo and redo, the reason shown when the history was dropped, and restoring a backup
// from the list the "Файл" menu shows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <filesystem>

#include "app/startup.h"
#include "editor/topiccommands.h"
#include "frame/modal.h"
#include "frame/tform1.h"
#include "store/backups.h"
#include "store/tdatmod.h"
#include "tests/editor_testing.h"
#include "tests/support/testsupport.h"

namespace {

using zn::ModalRequest;

class UndoCommands : public edtest::ProgramTest {
  protected:
    QAction* action(const char* objectName) {
        return form().findChild<QAction*>(QString::fromLatin1(objectName));
    }
    void trigger(const char* objectName) {
        QAction* a = action(objectName);
        ASSERT_NE(a, nullptr) << objectName;
        a->trigger();
    }
    QStringList tree() {
        QStringList out;
        for (QTreeWidgetItemIterator it(form().treeDb()); *it; ++it) out << (*it)->text(0);
        return out;
    }
    std::vector<uint8_t> bytes() { return zntest::readFile(db.toStdString()); }
};

TEST_F(UndoCommands, CaptionsNameTheCommandAndTheTreeShowsTheFileAfterUndoAndRedo) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 1), edtest::topic("Третья", 0)});
    EXPECT_FALSE(action("MenuUndo")->isEnabled());
    EXPECT_FALSE(action("ToolButtonRedo")->isEnabled());
    EXPECT_EQ(action("MenuUndo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(action("MenuRedo")->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Y),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}));
    const auto before = bytes();
    const QStringList treeBefore = tree();
    form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(0));
    trigger("Buttem3");
    const auto after = bytes();
    const QStringList treeAfter = tree();
    ASSERT_EQ(form().treeDb()->topLevelItemCount(), 2);
    EXPECT_EQ(action("MenuUndo")->text(), "&Отменить удаление темы 1");
    EXPECT_EQ(action("ToolButtonUndo")->toolTip(), "Отменить удаление темы 1");
    EXPECT_TRUE(action("ToolButtonUndo")->isEnabled());
    EXPECT_FALSE(action("MenuRedo")->isEnabled());

    trigger("MenuUndo");
    EXPECT_TRUE(bytes() == before);
    EXPECT_EQ(tree(), treeBefore);
    EXPECT_FALSE(action("MenuUndo")->isEnabled());
    EXPECT_EQ(action("MenuRedo")->text(), "&Повторить удаление темы 1");
    EXPECT_TRUE(action("MenuRedo")->isEnabled());

    trigger("ToolButtonRedo");
    EXPECT_TRUE(bytes() == after);
    EXPECT_EQ(tree(), treeAfter);
    EXPECT_TRUE(messages().empty());

    // A command run from elsewhere than the main window's actions (the editor page's save)
    // updates the captions too.
    dm().qrtema.first();
    zn::TopicCommands(dm(), form().feedback(), {}).renameTopic("Иначе");
    EXPECT_EQ(action("MenuUndo")->text(), "&Отменить переименование темы 1");
    EXPECT_FALSE(action("MenuRedo")->isEnabled());
}

TEST_F(UndoCommands, AfterAnotherProgramWroteTheFileUndoSaysWhyAndChangesNothing) {
    startOn({edtest::topic("Первая", 1), edtest::topic("Вторая", 1)});
    form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(0));
    trigger("Buttem3");
    struct timespec t[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(db).constData(), t, 0), 0);
    const auto now = bytes();
    trigger("MenuUndo");
    EXPECT_TRUE(bytes() == now);
    ASSERT_EQ(modal->calls().size(), 1u);
    EXPECT_EQ(modal->calls()[0].caption, "Информация");
    EXPECT_TRUE(modal->calls()[0].text.contains("изменён другой программой"));
    EXPECT_FALSE(action("MenuUndo")->isEnabled());
    EXPECT_EQ(form().treeDb()->topLevelItemCount(), 1);
}

// Another bank copied over the open one, then a command: the general error report says in
// Russian what happened, nothing is written, and the tree shows the bank now at the path.
TEST_F(UndoCommands, ABankCopiedOverTheOpenOneIsShownAndNotWrittenInto) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 1), edtest::topic("Третья", 0)});
    const QString other = QFileInfo(db).dir().filePath(QStringLiteral("другой.mdb"));
    edtest::makeBank(other, {edtest::topic("Чужая", 1)});
    std::filesystem::copy_file(other.toStdString(), db.toStdString(),
                               std::filesystem::copy_options::overwrite_existing);
    const auto replaced = bytes();
    form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(0));
    trigger("Buttem3");
    EXPECT_TRUE(bytes() == replaced);
    ASSERT_EQ(modal->calls().size(), 1u);
    EXPECT_TRUE(modal->calls()[0].text.contains("заменила или изменила другая программа"))
        << modal->calls()[0].text.toStdString();
    QCoreApplication::processEvents();
    EXPECT_TRUE(tree().value(0).endsWith("Чужая")) << tree().value(0).toStdString();
    EXPECT_FALSE(action("MenuUndo")->isEnabled());
}

TEST_F(UndoCommands, ABackupChosenFromTheListIsRestoredAsACommandOfItsOwn) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 1)});
    trigger("MenuRestoreBackup");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].startsWith("Резервных копий этой базы нет"));
    modal->clear();

    const auto before = bytes();
    const QStringList treeBefore = tree();
    trigger("ToolButton3");  // delete all: a backup first
    EXPECT_EQ(form().treeDb()->topLevelItemCount(), 0);
    ASSERT_EQ(zn::listBackups(db).size(), 1u);
    QStringList shown;
    modal->onRequest = [&](const ModalRequest& r) {
        if (r.kind != ModalRequest::Kind::Window) return;
        EXPECT_EQ(r.text, "FormBackups");
        auto* list = r.window->findChild<QListWidget*>("ListBackups");
        for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
        r.window->findChild<QPushButton*>("ButtonRestore")->click();
    };
    modal->push({0, {}, QDialog::Accepted});
    trigger("MenuRestoreBackup");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains("удаление всех данных: тем 2, вопросов 3"))
        << shown[0].toStdString();
    EXPECT_TRUE(bytes() == before);
    EXPECT_EQ(tree(), treeBefore);
    EXPECT_EQ(action("MenuUndo")->text(), "&Отменить восстановление из резервной копии");
    trigger("MenuUndo");
    EXPECT_EQ(form().treeDb()->topLevelItemCount(), 0);
    trigger("MenuUndo");
    EXPECT_TRUE(bytes() == before);
}

}  // namespace
