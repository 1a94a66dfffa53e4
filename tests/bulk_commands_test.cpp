// The bulk commands driven through the main window's actions (import, export, delete all,
// compaction, the information records dialog), with the database file looked at afterwards.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QTreeWidget>
#include <optional>

#include "bulk/importui.h"
#include "bulk/tform5.h"
#include "formats/exchange.h"
#include "frame/modal.h"
#include "frame/tform1.h"
#include "jet/locking.h"
#include "store/backups.h"
#include "store/tdatmod.h"
#include "tests/bulk_testing.h"
#include "tests/support/faultenv.h"

namespace {

using bulktest::bytesOf;
using edtest::T;
using zn::ModalAnswer;
using zn::ModalRequest;

class Bulk : public edtest::ProgramTest {
  protected:
    void trigger(const char* objectName) {
        QAction* a = form().findChild<QAction*>(QString::fromLatin1(objectName));
        ASSERT_NE(a, nullptr) << objectName;
        a->trigger();
    }
    // The next file dialog picks `path`.
    void choose(const QString& path) { modal->push(ModalAnswer{zn::Ok, path, 0}); }
    // Import picks `path` (its format found from its contents) to replace the bank; with
    // `report`, the report of what will be imported is accepted.
    void importReplacing(const QString& path, bool report = true) {
        choose(path);
        modal->push(ModalAnswer{zn::Ok, {}, 1});  // "Заменить базу"
        if (report) modal->push(ModalAnswer{zn::Ok, {}, 1});
        trigger("ToolButton2");
    }
    QString path(const QString& name) const { return work + u'/' + name; }
    QStringList treeCaptions() {
        QStringList out;
        for (QTreeWidgetItemIterator it(form().treeDb()); *it; ++it) out << (*it)->text(0);
        return out;
    }
    const ModalRequest* onlyMessage() {
        const ModalRequest* found = nullptr;
        for (const ModalRequest& r : modal->calls())
            if (r.kind == ModalRequest::Kind::Message) {
                if (found) return nullptr;
                found = &r;
            }
        return found;
    }
};

QStringList exchangeLines(const QString& path) {
    return zn::exchange::splitLines(zn::exchange::decode(bytesOf(path)));
}

// ---------------------------------------------------------------------------------------------
// Export

TEST_F(Bulk, ExportWritesEveryTopicAndLeavesTheSelectionAlone) {
    startOn({{"Арифметика",
              {{"Сколько будет 2+2?", 2, {"3", "4", "5"}, {}},
               {"Что на рисунке?", 1, {"Круг", ""}, "pic1.jpg"}}},
             {"Геометрия", {}},
             edtest::topic("Третья", 1)});
    // The third topic's question is selected.
    QTreeWidgetItem* node = form().treeDb()->topLevelItem(2)->child(0);
    form().treeDb()->setCurrentItem(node);
    const QString out = path("банк.txt");
    modal->push(ModalAnswer{zn::Ok, out, 0});
    trigger("ToolButton10");
    ASSERT_EQ(modal->calls().size(), 1u);  // the save dialog only
    EXPECT_EQ(modal->calls()[0].kind, ModalRequest::Kind::SaveFile);
    EXPECT_EQ(modal->calls()[0].filter, zn::ImportExportUi::exportFilter());
    const QStringList expected = QStringLiteral(
                                     "01.Арифметика||01.01.Сколько будет 2+2?|2|1.3|2.4|3.5||"
                                     "01.02.Что на рисунке?|1|1.Круг|2.|pic1.jpg||"
                                     "02.Геометрия||"
                                     "03.Третья||03.01.Вопрос 3.1|2|1.Ответ 3.1.1|2.Ответ 3.1.2|"
                                     "3.Ответ 3.1.3|")
                                     .split(u'|');
    EXPECT_EQ(exchangeLines(out), expected);
    const QByteArray bytes = bytesOf(out);
    EXPECT_TRUE(bytes.startsWith("01.\xC0\xF0\xE8\xF4"));  // Windows-1251, no byte-order mark
    EXPECT_TRUE(bytes.endsWith("3.\xCE\xF2\xE2\xE5\xF2 3.1.3\r\n\r\n"));
    // The bar counts the topics written and stays there; the cursors are where the tree put them.
    EXPECT_EQ(form().progBar1()->value(), 3);
    EXPECT_EQ(form().progBar1()->maximum(), 14);
    EXPECT_EQ(dm().qrtema.asInteger("numtema"), 3);
    EXPECT_EQ(dm().qrvoprosi.asInteger("idvopr"), 1);
    EXPECT_EQ(form().treeDb()->currentItem(), node);
    EXPECT_EQ(dm().qrotveti.recordCount(), 3);
}

TEST_F(Bulk, ExportWithoutTopicsOrCancelledWritesNothing) {
    startOn({});
    choose(path("пусто.txt"));
    trigger("ToolButton10");
    EXPECT_FALSE(QFile::exists(path("пусто.txt")));
    EXPECT_EQ(modal->calls().size(), 1u);  // the dialog, no message
    modal->clear();
    trigger("ToolButton10");  // cancelled
    ASSERT_EQ(modal->calls().size(), 1u);
    EXPECT_EQ(modal->calls()[0].kind, ModalRequest::Kind::SaveFile);
}

TEST_F(Bulk, AFileThatCannotBeCreatedIsReported) {
    startOn({edtest::topic("Одна", 1)});
    const QString out = path("нет-папки/банк.txt");
    choose(out);
    trigger("ToolButton10");
    const ModalRequest* box = onlyMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->icon, zn::MsgIcon::Stop);
    EXPECT_TRUE(box->text.startsWith("Cannot create file \"" + out + "\". "))
        << box->text.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

// What will not read back is named in one box; the file is written all the same.
TEST_F(Bulk, ExportWarnsAboutWhatWillNotReadBack) {
    startOn({{"1 класс", {{"Две\r\nстроки", 1, {"да", "нет"}, {}}}},
             {"Иностранные слова", {{"Grüße", 1, {"a", "b"}, {}}}}});
    const QString out = path("банк.txt");
    choose(out);
    trigger("ToolButton10");
    const ModalRequest* box = onlyMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->icon, zn::MsgIcon::Information);
    EXPECT_EQ(box->caption, zn::appTitle());
    EXPECT_TRUE(
        box->text.contains(QStringLiteral("тема 1 «1 класс»: название темы начинается с цифры")))
        << box->text.toStdString();
    EXPECT_TRUE(box->text.contains(
        QStringLiteral("вопрос 1 темы 1: в тексте вопроса есть перевод строки")));
    EXPECT_TRUE(
        box->text.contains(QStringLiteral("вопрос 1 темы 2: в тексте вопроса есть символы")));
    EXPECT_TRUE(exchangeLines(out).contains(QStringLiteral("02.01.Gr??e")));
}

