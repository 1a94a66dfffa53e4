// Spell checking in the running program: the question editor's boxes underline a misspelled
// word as the teacher types it, their context menu corrects it or adds it to the personal word
// list; the problem list shows the unknown words of a bank of our own and goes to their
// questions; and without a dictionary the editor works as before and says so once. The
// personal word list lives in the run's settings folder (preview_qt_main.cpp).
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeWidget>

#include "editor/editorarea.h"
#include "editor/questioneditor.h"
#include "frame/tform1.h"
#include "problems/problemsarea.h"
#include "problems/problemspanel.h"
#include "spell/checker.h"
#include "tests/editor_testing.h"

namespace {

using edtest::Q;
using edtest::T;
using zn::problems::Kind;
using zn::spell::Checker;

// The underlined words of a box, in order.
std::vector<QString> underlined(const QPlainTextEdit* box) {
    std::vector<QString> out;
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next())
        for (const QTextLayout::FormatRange& r : b.layout()->formats())
            if (r.format.underlineStyle() == QTextCharFormat::WaveUnderline)
                out.push_back(b.text().mid(r.start, r.length));
    return out;
}

class SpellInEditor : public edtest::ProgramTest {
  protected:
    void SetUp() override {
        edtest::ProgramTest::SetUp();
        QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
    }

    // Starts the program on `topics`; false (the test skips) without the Russian dictionary.
    bool startWithRussian(const std::vector<T>& topics) {
        startOn(topics);
        if (p->spellChecker()->waitUntilLoaded() == Checker::State::Ready) return true;
        skipReason = p->spellChecker()->unavailableReason();
        return false;
    }

    zn::QuestionEditor& ed() { return p->editor()->questionEditor(); }
    zn::ProblemsPanel& panel() { return p->problems()->panel(); }
    void editQuestion(int topic, int question) {
        form().treeDb()->setCurrentItem(
            form().treeDb()->topLevelItem(topic - 1)->child(question - 1));
        form().runCommand(zn::Command::EditQuestion);
    }

    // Types `text` at the end of `box` as key presses carrying the characters.
    static void typeAtEnd(QPlainTextEdit* box, const QString& text) {
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &release);
        }
    }

    // Opens the box's context menu with the mouse's right button on the first `word` of the
    // box; the menu is open (a popup) when it returns.
    static QMenu* menuOn(QPlainTextEdit* box, const QString& word) {
        const int at = int(box->toPlainText().indexOf(word));
        EXPECT_GE(at, 0) << word.toStdString();
        QTextCursor c(box->document());
        c.setPosition(at + 1);
        const QPoint pos = box->cursorRect(c).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, box->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(box->viewport(), &event);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    static QStringList captions(const QMenu* menu, const char* objectName) {
        QStringList out;
        for (QAction* a : menu->actions())
            if (a->objectName() == QLatin1String(objectName)) out << a->text();
        return out;
    }
    static void choose(QMenu* menu, const char* objectName, const QString& caption = {}) {
        for (QAction* a : menu->actions())
            if (a->objectName() == QLatin1String(objectName) &&
                (caption.isEmpty() || a->text() == caption)) {
                a->trigger();
                menu->close();
                return;
            }
        ADD_FAILURE() << objectName << " " << caption.toStdString();
    }

    // The unknown-word lines of the problem list (under their kind's heading), in order.
    std::vector<QTreeWidgetItem*> unknownWordItems() {
        std::vector<QTreeWidgetItem*> out;
        QTreeWidget* list = panel().list();
        for (QTreeWidgetItemIterator it(list); *it; ++it) {
            if (!(*it)->parent()) continue;  // a heading
            list->setCurrentItem(*it);
            const zn::problems::Problem* p = panel().selectedProblem();
            if (p && p->kind == Kind::UnknownWord) out.push_back(*it);
        }
        return out;
    }
    // The same lines as topic, question, description.
    std::vector<QStringList> unknownWordLines() {
        std::vector<QStringList> out;
        for (QTreeWidgetItem* line : unknownWordItems())
            out.push_back({line->text(zn::ProblemsPanel::TopicColumn),
                           line->text(zn::ProblemsPanel::QuestionColumn),
                           line->text(zn::ProblemsPanel::DescriptionColumn)});
        return out;
    }
    // The tree's current node: topic position, question position (0: a topic node).
    std::pair<int, int> currentNode() {
        QTreeWidgetItem* node = form().treeDb()->currentItem();
        if (!node) return {0, 0};
        if (!node->parent()) return {form().treeDb()->indexOfTopLevelItem(node) + 1, 0};
        return {form().treeDb()->indexOfTopLevelItem(node->parent()) + 1,
                node->parent()->indexOfChild(node) + 1};
    }

    QString skipReason;
};

