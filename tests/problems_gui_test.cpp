// The "Проблемы" panel and the search box in the running program, on the problem bank.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <optional>

#include "frame/tform1.h"
#include "problems/problemsarea.h"
#include "problems/problemspanel.h"
#include "problems/searchbox.h"
#include "tests/editor_testing.h"
#include "tests/problems_testing.h"
#include "tree/topictree.h"

namespace {

using zn::problems::Kind;

class ProblemsGui : public edtest::ProgramTest {
  protected:
    void startOnProblemBank() {
        prtest::makeProblemBank(db);
        prtest::makeProblemPictures(work + QStringLiteral("/data"));
        start();
    }
    zn::ProblemsArea& area() { return *p->problems(); }
    zn::ProblemsPanel& panel() { return area().panel(); }
    std::vector<int> shownCounts() { return zn::problems::countByKind(panel().problems()); }
    // The line of the first problem of `kind` in the list.
    QTreeWidgetItem* lineOf(Kind kind) {
        if (!panel().selectKind(kind)) return nullptr;
        return panel().list()->currentItem();
    }
    // A double-click on the line as the mouse gives it: a click, then the second press.
    void doubleClick(QTreeWidget* list, QTreeWidgetItem* item) {
        list->scrollToItem(item);
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // Types `text` into `w` as key presses carrying the characters (QTest only types ASCII).
    static void typeText(QWidget* w, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &release);
        }
    }
    // The tree's current node as "topic position / question position" (0: a topic node).
    std::pair<int, int> currentNode() {
        QTreeWidgetItem* node = form().treeDb()->currentItem();
        if (!node) return {0, 0};
        if (!node->parent()) return {form().treeDb()->indexOfTopLevelItem(node) + 1, 0};
        return {form().treeDb()->indexOfTopLevelItem(node->parent()) + 1,
                node->parent()->indexOfChild(node) + 1};
    }
};

// The panel is hidden until its tool button is pressed; then it lists every problem of the bank
// (the stored counts were brought up to date by the tree's first build) with a count per kind,
// and a double-click on a line selects that question in the tree.
TEST_F(ProblemsGui, OpeningThePanelListsTheProblemsAndADoubleClickSelectsTheQuestion) {
    startOnProblemBank();
    form().show();
    EXPECT_FALSE(panel().isVisible());
    auto* bar = form().findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->actions().contains(area().panelAction()));
    area().panelAction()->trigger();
    ASSERT_TRUE(panel().isVisible());

    std::vector<int> expected(size_t(zn::problems::kKindCount), 1);
    expected[size_t(Kind::StoredCount)] = 0;
    EXPECT_EQ(shownCounts(), expected);
    EXPECT_EQ(panel().lineCount(), 13);
    EXPECT_EQ(panel().list()->topLevelItemCount(), zn::problems::kKindCount - 1);  // headings
    EXPECT_TRUE(panel().counts()->text().startsWith(QStringLiteral("Проблем: 13.")))
        << panel().counts()->text().toStdString();
    EXPECT_TRUE(panel().counts()->text().contains(QStringLiteral("Пустой ответ: 1")));

    QTreeWidgetItem* line = lineOf(Kind::EmptyAnswer);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->text(zn::ProblemsPanel::TopicColumn), QStringLiteral("1"));
    EXPECT_EQ(line->text(zn::ProblemsPanel::QuestionColumn), QStringLiteral("5"));
    doubleClick(panel().list(), line);
    EXPECT_EQ(currentNode(), std::make_pair(1, 5));
    EXPECT_EQ(p->tree()->SelectedQuestionNo, 5);

    // A row without its owner has no node: the status panel names it.
    line = lineOf(Kind::OrphanAnswer);
    ASSERT_TRUE(line);
    doubleClick(panel().list(), line);
    EXPECT_EQ(currentNode(), std::make_pair(1, 5));
    EXPECT_TRUE(form().statusText().startsWith(QStringLiteral("Ответ без вопроса: запись ")));

    // Any command while the panel is open checks again: deleting that question takes its
    // problem off the list.
    modal->push({zn::Yes, {}, 0});
    form().runCommand(zn::TForm1::Command::DeleteQuestion);
    EXPECT_EQ(file().questionsOf(1).size(), 9u);
    EXPECT_EQ(shownCounts()[size_t(Kind::EmptyAnswer)], 0);
    EXPECT_EQ(shownCounts()[size_t(Kind::WrongCorrectAnswer)], 1);
}

