// Undo and redo of every command on a copy of the sample bank: undo gives the file back byte for
// byte as it was before the command, redo as it was after; the history is dropped when another
// program changed the file; a process killed while undoing or redoing leaves one of the two
// states; the bulk commands leave backups that restore the state before them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>

#include "bulk/deleteall.h"
#include "bulk/importexport.h"
#include "bulk/inforecords.h"
#include "editor/questioncommands.h"
#include "editor/topiccommands.h"
#include "formats/exchange.h"
#include "jet/check.h"
#include "jet/database.h"
#include "store/backups.h"
#include "store/filecommand.h"
#include "store/tdatmod.h"
#include "tests/bulk_testing.h"
#include "tests/support/testsupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

QString sideFolder(const QString& db) {
    return QString::fromStdString(zn::UndoHistory::sideFolder(db.toStdString()));
}

struct Bank {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<zn::TDatMod> dm;
    bulktest::Recorder feedback;
    zn::Session session;

    Bank() {
        path = dir.filePath(QStringLiteral("test.mdb"));
        zntest::copyFile(zntest::fixture("sample-test.mdb"), path.toStdString());
        session = {dir.path() + QStringLiteral("/data/"), path};
        open();
    }
    void open() {
        dm = std::make_unique<zn::TDatMod>();
        dm->connectTo(path);
        dm->qrtema.open();
        dm->tbSettings.open();
    }
    Bytes bytes() const { return zntest::readFile(path.toStdString()); }
    zn::TopicCommands topics() { return zn::TopicCommands(*dm, feedback, {}); }
    zn::QuestionCommands questions() { return zn::QuestionCommands(*dm, feedback, {}); }
    zn::BankExchange exchange() { return zn::BankExchange(*dm, feedback, session, {}); }
    zn::BulkDeletion deletion() { return zn::BulkDeletion(*dm, feedback, session); }
};

