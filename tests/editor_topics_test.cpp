// The topic commands driven through the main window's actions and the topic dialog, with the
// database looked at afterwards.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QTreeWidget>

#include "editor/editorarea.h"
#include "editor/tform4.h"
#include "editor/topiccommands.h"
#include "frame/tform1.h"
#include "store/tdatmod.h"
#include "tests/editor_testing.h"
#include "tests/support/faultenv.h"

namespace {

using edtest::T;
using zn::ModalAnswer;
using zn::ModalRequest;

class Topics : public edtest::ProgramTest {
  protected:
    zn::TForm4& form4() { return p->editor()->form4(); }

    // Answers the next topic dialog: types `name` and presses OK (or closes the dialog by its
    // close box when `pressOk` is false). What the dialog showed is kept.
    void answerDialog(const QString& name, bool pressOk = true) {
        modal->onRequest = [this, name, pressOk](const ModalRequest& r) {
            if (r.kind != ModalRequest::Kind::Window) return;
            shownCaption = r.window->windowTitle();
            shownNumber = form4().lbTema->text();
            shownName = form4().Edit1->text();
            form4().Edit1->setText(name);
            if (pressOk) form4().BitBtn2->click();
            stillOpen = !form4().isHidden() || form4().result() != QDialog::Accepted;
        };
    }
    void trigger(const char* objectName) {
        QAction* a = form().findChild<QAction*>(QString::fromLatin1(objectName));
        ASSERT_NE(a, nullptr) << objectName;
        a->trigger();
    }
    void selectTopic(int k) {
        form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(k - 1));
    }
    QStringList treeCaptions() {
        QStringList out;
        for (QTreeWidgetItemIterator it(form().treeDb()); *it; ++it) out << (*it)->text(0);
        return out;
    }

    QString shownCaption, shownNumber, shownName;
    bool stillOpen = false;
};

TEST_F(Topics, AddingGivesTheNextNumberAndNoQuestions) {
    struct Case {
        int existing;
        int number;
    } cases[] = {{0, 1}, {4, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.existing);
        p.reset();
        QFile::remove(db);
        std::vector<T> topics;
        for (int k = 1; k <= c.existing; ++k) topics.push_back(edtest::topic("Тема", 1));
        startOn(topics);
        if (c.existing) selectTopic(1);  // the topic commands want a topic node
        answerDialog(QStringLiteral("  Новая тема  "));
        trigger("Buttem1");
        EXPECT_EQ(shownCaption, QStringLiteral("Добавление темы"));
        EXPECT_EQ(shownNumber, QString::number(c.number));
        EXPECT_EQ(shownName, QString());
        const auto f = file();
        ASSERT_EQ(f.topics.size(), size_t(c.existing + 1));
        EXPECT_EQ(f.topics.back().numtema, c.number);
        EXPECT_EQ(f.topics.back().tema, QStringLiteral("  Новая тема  "));  // as typed
        EXPECT_EQ(f.topics.back().kolvopr, 0);
        // The tree was rebuilt and shows the new topic as a leaf.
        EXPECT_EQ(form().treeDb()->topLevelItemCount(), c.number);
        EXPECT_EQ(form().treeDb()->topLevelItem(c.number - 1)->childCount(), 0);
        EXPECT_TRUE(messages().empty());
    }
}

TEST_F(Topics, RenamingChangesOnlyTheName) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 3)});
    const auto before = file();
    selectTopic(2);
    answerDialog(QStringLiteral("Переименованная"));
    trigger("N7");
    EXPECT_EQ(shownCaption, QStringLiteral("Редактирование темы"));
    EXPECT_EQ(shownNumber, QStringLiteral("2"));
    EXPECT_EQ(shownName, QStringLiteral("Вторая"));
    const auto after = file();
    ASSERT_EQ(after.topics.size(), 2u);
    EXPECT_EQ(after.topics[1].tema, QStringLiteral("Переименованная"));
    EXPECT_EQ(after.topics[1].numtema, 2);
    EXPECT_EQ(after.topics[1].kolvopr, 3);
    EXPECT_EQ(after.questions.size(), before.questions.size());
    EXPECT_EQ(after.answers.size(), before.answers.size());
    EXPECT_EQ(form().treeDb()->topLevelItem(1)->text(0), QStringLiteral("Тема 2. Переименованная"));
}

// The dialog refuses what it cannot store and stays open with the text; closing it by its close
// box writes nothing.
TEST_F(Topics, BadNamesAreRefusedAndTheCloseBoxWritesNothing) {
    startOn({edtest::topic("Первая", 1)});
    selectTopic(1);
    const auto bytes = zntest::readFile(db.toStdString());
    struct Case {
        QString name;
        QString message;
    } cases[] = {
        {QString(), QStringLiteral("Не заполнено название темы")},
        {QString(256, u'я'), QStringLiteral("Название темы длиннее 255 символов (в нём 256)")},
    };
    for (const Case& c : cases) {
        modal->clear();
        answerDialog(c.name);
        trigger("Buttem1");
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0], c.message);
        const ModalRequest& box = *std::find_if(
            modal->calls().begin(), modal->calls().end(),
            [](const ModalRequest& r) { return r.kind == ModalRequest::Kind::Message; });
        EXPECT_EQ(box.caption, QStringLiteral("Ошибка"));
        EXPECT_EQ(box.icon, zn::MsgIcon::Exclamation);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(form4().Edit1->text(), c.name);
    }
    answerDialog(QStringLiteral("Не сохранится"), false);
    trigger("N9");
    EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);
    // 255 characters fit exactly.
    answerDialog(QString(255, u'я'));
    trigger("Buttem1");
    EXPECT_EQ(file().topics.back().tema.size(), 255);
}

