// Printouts read back from the PDF with poppler's pdftotext and pdfimages: every question and
// answer in order, the variants' key against the paper as printed, the same paper from the
// same seed, questions kept on one page, pictures stored once and missing ones framed; and
// "znbank pdf".
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSet>

#include "print/pictures.h"
#include "print/render.h"
#include "tests/print_testing.h"

namespace {

using namespace zn::print;
using printtest::coded;
using printtest::flat;

struct Printed {
    QString pdf;
    QString notes;
    int pages = 0;
};

// The bank at `bank` printed to a PDF under `options`, pictures from `data`.
Printed printBank(const QString& bank, const Options& options, const QString& data = {}) {
    static int n = 0;
    const Paper paper = makePaper(printtest::sourceOf(bank), options);
    const Pictures pictures = Pictures::load(paper.pictureNames(), data);
    Printed p;
    p.pdf = QString::fromStdString(zntest::tempDir()) + QStringLiteral("/печать%1.pdf").arg(++n);
    p.pages = writePdf(paper, pictures, p.pdf);
    p.notes = printNotes(paper, pictures, data);
    // JET_TEST_OUTPUT=folder keeps the PDFs to look at.
    zntest::keepOutput(p.pdf.toStdString(), "print" + std::to_string(n) + ".pdf");
    return p;
}

const QStringList kRecords = {QStringLiteral("Окно запуска"), QStringLiteral("Окно программы"),
                              QStringLiteral("Проверка «знаний» — ёмкость"),
                              QStringLiteral("Описание, строка 1\r\nстрока 2"),
                              QStringLiteral("01.09.2025")};

// A long text: about `lines` lines of print.
QString filler(int lines, int seed) {
    QString s;
    for (int i = 0; i < lines; ++i)
        s += QStringLiteral(
                 " Строка %1 пояснения к вопросу, достаточно длинная, чтобы занять "
                 "почти всю ширину листа при печати.")
                 .arg(seed * 100 + i);
    return s;
}

// The whole bank: the header, the student's line, every question and answer in the bank's
// order with markup, line breaks and «»—ё intact (a question longer than a page included),
// page numbers, and the bank's own key.
TEST(PrintPdf, BankHasEveryQuestionAndAnswerInOrder) {
    ZN_NEED_POPPLER();
    const QString bank = QString::fromStdString(zntest::tempDir()) + QStringLiteral("/банк.mdb");
    std::vector<prtest::RawQ> qs;
    for (int q = 1; q <= 14; ++q)
        qs.push_back(coded(1, q, 2 + q % 5, 1 + q % 2,
                           q == 3 ? QStringLiteral("«ёлка» — Ёж\r\nвторая <b>строка</b>")
                           : q == 7  ? filler(70, q)  // taller than a page
                           : q == 10 ? filler(8, q)
                                     : QString()));
    for (int q = 1; q <= 4; ++q) qs.push_back(coded(2, q, 3, 3));
    prtest::writeBank(
        bank, {{2, QStringLiteral("Вторая «тема»"), 4}, {1, QStringLiteral("Первая тема"), 14}},
        qs);
    printtest::setRecords(bank, kRecords);
    Options o;
    o.key = true;
    const Printed p = printBank(bank, o);

    const QStringList pages = printtest::pdfPages(p.pdf);
    ASSERT_EQ(pages.size(), p.pages);
    QString text;
    for (qsizetype i = 0; i < pages.size() - 1; ++i) {
        EXPECT_EQ(printtest::footer(pages[i]),
                  QStringLiteral("стр. %1 из %2").arg(i + 1).arg(pages.size() - 1));
        text += printtest::body(pages[i]) + u'\n';
    }
    EXPECT_EQ(printtest::footer(pages.last()), QStringLiteral("Ключ ответов — стр. 1 из 1"));
    text = flat(text + pages.last());
    for (const QString& s :
         {QStringLiteral("Проверка «знаний» — ёмкость"), QStringLiteral("Описание, строка 1"),
          QStringLiteral("строка 2"), QStringLiteral("01.09.2025"), QStringLiteral("Фамилия, имя:"),
          QStringLiteral("Класс:"), QStringLiteral("«ёлка» — Ёж вторая строка"),
          QStringLiteral("Тема 2. Вторая «тема»"), QStringLiteral("Ключ ответов")})
        EXPECT_TRUE(text.contains(s)) << s.toStdString();
    EXPECT_FALSE(text.contains(u"Окно запуска"));

    // Every text in order: topic 1's questions, then topic 2's, each with its answers.
    qsizetype at = 0;
    for (const prtest::RawQ& q : qs) {
        QStringList texts{
            flat(QString(q.text).remove(QRegularExpression(QStringLiteral("<[^>]*>"))))};
        texts += QStringList(q.answers.begin(), q.answers.end());
        for (const QString& s : texts) {
            const qsizetype found = text.indexOf(s, at);
            ASSERT_GE(found, 0) << "missing or out of order: " << s.left(60).toStdString();
            at = found + s.size();
        }
    }
    // Each once: no line drawn (clipped) on a page besides its own.
    for (const prtest::RawQ& q : qs)
        EXPECT_EQ(text.count(QStringLiteral("Вопрос Т%1В%2 ").arg(q.idtest).arg(q.idvopr)), 1);
    EXPECT_EQ(text.count(QStringLiteral("Строка 735 ")), 1);
    const auto printed = printtest::decodePaper(text);
    ASSERT_EQ(printed.size(), qs.size());
    for (size_t i = 0; i < printed.size(); ++i) {
        EXPECT_EQ(printed[i].number, qs[i].idvopr);
        EXPECT_EQ(printed[i].answers.size(), qs[i].answers.size());
        for (const auto& [shown, own] : printed[i].answers) EXPECT_EQ(shown, own);
    }

    // The key: each topic's questions by number, the number of the correct answer.
    const QString last = printtest::pdfPages(p.pdf, true).last();
    const auto key = printtest::decodeKey(last);
    ASSERT_EQ(key.size(), 2u);
    const auto& first = key.at(QStringLiteral("Тема 1. Первая тема"));
    ASSERT_EQ(first.size(), 14u);
    for (int q = 1; q <= 14; ++q)
        EXPECT_EQ(first.at(QString::number(q)), QString::number(1 + q % 2));
    EXPECT_EQ(key.at(QStringLiteral("Тема 2. Вторая «тема»")).at(QStringLiteral("4")),
              QStringLiteral("3"));
}

// A question that fits on a page is never split from its answers (nor a topic's heading from
// its first question), whatever the lengths before it.
TEST(PrintPdf, QuestionsAreNotSplitAcrossPages) {
    ZN_NEED_POPPLER();
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString bank = dir + QStringLiteral("/длинные.mdb");
    const QString data = dir + QStringLiteral("/data/");
    QDir().mkpath(data);
    QImage picture(300, 220, QImage::Format_RGB32);
    picture.fill(QColor(60, 120, 200));
    picture.save(data + QStringLiteral("p.png"));
    std::vector<prtest::RawQ> qs;
    for (int t = 1; t <= 3; ++t)
        for (int q = 1; q <= 25; ++q)
            qs.push_back(coded(t, q, 2 + (q * 7 + t) % 5, 1, filler((q * 5 + t) % 9, q),
                               q % 4 == 0 ? QStringLiteral("p.png") : QString()));
    prtest::writeBank(
        bank,
        {{1, QStringLiteral("А"), 25}, {2, QStringLiteral("Б"), 25}, {3, QStringLiteral("В"), 25}},
        qs);
    const Printed p = printBank(bank, {}, data);
    const QStringList pages = printtest::pdfPages(p.pdf);
    ASSERT_GT(pages.size(), 10);
    QSet<QString> seen;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        int stray = 0;
        for (const auto& q : printtest::decodePaper(pages[i], &stray)) {
            const prtest::RawQ& raw = qs[size_t((q.topic - 1) * 25 + q.question - 1)];
            EXPECT_EQ(q.answers.size(), raw.answers.size())
                << "question " << q.topic << "." << q.question << " on page " << i + 1;
            seen.insert(QStringLiteral("%1.%2").arg(q.topic).arg(q.question));
        }
        EXPECT_EQ(stray, 0) << "answers without their question on page " << i + 1;
        // A heading is never the last thing on a page.
        const QString lastLine = pages[i].trimmed().section(u'\n', -2, -2).trimmed();
        EXPECT_FALSE(lastLine.startsWith(QStringLiteral("Тема "))) << "page " << i + 1;
    }
    EXPECT_EQ(seen.size(), qsizetype(qs.size()));
}