// Imports a small bank of two topics.
void importSmallBank(Bank& b) {
    zn::exchange::Bank bank;
    bank.topics = {{1, "Механика", 0}, {2, "Оптика", 0}};
    bank.questions = {
        {1, 1, "Сила?", 2, 2, {}, {{1, "Масса", 0}, {2, "Ньютон", 0}}},
        {2, 1, "Свет?", 1, 3, {}, {{1, "Волна", 0}, {2, "Камень", 0}, {3, "Вода", 0}}}};
    const QString file = b.dir.filePath("bank.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(zn::exchange::format(bank));
    f.close();
    b.exchange().importFrom(file);
}

struct Command {
    const char* what;
    QString label;  // what the undo menu item names
    std::function<void(Bank&)> run;
};

std::vector<Command> commands() {
    return {
        {"add a topic", "добавление темы 4",
         [](Bank& b) { b.topics().addTopic(b.topics().nextTopicNumber(), "Новая тема"); }},
        {"rename a topic", "переименование темы 2",
         [](Bank& b) {
             b.dm->qrtema.locate("numtema", 2);
             b.topics().renameTopic("Другое имя");
         }},
        {"delete a topic", "удаление темы 1", [](Bank& b) { b.topics().deleteTopic(); }},
        {"save a question", "изменение вопроса 2 темы 1",
         [](Bank& b) {
             b.dm->qrvoprosi.locate("idvopr", 2);
             auto d = *b.questions().draftOfCurrent();
             d.question = "Изменённый вопрос";
             ASSERT_TRUE(b.questions().save(d));
         }},
        {"add a question", "добавление вопроса в тему 3",
         [](Bank& b) {
             b.dm->qrtema.locate("numtema", 3);
             auto d = *b.questions().draftForNew();
             d.question = QString(3000, u'в');
             d.answers = {"да", "нет", "не знаю", "", "", ""};
             ASSERT_TRUE(b.questions().save(d));
         }},
        {"delete a question", "удаление вопроса 1 темы 1",
         [](Bank& b) { b.questions().deleteQuestion(); }},
        {"information records", "изменение информационных записей",
         [](Bank& b) {
             std::array<QString, zn::InfoRecords::kCount> v;
             for (auto& s : v) s = "запись";
             zn::saveInfoRecords(*b.dm, v);
         }},
        {"import", "импорт", [](Bank& b) { importSmallBank(b); }},
        {"delete all", "удаление всех данных", [](Bank& b) { b.deletion().Deletezap(); }},
        {"compaction", "сжатие базы", [](Bank& b) { b.deletion().Compact(); }},
        {"restore a backup", "восстановление из резервной копии",
         [](Bank& b) {
             const QString backup = zn::makeBackup(b.path, "проверка");
             b.topics().deleteTopic();
             zn::restoreFromBackup(*b.dm, b.path, backup);
         }},
    };
}

TEST(Undo, EveryCommandIsUndoneAndRedoneByteForByte) {
    ZN_REQUIRE_FIXTURES();
    for (const Command& c : commands()) {
        SCOPED_TRACE(c.what);
        Bank b;
        c.run(b);
        ASSERT_TRUE(b.dm->history.canUndo());
        // The restore command is preceded by a topic deletion; the state before it is after that.
        if (QString(c.what) == "restore a backup") {
            ASSERT_EQ(b.dm->history.size(), 2);
            b.dm->undo();
            b.dm->redo();
        }
        EXPECT_EQ(b.dm->history.undoLabel(), c.label);
        const Bytes after = b.bytes();
        b.dm->undo();
        const Bytes before = b.bytes();
        if (QString(c.what) != "restore a backup") {
            EXPECT_FALSE(b.dm->history.canUndo());
            EXPECT_TRUE(before == zntest::readFile(zntest::fixture("sample-test.mdb")))
                << "undo gives the file before the command";
        }
        EXPECT_NE(before, after);
        EXPECT_EQ(b.dm->history.redoLabel(), c.label);
        EXPECT_EQ(b.dm->redo(), QString());
        EXPECT_TRUE(b.bytes() == after) << "redo gives the file after the command";
        // The datasets show the file: undo again and read the topics through them.
        b.dm->undo();
        EXPECT_TRUE(b.bytes() == before);
        int rows = 0;
        for (b.dm->qrtema.first(); !b.dm->qrtema.eof(); b.dm->qrtema.next()) ++rows;
        EXPECT_EQ(rows, int(edtest::readBank(b.path).topics.size()));
        b.dm.reset();  // the program ends: the history goes with it
        EXPECT_FALSE(QFileInfo::exists(sideFolder(b.path)));
        EXPECT_TRUE(zntest::readersAgree(b.path.toStdString()));
    }
}

TEST(Undo, ManyCommandsUndoneInReverseOrderAndANewOneDropsTheRedoTail) {
    ZN_REQUIRE_FIXTURES();
    Bank b;
    std::vector<Bytes> states{b.bytes()};
    for (int i = 0; i < 24; ++i) {
        b.dm->qrtema.locate("numtema", 1 + i % 4);
        b.topics().renameTopic(QString("Тема № %1").arg(i));
        states.push_back(b.bytes());
    }
    ASSERT_EQ(b.dm->history.size(), 24);
    for (int i = 23; i >= 0; --i) {
        ASSERT_EQ(b.dm->undo(), QString());
        ASSERT_TRUE(b.bytes() == states[size_t(i)]) << "after undoing down to " << i;
    }
    EXPECT_FALSE(b.dm->history.canUndo());
    b.dm->redo();
    b.dm->redo();
    EXPECT_TRUE(b.bytes() == states[2]);
    b.topics().addTopic(b.topics().nextTopicNumber(), "Ещё");
    EXPECT_FALSE(b.dm->history.canRedo());
    EXPECT_EQ(b.dm->history.size(), 3);
    b.dm->undo();
    EXPECT_TRUE(b.bytes() == states[2]);
}

TEST(Undo, TheHistoryKeepsAtLeastTwentyCommands) {
    ZN_REQUIRE_FIXTURES();
    Bank b;
    for (int i = 0; i < zn::UndoHistory::kMaxEntries + 5; ++i) {
        b.dm->qrtema.locate("numtema", 1);
        b.topics().renameTopic(QString("Имя %1").arg(i));
    }
    EXPECT_EQ(b.dm->history.size(), zn::UndoHistory::kMaxEntries);
    EXPECT_GE(zn::UndoHistory::kMaxEntries, 20);
    int undone = 0;
    while (b.dm->history.canUndo()) {
        ASSERT_EQ(b.dm->undo(), QString());
        ++undone;
    }
    EXPECT_EQ(undone, zn::UndoHistory::kMaxEntries);
    EXPECT_EQ(bulktest::view(edtest::readBank(b.path))[0].left(4), "T 1 ");
}

TEST(Undo, AFileChangedByAnotherProgramDropsTheHistoryAndIsLeftAlone) {
    ZN_REQUIRE_FIXTURES();
    struct Case {
        const char* what;
        std::function<void(Bank&)> change;
    } cases[] = {
        {"written (a later modification time)",
         [](Bank& b) {
             struct timespec t[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
             ASSERT_EQ(::utimensat(AT_FDCWD, b.path.toLocal8Bit().constData(), t, 0), 0);
         }},
        {"another file put at the path",
         [](Bank& b) {
             const QString other = b.path + ".other";
             QFile::copy(b.path, other);
             ASSERT_EQ(::rename(other.toLocal8Bit().constData(), b.path.toLocal8Bit().constData()),
                       0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bank b;
        b.topics().deleteTopic();
        c.change(b);
        const Bytes now = b.bytes();
        const QString why = b.dm->undo();
        EXPECT_TRUE(why.contains("изменён другой программой")) << why.toStdString();
        EXPECT_TRUE(b.bytes() == now);
        EXPECT_FALSE(b.dm->history.canUndo());
        EXPECT_FALSE(QFileInfo::exists(sideFolder(b.path)));
    }
}

// Another bank is put over the open one (copied over it, renamed over it), or the file is cut:
// the next command writes nothing, says so in Russian, and the data module shows the file as it
// is now; undo afterwards has nothing to put back into the other bank.
TEST(Undo, ABankReplacedUnderTheEditorIsNeitherDamagedNorLostByTheNextCommand) {
    ZN_REQUIRE_FIXTURES();
    namespace fs = std::filesystem;
    const std::string other = zntest::fixture("empty-test.mdb");
    struct Case {
        const char* what;
        std::function<void(const std::string&)> change;
        bool whole;  // the file at the path is a whole bank afterwards
    } cases[] = {
        {"copied over it",
         [&](const std::string& path) {
             fs::copy_file(other, path, fs::copy_options::overwrite_existing);
         },
         true},
        {"renamed over it",
         [&](const std::string& path) {
             zntest::copyFile(other, path + ".new");
             fs::rename(path + ".new", path);
         },
         true},
        {"cut short", [](const std::string& path) { fs::resize_file(path, 5 * 4096); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bank b;
        b.topics().addTopic(b.topics().nextTopicNumber(), "Работа до замены");
        ASSERT_TRUE(b.dm->history.canUndo());
        int reopened = 0;
        QObject::connect(b.dm.get(), &zn::TDatMod::reopenedAfterOthersChanged, [&] { ++reopened; });
        c.change(b.path.toStdString());
        const Bytes replaced = b.bytes();
        b.dm->qrtema.first();
        b.dm->qrvoprosi.first();
        bool reported = false;
        try {
            b.questions().deleteQuestion();
            ADD_FAILURE() << "the command ran";
        } catch (const jet::Error& e) {
            reported = e.kind() == jet::ErrorKind::Changed &&
                       QString::fromUtf8(e.what()).contains("другая программа");
            EXPECT_TRUE(reported || !c.whole) << e.what();
        }
        EXPECT_TRUE(b.bytes() == replaced) << "nothing was written";
        if (!c.whole) {
            // A read past the new end may fail the command before its write scope; the
            // program's failure cleanup then finds why: the bank is opened again as it is (what
            // is left of it), or the reopening is refused in Russian.
            if (!reported) {
                try {
                    EXPECT_TRUE(b.dm->reopenIfChangedByOthers());
                } catch (const jet::Error& e) {
                    EXPECT_TRUE(
                        QString::fromUtf8(e.what()).contains("Открыть базу заново не удалось"))
                        << e.what();
                }
            }
            EXPECT_FALSE(b.dm->history.canUndo());
            EXPECT_TRUE(b.bytes() == replaced);
            continue;
        }
        EXPECT_FALSE(b.dm->history.canUndo());
        EXPECT_EQ(reopened, 1);
        ASSERT_TRUE(b.dm->Conn.isOpen());
        EXPECT_EQ(b.dm->qrtema.recordCount(), edtest::readBank(b.path).topics.size());
        EXPECT_EQ(b.dm->undo(), "Нечего отменять.");
        EXPECT_TRUE(b.bytes() == replaced);
        // Commands go on on the file as it is now.
        b.topics().addTopic(b.topics().nextTopicNumber(), "После замены");
        EXPECT_TRUE(jet::checkDatabase(*jet::Database::open(b.path.toStdString())).ok());
    }
}

TEST(Undo, OpeningAnotherDatabaseDropsTheHistoryAndReopeningTheSameKeepsIt) {
    ZN_REQUIRE_FIXTURES();
    Bank b;
    b.topics().deleteTopic();
    const Bytes after = b.bytes();
    b.dm->connectTo(b.path);  // the same file again
    b.dm->qrtema.open();
    EXPECT_EQ(b.dm->history.undoLabel(), "удаление темы 1");
    const QString other = b.dir.filePath("другой.mdb");
    zntest::copyFile(zntest::fixture("sample-test.mdb"), other.toStdString());
    b.dm->connectTo(other);
    EXPECT_FALSE(b.dm->history.canUndo());
    EXPECT_FALSE(QFileInfo::exists(sideFolder(b.path)));
    EXPECT_TRUE(b.bytes() == after);
}

TEST(Undo, ALeftoverHistoryOfADeadProgramIsRemovedAndABrokenOneIsDropped) {
    ZN_REQUIRE_FIXTURES();
    Bank b;
    b.dm.reset();
    QDir().mkpath(sideFolder(b.path));
    zntest::writeFile((sideFolder(b.path) + "/pages").toStdString(), Bytes(100, 7));
    b.open();
    EXPECT_FALSE(QFileInfo::exists(sideFolder(b.path) + "/pages"));
    b.topics().deleteTopic();
    const Bytes after = b.bytes();
    // The side file damaged: the history goes, the database stays.
    zntest::writeFile((sideFolder(b.path) + "/pages").toStdString(), Bytes(100, 7));
    EXPECT_FALSE(b.dm->undo().isEmpty());
    EXPECT_TRUE(b.bytes() == after);
    EXPECT_FALSE(b.dm->history.canUndo());
}

// A process killed at any moment of an undo or a redo leaves the file before or after it,
// clean; the next opening plays back the engine's journal when there is one.
TEST(Undo, AProcessKilledWhileUndoingOrRedoingLeavesOneOfTheStates) {
    ZN_REQUIRE_FIXTURES();
    Bank prep;
    const Bytes before = prep.bytes();
    prep.topics().deleteTopic();
    const Bytes after = prep.bytes();
    prep.dm.reset();
    std::mt19937 rng(14);
    int seenBefore = 0, seenAfter = 0;
    for (int trial = 0; trial < 16; ++trial) {
        const bool redo = trial % 2;
        const int killAt = trial < 8 ? 1 + trial / 2 * 2 : 0;  // a chosen write, or a delay
        SCOPED_TRACE("trial " + std::to_string(trial));
        Bank b;
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                b.topics().deleteTopic();
                if (redo) b.dm->undo();
                if (killAt)
                    b.dm->Conn.database().pager().beforeWrite = [&](int n) {
                        if (n == killAt) raise(SIGKILL);
                    };
                else
                    usleep(useconds_t(rng() % 3000));
                for (int k = 0; k < 50; ++k)  // undone and redone until killed
                    k % 2 == int(redo) ? b.dm->undo() : b.dm->redo();
            } catch (...) {
                _exit(3);
            }
            _exit(0);
        }
        if (!killAt) {
            usleep(useconds_t(20000 + rng() % 60000));
            kill(pid, SIGKILL);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        b.dm.reset();
        {
            jet::OpenOptions o;
            o.writable = true;
            auto db = jet::Database::open(b.path.toStdString(), o);  // plays back the journal
            EXPECT_TRUE(jet::checkDatabase(*db).ok());
        }
        const Bytes now = b.bytes();
        if (now == before)
            ++seenBefore;
        else if (now == after)
            ++seenAfter;
        else
            ADD_FAILURE() << "neither before nor after";
    }
    EXPECT_GT(seenBefore, 0);
    EXPECT_GT(seenAfter, 0);
}

// The same for a command that replaced the file: undo and redo put a whole copy in place.
TEST(Undo, AProcessKilledWhilePuttingAWholeFileBackLeavesOneOfTheStates) {
    ZN_REQUIRE_FIXTURES();
    Bank prep;
    const Bytes before = prep.bytes();
    prep.deletion().Deletezap();
    const Bytes after = prep.bytes();
    prep.dm.reset();
    std::mt19937 rng(41);
    int seenBefore = 0, seenAfter = 0;
    for (int trial = 0; trial < 10; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        Bank b;
        b.deletion().Deletezap();
        ASSERT_TRUE(b.bytes() == after) << "deleting all gives the same file each time";
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                for (int k = 0; k < 400; ++k) k % 2 ? b.dm->redo() : b.dm->undo();
            } catch (...) {
                _exit(3);
            }
            _exit(0);
        }
        usleep(useconds_t(1000 + rng() % 40000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        b.dm.reset();
        const Bytes now = b.bytes();
        if (now == before)
            ++seenBefore;
        else if (now == after)
            ++seenAfter;
        else
            ADD_FAILURE() << "neither before nor after";
        b.open();  // removes what the killed program left
        EXPECT_FALSE(QFileInfo::exists(b.path + ".restoring"));
        EXPECT_FALSE(QFileInfo::exists(sideFolder(b.path)));
        b.dm.reset();
        auto db = jet::Database::open(b.path.toStdString());
        EXPECT_TRUE(jet::checkDatabase(*db).ok());
    }
    EXPECT_GT(seenBefore + seenAfter, 0);
    std::cout << seenBefore << " killed undo/redo loops left the state before, " << seenAfter
              << " the state after\n";
}

TEST(Backups, EachBulkCommandLeavesOneThatIsCleanAndRestoresTheStateBefore) {
    ZN_REQUIRE_FIXTURES();
    struct Case {
        const char* what;
        QString command;
        std::function<void(Bank&)> run;
    } cases[] = {
        {"import", "импорт", [](Bank& b) { importSmallBank(b); }},
        {"delete all", "удаление всех данных", [](Bank& b) { b.deletion().Deletezap(); }},
        {"compaction", "сжатие базы", [](Bank& b) { b.deletion().Compact(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bank b;
        const Bytes before = b.bytes();
        const int topics = int(edtest::readBank(b.path).topics.size());
        c.run(b);
        const auto list = zn::listBackups(b.path);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].command, c.command);
        EXPECT_EQ(list[0].topics, topics);
        EXPECT_GT(list[0].questions, 0);
        EXPECT_TRUE(zn::describe(list[0]).contains(c.command));
        {
            auto db = jet::Database::open(list[0].path.toStdString());
            EXPECT_TRUE(jet::checkDatabase(*db).ok());
        }
        zn::restoreFromBackup(*b.dm, b.path, list[0].path);
        EXPECT_TRUE(b.bytes() == before);
        EXPECT_EQ(zn::listBackups(b.path).size(), 2u);  // the restore took its own
        // The restore is a command of its own: undone, the command's result is back.
        EXPECT_EQ(b.dm->history.undoLabel(), "восстановление из резервной копии");
    }
}

// What an interrupted backup leaves (a copy cut short at its final name without a description,
// as it used to be left; a description whose copy never arrived; temporary files) is no backup:
// it is not listed, so it can be neither chosen nor restored, and the next backup removes it.
// Other files in the folder are left alone.
TEST(Backups, WhatAnInterruptedBackupLeftIsNotListedAndTheNextBackupRemovesIt) {
    ZN_REQUIRE_FIXTURES();
    Bank b;
    const QString folder = zn::backupFolder(b.path);
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray cut = bulktest::bytesOf(b.path);
    cut.truncate(cut.size() / 3);
    const QStringList leftovers = {"test-2026-01-05-10-00-00.mdb", "test-2026-01-05-10-00-01.txt",
                                   "test-2026-01-05-10-00-02.mdb.part",
                                   "test-2026-01-05-10-00-02.txt.part"};
    for (const QString& name : leftovers) bulktest::writeBytes(folder + '/' + name, cut);
    const QStringList others = {"другая-2026-01-05-10-00-00.mdb", "заметки.txt"};
    for (const QString& name : others) bulktest::writeBytes(folder + '/' + name, "x");
    EXPECT_TRUE(zn::listBackups(b.path).empty());

    b.deletion().Compact();
    const auto list = zn::listBackups(b.path);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].command, "сжатие базы");
    QStringList expected = others;
    expected << QFileInfo(list[0].path).fileName()
             << QFileInfo(list[0].path).completeBaseName() + ".txt";
    expected.sort();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
}

// A backup that is damaged is refused before anything changes: the bank, the backups and the
// undo history stay as they were, and the message says why in Russian.
TEST(Backups, ADamagedBackupIsRefusedBeforeAnythingChanges) {
    ZN_REQUIRE_FIXTURES();
    struct Case {
        const char* what;
        std::function<void(QByteArray&)> damage;
    } cases[] = {
        {"cut short", [](QByteArray& f) { f.truncate(f.size() / 2 + 1000); }},
        {"pages overwritten",
         [](QByteArray& f) { f.replace(8 * 4096, 6 * 4096, QByteArray(6 * 4096, '\xA5')); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bank b;
        const QString backup = zn::makeBackup(b.path, "проверка");
        QByteArray bytes = bulktest::bytesOf(backup);
        c.damage(bytes);
        bulktest::writeBytes(backup, bytes);
        b.topics().deleteTopic();
        const Bytes before = b.bytes();
        try {
            zn::restoreFromBackup(*b.dm, b.path, backup);
            ADD_FAILURE() << "restored";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Corrupt);
            EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(
                "Резервная копия «" + QFileInfo(backup).fileName() +
                "» повреждена, восстановить из неё базу нельзя"))
                << e.what();
        }
        EXPECT_TRUE(b.bytes() == before);
        EXPECT_EQ(zn::listBackups(b.path).size(), 1u);
        EXPECT_EQ(b.dm->history.undoLabel(), "удаление темы 1");
        EXPECT_FALSE(QFileInfo::exists(b.path + ".restore-source"));
        EXPECT_EQ(b.dm->qrtema.recordCount(), int(edtest::readBank(b.path).topics.size()));
    }
}

// A backup that cannot be made stops the command before it changes anything, with the reason.
TEST(Backups, ABackupThatCannotBeMadeStopsTheCommand) {
    ZN_REQUIRE_FIXTURES();
    for (const Command& c : commands()) {
        const QString what = c.what;
        if (what != "import" && what != "delete all" && what != "compaction") continue;
        SCOPED_TRACE(c.what);
        Bank b;
        // A file where the backups folder would be.
        bulktest::writeBytes(zn::backupFolder(b.path), "не папка");
        const Bytes before = b.bytes();
        try {
            c.run(b);
            ADD_FAILURE() << "the command ran without its backup";
        } catch (const jet::Error& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(
                "Не удалось сделать резервную копию базы в папке"))
                << e.what();
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains("«" + c.label.section(' ', 0, 0)))
                << e.what();
        }
        EXPECT_TRUE(b.bytes() == before);
        EXPECT_FALSE(b.dm->history.canUndo());
    }
}

// The same bytes are not backed up twice in a row: the newest backup stands for them and its
// description names each command it was taken before. A command undone and run again, or ten
// runs of a refused command, no longer push older backups out.
TEST(Backups, TheSameBytesAreNotKeptTwiceInARow) {
    ZN_REQUIRE_FIXTURES();
    Bank b;
    const QString first = zn::makeBackup(b.path, "проверка");
    EXPECT_EQ(zn::makeBackup(b.path, "проверка"), first);
    importSmallBank(b);
    b.dm->undo();
    importSmallBank(b);
    b.dm->undo();
    b.deletion().Deletezap();
    auto list = zn::listBackups(b.path);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, first);
    EXPECT_EQ(list[0].command, "проверка, импорт, удаление всех данных");
    EXPECT_EQ(list[0].topics, int(edtest::readBank(first).topics.size()));
    // Another state is another backup.
    b.deletion().Compact();
    list = zn::listBackups(b.path);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].command, "сжатие базы");
    EXPECT_EQ(list[1].path, first);
}

TEST(Backups, TheNewestTenAreKept) {
    ZN_REQUIRE_FIXTURES();
    Bank b;
    std::vector<QString> made;
    for (int i = 0; i < 12; ++i) {
        // Each backup of another state (the same bytes again are not kept twice).
        b.topics().renameTopic(QString("Имя %1").arg(i));
        made.push_back(zn::makeBackup(b.path, QString("копия %1").arg(i)));
    }
    const auto list = zn::listBackups(b.path);
    ASSERT_EQ(list.size(), size_t(zn::kMaxBackups));
    EXPECT_EQ(list.front().command, "копия 11");
    EXPECT_EQ(list.back().command, "копия 2");
    EXPECT_FALSE(QFileInfo::exists(made[0]));
    EXPECT_EQ(QDir(zn::backupFolder(b.path)).entryList(QDir::Files).size(), 2 * zn::kMaxBackups);
}

}  // namespace