#define SKIP_WITHOUT_RUSSIAN()                                                               \
    GTEST_SKIP() << "no Russian Hunspell dictionary (tools/setup.sh installs hunspell-ru): " \
                 << skipReason.toStdString()

Q question(const QString& text, std::vector<QString> answers) {
    Q q;
    q.text = text;
    q.answers = std::move(answers);
    return q;
}

// The word being typed is left alone; the space after it underlines it, in the question box and
// in an answer box. A correction from the menu replaces it and is saved; "Добавить в словарь"
// takes the underline away in every box, keeps the word in the personal list, and the next
// program run (a new checker) knows it too.
TEST_F(SpellInEditor, AMisspelledWordIsUnderlinedAsTypedAndTheMenuCorrectsOrAddsIt) {
    if (!startWithRussian({T{"Физика", {question("Единица силы тока", {"Ампер", "Вольт"})}}}))
        SKIP_WITHOUT_RUSSIAN();
    editQuestion(1, 1);
    ASSERT_TRUE(underlined(ed().MemVopr).empty());

    typeAtEnd(ed().MemVopr, QStringLiteral(" и карова"));
    EXPECT_TRUE(underlined(ed().MemVopr).empty());  // still being typed
    typeAtEnd(ed().MemVopr, QStringLiteral(" "));
    EXPECT_EQ(underlined(ed().MemVopr), std::vector<QString>{QStringLiteral("карова")});
    typeAtEnd(ed().MemOtv[1], QStringLiteral(" или кулон, карова."));
    EXPECT_EQ(underlined(ed().MemOtv[1]), std::vector<QString>{QStringLiteral("карова")});

    // A correct word gets no spelling items; the standard ones stay.
    QMenu* menu = menuOn(ed().MemVopr, QStringLiteral("силы"));
    ASSERT_TRUE(menu);
    EXPECT_TRUE(captions(menu, "SpellSuggestion").isEmpty());
    EXPECT_TRUE(captions(menu, "SpellAddWord").isEmpty());
    EXPECT_FALSE(menu->actions().isEmpty());
    menu->close();

    menu = menuOn(ed().MemVopr, QStringLiteral("карова"));
    ASSERT_TRUE(menu);
    EXPECT_TRUE(captions(menu, "SpellSuggestion").contains(QStringLiteral("корова")))
        << captions(menu, "SpellSuggestion").join(u',').toStdString();
    EXPECT_EQ(captions(menu, "SpellAddWord"), QStringList{QStringLiteral("Добавить в словарь")});
    choose(menu, "SpellSuggestion", QStringLiteral("корова"));
    EXPECT_EQ(ed().MemVopr->toPlainText(), QStringLiteral("Единица силы тока и корова "));
    EXPECT_TRUE(underlined(ed().MemVopr).empty());
    EXPECT_EQ(underlined(ed().MemOtv[1]), std::vector<QString>{QStringLiteral("карова")});

    // The word added from the answer box: no longer underlined there, nor when typed again in
    // the question box.
    menu = menuOn(ed().MemOtv[1], QStringLiteral("карова"));
    ASSERT_TRUE(menu);
    choose(menu, "SpellAddWord");
    EXPECT_TRUE(underlined(ed().MemOtv[1]).empty());
    typeAtEnd(ed().MemVopr, QStringLiteral("карова "));
    EXPECT_TRUE(underlined(ed().MemVopr).empty());
    EXPECT_EQ(QSettings().value(QLatin1String(Checker::kPersonalWordsKey)).toStringList(),
              QStringList{QStringLiteral("карова")});

    ed().BitBtn4->click();
    const auto saved = file();
    ASSERT_EQ(saved.questions.size(), 1u);
    EXPECT_EQ(saved.questions[0].vopros, QStringLiteral("Единица силы тока и корова карова"));
    EXPECT_EQ(saved.answers[1].otvet, QStringLiteral("Вольт или кулон, карова."));

    // The next run of the program knows the word.
    p.reset();
    start();
    ASSERT_EQ(p->spellChecker()->waitUntilLoaded(), Checker::State::Ready);
    editQuestion(1, 1);
    EXPECT_TRUE(underlined(ed().MemVopr).empty());
    EXPECT_TRUE(underlined(ed().MemOtv[1]).empty());
}

