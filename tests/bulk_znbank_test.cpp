// The command-line tool znbank: the same commands, messages on standard error, exit status 1
// with the database unchanged on failure.
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

}  // namespace