// Variants: each starts on a page of its own under the header; the key's number for each
// question is the number its correct answer got on the printed paper; the same seed prints
// the same paper and another seed another one.
TEST(PrintPdf, VariantKeyPointsAtTheCorrectAnswersAsPrinted) {
    ZN_NEED_POPPLER();
    const QString bank =
        QString::fromStdString(zntest::tempDir()) + QStringLiteral("/варианты.mdb");
    std::vector<prtest::RawQ> qs;
    auto correctOf = [](qint64 t, qint64 q, int n) { return int((t * 3 + q) % n) + 1; };
    for (int t = 1; t <= 3; ++t)
        for (int q = 1; q <= 8; ++q) {
            const int n = 3 + (q + t) % 4;
            qs.push_back(coded(t, q, n, correctOf(t, q, n)));
        }
    prtest::writeBank(
        bank,
        {{1, QStringLiteral("А"), 8}, {2, QStringLiteral("Б"), 8}, {3, QStringLiteral("В"), 8}},
        qs);
    printtest::setRecords(bank, kRecords);
    Options o;
    o.scope = Scope::Variants;
    o.topics = {1, 3};
    o.perTopic = 4;
    o.variants = 3;
    o.seed = 1234;
    o.key = true;
    const Printed p = printBank(bank, o);
    const QStringList pages = printtest::pdfPages(p.pdf);
    const QStringList layoutPages = printtest::pdfPages(p.pdf, true);
    ASSERT_EQ(layoutPages.size(), pages.size());

    // The pages of each variant and of the key.
    std::map<int, QString> variantText;
    QString keyLayout;
    int current = 0;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QString page = flat(pages[i]);
        if (page.startsWith(QStringLiteral("Ключ ответов"))) current = 99;
        for (int v = 1; v <= 3 && current != 99; ++v)
            if (page.contains(QStringLiteral("Вариант %1 (шифр %2)").arg(v).arg(1233 + v))) {
                EXPECT_TRUE(page.startsWith(QStringLiteral("Проверка «знаний» — ёмкость")))
                    << "variant " << v << " does not start a page";
                EXPECT_GT(v, current);
                current = v;
            }
        if (current == 99)
            keyLayout += layoutPages[i];
        else
            variantText[current] += page + u' ';
    }
    ASSERT_EQ(variantText.size(), 3u);
    const auto key = printtest::decodeKey(keyLayout);
    ASSERT_EQ(key.size(), 3u);

    bool shuffled = false;
    for (int v = 1; v <= 3; ++v) {
        const auto printed = printtest::decodePaper(variantText[v]);
        ASSERT_EQ(printed.size(), 8u);
        const auto& variantKey =
            key.at(QStringLiteral("Вариант %1 (шифр %2)").arg(v).arg(1233 + v));
        ASSERT_EQ(variantKey.size(), 8u);
        for (size_t i = 0; i < printed.size(); ++i) {
            const auto& q = printed[i];
            EXPECT_EQ(q.number, int(i + 1));
            EXPECT_TRUE(q.topic == 1 || q.topic == 3);
            const int n = 3 + int(q.question + q.topic) % 4;
            ASSERT_EQ(q.answers.size(), size_t(n));
            // The printed number of the bank's correct answer.
            int shown = 0;
            for (const auto& [number, own] : q.answers) {
                if (own == correctOf(q.topic, q.question, n)) shown = number;
                shuffled = shuffled || number != own;
            }
            EXPECT_EQ(variantKey.at(QString::number(q.number)), QString::number(shown))
                << "variant " << v << ", question " << q.number;
        }
    }
    EXPECT_TRUE(shuffled);

    EXPECT_EQ(printtest::pdfText(printBank(bank, o).pdf), printtest::pdfText(p.pdf));
    Options other = o;
    other.seed = 1235;
    const QString otherText = flat(printtest::pdfText(printBank(bank, other).pdf));
    EXPECT_NE(otherText, flat(printtest::pdfText(p.pdf)));
    // Variant 2 of seed 1234 is variant 1 of seed 1235.
    const QString v1 = otherText.section(QStringLiteral("Вариант 2 (шифр"), 0, 0);
    EXPECT_EQ(printtest::decodePaper(v1).size(), 8u);
    const auto again = printtest::decodePaper(v1);
    const auto before = printtest::decodePaper(variantText[2]);
    for (size_t i = 0; i < again.size() && i < before.size(); ++i) {
        EXPECT_EQ(again[i].question, before[i].question);
        EXPECT_EQ(again[i].answers, before[i].answers);
    }
}

