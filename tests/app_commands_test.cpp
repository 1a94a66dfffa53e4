// The tool bar's topic and question commands follow the selected node after every way the
// editing commands come back on: start-up, opening a bank, undo, redo and restoring a backup.
// A question node disables the topic commands; a topic node disables editing and deleting a
// question.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

#include "frame/modal.h"
#include "frame/tform1.h"
#include "frame/tform9.h"
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

namespace {

class Keyboard : public Commands {
  protected:
    void press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent down(QEvent::KeyPress, key, mods);
        QCoreApplication::sendEvent(w, &down);
    }
    QAction* menuItem(const char* name) {
        return form().findChild<QAction*>(QString::fromLatin1(name));
    }
};

// The tree takes the keyboard: Enter or F2 opens the question or renames the topic, Delete
// deletes the selected node, each only where its button would; the "Правка" items follow the
// buttons; a question's deletion says how to take it back.
TEST_F(Keyboard, TheTreeAndTheMenusRunTheCommandsOfTheSelectedNode) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 1)});
    QTreeWidget* tree = form().treeDb();
    ASSERT_NE(tree->currentItem()->parent(), nullptr);  // question 1 of topic 1
    EXPECT_FALSE(menuItem("MenuDeleteTopic")->isEnabled());
    EXPECT_TRUE(menuItem("MenuDeleteQuestion")->isEnabled());

    press(tree, Qt::Key_Return);
    EXPECT_TRUE(form().isEditorTabVisible()) << "Enter opens the question";
    form().setEditorTabVisible(false);

    press(tree, Qt::Key_Delete);
    EXPECT_EQ(file().questionsOf(1).size(), 1u) << "Delete deletes the question, not its topic";
    EXPECT_EQ(file().topics.size(), 2u);
    EXPECT_EQ(form().statusText(), QStringLiteral("Вопрос 1 темы 1 удалён. Отменить: Ctrl+Z"));

    // On a topic node F2 renames it; Escape closes the dialog and writes nothing.
    tree->setCurrentItem(tree->topLevelItem(1));
    EXPECT_TRUE(menuItem("MenuDeleteTopic")->isEnabled());
    EXPECT_FALSE(menuItem("MenuEditQuestion")->isEnabled());
    const auto bytes = zntest::readFile(db.toStdString());
    modal->onRequest = [this](const zn::ModalRequest& r) {
        if (r.kind != zn::ModalRequest::Kind::Window) return;
        EXPECT_EQ(r.caption, QStringLiteral("Редактирование темы"));
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(r.window, &esc);
        EXPECT_FALSE(r.window->isVisible());
        EXPECT_EQ(r.window->result(), int(QDialog::Rejected));
    };
    modal->clear();
    press(tree, Qt::Key_F2);
    ASSERT_EQ(modal->calls().size(), 1u);
    EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);
    modal->onRequest = nullptr;

    press(tree, Qt::Key_Delete);
    EXPECT_EQ(file().topics.size(), 1u) << "Delete deletes the topic";
}

// The first topic of an empty bank is added without a mouse; after deleting everything the
// status bar shows no topic and question numbers.
TEST_F(Keyboard, AnEmptyBankTakesItsFirstTopicFromTheKeyboard) {
    startOn({edtest::topic("Первая", 2)});
    form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(0));
    menuItem("MenuDeleteAll")->trigger();
    EXPECT_TRUE(file().topics.empty());
    EXPECT_EQ(form().statusText(), QString());

    EXPECT_EQ(menuItem("MenuAddTopic")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    EXPECT_TRUE(menuItem("MenuAddTopic")->isEnabled());
    modal->onRequest = [](const zn::ModalRequest& r) {
        if (r.kind != zn::ModalRequest::Kind::Window) return;
        auto* edit = r.window->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("С клавиатуры"));
        auto* ok = r.window->findChild<QPushButton*>(QStringLiteral("BitBtn2"));
        ASSERT_NE(ok, nullptr);
        ok->click();
    };
    menuItem("MenuAddTopic")->trigger();
    ASSERT_EQ(file().topics.size(), 1u);
    EXPECT_EQ(file().topics[0].tema, QStringLiteral("С клавиатуры"));
}

}  // namespace

namespace {

// The picture window never opens larger than the screen: a larger picture is shown smaller, in
// its proportions.
TEST(PictureWindow, APictureLargerThanTheScreenIsShownSmaller) {
    struct Case {
        QSize picture, room, shown;
    } cases[] = {
        {{300, 200}, {1280, 1000}, {300, 200}},
        {{4000, 3000}, {1280, 1000}, {1273, 954}},
        {{500, 3000}, {1280, 1000}, {161, 967}},
        {{400, 300}, {0, 0}, {400, 300}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zn::TForm9::shownSize(c.picture, c.room), c.shown)
            << c.picture.width() << "x" << c.picture.height();

    zn::ScriptedModal modal;
    QSize window;
    modal.onRequest = [&](const zn::ModalRequest& r) {
        if (r.kind == zn::ModalRequest::Kind::Window) window = r.window->size();
    };
    zn::TForm9 form;
    QPixmap huge(4000, 3000);
    huge.fill(Qt::darkGreen);
    form.showPicture(huge);
    const QSize room = form.screen()->availableGeometry().size();
    EXPECT_LE(window.width(), room.width());
    EXPECT_LE(window.height(), room.height());
}

}  // namespace

namespace {

// The import and export dialogs open where the last exchange file was chosen.
TEST_F(Keyboard, TheExchangeDialogsOpenInTheFolderLastUsed) {
    startOn({edtest::topic("Первая", 1)});
    const QString folder = work + QStringLiteral("/выгрузки");
    ASSERT_TRUE(QDir().mkpath(folder));
    modal->push({zn::Ok, folder + QStringLiteral("/банк.txt")});
    menuItem("MenuExport")->trigger();
    ASSERT_TRUE(QFile::exists(folder + QStringLiteral("/банк.txt")));
    modal->clear();
    menuItem("MenuImport")->trigger();  // cancelled
    ASSERT_FALSE(modal->calls().empty());
    EXPECT_EQ(modal->calls()[0].kind, zn::ModalRequest::Kind::OpenFile);
    EXPECT_EQ(modal->calls()[0].folder, folder);
}

}  // namespace

namespace {

// "Файл" holds the print commands before the backups; "Сохранить в PDF…" writes the bank.
TEST_F(Keyboard, PrintingIsInTheFileMenu) {
    startOn({edtest::topic("Первая", 2)});
    QAction* print = menuItem("ActPrint");
    QAction* pdf = menuItem("ActSavePdf");
    ASSERT_NE(print, nullptr);
    ASSERT_NE(pdf, nullptr);
    EXPECT_EQ(print->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    QMenu* file = form().findChild<QMenu*>(QStringLiteral("MenuFile"));
    const QList<QAction*> items = file->actions();
    EXPECT_LT(items.indexOf(print), items.indexOf(menuItem("MenuRestoreBackup")));
    EXPECT_EQ(items.indexOf(pdf), items.indexOf(print) + 1);

    const QString out = work + QStringLiteral("/тест.pdf");
    modal->push({zn::Ok, {}, 1});   // the print dialog: OK
    modal->push({zn::Ok, out, 0});  // the file to write
    pdf->trigger();
    EXPECT_TRUE(QFileInfo(out).size() > 1000) << modal->calls().size();
}

}  // namespace