// The problem list of a bank with misspelled words: one line per word and question, the words
// in alphabetical order, and a double-click goes to the question. A word added to the personal
// list leaves the list at the next check, a word corrected and saved at once; the other kinds
// of problem stay as they were (this bank has none).
TEST_F(SpellInEditor, TheProblemListShowsUnknownWordsByWordAndGoesToTheirQuestions) {
    const std::vector<T> bank{
        T{"Животные",
          {question("Карова даёт молоко?", {"Да", "Нет, карова не даёт"}),
           question("Сколько ног у каровы?", {"Четыре", "Шесть"})}},
        T{"Растения",
          {question("Что такое фатосинтез?", {"Карова", "Процесс в листьях: фатосинтез"})}}};
    if (!startWithRussian(bank)) SKIP_WITHOUT_RUSSIAN();
    p->problems()->panelAction()->trigger();
    ASSERT_TRUE(panel().isVisible());

    const std::vector<QStringList> expected{
        {"1", "1", "«Карова»: вопрос, ответ 2 (всего в 2 вопросах)"},
        {"2", "1", "«Карова»: ответ 1 (всего в 2 вопросах)"},
        {"1", "2", "«каровы»: вопрос"},
        {"2", "1", "«фатосинтез»: вопрос, ответ 2"},
    };
    EXPECT_EQ(unknownWordLines(), expected);
    EXPECT_EQ(zn::problems::countByKind(panel().problems())[size_t(Kind::UnknownWord)], 4);
    EXPECT_EQ(panel().problems().size(), 4u);  // nothing else is wrong with the bank
    ASSERT_EQ(panel().list()->topLevelItemCount(), 1);
    EXPECT_EQ(panel().list()->topLevelItem(0)->text(0), QStringLiteral("Неизвестное слово — 4"));
    EXPECT_TRUE(panel().counts()->text().contains(QStringLiteral("Неизвестное слово: 4")))
        << panel().counts()->text().toStdString();

    // A double-click on a line selects its question, as for the other problems.
    QTreeWidgetItem* line = unknownWordItems().at(2);
    panel().list()->scrollToItem(line);
    const QPoint at = panel().list()->visualItemRect(line).center();
    QTest::mouseClick(panel().list()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(panel().list()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(currentNode(), std::make_pair(1, 2));

    // "фатосинтез" added to the dictionary from the editor: gone after "Проверить снова".
    editQuestion(2, 1);
    QMenu* menu = menuOn(ed().MemVopr, QStringLiteral("фатосинтез"));
    ASSERT_TRUE(menu);
    choose(menu, "SpellAddWord");
    panel().recheckButton()->click();
    EXPECT_EQ(unknownWordLines(),
              (std::vector<QStringList>{expected[0], expected[1], expected[2]}));

    // "каровы" corrected and saved: the check after the save drops it.
    editQuestion(1, 2);
    menu = menuOn(ed().MemVopr, QStringLiteral("каровы"));
    ASSERT_TRUE(menu);
    choose(menu, "SpellSuggestion", QStringLiteral("коровы"));
    ed().BitBtn4->click();
    EXPECT_EQ(file().questionsOf(1)[1].vopros, QStringLiteral("Сколько ног у коровы?"));
    EXPECT_EQ(unknownWordLines(), (std::vector<QStringList>{expected[0], expected[1]}));
}

// Without a dictionary: no underline, no spelling items in the menu, no unknown words, no box;
// the status bar says once why, and the question is saved as typed.
TEST_F(SpellInEditor, WithoutADictionaryTheEditorWorksAndSaysSoOnce) {
    edtest::makeBank(db, {T{"Физика", {question("Сила тока", {"Ампер", "Вольт"})}}});
    p = std::make_unique<zn::Program>();
    p->setSpellDictionary(
        {work + QStringLiteral("/нет/ru_RU.aff"), work + QStringLiteral("/нет/ru_RU.dic")});
    ASSERT_TRUE(p->create());
    p->show();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form().statusText().contains(QStringLiteral("hunspell-ru")); }, 5000))
        << form().statusText().toStdString();
    EXPECT_EQ(p->spellChecker()->state(), Checker::State::Unavailable);
    EXPECT_TRUE(modal->calls().empty());

    editQuestion(1, 1);
    typeAtEnd(ed().MemVopr, QStringLiteral(" карова "));
    EXPECT_TRUE(underlined(ed().MemVopr).empty());
    QMenu* menu = menuOn(ed().MemVopr, QStringLiteral("карова"));
    ASSERT_TRUE(menu);
    EXPECT_TRUE(captions(menu, "SpellAddWord").isEmpty());
    EXPECT_FALSE(menu->actions().isEmpty());
    menu->close();
    ed().BitBtn4->click();
    EXPECT_EQ(file().questions[0].vopros, QStringLiteral("Сила тока карова"));

    // Said once: the tree's status after the save stays.
    const QString after = form().statusText();
    EXPECT_FALSE(after.contains(QStringLiteral("hunspell-ru")));
    p->problems()->panelAction()->trigger();
    QTest::qWait(20);
    EXPECT_TRUE(panel().problems().empty());
    EXPECT_EQ(form().statusText(), after);
    EXPECT_TRUE(modal->calls().empty());
}

}  // namespace
