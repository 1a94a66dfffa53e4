// "znbank import" and "znbank export" with the other formats: the report on standard error, the
// exit status when something was left out, and round trips through Moodle XML and another bank.
#include <QDir>

#include "tests/import_testing.h"

namespace {

zntest::CommandResult znbank(const std::vector<QString>& args) {
    std::vector<std::string> argv{ZN_ZNBANK};
    for (const QString& a : args) argv.push_back(a.toStdString());
    return zntest::run(argv);
}

bool contains(const std::string& text, const QString& part) {
    return text.find(part.toStdString()) != std::string::npos;
}

// A bank exported to Moodle XML with its pictures and imported into an empty bank elsewhere
// gives the same questions, answers and picture bytes; added to the first bank it lands after
// the questions already there.
TEST(ZnbankImport, MoodleXmlRoundTripCarriesQuestionsAndPictures) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString a = dir + "/первый.mdb", b = dir + "/второй/пустой.mdb", xml = dir + "/банк.xml";
    ASSERT_TRUE(QDir().mkpath(dir + "/data"));
    ASSERT_TRUE(QDir().mkpath(dir + "/второй"));
    edtest::Q pictured{QStringLiteral("Что это?\r\nНа рисунке."),
                       2,
                       {"Круг", "Квадрат"},
                       QStringLiteral("fig.png")};
    edtest::makeBank(a, {{QStringLiteral("Геометрия"), {pictured}}, edtest::topic("Счёт", 2)});
    bulktest::writeBytes(dir + "/data/fig.png", importtest::realPng());
    edtest::makeBank(b, {});

    auto r = znbank({"export", a, xml, "--format", "moodle"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "вопросов 3, рисунков 1")) << r.err;
    r = znbank({"import", b, xml, "--format", "moodle"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(bulktest::view(edtest::readBank(b)), bulktest::view(edtest::readBank(a)));
    EXPECT_EQ(bulktest::bytesOf(dir + "/второй/data/fig.png"), importtest::realPng());

    // Added to the bank it came from: after the last question of each topic, the picture
    // recognised as the file already there.
    r = znbank({"import", a, xml, "--add"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Тема 1 «Геометрия», есть в базе: вопросов 1 (номер 2)")) << r.err;
    const edtest::Snapshot f = edtest::readBank(a);
    ASSERT_EQ(f.questionsOf(1).size(), 2u);
    EXPECT_EQ(f.questionsOf(1)[1].img, QStringLiteral("fig.png"));
    EXPECT_EQ(f.questionsOf(2).size(), 4u);
    EXPECT_EQ(QDir(dir + "/data").entryList(QDir::Files).size(), 1);
}

// What is left out is listed with where and why, the rest is imported, the status is 3; a file
// that cannot be read at all changes nothing and gives 1; the writers' losses are reported.
TEST(ZnbankImport, WhatIsLeftOutIsReportedAndTheStatusSaysSo) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString bank = dir + "/банк.mdb", aiken = dir + "/вопросы.txt";
    edtest::makeBank(bank, {edtest::topic("Одна", 1)});
    bulktest::writeBytes(aiken,
                         "Сколько будет 2+2?\nA) 3\nB) 4\nANSWER: B\n\nСтолица?\nA. Париж\n"
                         "B. Лион\nANSWER: c\n");
    auto r = znbank({"import", bank, aiken, "--add"});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_TRUE(contains(r.err, "Aiken")) << r.err;
    EXPECT_TRUE(contains(r.err, "не будет импортировано (1)")) << r.err;
    EXPECT_TRUE(contains(r.err, "строка 6:")) << r.err;
    // Aiken has no topics: the file's name is the topic.
    const edtest::Snapshot f = edtest::readBank(bank);
    ASSERT_EQ(f.topics.size(), 2u);
    EXPECT_EQ(f.topics[1].tema, QStringLiteral("вопросы"));

    const QByteArray before = bulktest::bytesOf(bank);
    bulktest::writeBytes(dir + "/обрыв.xml", "<?xml version=\"1.0\"?><quiz><question type=");
    r = znbank({"import", bank, dir + "/обрыв.xml", "--add"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(bulktest::bytesOf(bank), before);
    EXPECT_EQ(znbank({"import", bank, aiken, "--format", "nonsense"}).exitCode, 2);

    edtest::Q pictured{QStringLiteral("С рисунком"), 1, {"а", "б"}, QStringLiteral("x.png")};
    const QString pictures = dir + "/рисунки.mdb";
    edtest::makeBank(pictures, {{QStringLiteral("Т"), {pictured}}});
    r = znbank({"export", pictures, dir + "/out.gift", "--format", "gift"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(contains(r.err, "в GIFT рисунков нет")) << r.err;
    EXPECT_TRUE(QFile::exists(dir + "/out.gift"));
}

// Another test database as the source, chosen by its contents.
TEST(ZnbankImport, AnotherBankIsAdded) {
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString a = dir + "/a.mdb", b = dir + "/b.mdb";
    edtest::makeBank(a, {edtest::topic("Общая", 1)});
    edtest::makeBank(b, {edtest::topic("Общая", 2), edtest::topic("Своя", 1)});
    const auto r = znbank({"import", a, b, "--add"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const edtest::Snapshot f = edtest::readBank(a);
    EXPECT_EQ(f.questionsOf(1).size(), 3u);
    EXPECT_EQ(f.questionsOf(2).size(), 1u);
    EXPECT_TRUE(zntest::readersAgree(a.toStdString()));
}

}  // namespace