// Pictures: a file printed for several questions (and in several variants) is stored once,
// a picture wider than the text is printed as wide as the text, a picture missing from the
// data folder is framed on the page and listed once; without pictures there are none.
TEST(PrintPdf, PictureUsedTwiceIsStoredOnceAndMissingOnesAreFramed) {
    ZN_NEED_POPPLER();
    const QString dir = QString::fromStdString(zntest::tempDir());
    const QString bank = dir + QStringLiteral("/рисунки.mdb");
    const QString data = dir + QStringLiteral("/data/");
    QDir().mkpath(data);
    QImage small(160, 120, QImage::Format_RGB32);
    small.fill(QColor(200, 60, 60));
    small.save(data + QStringLiteral("pic.png"));
    QImage wide(3000, 60, QImage::Format_RGB32);
    wide.fill(QColor(60, 160, 60));
    wide.save(data + QStringLiteral("wide.png"));
    QFile bad(data + QStringLiteral("bad.jpg"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("no picture here\n");
    bad.close();
    prtest::writeBank(
        bank, {{1, QStringLiteral("Рисунки"), 6}, {2, QStringLiteral("Два вопроса"), 2}},
        {coded(1, 1, 2, 1, {}, QStringLiteral("pic.png")),
         coded(1, 2, 2, 1, {}, QStringLiteral("PIC.PNG")),  // the same file, as Windows finds it
         coded(1, 3, 2, 1, {}, QStringLiteral("wide.png")),
         coded(1, 4, 2, 1, {}, QStringLiteral("нет.png")),
         coded(1, 5, 2, 1, {}, QStringLiteral("нет.png")),
         coded(1, 6, 2, 1, {}, QStringLiteral("bad.jpg")),
         coded(2, 1, 2, 1, {}, QStringLiteral("pic.png")),
         coded(2, 2, 2, 1, {}, QStringLiteral("wide.png"))});

    const Printed p = printBank(bank, {}, data);
    auto images = printtest::pdfImages(p.pdf);
    QSet<int> objects;
    int smallUses = 0;
    for (const auto& i : images) {
        objects.insert(i.object);
        if (i.width == 160) ++smallUses;
        // Wider than the text (175 mm): as wide as the text, no wider.
        if (i.width > 160) {
            EXPECT_GE(i.xppi, int(i.width / (175 / 25.4)) - 1);
        }
    }
    EXPECT_EQ(images.size(), 5u);
    EXPECT_EQ(smallUses, 3);
    EXPECT_EQ(objects.size(), 2);
    const QString text = flat(printtest::pdfText(p.pdf));
    EXPECT_EQ(text.count(QStringLiteral("нет рисунка «нет.png»")), 2);
    EXPECT_EQ(text.count(QStringLiteral("рисунок «bad.jpg» не читается")), 1);
    EXPECT_EQ(p.notes.count(QStringLiteral("«нет.png»")), 1) << p.notes.toStdString();
    EXPECT_EQ(p.notes.count(QStringLiteral("«bad.jpg»")), 1) << p.notes.toStdString();

    // Three variants of both questions of topic 2: each picture drawn three times, stored once.
    Options o;
    o.scope = Scope::Variants;
    o.topics = {2};
    o.perTopic = 2;
    o.variants = 3;
    images = printtest::pdfImages(printBank(bank, o, data).pdf);
    objects.clear();
    for (const auto& i : images) objects.insert(i.object);
    EXPECT_EQ(images.size(), 6u);
    EXPECT_EQ(objects.size(), 2);

    Options none;
    none.pictures = false;
    const Printed bare = printBank(bank, none, data);
    EXPECT_TRUE(printtest::pdfImages(bare.pdf).empty());
    EXPECT_FALSE(flat(printtest::pdfText(bare.pdf)).contains(u"рисунк"));
    EXPECT_TRUE(bare.notes.isEmpty());
}

}  // namespace
