// The frame as a teacher meets it: status texts that always show whole, collapsing the selected
// question's topic, Qt's own texts in Russian, the menus from the keyboard, the about window
// without made-up addresses, fixed dialogs with the close button only, data-folder names in any
// letter case and the optional database argument.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "app/startup.h"
#include "editor/editorarea.h"
#include "editor/tform4.h"
#include "frame/modal.h"
#include "frame/taboutbox.h"
#include "frame/tform1.h"
#include "frame/tform9.h"
#include "frame/znapplication.h"
#include "store/tdatmod.h"
#include "tests/app_testing.h"
#include "tree/topictree.h"

using zn::ModalRequest;
using zn::Program;
using zn::ScriptedModal;
using zn::StartArguments;
using zn::TForm1;

namespace {

using apptest::copyFixture;
using apptest::haveFixtures;
const QString kFixtures = apptest::fixturesDir();

QLabel* statusPanel(TForm1& form, int i) {
    return form.statusBarSB()->findChild<QLabel*>(QStringLiteral("SBPanel%1").arg(i));
}

// The first status panel shows `text` whole, and the progress bar lies over the second panel,
// right of the first.
void checkStatusShownWhole(TForm1& form, const QString& text) {
    QLabel* first = statusPanel(form, 0);
    QLabel* second = statusPanel(form, 1);
    QProgressBar* bar = form.progBar1();
    QCOMPARE(form.statusText(), text);
    QCOMPARE(first->text(), text);
    QVERIFY2(
        first->width() >= first->sizeHint().width(),
        qPrintable(QStringLiteral("%1 < %2").arg(first->width()).arg(first->sizeHint().width())));
    QVERIFY(first->width() >= 115 - 2);
    QVERIFY(first->geometry().right() < second->geometry().left());
    QVERIFY(second->geometry().contains(bar->geometry()));
    QCOMPARE(bar->size(), QSize(146, 13));
    QCOMPARE(second->x() - first->x(), std::max(115, first->sizeHint().width() + 2));
}

bool onlyTheCloseButton(const QWidget& w) {
    const Qt::WindowFlags f = w.windowFlags();
    return (f & Qt::CustomizeWindowHint) && (f & Qt::WindowTitleHint) &&
           (f & Qt::WindowCloseButtonHint) && !(f & Qt::WindowMinimizeButtonHint) &&
           !(f & Qt::WindowMaximizeButtonHint) && !(f & Qt::WindowContextHelpButtonHint);
}

}  // namespace

class TeacherTest : public QObject {
    Q_OBJECT

    apptest::WorkFolder folder_;
    std::unique_ptr<ScriptedModal> backstop_;
    QString work_;

    std::unique_ptr<Program> startOn(const QString& fixture) { return folder_.startOn(fixture); }

  private slots:
    void initTestCase() { backstop_ = std::make_unique<ScriptedModal>(); }
    void cleanupTestCase() { backstop_.reset(); }

    void init() {
        folder_.enter();
        work_ = folder_.path();
    }
    void cleanup() {
        folder_.leave();
        const size_t stray = backstop_->calls().size();
        backstop_->clear();
        QCOMPARE(stray, size_t(0));
    }

    // On large-test.mdb, question 300 of topic 14 reads "Вопрос : 300", not "Вопрос : 30".
    void statusOfTopic14Question300ShowsWhole() {
        if (!QFile::exists(kFixtures + QStringLiteral("/large-test.mdb")))
            QSKIP("../shared/fixtures/mdb is absent: no large-test.mdb");
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("large-test.mdb"));
        QVERIFY(p);
        TForm1& form = *p->form1();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTreeWidgetItem* topic = form.treeDb()->topLevelItem(13);
        QVERIFY(topic && topic->childCount() == 300);
        form.treeDb()->setCurrentItem(topic->child(299));
        checkStatusShownWhole(form, QStringLiteral("Тема : 14  Вопрос : 300"));