// A repair from the panel: the plan is shown and confirmed, the repair lands, and the check that
// follows the tree rebuild no longer lists the problem.
TEST_F(ProblemsGui, ARepairRemovesTheProblemFromTheList) {
    startOnProblemBank();
    form().show();
    area().panelAction()->trigger();
    QPushButton* renumber = panel().renumberQuestionsButton();
    EXPECT_FALSE(renumber->isEnabled());
    ASSERT_TRUE(lineOf(Kind::QuestionNumbers));
    ASSERT_TRUE(renumber->isEnabled());

    modal->push({zn::Yes, {}, 0});
    renumber->click();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].startsWith(QStringLiteral("Перенумерация вопросов темы 2.")))
        << messages()[0].toStdString();
    // The question is named as the teacher finds it: by its number and text, not its row id.
    EXPECT_TRUE(messages()[0].contains(QStringLiteral("вопрос 3 «Вопрос 2.3» → 2")))
        << messages()[0].toStdString();
    EXPECT_FALSE(messages()[0].contains(QStringLiteral("id "))) << messages()[0].toStdString();
    EXPECT_EQ(shownCounts()[size_t(Kind::QuestionNumbers)], 0);
    EXPECT_EQ(panel().lineCount(), 12);
    EXPECT_FALSE(renumber->isEnabled());
    std::vector<qint64> numbers;
    for (const auto& q : file().questionsOf(2)) numbers.push_back(q.idvopr);
    EXPECT_EQ(numbers, (std::vector<qint64>{1, 2}));

    // Declined: nothing changes.
    modal->clear();
    modal->push({zn::No, {}, 0});
    panel().deleteOrphansButton()->click();
    EXPECT_EQ(shownCounts()[size_t(Kind::OrphanQuestion)], 1);
    EXPECT_EQ(file().questions.size(), 13u);
}

// A bank another program holds is opened for reading: the panel lists its problems (the stored
// counts too, since nothing recounted them) but offers no repair, and the file stays as it was.
TEST_F(ProblemsGui, ABankOpenedForReadingOffersNoRepair) {
    prtest::makeProblemBank(db);
    prtest::makeProblemPictures(work + QStringLiteral("/data"));
    const std::string path = db.toStdString();
    const std::string ldb = std::filesystem::path(path).replace_extension(".ldb").string();
    std::optional<zntest::HoldingChild> other;
    other.emplace([&] { return zntest::holdLikeJet(ldb); });
    ASSERT_EQ(other->error(), "");
    const auto bytes = zntest::readFile(path);
    start();
    area().panelAction()->trigger();
    EXPECT_EQ(shownCounts(), std::vector<int>(size_t(zn::problems::kKindCount), 1));
    ASSERT_TRUE(lineOf(Kind::QuestionNumbers));
    for (QPushButton* b : {panel().renumberQuestionsButton(), panel().renumberTopicsButton(),
                           panel().recountButton(), panel().deleteOrphansButton()})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(panel().recheckButton()->isEnabled());
    p.reset();
    EXPECT_EQ(zntest::readFile(path), bytes);
}

