// The command-line tool znbank: the same commands, messages on standard error, exit status 1
// with the database unchanged on failure.
#include <QDir>

#include "store/backups.h"
#include "store/undohistory.h"
#include "tests/bulk_testing.h"

namespace {

zntest::CommandResult znbank(const std::vector<QString>& args) {
    std::vector<std::string> argv{ZN_ZNBANK};
    for (const QString& a : args) argv.push_back(a.toStdString());
    return zntest::run(argv);
}

TEST(Znbank, ExportImportInfoDeleteAllAndCompact) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString a = dir + "/первый.mdb", b = dir + "/второй.mdb", txt = dir + "/банк.txt";
    edtest::makeBank(a, {edtest::topic("Один", 2), edtest::topic("Два", 1)});
    edtest::makeBank(b, {edtest::topic("Другой", 4)});
    bulktest::addOrphans(b);

    auto r = znbank({"export", a, txt});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = znbank({"import", b, txt});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The same bank, with the question counts written and nothing of the old one left.
    EXPECT_EQ(bulktest::view(edtest::readBank(b)), bulktest::view(edtest::readBank(a)));
    EXPECT_EQ(edtest::readBank(b).answers.size(), edtest::readBank(a).answers.size());
    EXPECT_TRUE(bulktest::compactionLeftovers(dir).isEmpty());

    // A faulty file: the message and the line on standard error, status 1, nothing changed.
    bulktest::writeBytes(txt, "01.Тема\r\n\r\n01.01.Q\r\nx\r\n1.a\r\n\r\n");
    const QByteArray before = bulktest::bytesOf(b);
    r = znbank({"import", b, txt});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "znbank: 'x' is not a valid integer value\nСтрока 4\n");
    EXPECT_EQ(bulktest::bytesOf(b), before);
    r = znbank({"import", b, dir + "/нет.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Cannot open file"), std::string::npos);
    EXPECT_EQ(bulktest::bytesOf(b), before);

    bulktest::setSettings(b, {"Запуск", "Программа", "Имя", "Строка 1\r\nСтрока 2"});
    r = znbank({"info", b});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "Заголовок окна запуска : Запуск\n"
              "Заголовок окна программы : Программа\n"
              "Название базы теста : Имя\n"
              "Описание базы теста : Строка 1\n    Строка 2\n"
              "Дата теста : —\n");

    r = znbank({"delete-all", b});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(edtest::readBank(b).topics.empty());
    EXPECT_TRUE(edtest::readBank(b).answers.empty());
    EXPECT_EQ(bulktest::settings(b).size(), 4);
    r = znbank({"compact", a});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(zntest::readersAgree(a.toStdString()));
    EXPECT_TRUE(zntest::readersAgree(b.toStdString()));

    // Each command that replaces a bank took a backup first (a failed import none): b was
    // imported into and deleted, a compacted. No undo history is left beside them.
    std::vector<QString> commandsOfB, commandsOfA;
    for (const auto& k : zn::listBackups(b)) commandsOfB.push_back(k.command);
    for (const auto& k : zn::listBackups(a)) commandsOfA.push_back(k.command);
    EXPECT_EQ(commandsOfB, (std::vector<QString>{"удаление всех данных", "импорт"}));
    EXPECT_EQ(commandsOfA, (std::vector<QString>{"сжатие базы"}));
    EXPECT_FALSE(
        QFile::exists(QString::fromStdString(zn::UndoHistory::sideFolder(b.toStdString()))));

    r = znbank({"export", b, dir + "/пусто.txt"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(QFile::exists(dir + "/пусто.txt"));
    EXPECT_EQ(znbank({"frobnicate", b}).exitCode, 2);
    EXPECT_EQ(znbank({"compact", dir + "/нет.mdb"}).exitCode, 1);
}

// A bank the editor holds cannot be written: every command that would replace it is refused with
// the editor's own Russian reason, before it takes a backup (ten refused imports used to leave
// ten copies of one state and push the older backups out).
TEST(Znbank, ACommandOnABankInUseIsRefusedInRussianAndTakesNoBackup) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString bank = dir + "/банк.mdb", txt = dir + "/банк.txt";
    const QString other = dir + "/другая/копия.mdb";
    QDir().mkpath(dir + "/другая");
    edtest::makeBank(bank, {edtest::topic("Один", 2)});
    bulktest::writeBytes(txt, "01.Тема\r\n\r\n01.01.Q\r\n1\r\n1.a\r\n2.b\r\n\r\n");
    // A whole backup to restore from, in another folder (the bank's own must stay empty).
    QFile::copy(bank, other);
    const QString backup = zn::makeBackup(other, "проверка");
    const QByteArray before = bulktest::bytesOf(bank);
    zntest::HoldingChild editor(
        [&] { return std::shared_ptr<void>(zntest::openWritable(bank.toStdString())); });
    ASSERT_EQ(editor.error(), "");
    for (const std::vector<QString>& args : {std::vector<QString>{"import", bank, txt},
                                             {"import", bank, txt},
                                             {"import", bank, txt},
                                             {"delete-all", bank},
                                             {"compact", bank},
                                             {"restore", bank, backup}}) {
        SCOPED_TRACE(args[0].toStdString());
        const auto r = znbank(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("открыта"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("только для чтения"), std::string::npos) << r.err;
        EXPECT_EQ(bulktest::bytesOf(bank), before);
        EXPECT_TRUE(zn::listBackups(bank).empty());
        EXPECT_TRUE(QDir(zn::backupFolder(bank)).isEmpty());
    }
}

// A damaged bank is said to be damaged in Russian, in the editor's words.
TEST(Znbank, ADamagedBankIsNamedInRussian) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString bank = dir + "/банк.mdb";
    edtest::makeBank(bank, {edtest::topic("Один", 2)});
    QByteArray bytes = bulktest::bytesOf(bank);
    bytes.chop(100);
    bulktest::writeBytes(bank, bytes);
    for (const char* command : {"info", "compact"}) {
        SCOPED_TRACE(command);
        const auto r = znbank({command, bank});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.rfind("znbank: Файл «" + bank.toStdString() +
                                  "» не удаётся открыть как базу данных Access 2000: он повреждён",
                              0),
                  0u)
            << r.err;
    }
    EXPECT_EQ(bulktest::bytesOf(bank), bytes);
}