        // Back to a short text: the panel is 115 pixels again and the bar in its place.
        form.treeDb()->setCurrentItem(topic);
        checkStatusShownWhole(form, QStringLiteral("Вопросов : 300"));
        QCOMPARE(form.progBar1()->geometry(), QRect(116, 4, 146, 13));
        QCOMPARE(modal.calls().size(), size_t(0));
    }

    // Any status text shows whole, however long; one wider than the whole bar is cut with "…"
    // and shows whole as the panel's tooltip.
    void longStatusTextsGrowThePanel() {
        zn::Session session;
        TForm1 form(session);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const QString& text : {QStringLiteral("Тема : 123456789  Вопрос : 1234567890"),
                                    QStringLiteral("Открытие базы"), QString()}) {
            form.setStatusText(text);
            checkStatusShownWhole(form, text);
            QVERIFY(statusPanel(form, 0)->toolTip().isEmpty());
        }
        const QString huge =
            QStringLiteral("Импорт: ") + QString(400, u'ж') + QStringLiteral(" 1234");
        form.setStatusText(huge);
        QLabel* first = statusPanel(form, 0);
        QCOMPARE(form.statusText(), huge);
        QVERIFY(first->text().endsWith(QChar(0x2026)));
        QCOMPARE(first->toolTip(), huge);
        QVERIFY(first->width() <= form.statusBarSB()->width());
    }

    // Collapsing the topic of the selected question (with the mouse on its branch) selects the
    // topic: the summary, the topic's status and buttons show.
    void collapsingTheSelectedQuestionsTopicShowsTheTopic() {
        if (!haveFixtures()) QSKIP("../shared/fixtures/mdb is absent: no test databases");
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("sample-test.mdb"));
        QVERIFY(p);
        TForm1& form = *p->form1();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTreeWidget* tree = form.treeDb();
        QTreeWidgetItem* topic = tree->topLevelItem(0);
        QVERIFY(topic->isExpanded() && topic->childCount() >= 2);
        tree->setCurrentItem(topic->child(1));
        QCOMPARE(form.statusText(), QStringLiteral("Тема : 1  Вопрос : 2"));

        const QRect row = tree->visualItemRect(topic);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(row.left() - tree->indentation() / 2, row.center().y()));
        QVERIFY(!topic->isExpanded());
        QCOMPARE(tree->currentItem(), topic);
        QVERIFY(topic->isSelected());
        QCOMPARE(form.statusText(), QStringLiteral("Вопросов : %1").arg(topic->childCount()));
        QVERIFY(form.hv()->toPlainText().startsWith(QStringLiteral("Тема № 1. ")));
        QCOMPARE(p->tree()->SelectedQuestionNo, 0);
        QVERIFY(form.buttem2()->isEnabled());
        QVERIFY(!form.butvop2()->isEnabled() && !form.butvop3()->isEnabled());
        QCOMPARE(form.treePopup(), form.popupMenu1());
        QCOMPARE(modal.calls().size(), size_t(0));
    }

    // Qt's standard texts are Russian.
    void qtTextsAreRussian() {
        auto* app = qobject_cast<zn::ZnApplication*>(qApp);
        QVERIFY(app);
        QVERIFY2(app->qtTranslationLoaded(), "qtbase_ru.qm not found (qt6-translations-l10n)");
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QMessageBox message(QMessageBox::Warning, QStringLiteral("Ошибка"), QStringLiteral("?"),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(message.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
        QCOMPARE(message.button(QMessageBox::Yes)->text().remove(u'&'), QStringLiteral("Да"));
        QCOMPARE(message.button(QMessageBox::No)->text().remove(u'&'), QStringLiteral("Нет"));

        // Qt's own file dialog, as the open command shows it where the desktop has none.
        QFileDialog dialog(nullptr, QString(), QDir::currentPath(), QStringLiteral("*.mdb"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QCOMPARE(buttons->button(QDialogButtonBox::Open)->text().remove(u'&'),
                 QStringLiteral("Открыть"));
        QStringList labels;
        for (QLabel* l : dialog.findChildren<QLabel*>()) labels << l->text().remove(u'&');
        QVERIFY2(labels.contains(QStringLiteral("Имя файла:")), qPrintable(labels.join(u'|')));
    }

    // "Файл" and "Помощь" and their items have mnemonics; Alt+letter and F10 open the menus.
    void menusAreReachedFromTheKeyboard() {
        zn::Session session;
        TForm1 form(session);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QMenuBar* bar = form.menuBar();
        const QList<QAction*> top = bar->actions();
        QCOMPARE(top[0]->text(), QStringLiteral("&Файл"));
        QCOMPARE(top[1]->text(), QStringLiteral("Пр&авка"));
        QCOMPARE(top[2]->text(), QStringLiteral("&Помощь"));
        // Every item has its mnemonic, and no two of one menu share it.
        for (QAction* t : top) {
            QSet<QChar> letters;
            for (QAction* a : t->menu()->actions()) {
                if (a->isSeparator()) continue;
                const qsizetype at = a->text().indexOf(u'&');
                QVERIFY2(at >= 0 && at + 1 < a->text().size(), qPrintable(a->text()));
                const QChar letter = a->text()[at + 1].toLower();
                QVERIFY2(!letters.contains(letter), qPrintable(a->text()));
                letters.insert(letter);
            }
        }

        // F10 opens the first menu.
        QTest::keyClick(&form, Qt::Key_F10);
        QTRY_VERIFY(top[0]->menu()->isVisible());
        QCOMPARE(bar->activeAction(), top[0]);
        top[0]->menu()->hide();
        QTRY_VERIFY(!top[0]->menu()->isVisible());

        // Alt pressed and released alone highlights the menu bar, whose menus the arrow keys then
        // open.
        QTest::keyClick(&form, Qt::Key_Alt);
        QCOMPARE(bar->activeAction(), top[0]);
        QTest::keyClick(bar, Qt::Key_Escape);
        QTRY_VERIFY(!bar->activeAction());

        // Alt + "П" opens "Помощь".
        QTest::sendKeyEvent(QTest::Click, &form, Qt::Key(0x041F), QStringLiteral("п"),
                            Qt::AltModifier);
        QTRY_VERIFY(top[2]->menu()->isVisible());
        top[2]->menu()->hide();
        // Alt + "А" opens "Правка".
        QTest::sendKeyEvent(QTest::Click, &form, Qt::Key(0x0410), QStringLiteral("а"),
                            Qt::AltModifier);
        QTRY_VERIFY(top[1]->menu()->isVisible());
        top[1]->menu()->hide();
    }

    // The about window shows no address the program does not have.
    void aboutWindowShowsNoPlaceholder() {
        zn::TAboutBox about;
        for (QLabel* label : about.findChildren<QLabel*>())
            QVERIFY2(!label->text().contains(QStringLiteral("заглушка")) &&
                         !label->text().contains(QStringLiteral("example")),
                     qPrintable(label->text()));
        // This build names no home page or e-mail: those lines are left out.
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("WebSite")));
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("Email")));
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("Label3")));
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("Label4")));
    }

    // The fixed-size dialogs get the close button only, and a modal window run through the seam
    // belongs to the active window for the window system.
    void fixedDialogsHaveOnlyTheCloseButton() {
        if (!haveFixtures()) QSKIP("../shared/fixtures/mdb is absent: no test databases");
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("sample-test.mdb"));
        QVERIFY(p);
        QVERIFY2(onlyTheCloseButton(*p->aboutBox()), "about");
        QVERIFY2(onlyTheCloseButton(*p->form9()), "picture");
        QVERIFY2(onlyTheCloseButton(p->editor()->form4()), "topic");

        TForm1& form = *p->form1();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const zn::ModalResponder scripted = zn::Modal::setResponder({});
        QTimer::singleShot(0, p->aboutBox(), [about = p->aboutBox()] { about->reject(); });
        zn::Modal::exec(*p->aboutBox());
        zn::Modal::setResponder(scripted);
        QVERIFY(p->aboutBox()->windowHandle());
        QCOMPARE(p->aboutBox()->windowHandle()->transientParent(), form.windowHandle());
    }

    void startArgumentsAreNoneOrOneDatabase() {
        QVERIFY(StartArguments::parse({}).ok);
        QVERIFY(StartArguments::parse({}).database.isEmpty());
        const StartArguments one = StartArguments::parse({QStringLiteral("банк.mdb")});
        QVERIFY(one.ok);
        QCOMPARE(one.database, QStringLiteral("банк.mdb"));
        QVERIFY(!StartArguments::parse({QStringLiteral("a.mdb"), QStringLiteral("b.mdb")}).ok);
        QVERIFY(!StartArguments::parse({QString()}).ok);
        QVERIFY(StartArguments::usage().contains(QStringLiteral("DATABASE.mdb")));
    }

    // With an argument the program opens that file, and DataFolder is the data folder beside it
    // (in whatever case it is spelled); the working folder needs no test.mdb.
    void argumentOpensThatDatabaseWithItsDataFolder_data() {
        QTest::addColumn<bool>("relative");
        QTest::newRow("absolute path") << false;
        QTest::newRow("relative path") << true;
    }
    void argumentOpensThatDatabaseWithItsDataFolder() {
        if (!haveFixtures()) QSKIP("../shared/fixtures/mdb is absent: no test databases");
        QFETCH(bool, relative);
        const QString other = folder_.outside() + QStringLiteral("/банки тестов");
        QVERIFY(QDir().mkpath(other + QStringLiteral("/Data")));
        QVERIFY(QDir().mkpath(work_ + QStringLiteral("/data")));
        const QString file = other + QStringLiteral("/физика.mdb");
        copyFixture(QStringLiteral("sample-test.mdb"), file);

        ScriptedModal modal;
        Program p(relative ? QStringLiteral("../банки тестов/физика.mdb") : file);
        QVERIFY(p.create());
        QCOMPARE(p.session().dataFolder, other + QStringLiteral("/Data/"));
        p.show();
        QCOMPARE(modal.calls().size(), size_t(0));
        QCOMPARE(p.session().databasePath, file);
        QCOMPARE(p.datMod()->Conn.fileName(), file);
        QCOMPARE(p.form1()->treeDb()->topLevelItemCount(), 3);
        QVERIFY(!p.form1()->hv()->toPlainText().isEmpty());
    }

    void missingArgumentDatabaseEndsBeforeAnyWindow() {
        ScriptedModal modal;
        const QString missing = work_ + QStringLiteral("/нет такой.mdb");
        Program p(missing);
        QCOMPARE(p.run(), 1);
        QVERIFY(p.datMod() == nullptr && p.aboutBox() == nullptr);
        QVERIFY(!p.form1()->isVisible());
        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(modal.calls()[0].kind, ModalRequest::Kind::Choice);
        QCOMPARE(modal.calls()[0].caption, zn::appTitle());
        QVERIFY(modal.calls()[0].text.contains(QStringLiteral("нет такой.mdb» не найден")));
    }

    // Without an argument DataFolder is the working folder's data folder in any case.
    void workingFoldersDataFolderInAnyCase() {
        if (!haveFixtures()) QSKIP("../shared/fixtures/mdb is absent: no test databases");
        QVERIFY(QDir().mkpath(work_ + QStringLiteral("/DATA")));
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("sample-test.mdb"));
        QVERIFY(p);
        QCOMPARE(p->session().dataFolder, work_ + QStringLiteral("/DATA/"));
        QCOMPARE(p->session().databasePath, work_ + QStringLiteral("/test.mdb"));
    }
};

int runTeacherTests(int argc, char** argv) {
    TeacherTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_teacher_test.moc"