// Ctrl+F focuses the search box; typing a word of an answer in other letter case (and "е" for
// "ё") lists its question, and Enter selects it in the tree.
TEST_F(ProblemsGui, SearchFindsACyrillicWordOfAnAnswerInAnyCase) {
    startOnProblemBank();
    form().show();
    QApplication::setActiveWindow(&form());
    zn::SearchBox& box = area().searchBox();
    EXPECT_EQ(area().findAction()->shortcut(), QKeySequence(QKeySequence::Find));
    area().findAction()->trigger();
    EXPECT_TRUE(box.edit()->hasFocus() || QApplication::focusWidget() == box.edit());
    EXPECT_FALSE(box.results()->isVisible());

    typeText(box.edit(), QStringLiteral("ЕЛКА У"));
    ASSERT_EQ(box.results()->count(), 1);
    EXPECT_TRUE(box.results()->isVisible());
    EXPECT_TRUE(box.results()->item(0)->text().startsWith(QStringLiteral("Тема 1, вопрос 10: ")));
    EXPECT_EQ(box.note()->text(), QStringLiteral("Найдено: 1"));
    QTest::keyClick(box.edit(), Qt::Key_Return);
    EXPECT_EQ(currentNode(), std::make_pair(1, 10));
    EXPECT_EQ(p->tree()->SelectedQuestionNo, 10);

    box.edit()->setText(QStringLiteral("зелёная"));
    EXPECT_EQ(box.results()->count(), 1);
    box.edit()->setText(QStringLiteral("нет такого слова"));
    EXPECT_EQ(box.results()->count(), 0);
    EXPECT_EQ(box.note()->text(), QStringLiteral("Ничего не найдено"));
}

}  // namespace

// The panel opens beside the tree at a width where its descriptions can be read, without taking
// that room from the preview: the window widens where the screen allows and narrows again when
// the panel closes. (The offscreen screen of this test is wide enough; see problems.cmake.)
TEST_F(ProblemsGui, ThePanelWidensTheWindowInsteadOfSqueezingThePreview) {
    startOnProblemBank();
    form().show();
    QApplication::processEvents();
    auto* tree = form().findChild<QWidget*>(QStringLiteral("Panel1"));
    auto* preview = form().findChild<QWidget*>(QStringLiteral("Panel2"));
    ASSERT_TRUE(tree && preview);
    const int window = form().width(), treeWidth = tree->width(), previewWidth = preview->width();
    const int screen = form().screen()->availableGeometry().width();
    if (screen < form().frameGeometry().width() + 490)
        GTEST_SKIP() << "the screen (" << screen << " px) has no room to widen the window";

    area().panelAction()->trigger();
    QApplication::processEvents();
    EXPECT_EQ(panel().width(), 480);
    EXPECT_EQ(form().width(), window + 480 + 3);  // and its splitter handle
    EXPECT_EQ(tree->width(), treeWidth);
    EXPECT_EQ(preview->width(), previewWidth);
    // The description column has most of the panel.
    EXPECT_GE(panel().list()->columnWidth(zn::ProblemsPanel::DescriptionColumn), 250);

    area().panelAction()->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(form().width(), window);
    EXPECT_EQ(preview->width(), previewWidth);
}

// Where the screen has no room the preview gives up what the window cannot; it never goes below
// what it needs, and a maximised window does not grow.
TEST(SidePanelRoom, TheWindowGrowsFirstThenThePreviewGives) {
    using R = zn::TForm1::PanelRoom;
    struct Case {
        int window, screen, preview, previewMin;
        bool canGrow;
        int grow, fromPreview;
    };
    const Case cases[] = {
        {964, 1920, 770, 300, true, 480, 0},     // room enough on the screen
        {964, 1200, 770, 300, true, 236, 244},   // part of it
        {964, 964, 770, 300, true, 0, 470},      // none: the preview gives all but its minimum
        {1920, 1920, 1700, 300, false, 0, 480},  // maximised
        {964, 1920, 770, 300, false, 0, 470},
    };
    for (const Case& c : cases) {
        const R r =
            zn::TForm1::roomForPanel(480, c.window, c.screen, c.preview, c.previewMin, c.canGrow);
        EXPECT_EQ(r.grow, c.grow) << c.window << " " << c.screen;
        EXPECT_EQ(r.fromPreview, c.fromPreview) << c.window << " " << c.screen;
    }
}