// ---------------------------------------------------------------------------------------------
// Import

TEST_F(Bulk, ImportReplacesEveryTopicQuestionAndAnswer) {
    edtest::makeBank(db, {edtest::topic("Старая", 3), edtest::topic("Ещё старая", 2)});
    bulktest::addOrphans(db);
    const QStringList settingsBefore = bulktest::settings(db);
    start();
    const QString in = path("новый.txt");
    bulktest::writeBytes(in, zn::exchange::toWindows1251(
                                 "01.Новая тема\r\n\r\n01.01.Первый?\r\n2\r\n1.а\r\n2.б\r\n"
                                 "12.jpg\r\n\r\n01.02.Второй\r\n1\r\n1..5\r\n2.x\r\n\r\n"
                                 "02.Пустая\r\n\r\n05.01.Без темы\r\n1\r\n1.a\r\n2.b\r\n\r\n"));
    importReplacing(in);
    EXPECT_TRUE(messages().empty()) << messages().front().toStdString();
    EXPECT_EQ(modal->calls()[0].filter, zn::ImportExportUi::importFilter());

    const edtest::Snapshot f = file();
    EXPECT_EQ(
        bulktest::view(f),
        (QStringList{"T 1 [Новая тема] count 2", "  Q 1.1 correct 2 of 2 img [12.jpg] [Первый?]",
                     "    A 1 [а]", "    A 2 [б]", "  Q 1.2 correct 1 of 2 img [] [Второй]",
                     "    A 1 [.5]", "    A 2 [x]", "T 2 [Пустая] count 0"}));
    // Nothing old is left, not even what no topic reached; the rows are numbered from 1.
    EXPECT_EQ(f.topics.size(), 2u);
    ASSERT_EQ(f.questions.size(), 3u);
    EXPECT_EQ(f.answers.size(), 6u);
    // A question whose topic number no topic line has is stored with that number.
    EXPECT_EQ(f.questions[2].idtest, 5);
    EXPECT_EQ(f.questions[2].vopros, QStringLiteral("Без темы"));
    EXPECT_EQ(f.topics[0].id, 1);
    EXPECT_EQ(f.questions[1].id, 2);
    EXPECT_EQ(f.answers[3].id, 4);
    EXPECT_EQ(f.answers[3].idvopr, 2);
    EXPECT_EQ(bulktest::settings(db), settingsBefore);
    // Compacted in place, the tree rebuilt, the status text and the bar back to empty.
    EXPECT_TRUE(bulktest::compactionLeftovers(work).isEmpty());
    EXPECT_EQ(treeCaptions(),
              (QStringList{"Тема 1. Новая тема", "Вопрос 1", "Вопрос 2", "Тема 2. Пустая"}))
        << treeCaptions().join(" | ").toStdString();
    EXPECT_EQ(form().statusText(), QString());
    EXPECT_EQ(form().progBar1()->value(), 0);
}