// A file saved as "Юникод" is read as text; a file that yields nothing would empty the bank and
// is refused unless --allow-empty says so.
TEST(Znbank, AUtf16FileIsReadAndAnEmptyOneNeedsAllowEmpty) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString bank = dir + "/банк.mdb", txt = dir + "/юникод.txt";
    edtest::makeBank(bank, {edtest::topic("Один", 2), edtest::topic("Два", 1)});
    const QString text = "01.Ёлки\r\n\r\n01.01.Вопрос?\r\n2\r\n1.Да\r\n2.Нет\r\n\r\n";
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    bulktest::writeBytes(txt, utf16);
    auto r = znbank({"import", bank, txt});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(bulktest::view(edtest::readBank(bank)),
              (QStringList{"T 1 [Ёлки] count 1", "  Q 1.1 correct 2 of 2 img [] [Вопрос?]",
                           "    A 1 [Да]", "    A 2 [Нет]"}));

    const QByteArray before = bulktest::bytesOf(bank);
    const size_t backups = zn::listBackups(bank).size();
    bulktest::writeBytes(txt, "");
    r = znbank({"import", bank, txt});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("В файле не найдено ни одного вопроса"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--allow-empty"), std::string::npos) << r.err;
    EXPECT_EQ(bulktest::bytesOf(bank), before);
    EXPECT_EQ(zn::listBackups(bank).size(), backups);
    r = znbank({"import", bank, txt, "--allow-empty"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(edtest::readBank(bank).topics.empty());
    EXPECT_EQ(zn::listBackups(bank).size(), backups + 1);
}

// The backups are listed and one is put back; a damaged one is refused before anything changes.
TEST(Znbank, BackupsAreListedAndRestoredAndADamagedOneIsRefused) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString bank = dir + "/банк.mdb";
    edtest::makeBank(bank, {edtest::topic("Один", 2), edtest::topic("Два", 1)});
    const QByteArray first = bulktest::bytesOf(bank);
    auto r = znbank({"delete-all", bank});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = znbank({"backups", bank});
    EXPECT_EQ(r.exitCode, 0);
    const auto list = zn::listBackups(bank);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(QString::fromLocal8Bit(r.out), list[0].path + '\t' + zn::describe(list[0]) + '\n');
    EXPECT_TRUE(zn::describe(list[0]).endsWith("удаление всех данных: тем 2, вопросов 3"));

    r = znbank({"restore", bank, list[0].path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(bulktest::bytesOf(bank), first);
    ASSERT_EQ(zn::listBackups(bank).size(), 2u);

    // The copy cut short: refused, nothing changed, no backup taken.
    const QByteArray now = bulktest::bytesOf(bank);
    QByteArray cut = bulktest::bytesOf(list[0].path);
    cut.truncate(cut.size() / 2);
    bulktest::writeBytes(list[0].path, cut);
    r = znbank({"restore", bank, list[0].path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("повреждена, восстановить из неё базу нельзя"), std::string::npos)
        << r.err;
    EXPECT_EQ(bulktest::bytesOf(bank), now);
    EXPECT_EQ(zn::listBackups(bank).size(), 2u);
    EXPECT_FALSE(QFile::exists(bank + ".restore-source"));
}

}  // namespace