TEST_F(Topics, AFifteenthTopicIsRefused) {
    std::vector<T> topics;
    for (int k = 1; k <= 14; ++k) topics.push_back(edtest::topic("Тема", 0));
    startOn(topics);
    const auto bytes = zntest::readFile(db.toStdString());
    trigger("Buttem1");
    ASSERT_EQ(modal->calls().size(), 1u);  // no dialog, the box only
    EXPECT_EQ(modal->calls()[0].caption, QStringLiteral("Ошибка"));
    EXPECT_TRUE(modal->calls()[0].text.contains(QStringLiteral("не более 14 тем")));
    EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);
}

TEST_F(Topics, WithNoTopicRenameAndDeleteDoNothing) {
    startOn({});
    const auto bytes = zntest::readFile(db.toStdString());
    trigger("Buttem2");
    trigger("N7");
    trigger("Buttem3");
    trigger("N8");
    EXPECT_TRUE(modal->calls().empty());
    EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);
}

TEST_F(Topics, DeletingTopic2Of4RenumbersAndReKeysTheRest) {
    startOn({edtest::topic("Один", 2), edtest::topic("Два", 3), edtest::topic("Три", 1),
             edtest::topic("Четыре", 2)});
    const auto before = file();
    selectTopic(2);
    std::vector<QString> statuses;
    trigger("Buttem3");
    const auto after = file();

    ASSERT_EQ(after.topics.size(), 3u);
    std::vector<std::pair<qint64, QString>> topics;
    for (const auto& t : after.topics) topics.emplace_back(t.numtema, t.tema);
    EXPECT_EQ(topics,
              (std::vector<std::pair<qint64, QString>>{{1, "Один"}, {2, "Три"}, {3, "Четыре"}}));
    // Topic 2's questions and answers are gone; the others keep their rows, numbers and
    // answers, re-keyed to their topic's new number.
    EXPECT_EQ(after.questions.size(), before.questions.size() - 3);
    EXPECT_EQ(after.answers.size(), before.answers.size() - 9);
    for (const auto& q : before.questions) {
        auto it = std::find_if(after.questions.begin(), after.questions.end(),
                               [&](const auto& a) { return a.id == q.id; });
        if (q.idtest == 2) {
            EXPECT_EQ(it, after.questions.end());
            EXPECT_TRUE(after.answersOf(q.id).empty());
            continue;
        }
        ASSERT_NE(it, after.questions.end());
        EXPECT_EQ(it->idtest, q.idtest < 2 ? q.idtest : q.idtest - 1);
        EXPECT_EQ(it->idvopr, q.idvopr);
        EXPECT_EQ(it->vopros, q.vopros);
        EXPECT_EQ(after.answersOf(q.id).size(), before.answersOf(q.id).size());
    }
    // The tree was rebuilt, its first node selected, and the first status panel is empty.
    EXPECT_EQ(form().treeDb()->topLevelItemCount(), 3);
    EXPECT_EQ(form().treeDb()->currentItem(), form().treeDb()->topLevelItem(0)->child(0));
    EXPECT_EQ(form().statusText(), QString());
    EXPECT_EQ(form().progBar1()->value(), 0);
}

TEST_F(Topics, DeletingTheOnlyTopicEmptiesTheTree) {
    startOn({edtest::topic("Единственная", 2)});
    selectTopic(1);
    trigger("N8");
    const auto after = file();
    EXPECT_TRUE(after.topics.empty());
    EXPECT_TRUE(after.questions.empty());
    EXPECT_TRUE(after.answers.empty());
    EXPECT_EQ(form().treeDb()->topLevelItemCount(), 0);
    EXPECT_TRUE(form().hv()->toPlainText().isEmpty());
}

// An I/O error in the middle of a deletion: the general error report says why, the file is
// byte for byte as it was and the tree still shows it.
TEST_F(Topics, AnIoErrorDuringADeletionChangesNothing) {
    edtest::makeBank(db,
                     {edtest::topic("Один", 2), edtest::topic("Два", 3), edtest::topic("Три", 1)});
    const auto bytes = zntest::readFile(db.toStdString());
    for (int k : {1, 3, 6}) {
        SCOPED_TRACE(k);
        zntest::FaultEnv env(0);
        restartThrough(env);
        const QStringList tree = treeCaptions();
        env = zntest::FaultEnv(k, false);
        modal->clear();
        selectTopic(2);
        trigger("Buttem3");
        ASSERT_EQ(modal->calls().size(), 1u);
        EXPECT_EQ(modal->calls()[0].icon, zn::MsgIcon::Stop);
        EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);
        EXPECT_EQ(treeCaptions(), tree);
        EXPECT_EQ(dm().qrtema.recordCount(), 3);
        p.reset();
    }
}

}  // namespace