// A file that cannot be read or holds a fault changes nothing: the message and its line.
TEST_F(Bulk, AFaultyFileChangesNothing) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 1)});
    const QByteArray before = bytesOf(db);
    const QStringList tree = treeCaptions();
    struct Case {
        const char* name;
        QByteArray bytes;  // empty: no such file
        QString message;
    } cases[] = {
        {"нет-файла.txt",
         {},
         "Cannot open file \"" + path("нет-файла.txt") + "\". No such file or directory."},
        {"класс.txt", "01.Тема\r\n\r\n01.01.Q\r\n1\r\n1.a\r\n2.b\r\n\r\n04.1 класс\r\n\r\n",
         "'1 ' is not a valid integer value\nСтрока 8."},
        {"ответ.txt", "01.01.Q\r\n300\r\n1.a\r\n2.b\r\n\r\n",
         "300 is not a valid value for field 'Ответ'. The allowed range is 0 to 255\nСтрока 2."},
        {"семь.txt", "01.01.Q\r\n1\r\n1.a\r\n2.b\r\n3.c\r\n4.d\r\n5.e\r\n6.f\r\n7.g\r\n\r\n",
         "У вопроса 7 ответов, а их может быть не более 6\nСтрока 9."},
        {"ноль.txt", QByteArray("01.\xD2\xE5\xEC\xE0\0hidden\r\n\r\n", 18),
         "В строке есть управляющий символ с кодом 0; такой файл не импортируется\nСтрока 1."},
        {"путь.txt", "01.01.Q\r\n1\r\n1.a\r\n2.b\r\na/../../s\r\n\r\n",
         "Имя рисунка «a/../../s» должно быть именем файла из папки данных, без папок и диска\n"
         "Строка 5."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        modal->clear();
        if (!c.bytes.isEmpty()) bulktest::writeBytes(path(c.name), c.bytes);
        importReplacing(path(c.name), false);
        const ModalRequest* box = onlyMessage();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon, zn::MsgIcon::Stop);
        EXPECT_EQ(box->text, c.message);
        EXPECT_EQ(bytesOf(db), before);
        EXPECT_EQ(treeCaptions(), tree);
        EXPECT_EQ(dm().qrtema.recordCount(), 2);
        // A command that does not run takes no backup.
        EXPECT_FALSE(QDir(work + "/backups").exists());
    }
    // A cancelled dialog changes nothing either.
    modal->clear();
    trigger("ToolButton2");
    EXPECT_EQ(modal->calls().size(), 1u);
    EXPECT_EQ(bytesOf(db), before);
}

