// The program on a database it cannot write: it says why when the database is opened, offers no
// editing command, writes nothing, and follows what the program that writes it commits.
#include <QAction>
#include <QTreeWidget>
#include <filesystem>
#include <optional>

#include "frame/tform1.h"
#include "jet/database.h"
#include "store/tdatmod.h"
#include "tests/editor_testing.h"

namespace {

using zn::ModalRequest;

class ReadOnlyProgram : public edtest::ProgramTest {};

TEST_F(ReadOnlyProgram, SaysWhyOffersNoEditingAndFollowsTheWriter) {
    edtest::makeBank(db, {edtest::topic("Первая", 2), edtest::topic("Вторая", 1)});
    const std::string path = db.toStdString();
    const std::string ldb = std::filesystem::path(path).replace_extension(".ldb").string();
    std::optional<zntest::HoldingChild> other;
    other.emplace([&] { return zntest::holdLikeJet(ldb); });
    ASSERT_EQ(other->error(), "");
    const auto bytes = zntest::readFile(path);

    p = std::make_unique<zn::Program>();
    ASSERT_TRUE(p->create());
    p->show();
    ASSERT_EQ(modal->calls().size(), 1u);
    const ModalRequest& box = modal->calls()[0];
    EXPECT_EQ(box.icon, zn::MsgIcon::Information);
    EXPECT_TRUE(box.text.contains(QStringLiteral("открыта в другой программе")));
    EXPECT_TRUE(box.text.contains(QStringLiteral("только для чтения")));

    auto enabled = [&](const char* name) {
        QAction* a = form().findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(a, nullptr) << name;
        return a && a->isEnabled();
    };
    for (const char* name :
         {"ToolButton2", "ToolButton3", "ToolButton4", "ToolButton5", "Buttem1", "Buttem2",
          "Buttem3", "Butvop1", "Butvop2", "Butvop3", "N9", "N7", "N8", "N6", "MenuUndo",
          "MenuRedo", "ToolButtonUndo", "ToolButtonRedo", "MenuRestoreBackup"})
        EXPECT_FALSE(enabled(name)) << name;
    EXPECT_TRUE(enabled("ToolButton10"));  // export only reads
    EXPECT_TRUE(enabled("ToolButton9"));
    // A selection does not switch them back on.
    form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(1));
    EXPECT_FALSE(enabled("Buttem1"));
    EXPECT_FALSE(enabled("Butvop1"));
    EXPECT_EQ(zntest::readFile(path), bytes);

    // The other program ends; a writer (another process) renames topic 2 and goes.
    other.reset();
    const int code = zntest::inChild([&] {
        auto w = jet::Database::open(path, {.writable = true});
        jet::Table& t = w->table("Tema");
        for (auto s = t.scan(); s.next();) {
            jet::Row r = s.row();
            if (std::get<int64_t>(r[size_t(t.columnIndex("numtema"))]) != 2) continue;
            r[size_t(t.columnIndex("tema"))] = std::u16string(u"Переименована");
            t.update(s.id(), r);
        }
        return 0;
    });
    ASSERT_EQ(code, 0);
    form().followOtherPrograms();
    EXPECT_EQ(form().treeDb()->topLevelItem(1)->text(0), QStringLiteral("Тема 2. Переименована"));
    EXPECT_EQ(form().treeDb()->currentItem(), form().treeDb()->topLevelItem(1));
}

}  // namespace
