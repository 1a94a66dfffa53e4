// The program brought up in-process on copies of the shared test databases: the start-up order
// and show step, a default database that cannot be opened, opening another database (success,
// cancel, failure keeping the open one) and ending by "Выход" and by closing the window.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app/startup.h"
#include "frame/guard.h"
#include "frame/modal.h"
#include "frame/taboutbox.h"
#include "frame/tform1.h"
#include "frame/tform9.h"
#include "jet/database.h"
#include "store/tdatmod.h"
#include "tests/app_testing.h"
#include "tree/topictree.h"

using zn::ModalAnswer;
using zn::ModalRequest;
using zn::Program;
using zn::ScriptedModal;
using zn::TForm1;

namespace {

using apptest::copyFixture;
using apptest::haveFixtures;
const QString kFixtures = apptest::fixturesDir();

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

bool anyWindowVisible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) return true;
    return false;
}

// What the hooks of the other areas saw when the frame called them.
struct HookLog {
    QStringList events;  // "build" / "obnov" / "trbar", in call order
    int tbTemaRowsAtBuild = -1;
    bool editorTabVisibleAtBuild = false;
    bool editorTabHiddenAtTrBar = false;
    QString statusAtObnov;
};

// Wraps the hooks the areas installed, so the real work still runs.
void recordHooks(TForm1& form, zn::TDatMod& dm, HookLog& log) {
    TForm1::Hooks& h = form.hooks();
    h.startupTreeBuild = [&form, &dm, &log, real = h.startupTreeBuild] {
        log.events << QStringLiteral("build");
        log.tbTemaRowsAtBuild = dm.TbTema.isOpen() ? dm.TbTema.recordCount() : -1;
        log.editorTabVisibleAtBuild = form.isEditorTabVisible();
        if (real) real();
    };
    h.treeObnov = [&form, &log, real = h.treeObnov] {
        log.events << QStringLiteral("obnov");
        log.statusAtObnov = form.statusText();
        if (real) real();
    };
    h.trBarChange = [&form, &log, real = h.trBarChange] {
        log.events << QStringLiteral("trbar");
        log.editorTabHiddenAtTrBar = !form.isEditorTabVisible();
        if (real) real();
    };
}

// Everything a failed or cancelled open must leave alone.
struct Observed {
    QString databasePath, dataFolder, connFile, connString, status;
    bool qrtemaOpen, tbSettingsOpen;
    int topics, topicRecNo, questionRecNo;
    QStringList tree;
    QString currentNode;