// A file that yields no topic and no question would delete everything without a word: the
// import asks first. No leaves the bank as it was and takes no backup; Yes empties it, also
// for an empty file chosen on purpose.
TEST_F(Bulk, AFileThatYieldsNothingAsksBeforeEmptyingTheBank) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 1)});
    const QByteArray before = bytesOf(db);
    const QString question =
        QStringLiteral("В файле не найдено ни одного вопроса. Удалить все данные базы?");
    struct Case {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"пустой.txt", ""},
        {"метка.txt", "\xEF\xBB\xBF"},
        {"метка16.txt", QByteArray("\xFF\xFE", 2)},
        {"сотые.txt", "100.Тема\r\n\r\n100.01.Q\r\n1\r\n1.a\r\n2.b\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        modal->clear();
        bulktest::writeBytes(path(c.name), c.bytes);
        choose(path(c.name));
        modal->push(ModalAnswer{zn::Ok, {}, 1});  // "Заменить базу"
        modal->push(ModalAnswer{zn::Ok, {}, 1});  // the report: "Импортировать"
        modal->push(ModalAnswer{zn::No, {}, 0});
        trigger("ToolButton2");
        const ModalRequest* box = onlyMessage();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon, zn::MsgIcon::Question);
        EXPECT_EQ(box->buttons, unsigned(zn::Yes | zn::No));
        EXPECT_EQ(box->text, question);
        EXPECT_EQ(bytesOf(db), before);
        EXPECT_FALSE(QDir(work + "/backups").exists());
        EXPECT_EQ(dm().qrtema.recordCount(), 2);
    }
    modal->clear();
    choose(path("пустой.txt"));
    modal->push(ModalAnswer{zn::Ok, {}, 1});
    modal->push(ModalAnswer{zn::Ok, {}, 1});
    modal->push(ModalAnswer{zn::Yes, {}, 0});
    trigger("ToolButton2");
    EXPECT_EQ(messages(), std::vector<QString>{question});
    EXPECT_TRUE(file().topics.empty());
    EXPECT_TRUE(file().questions.empty());
    EXPECT_EQ(dm().qrtema.recordCount(), 0);
    EXPECT_EQ(treeCaptions(), QStringList());
    EXPECT_EQ(zn::listBackups(db).size(), 1u);
}

// An I/O error at any write of an import: the general error report, the file byte for byte as
// it was, the tree still showing it. Past the import's last write it lands.
TEST_F(Bulk, AnIoErrorDuringAnImportLeavesTheFileAsItWas) {
    edtest::makeBank(db,
                     {edtest::topic("Один", 2), edtest::topic("Два", 3), edtest::topic("Три", 1)});
    const QByteArray before = bytesOf(db);
    const QString in = path("импорт.txt");
    zn::exchange::Bank bank;
    bank.topics = {{1, "Новая", 0}};
    for (int q = 1; q <= 40; ++q)
        bank.questions.push_back(
            {1, q, QString(300, u'в'), 1, 2, {}, {{1, "да", 0}, {2, "нет", 0}}});
    bulktest::writeBytes(in, zn::exchange::format(bank));
    bool landed = false;
    int failures = 0;
    for (int k = 1; !landed; ++k) {
        SCOPED_TRACE(k);
        ASSERT_LT(k, 400);
        zntest::FaultEnv env(0);
        restartThrough(env);
        const QStringList tree = treeCaptions();
        env = zntest::FaultEnv(k, false);
        modal->clear();
        importReplacing(in);
        const ModalRequest* box = onlyMessage();
        if (bytesOf(db) == before) {
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->icon, zn::MsgIcon::Stop);
            EXPECT_EQ(treeCaptions(), tree);
            EXPECT_EQ(dm().qrtema.recordCount(), 3);
            ++failures;
        } else {
            // The new bank is in (a failure of the compaction after it is shown in a plain box).
            landed = true;
            EXPECT_EQ(file().questions.size(), 40u);
            if (box) {
                EXPECT_EQ(box->icon, zn::MsgIcon::None);
            }
        }
        p.reset();
    }
    EXPECT_GT(failures, 3);
}

// ---------------------------------------------------------------------------------------------
// Delete all and compaction

