// Structure and behaviour of the main window, the about window and the picture window.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include "frame/formstyle.h"
#include "frame/imagelist.h"
#include "frame/modal.h"
#include "frame/taboutbox.h"
#include "frame/tform1.h"
#include "frame/tform9.h"
#include "frame/toolseparator.h"

using zn::ImageList;
using zn::ModalRequest;
using zn::ScriptedModal;
using zn::TAboutBox;
using zn::TForm1;
using zn::TForm9;

namespace {

// Icons are compared by their pixels: the image list builds a new QIcon on every call.
// Index -1: an item without an image.
bool sameImage(const QIcon& icon, int index) {
    if (index < 0) return icon.isNull();
    if (icon.isNull()) return false;
    return icon.pixmap(16, 16).toImage() == ImageList::pixmap(index).toImage();
}

struct Item {
    QString text;  // "-" for a separator
    int image;
};

void compareMenu(const QMenu* menu, const std::vector<Item>& expected) {
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), qsizetype(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        const QAction* a = actions[qsizetype(i)];
        if (expected[i].text == "-") {
            QVERIFY2(a->isSeparator(),
                     qPrintable(menu->objectName() + " item " + QString::number(i)));
            continue;
        }
        // Menu items may carry a mnemonic ("Вы&ход"); the text shown is without it.
        QCOMPARE(QString(a->text()).remove(u'&'), expected[i].text);
        QVERIFY2(sameImage(a->icon(), expected[i].image), qPrintable(a->text()));
        QVERIFY(a->isEnabled());
    }
}

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT

    zn::Session session_;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TAboutBox> about_;
    std::unique_ptr<TForm9> picture_;

  private slots:
    void init() {
        form_ = std::make_unique<TForm1>(session_);
        about_ = std::make_unique<TAboutBox>();
        picture_ = std::make_unique<TForm9>();
        form_->setAboutBox(about_.get());
        form_->setPictureWindow(picture_.get());
    }
    void cleanup() {
        form_.reset();
        about_.reset();
        picture_.reset();
    }

    void imageListHasEveryImage() {
        for (int i = 0; i < ImageList::kCount; ++i)
            QVERIFY2(!ImageList::pixmap(i).isNull(), qPrintable(QString::number(i)));
        QVERIFY(ImageList::icon(ImageList::kCount).isNull());
        QVERIFY(!ImageList::appIcon().isNull());
    }

    void controlsCarryTheirNames() {
        QCOMPARE(form_->windowTitle(), QStringLiteral("Знатокар"));
        for (const char* name : {"CoolBar1", "ToolBar1", "ToolBar2", "Splitter1", "Panel1",
                                 "Panel2", "TreeDb", "PageControl1", "TabSh1", "TabSh2", "HV", "SB",
                                 "ProgBar1", "PopupMenu1", "PopupMenu2"})
            QVERIFY2(form_->findChild<QObject*>(QString::fromLatin1(name)), name);
        QCOMPARE(form_->findChild<QSplitter*>("Splitter1")->widget(0)->objectName(), "Panel1");
        QCOMPARE(form_->findChild<QSplitter*>("Splitter1")->widget(1)->objectName(), "Panel2");
        QVERIFY(form_->findChild<QWidget*>("TreeDb")->parent() ==
                form_->findChild<QWidget*>("Panel1"));
        QCOMPARE(form_->findChild<QWidget*>("Panel2")->palette().color(QPalette::Window),
                 QColor(255, 255, 230));
    }

    // Tool buttons in order, separators 8 pixels wide, hints as tooltips, images, sizes.
    void toolBarsHoldTheCommandsInOrder() {
        struct Button {
            const char* name;  // "|" for a separator
            const char16_t* hint;
            int image;
        };
        const std::vector<Button> bar1 = {
            {"ToolButton9", u"Открыть базу теста", 14},
            {"ToolButton2", u"Импорт данных в базу", 17},
            {"ToolButton10", u"Экспорт данных из базы", 18},
            {"ToolButton3", u"Удаление данных из базы", 26},
            {"ToolButton4", u"Сжать и восстановить базу", 15},
            {"|", nullptr, 0},
            {"ToolButton5", u"Информационные записи базы теста", 16},
            {"|", nullptr, 0},
            {"ToolButtonUndo", u"Отменить", 27},
            {"ToolButtonRedo", u"Повторить", 28},
        };
        const std::vector<Button> bar2 = {
            {"Buttem1", u"Добавить тему", 20},   {"Buttem2", u"Редактировать тему", 21},
            {"Buttem3", u"Удалить тему", 22},    {"|", nullptr, 0},
            {"Butvop1", u"Добавить вопрос", 23}, {"Butvop2", u"Редактировать вопрос", 24},
            {"Butvop3", u"Удалить вопрос", 25},  {"|", nullptr, 0},
            {"ToolButton17", u"О программе", 4},
        };
        for (const auto& [barName, expected] :
             {std::pair{"ToolBar1", bar1}, std::pair{"ToolBar2", bar2}}) {
            auto* bar = form_->findChild<QToolBar*>(barName);
            QVERIFY(bar);
            const QList<QAction*> actions = bar->actions();
            QCOMPARE(actions.size(), qsizetype(expected.size()));
            for (size_t i = 0; i < expected.size(); ++i) {
                QWidget* w = bar->widgetForAction(actions[qsizetype(i)]);
                QVERIFY(w);
                if (std::string(expected[i].name) == "|") {
                    QVERIFY(qobject_cast<zn::ToolSeparator*>(w));
                    QCOMPARE(w->width(), 8);
                    continue;
                }
                auto* button = qobject_cast<QToolButton*>(w);
                QVERIFY(button);
                QCOMPARE(button->objectName(), QString::fromLatin1(expected[i].name));
                QCOMPARE(button->toolTip(), QString::fromUtf16(expected[i].hint));
                QCOMPARE(button->size(), QSize(28, 25));
                QVERIFY2(sameImage(button->icon(), expected[i].image), expected[i].name);
                QVERIFY(button->isEnabled());
            }
        }
        QCOMPARE(form_->findChild<QWidget*>("CoolBar1")->height(), 64);
        QVERIFY(form_->findChild<QToolBar*>("ToolBar1")->height() >= 29);
        QVERIFY(form_->findChild<QToolBar*>("ToolBar2")->height() >= 29);
    }

    // Disabling a command's action disables its tool button but not its popup item.
    void tool2ButtonsFollowTheirActions() {
        form_->butvop2()->setEnabled(false);
        QVERIFY(!form_->findChild<QToolButton*>("Butvop2")->isEnabled());
        QVERIFY(form_->popupMenu2()->actions()[1]->isEnabled());
        form_->butvop2()->setEnabled(true);
        QVERIFY(form_->findChild<QToolButton*>("Butvop2")->isEnabled());
    }

    void menusHoldTheirItemsInOrder() {
        const QList<QAction*> top = form_->menuBar()->actions();
        QCOMPARE(top.size(), 3);
        QCOMPARE(top[0]->text(), QStringLiteral("&Файл"));
        QCOMPARE(top[1]->text(), QStringLiteral("Пр&авка"));
        QCOMPARE(top[2]->text(), QStringLiteral("&Помощь"));
        compareMenu(top[0]->menu(), {{"Открыть базу данных", 14},
                                     {"-", 0},
                                     {"Импорт данных в базу…", 17},
                                     {"Экспорт данных из базы…", 18},
                                     {"-", 0},
                                     {"Информационные записи базы теста…", 16},
                                     {"Сжать и восстановить базу", 15},
                                     {"Удаление данных из базы", 26},
                                     {"-", 0},
                                     {"Восстановить из резервной копии…", -1},
                                     {"-", 0},
                                     {"Выход", 3}});
        compareMenu(top[1]->menu(), {{"Отменить", 27},
                                     {"Повторить", 28},
                                     {"-", 0},
                                     {"Добавить тему", 20},
                                     {"Редактировать тему", 21},
                                     {"Удалить тему", 22},
                                     {"-", 0},
                                     {"Добавить вопрос", 23},
                                     {"Редактировать вопрос", 24},
                                     {"Удалить вопрос", 25}});
        compareMenu(top[2]->menu(), {{"О программе", 4}});
        compareMenu(form_->popupMenu1(), {{"Добавить тему", 20},
                                          {"Редактировать тему", 21},
                                          {"Удалить тему", 22},
                                          {"-", 0},
                                          {"Добавить вопрос", 23}});
        compareMenu(
            form_->popupMenu2(),
            {{"Добавить вопрос", 23}, {"Редактировать вопрос", 24}, {"Удалить вопрос", 25}});
        QCOMPARE(form_->findChild<QAction*>("N3")->text(), QStringLiteral("Вы&ход"));
        QCOMPARE(form_->findChild<QAction*>("N6")->text(), QStringLiteral("Удалить вопрос"));
    }

    void treeHasItsColoursAndStartsWithTheQuestionMenu() {
        QTreeWidget* tree = form_->treeDb();
        QCOMPARE(tree->palette().color(QPalette::Base), QColor(255, 251, 240));
        QCOMPARE(tree->indentation(), 19);
        QCOMPARE(tree->iconSize(), QSize(16, 16));
        QVERIFY(tree->isHeaderHidden());
        QCOMPARE(tree->contextMenuPolicy(), Qt::CustomContextMenu);
        QCOMPARE(form_->treePopup(), form_->popupMenu2());
        form_->setTreePopup(form_->popupMenu1());
        QCOMPARE(form_->treePopup(), form_->popupMenu1());

        // The show step sets the rows' height.
        auto* item = new QTreeWidgetItem(tree, {QStringLiteral("Тема")});
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(tree->visualItemRect(item).height(), 18);
    }

    // The context menu request pops up whichever menu is assigned.
    void contextMenuShowsTheAssignedPopup() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QTreeWidget* tree = form_->treeDb();
        form_->setTreePopup(form_->popupMenu1());
        emit tree->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(form_->popupMenu1()->isVisible());
        QVERIFY(!form_->popupMenu2()->isVisible());
        form_->popupMenu1()->hide();
    }

    void previewIsACreamBrowserThatFollowsNoLinks() {
        QTextBrowser* hv = form_->hv();
        QVERIFY(!hv->openLinks());
        QVERIFY(!hv->openExternalLinks());
        QCOMPARE(hv->palette().color(QPalette::Base), QColor(255, 251, 240));
        QCOMPARE(hv->document()->defaultFont().family(), QStringLiteral("Times New Roman"));
        QVERIFY(hv->document()->defaultStyleSheet().contains("Courier New"));
        QVERIFY(hv->textInteractionFlags() & Qt::TextSelectableByMouse);

        form_->loadPreview(QStringLiteral("<a href=\"file:///etc/passwd\">x</a><h3>Тема</h3>"));
        form_->loadPreview(QStringLiteral("<h3>Вопрос</h3>"));
        QVERIFY(!hv->isBackwardAvailable());
        QCOMPARE(hv->toPlainText(), QStringLiteral("Вопрос"));
        form_->loadPreview(QString());
        QVERIFY(hv->toPlainText().isEmpty());
    }

    void editorTabIsHiddenAtShowAndCanBeShownAndHidden() {
        QTabWidget* pages = form_->pageControl();
        QCOMPARE(pages->tabText(0), QStringLiteral("Просмотр "));
        QCOMPARE(pages->tabText(1), QStringLiteral("Редактирование"));
        QVERIFY(sameImage(pages->tabIcon(0), 19));
        QVERIFY(sameImage(pages->tabIcon(1), 2));
        QCOMPARE(pages->widget(0)->objectName(), "TabSh1");
        QCOMPARE(pages->widget(1)->objectName(), "TabSh2");

        bool stepRan = false;
        form_->setShowStep([&] { stepRan = true; });
        form_->show();
        QVERIFY(stepRan);
        QVERIFY(!form_->isEditorTabVisible());
        QCOMPARE(pages->currentWidget(), form_->previewPage());

        form_->setEditorTabVisible(true);
        pages->setCurrentWidget(form_->editorPage());
        QVERIFY(form_->isEditorTabVisible());
        form_->setEditorTabVisible(false);
        QVERIFY(!pages->isTabVisible(1));
        QCOMPARE(pages->currentWidget(), form_->previewPage());
    }

    // An error in the show step is reported and the window still comes up.
    void failingShowStepIsReported() {
        ScriptedModal modal;
        form_->setShowStep([] { throw std::runtime_error("Database is locked"); });
        form_->show();
        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(modal.calls()[0].text, QStringLiteral("Database is locked."));
        QVERIFY(form_->isVisible());
        QVERIFY(!form_->isEditorTabVisible());
    }

    void statusBarHasThreePanelsAndTheProgressBarOverTheSecond() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QStatusBar* sb = form_->statusBarSB();
        QCOMPARE(sb->height(), 19);
        auto* p0 = sb->findChild<QLabel*>("SBPanel0");
        auto* p1 = sb->findChild<QLabel*>("SBPanel1");
        auto* p2 = sb->findChild<QLabel*>("SBPanel2");
        QVERIFY(p0 && p1 && p2);
        QCOMPARE(p1->x() - p0->x(), 115);
        QCOMPARE(p2->x() - p1->x(), 150);
        QVERIFY(p2->x() + p2->width() <= 115 + 150 + 50);

        QProgressBar* bar = form_->progBar1();
        QCOMPARE(bar->parentWidget(), sb);
        QCOMPARE(bar->geometry(), QRect(116, 4, 146, 13));
        QVERIFY(!bar->isTextVisible());
        QVERIFY(p1->geometry().contains(bar->geometry()));
        QVERIFY(bar->isVisible());

        form_->setStatusText(QStringLiteral("Открытие базы"));
        form_->repaintStatus();
        QCOMPARE(p0->text(), QStringLiteral("Открытие базы"));
        QCOMPARE(form_->statusText(), QStringLiteral("Открытие базы"));
        QVERIFY(p1->text().isEmpty() && p2->text().isEmpty());
    }

    void windowsHaveTheirOuterSizeAndAreCentred() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->frameGeometry().size(), QSize(964, 629));
        QCOMPARE(form_->findChild<QWidget*>("Panel1")->width(), 185);

        // The offscreen screen is smaller than the main window: check the centring on the
        // about window, which uses the same placement.
        about_->show();
        QVERIFY(QTest::qWaitForWindowExposed(about_.get()));
        const QRect area = about_->screen()->availableGeometry();
        QVERIFY(qAbs(about_->frameGeometry().center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(about_->frameGeometry().center().y() - area.center().y()) <= 1);
    }

    // "О программе" from the tool button and from the menu: the about window, modally, via the
    // seam.
    void aboutOpensModallyThroughTheSeam() {
        ScriptedModal modal;
        QDialog* shown = nullptr;
        modal.onRequest = [&](const ModalRequest& r) { shown = r.window; };
        form_->show();
        QTest::mouseClick(form_->findChild<QToolButton*>("ToolButton17"), Qt::LeftButton);
        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(modal.calls()[0].kind, ModalRequest::Kind::Window);
        QCOMPARE(modal.calls()[0].caption, QStringLiteral("О программе"));
        QCOMPARE(shown, about_.get());

        form_->menuBar()->actions().last()->menu()->actions()[0]->trigger();
        QCOMPARE(modal.calls().size(), size_t(2));
        QCOMPARE(modal.calls()[1].caption, QStringLiteral("О программе"));
    }

    void exitClosesTheMainWindow() {
        form_->show();
        QVERIFY(form_->isVisible());
        form_->findChild<QAction*>("N3")->trigger();
        QVERIFY(!form_->isVisible());
    }

    void aboutBoxLayout() {
        QCOMPARE(about_->windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(about_->size(), QSize(309, 290));
        QCOMPARE(about_->minimumSize(), about_->maximumSize());
        QCOMPARE(about_->palette().color(QPalette::Window), QColor(255, 251, 240));
        auto* ok = about_->findChild<QPushButton*>("OKButton");
        QVERIFY(ok);
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(ok->geometry(), QRect(117, 256, 75, 25));
        QVERIFY(ok->isDefault());
        auto* panel = about_->findChild<QFrame*>("Panel1");
        QCOMPARE(panel->geometry(), QRect(8, 10, 291, 237));

        struct Text {
            const char* name;
            const char16_t* text;
            QPoint pos;
            bool blue;
        };
        const Text texts[] = {
            {"Label1", u"Название программы:", {74, 20}, false},
            {"ProductName", u"Знатокар", {74, 38}, true},
            {"Label2", u"Назначение программы :", {8, 78}, false},
            {"Comments",
             u"Создание, редактирование, добавление тестов для программы «Испытарь» ",
             {8, 94},
             true},
            {"Label5", u"Версия :", {98, 190}, false},
            {"Version", u"1.0", {146, 190}, true},
            {"Copyright", u"2016", {124, 212}, true},
        };
        for (const Text& t : texts) {
            auto* label = panel->findChild<QLabel*>(t.name);
            QVERIFY2(label, t.name);
            QCOMPARE(label->text(), QString::fromUtf16(t.text));
            QCOMPARE(label->pos(), t.pos);
            QCOMPARE(label->palette().color(QPalette::WindowText) == QColor(Qt::blue), t.blue);
        }
        // The web site and e-mail lines, when the build names them, fit inside the panel.
        for (const char* name : {"WebSite", "Email"}) {
            auto* label = panel->findChild<QLabel*>(name);
            if (!label) continue;
            QCOMPARE(label->x(), 132);
            QVERIFY2(label->x() + label->sizeHint().width() <= panel->width(), name);
        }
        QCOMPARE(panel->findChild<QLabel*>("Comments")->width(), 265);
        auto* icon = panel->findChild<QLabel*>("ProgramIcon");
        QCOMPARE(icon->geometry(), QRect(22, 26, 32, 32));
        QVERIFY(!icon->pixmap().isNull());
    }

    void okClosesTheAboutBox() {
        about_->show();
        QVERIFY(QTest::qWaitForWindowExposed(about_.get()));
        QTest::keyClick(about_.get(), Qt::Key_Return);  // OK is the default button
        QVERIFY(!about_->isVisible());
        QCOMPARE(about_->result(), int(QDialog::Accepted));
    }

    void pictureWindowTakesThePicturesSize() {
        QCOMPARE(picture_->windowTitle(), QStringLiteral("Изображение"));
        QCOMPARE(picture_->size(), QSize(264, 238));
        QCOMPARE(picture_->image1()->geometry(), QRect(0, 0, 263, 170));
        QVERIFY(picture_->image1()->hasScaledContents());

        ScriptedModal modal;
        QPixmap pixmap(120, 45);
        pixmap.fill(Qt::red);
        picture_->showPicture(pixmap);
        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(modal.calls()[0].kind, ModalRequest::Kind::Window);
        QCOMPARE(modal.calls()[0].caption, QStringLiteral("Изображение"));
        QCOMPARE(picture_->image1()->geometry(), QRect(0, 0, 120, 45));
        // The offscreen platform has no window frame: the outer size is the client size.
        QCOMPARE(picture_->frameGeometry().size(), QSize(127, 78));
        QCOMPARE(picture_->minimumSize(), picture_->maximumSize());
    }
};

int runFrameTests(int argc, char** argv) {
    FrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_frame_test.moc"