    static Observed of(const TForm1& form, const zn::TDatMod& dm) {
        Observed o{form.session().databasePath,
                   form.session().dataFolder,
                   dm.Conn.isOpen() ? dm.Conn.fileName() : QString(),
                   dm.Conn.connectionString(),
                   form.statusText(),
                   dm.qrtema.isOpen(),
                   dm.tbSettings.isOpen(),
                   dm.qrtema.isOpen() ? dm.qrtema.recordCount() : -1,
                   dm.qrtema.isOpen() ? dm.qrtema.recNo() : -1,
                   dm.qrvoprosi.isOpen() ? dm.qrvoprosi.recNo() : -1,
                   {},
                   {}};
        QTreeWidget* t = form.treeDb();
        for (QTreeWidgetItemIterator it(t); *it; ++it) o.tree << (*it)->text(0);
        if (t->currentItem()) o.currentNode = t->currentItem()->text(0);
        return o;
    }
    void compare(const Observed& b) const {
        QCOMPARE(b.databasePath, databasePath);
        QCOMPARE(b.dataFolder, dataFolder);
        QCOMPARE(b.connFile, connFile);
        QCOMPARE(b.connString, connString);
        QCOMPARE(b.status, status);
        QCOMPARE(b.qrtemaOpen, qrtemaOpen);
        QCOMPARE(b.tbSettingsOpen, tbSettingsOpen);
        QCOMPARE(b.topics, topics);
        QCOMPARE(b.topicRecNo, topicRecNo);
        QCOMPARE(b.questionRecNo, questionRecNo);
        QCOMPARE(b.tree, tree);
        QCOMPARE(b.currentNode, currentNode);
    }
};

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

    apptest::WorkFolder folder_;
    // Answers any dialog a test did not expect, so that it fails instead of blocking.
    std::unique_ptr<ScriptedModal> backstop_;
    QString work_;  // the working directory of the program under test

    // Brings the program up on a copy of `fixture` as test.mdb; with `log`, hooks are recorded.
    std::unique_ptr<Program> startOn(const QString& fixture, HookLog* log = nullptr) {
        return folder_.startOn(fixture, [log](Program& p) {
            if (log) recordHooks(*p.form1(), *p.datMod(), *log);
        });
    }

  private slots:
    void initTestCase() { backstop_ = std::make_unique<ScriptedModal>(); }
    void cleanupTestCase() { backstop_.reset(); }

    void init() {
        if (!haveFixtures()) QSKIP("../shared/fixtures/mdb is absent: no test databases");
        folder_.enter();
        work_ = folder_.path();
    }
    void cleanup() {
        folder_.leave();
        const size_t stray = backstop_->calls().size();
        backstop_->clear();
        QCOMPARE(stray, size_t(0));
    }

    void startupOpensTheDatasetsAndHidesTheEditor_data() {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("topics");
        QTest::newRow("empty") << "empty-test.mdb" << 0;
        QTest::newRow("sample") << "sample-test.mdb" << 3;
    }
    void startupOpensTheDatasetsAndHidesTheEditor() {
        QFETCH(QString, fixture);
        QFETCH(int, topics);
        copyFixture(fixture, work_ + QStringLiteral("/test.mdb"));
        ScriptedModal modal;
        Program p;
        QVERIFY(p.create());
        TForm1& form = *p.form1();
        zn::TDatMod& dm = *p.datMod();

        // Creation: DataFolder from the working directory, the default connection, nothing shown.
        QCOMPARE(form.session().dataFolder, work_ + QStringLiteral("/data/"));
        QCOMPARE(dm.Conn.connectionString(), zn::TDatMod::creationConnectionString());
        QVERIFY(dm.tbSettings.isOpen() && dm.TbTema.isOpen() && !dm.qrtema.isOpen());
        QVERIFY(!anyWindowVisible());
        QCOMPARE(form.aboutBox(), p.aboutBox());
        QCOMPARE(form.pictureWindow(), p.form9());
        QCOMPARE(form.dataModule(), &dm);

        // A row left in TbTema and a stale preview must both be gone after the show step.
        dm.TbTema.insert();
        dm.TbTema.setInteger(QStringLiteral("id"), 99);
        dm.TbTema.post();
        form.loadPreview(QStringLiteral("<p>stale</p>"));
        HookLog log;
        recordHooks(form, dm, log);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QCOMPARE(modal.calls().size(), size_t(0));
        QCOMPARE(form.session().databasePath, work_ + QStringLiteral("/test.mdb"));
        QCOMPARE(dm.Conn.connectionString(),
                 zn::TDatMod::connectionString(form.session().databasePath));
        QCOMPARE(dm.Conn.fileName(), form.session().databasePath);
        QVERIFY(dm.qrtema.isOpen());
        QCOMPARE(dm.qrtema.recordCount(), topics);
        QVERIFY(dm.tbSettings.isOpen());
        QCOMPARE(dm.tbSettings.recordCount(), 5);
        // The tree was built and its first node selected, which fills the preview; with no
        // topics the tree stays empty, its change handling off, and the preview is emptied.
        QCOMPARE(form.treeDb()->topLevelItemCount(), topics);
        QCOMPARE(p.tree()->TreeComplete, (unsigned char)1);
        if (topics > 0) {
            QCOMPARE(p.tree()->TreeEventsOn, (unsigned char)1);
            QTreeWidgetItem* current = form.treeDb()->currentItem();
            QVERIFY(current && current->parent() == form.treeDb()->topLevelItem(0));
            QVERIFY(!form.hv()->toPlainText().isEmpty());
            QVERIFY(dm.qrvoprosi.isOpen());
            QCOMPARE(dm.qrvoprosi.asInteger("idtest"), dm.qrtema.asInteger("numtema"));
        } else {
            QCOMPARE(p.tree()->TreeEventsOn, (unsigned char)0);
            QVERIFY(form.hv()->toPlainText().isEmpty());
        }

        QCOMPARE(log.events, QStringList({"build", "trbar"}));
        QCOMPARE(log.tbTemaRowsAtBuild, 0);
        QVERIFY(log.editorTabVisibleAtBuild);
        QVERIFY(log.editorTabHiddenAtTrBar);
        QVERIFY(!form.isEditorTabVisible());
        QCOMPARE(form.pageControl()->currentWidget(), form.previewPage());

        QCOMPARE(form.progBar1()->parentWidget(), form.statusBarSB());
        QCOMPARE(form.progBar1()->geometry(), QRect(116, 4, 146, 13));
        QVERIFY(form.progBar1()->isVisible());
        QVERIFY(!p.aboutBox()->isVisible() && !p.form9()->isVisible());
    }

    // A box says in Russian why the database cannot be used and what can be done; "Выход"
    // ends the program with nothing shown, and run() gives 1.
    void unusableDefaultDatabaseEndsBeforeAnyWindow_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("why");
        QTest::addColumn<int>("choices");
        QTest::newRow("missing") << "missing"
                                 << "не найден" << 3;
        QTest::newRow("not a database") << "text"
                                        << "не удаётся открыть как базу данных" << 2;
        QTest::newRow("no Settings table") << "jk-empty"
                                           << "но не база теста" << 2;
        QTest::newRow("a password") << "password"
                                    << "защищена паролем" << 2;
    }
    void unusableDefaultDatabaseEndsBeforeAnyWindow() {
        QFETCH(QString, setup);
        QFETCH(QString, why);
        QFETCH(int, choices);
        const QString path = work_ + QStringLiteral("/test.mdb");
        if (setup == "text") writeFile(path, QByteArray("Это не база данных\r\n").repeated(200));
        if (setup == "jk-empty") copyFixture(QStringLiteral("access/jk-empty.mdb"), path);
        if (setup == "password") copyFixture(QStringLiteral("access/password-V2000.mdb"), path);

        ScriptedModal modal;  // a choice gets its last button: "Выход"
        Program p;
        QCOMPARE(p.run(), 1);
        QVERIFY(!anyWindowVisible());
        QVERIFY(p.datMod() == nullptr && p.aboutBox() == nullptr && p.form9() == nullptr);
        QCOMPARE(modal.calls().size(), size_t(1));
        const ModalRequest& r = modal.calls()[0];
        QCOMPARE(r.kind, ModalRequest::Kind::Choice);
        QCOMPARE(r.icon, zn::MsgIcon::Exclamation);
        QCOMPARE(r.caption, zn::appTitle());
        QVERIFY2(r.text.contains(why), qPrintable(r.text));
        QVERIFY2(!r.text.contains(QStringLiteral("Could not")), qPrintable(r.text));
        QCOMPARE(int(r.choices.size()), choices);
        QCOMPARE(r.choices.front(), QStringLiteral("Открыть другую базу…"));
        QCOMPARE(r.choices.back(), QStringLiteral("Выход"));
        QCOMPARE(QFile::exists(path), setup != "missing");
    }

    // Without test.mdb the teacher creates an empty one and works on; or opens another bank,
    // whose data folder then holds the pictures.
    void withoutTestMdbAnEmptyOneIsCreatedOrAnotherOpened() {
        const QString path = work_ + QStringLiteral("/test.mdb");
        {
            ScriptedModal modal;
            modal.push(ModalAnswer{zn::Ok, {}, 1});  // "Создать новую пустую базу"
            Program p;
            QVERIFY(p.create());
            p.show();
            QVERIFY(QFile::exists(path));
            QCOMPARE(p.datMod()->Conn.fileName(), path);
            QCOMPARE(p.form1()->treeDb()->topLevelItemCount(), 0);
            QCOMPARE(p.datMod()->tbSettings.recordCount(), 5);
            QCOMPARE(modal.calls().size(), size_t(1));
        }
        QVERIFY(QFile::remove(path));
        const QString other = folder_.outside() + QStringLiteral("/другие банки");
        QVERIFY(QDir().mkpath(other + QStringLiteral("/data")));
        copyFixture(QStringLiteral("sample-test.mdb"), other + QStringLiteral("/физика.mdb"));
        ScriptedModal modal;
        modal.push(ModalAnswer{zn::Ok, {}, 0});  // "Открыть другую базу…"
        modal.push(ModalAnswer{zn::Ok, other + QStringLiteral("/физика.mdb"), 0});
        Program p;
        QVERIFY(p.create());
        p.show();
        QCOMPARE(p.datMod()->Conn.fileName(), other + QStringLiteral("/физика.mdb"));
        QCOMPARE(p.session().dataFolder, other + QStringLiteral("/data/"));
        QCOMPARE(p.form1()->treeDb()->topLevelItemCount(), 3);
        QVERIFY(!QFile::exists(path));
    }

    void openAnotherDatabaseSwitchesAndRebuilds_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("tool button") << "ToolButton9";
        QTest::newRow("menu item") << "MenuOpenDatabase";
    }
    void openAnotherDatabaseSwitchesAndRebuilds() {
        QFETCH(QString, command);
        HookLog log;
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("empty-test.mdb"), &log);
        QVERIFY(p);
        TForm1& form = *p->form1();
        zn::TDatMod& dm = *p->datMod();
        const QString first = form.session().databasePath;

        // Another folder: DataFolder must not follow the database.
        const QString otherDir = folder_.outside() + QStringLiteral("/другая");
        QVERIFY(QDir().mkpath(otherDir));
        const QString other = otherDir + QStringLiteral("/sample.mdb");
        copyFixture(QStringLiteral("sample-test.mdb"), other);
        modal.push(ModalAnswer{zn::Ok, other, 0});
        if (command == "ToolButton9")
            QTest::mouseClick(form.findChild<QToolButton*>(command), Qt::LeftButton);
        else
            form.findChild<QAction*>(command)->trigger();

        QCOMPARE(modal.calls().size(), size_t(1));
        const ModalRequest& r = modal.calls()[0];
        QCOMPARE(r.kind, ModalRequest::Kind::OpenFile);
        QCOMPARE(r.folder, QDir::currentPath());
        QCOMPARE(r.filter, QStringLiteral("Office Access (*.mdb)|*.mdb"));

        QCOMPARE(form.session().databasePath, other);
        QCOMPARE(form.session().dataFolder, work_ + QStringLiteral("/data/"));
        QCOMPARE(dm.Conn.fileName(), other);
        QCOMPARE(dm.Conn.connectionString(), zn::TDatMod::connectionString(other));
        QVERIFY(dm.qrtema.isOpen() && dm.tbSettings.isOpen());
        QCOMPARE(dm.qrtema.recordCount(), 3);
        QCOMPARE(log.events, QStringList({"build", "trbar", "obnov"}));
        QCOMPARE(log.statusAtObnov, QStringLiteral("Открытие базы"));

        // The first database was let go: another program may now open it for writing.
        bool released = true;
        try {
            jet::OpenOptions opt;
            opt.writable = true;
            jet::Database::open(first.toStdString(), opt);
        } catch (const std::exception&) {
            released = false;
        }
        QVERIFY(released);
    }

    // A database without topics: the tree and the preview are emptied and the status text of
    // the open command stays, as no selection replaces it.
    void openingADatabaseWithoutTopicsEmptiesTreeAndPreview() {
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("sample-test.mdb"));
        QVERIFY(p);
        TForm1& form = *p->form1();
        QVERIFY(form.treeDb()->topLevelItemCount() > 0);
        QVERIFY(!form.hv()->toPlainText().isEmpty());

        const QString empty = folder_.outside() + QStringLiteral("/пустая.mdb");
        copyFixture(QStringLiteral("empty-test.mdb"), empty);
        modal.push(ModalAnswer{zn::Ok, empty, 0});
        form.findChild<QAction*>(QStringLiteral("MenuOpenDatabase"))->trigger();

        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(form.session().databasePath, empty);
        QCOMPARE(form.treeDb()->topLevelItemCount(), 0);
        QVERIFY(form.hv()->toPlainText().isEmpty());
        QCOMPARE(form.statusText(), QStringLiteral("Открытие базы"));
    }

    // Choosing the database that is open reconnects to it (it cannot be tried beside itself).
    void openTheOpenDatabaseAgain_data() {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("same path") << false;
        QTest::newRow("through a link") << true;
    }
    void openTheOpenDatabaseAgain() {
        QFETCH(bool, throughLink);
        HookLog log;
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("sample-test.mdb"), &log);
        QVERIFY(p);
        TForm1& form = *p->form1();
        QString chosen = form.session().databasePath;
        if (throughLink) {
            chosen = folder_.outside() + QStringLiteral("/link.mdb");
            QVERIFY(QFile::link(form.session().databasePath, chosen));
        }
        modal.push(ModalAnswer{zn::Ok, chosen, 0});
        p->form1()->findChild<QAction*>(QStringLiteral("MenuOpenDatabase"))->trigger();
        QCOMPARE(modal.calls().size(), size_t(1));  // the dialog only, no error
        QCOMPARE(form.session().databasePath, chosen);
        QVERIFY(p->datMod()->Conn.isOpen());
        QCOMPARE(p->datMod()->qrtema.recordCount(), 3);
        QCOMPARE(log.events.last(), QStringLiteral("obnov"));
    }

    void cancellingTheOpenDialogChangesNothing() {
        HookLog log;
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("sample-test.mdb"), &log);
        QVERIFY(p);
        TForm1& form = *p->form1();
        form.setStatusText(QStringLiteral("Тема : 1  Вопрос : 2"));
        const Observed before = Observed::of(form, *p->datMod());

        form.findChild<QAction*>(QStringLiteral("MenuOpenDatabase"))->trigger();  // cancelled
        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(modal.calls()[0].kind, ModalRequest::Kind::OpenFile);
        before.compare(Observed::of(form, *p->datMod()));
        if (QTest::currentTestFailed()) return;
        QCOMPARE(log.events, QStringList({"build", "trbar"}));
    }

    // A file that cannot be used is reported; the open database stays open with its cursors,
    // and DatabasePath, the tree and the status bar stay as they were.
    void failedOpenKeepsTheOpenDatabase_data() {
        QTest::addColumn<QString>("setup");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("not a database") << "text";
        QTest::newRow("no test tables") << "jk-empty";
        QTest::newRow("Otveti without idotv") << "no-idotv";
    }
    void failedOpenKeepsTheOpenDatabase() {
        QFETCH(QString, setup);
        HookLog log;
        ScriptedModal modal;
        auto p = startOn(QStringLiteral("sample-test.mdb"), &log);
        QVERIFY(p);
        TForm1& form = *p->form1();
        zn::TDatMod& dm = *p->datMod();

        const QString bad = folder_.outside() + QStringLiteral("/bad.mdb");
        if (setup == "text") writeFile(bad, QByteArray(4096 * 3, 'x'));
        if (setup == "jk-empty") copyFixture(QStringLiteral("access/jk-empty.mdb"), bad);
        if (setup == "no-idotv") {
            // A test database whose answers table lacks a column: only the answers query of
            // the first question finds out.
            copyFixture(QStringLiteral("sample-test.mdb"), bad);
            QFile f(bad);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QByteArray all = f.readAll();
            const QByteArray name("i\0d\0o\0t\0v\0", 10);  // column names are UTF-16
            const qsizetype at = all.indexOf(name);
            QVERIFY(at >= 0);
            all.replace(at, name.size(), QByteArray("i\0d\0o\0t\0w\0", 10));
            f.seek(0);
            f.write(all);
        }

        // Cursors away from their opening rows, a tree and a status text to keep.
        QVERIFY(dm.qrtema.locate(QStringLiteral("numtema"), 3));
        QVERIFY(dm.qrvoprosi.recordCount() >= 2);
        QVERIFY(dm.qrvoprosi.locate(QStringLiteral("idvopr"), 2));
        if (form.treeDb()->topLevelItemCount() == 0) {
            auto* topic = new QTreeWidgetItem(form.treeDb(), {QStringLiteral("Тема 1. Старая")});
            form.treeDb()->setCurrentItem(topic);
        }
        form.setStatusText(QStringLiteral("Тема : 3  Вопрос : 2"));
        const int answers = dm.qrotveti.recordCount();
        const Observed before = Observed::of(form, dm);

        modal.push(ModalAnswer{zn::Ok, bad, 0});
        form.findChild<QAction*>(QStringLiteral("MenuOpenDatabase"))->trigger();

        QCOMPARE(modal.calls().size(), size_t(2));
        const ModalRequest& r = modal.calls()[1];
        QCOMPARE(r.icon, zn::MsgIcon::Stop);
        QCOMPARE(r.caption, zn::appTitle());
        if (setup == "missing")
            QVERIFY2(r.text.contains(QStringLiteral("не найден")), qPrintable(r.text));
        if (setup == "jk-empty")
            QVERIFY2(r.text.contains(QStringLiteral("не база теста")), qPrintable(r.text));
        before.compare(Observed::of(form, dm));
        if (QTest::currentTestFailed()) return;
        QVERIFY(dm.qrotveti.isOpen());
        QCOMPARE(dm.qrotveti.recordCount(), answers);
        QCOMPARE(log.events, QStringList({"build", "trbar"}));

        // The failed file is not held: it can be replaced and opened afterwards.
        copyFixture(QStringLiteral("empty-test.mdb"), bad);
        modal.push(ModalAnswer{zn::Ok, bad, 0});
        form.findChild<QAction*>(QStringLiteral("MenuOpenDatabase"))->trigger();
        QCOMPARE(modal.calls().size(), size_t(3));
        QCOMPARE(form.session().databasePath, bad);
        QCOMPARE(dm.qrtema.recordCount(), 0);
    }

    // "Выход" and any other close end the event loop with exit code 0.
    void closingTheMainWindowEndsTheProgram_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Выход") << "N3";
        QTest::newRow("window closed") << "close";
    }
    void closingTheMainWindowEndsTheProgram() {
        QFETCH(QString, how);
        copyFixture(QStringLiteral("sample-test.mdb"), work_ + QStringLiteral("/test.mdb"));
        ScriptedModal modal;
        Program p;
        bool closedByTest = false;
        QTimer::singleShot(0, [&] {
            TForm1* form = p.form1();
            QVERIFY(form && form->isVisible());
            if (how == "N3")
                form->findChild<QAction*>(QStringLiteral("N3"))->trigger();
            else
                form->close();
            closedByTest = true;
        });
        // Should the loop not end, this ends it with a code the test rejects.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(7); });
        watchdog.start(10000);
        QCOMPARE(p.run(), 0);
        QVERIFY(closedByTest);
        QVERIFY(!p.form1()->isVisible());
        QCOMPARE(modal.calls().size(), size_t(0));
    }
};

int runStartupTests(int argc, char** argv) {
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_startup_test.moc"