TEST_F(Bulk, DeleteAllRemovesEverythingButTheInformationRecords) {
    edtest::makeBank(db,
                     {edtest::topic("Один", 30), edtest::topic("Два", 3), edtest::topic("Три", 1)});
    bulktest::addOrphans(db);
    const QStringList settingsBefore = bulktest::settings(db);
    const qint64 sizeBefore = QFileInfo(db).size();
    start();
    // The tree's selection disabled the topic commands' buttons.
    form().buttem2()->setEnabled(false);
    form().buttem3()->setEnabled(false);
    trigger("ToolButton3");
    EXPECT_TRUE(modal->calls().empty());  // no question asked, nothing reported
    const edtest::Snapshot f = file();
    EXPECT_TRUE(f.topics.empty());
    EXPECT_TRUE(f.questions.empty());
    EXPECT_TRUE(f.answers.empty());
    EXPECT_EQ(bulktest::settings(db), settingsBefore);
    EXPECT_LT(QFileInfo(db).size(), sizeBefore);
    EXPECT_TRUE(bulktest::compactionLeftovers(work).isEmpty());
    // The bar ends at 3 of 3 and stays; the tree and the preview are empty; the topic commands
    // are on.
    EXPECT_EQ(form().progBar1()->value(), 3);
    EXPECT_EQ(form().progBar1()->maximum(), 3);
    EXPECT_EQ(form().treeDb()->topLevelItemCount(), 0);
    EXPECT_TRUE(form().hv()->toPlainText().isEmpty());
    EXPECT_TRUE(form().buttem1()->isEnabled());
    EXPECT_TRUE(form().buttem2()->isEnabled());
    EXPECT_TRUE(form().buttem3()->isEnabled());
    // Again on the empty bank: nothing to delete, compacted all the same.
    trigger("ToolButton3");
    EXPECT_TRUE(modal->calls().empty());
    EXPECT_EQ(form().progBar1()->value(), 3);
    EXPECT_TRUE(bulktest::compactionLeftovers(work).isEmpty());
}

TEST_F(Bulk, CompactionKeepsTheBank) {
    startOn({edtest::topic("Один", 3), edtest::topic("Два", 2)});
    const QStringList bank = bulktest::view(file());
    const QStringList tree = treeCaptions();
    trigger("ToolButton4");
    EXPECT_TRUE(modal->calls().empty());
    EXPECT_EQ(bulktest::view(file()), bank);
    EXPECT_EQ(treeCaptions(), tree);
    EXPECT_TRUE(bulktest::compactionLeftovers(work).isEmpty());
    EXPECT_TRUE(form().editingEnabled());
}

// Another program that opens the database the way Access does beside the editor: it writes
// its record as the lock file's second user and holds that user's byte, for as long as this
// object lives.
class OtherProgram {
  public:
    explicit OtherProgram(const QString& database) {
        const std::string path = database.toStdString();
        const std::string ldb = path.substr(0, path.rfind('.')) + ".ldb";
        child_.emplace([ldb] {
            const int fd = ::open(ldb.c_str(), O_RDWR | O_CREAT, 0644);
            if (fd < 0) throw std::runtime_error("cannot open the lock file");
            const std::vector<uint8_t> record = zntest::jetLockFile({{"OFFICE-PC", "Admin"}});
            if (::pwrite(fd, record.data(), record.size(), 64) != ssize_t(record.size()))
                throw std::runtime_error("cannot write the lock file");
            struct flock fl {};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            fl.l_start = off_t(jet::lockbytes::kJetUserSlot + 1);
            fl.l_len = 1;
            if (::fcntl(fd, F_SETLK, &fl) != 0) throw std::runtime_error("cannot lock");
            return std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
        });
    }
    bool ok() const { return child_->error().empty(); }

  private:
    std::optional<zntest::HoldingChild> child_;
};

TEST_F(Bulk, CompactionOfAFileHeldByAnotherProgramChangesNothingAndTheEditorGoesOn) {
    startOn({edtest::topic("Один", 3), edtest::topic("Два", 2)});
    const QByteArray before = bytesOf(db);
    const QStringList tree = treeCaptions();
    {
        OtherProgram other(db);
        ASSERT_TRUE(other.ok());
        trigger("ToolButton4");
        // The engine's message in a plain box: application title, no icon.
        const auto plain =
            std::find_if(modal->calls().begin(), modal->calls().end(), [](const ModalRequest& r) {
                return r.kind == ModalRequest::Kind::Message && r.icon == zn::MsgIcon::None;
            });
        ASSERT_NE(plain, modal->calls().end());
        EXPECT_EQ(plain->caption, zn::appTitle());
        EXPECT_FALSE(plain->text.isEmpty());
        EXPECT_EQ(bytesOf(db), before);
        EXPECT_TRUE(bulktest::compactionLeftovers(work).isEmpty());
        // The connection is open again and the tree rebuilt on the same data.
        EXPECT_TRUE(dm().Conn.isOpen());
        EXPECT_EQ(treeCaptions(), tree);
        EXPECT_EQ(dm().qrtema.recordCount(), 2);
    }
    // The editor goes on working on the file.
    const QString out = path("после.txt");
    modal->clear();
    choose(out);
    trigger("ToolButton10");
    EXPECT_EQ(exchangeLines(out).size(), 2 + 3 * 6 + 2 + 2 * 6);
    form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(1)->child(1));
    EXPECT_EQ(dm().qrvoprosi.asInteger("idvopr"), 2);
}

// ---------------------------------------------------------------------------------------------
// Information records

class InfoRecords : public Bulk {
  protected:
    zn::TForm5& form5() { return *p->form5(); }
    // Answers the next dialog: remembers what it showed, then types `typed` (storage order) and
    // presses OK, or closes it by its close box when `pressOk` is false.
    void answer(const zn::TForm5::Values& typed, bool pressOk = true) {
        modal->onRequest = [this, typed, pressOk](const ModalRequest& r) {
            if (r.kind != ModalRequest::Kind::Window) return;
            caption = r.caption;
            shown = form5().values();
            form5().Memo1->setPlainText(typed[0]);
            form5().Memo2->setPlainText(typed[1]);
            form5().Memo3->setPlainText(typed[2]);
            form5().Memo4->setPlainText(typed[3]);
            form5().EdDate->setText(typed[4]);
            if (pressOk) form5().BitBtn1->click();
        };
    }
    QString caption;
    zn::TForm5::Values shown;
};

TEST_F(InfoRecords, TheFiveRecordsShowTrimmedAndSaveWithCrLf) {
    edtest::makeBank(db, {edtest::topic("Тема", 1)});
    bulktest::setSettings(db, {"  Добро пожаловать\r\n\r\n", "Тест", "Название",
                               "Строка 1\r\nСтрока 2", "\t01.09.2024 ", "шестая"});
    start();
    answer({"Запуск", " Программа ", "Имя", "Первая\nвторая\nтретья\n\n", "  завтра  "});
    trigger("ToolButton5");
    EXPECT_EQ(caption, QStringLiteral("Информационные записи базы теста"));
    EXPECT_EQ(shown, (zn::TForm5::Values{"Добро пожаловать", "Тест", "Название",
                                         "Строка 1\nСтрока 2", "01.09.2024"}));
    EXPECT_EQ(bulktest::settings(db),
              (QStringList{"Запуск", "Программа", "Имя", "Первая\r\nвторая\r\nтретья", "завтра",
                           "шестая"}));
    // The next opening shows the description on three lines; OK saves it unchanged.
    answer({"Запуск", "Программа", "Имя", "Первая\nвторая\nтретья", "завтра"});
    trigger("ToolButton5");
    EXPECT_EQ(shown[3], "Первая\nвторая\nтретья");
    EXPECT_EQ(bulktest::settings(db)[3], "Первая\r\nвторая\r\nтретья");
}

TEST_F(InfoRecords, WithThreeRowsOnlyThreeAreShownAndWritten) {
    edtest::makeBank(db, {});
    bulktest::setSettings(db, {"один", "два", "три"});
    start();
    answer({"1", "2", "3", "не сохранится", "и это"});
    trigger("ToolButton5");
    EXPECT_EQ(shown, (zn::TForm5::Values{"один", "два", "три", "", ""}));
    EXPECT_EQ(bulktest::settings(db), (QStringList{"1", "2", "3"}));
}

TEST_F(InfoRecords, TheCloseBoxSavesNothingAndAnEmptyTableShowsNoDialog) {
    edtest::makeBank(db, {});
    start();
    const QByteArray before = bytesOf(db);
    answer({"изменено", "", "", "", ""}, false);
    trigger("ToolButton5");
    EXPECT_EQ(bytesOf(db), before);
    answer({"", "", "", "", ""}, false);
    trigger("ToolButton5");
    EXPECT_EQ(shown[0], QStringLiteral("Добро пожаловать в систему тестирования"));
    p.reset();
    bulktest::setSettings(db, {});
    start();
    trigger("ToolButton5");
    EXPECT_TRUE(modal->calls().empty());
}

}  // namespace
