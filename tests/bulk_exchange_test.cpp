// The exchange file without the program: reading (every malformed file with the line of its
// fault), writing, encodings and what will not read back.
#include <gtest/gtest.h>

#include "formats/exchange.h"
#include "tests/support/qtprint.h"

namespace {

using namespace zn::exchange;

// A file from its lines, each ended by CR LF, in Windows-1251.
QByteArray file(const QStringList& lines) {
    QByteArray out;
    for (const QString& l : lines) out += toWindows1251(l) + "\r\n";
    return out;
}

QStringList lines(const QByteArray& bytes) {
    return splitLines(decode(bytes));
}

TEST(ExchangeFormat, WritesTheLineKindsInOrder) {
    Bank b;
    b.topics = {{7, "Химия", 0}, {3, "Физика", 0}, {12, "Пустая", 0}};
    QuestionBlock q5{
        3, 5, "Сколько?", 3, 4, {}, {{1, "a", 0}, {2, "", 0}, {3, "c", 0}, {4, "d", 0}}};
    QuestionBlock q123{3, 123, "Рисунок", 1, 2, "pic1.jpg", {{1, "Круг", 0}, {2, "Квадрат", 0}}};
    QuestionBlock qChem{7, 1, "", 2, 2, {}, {{1, "x", 0}, {2, "y", 0}}};
    b.questions = {q5, q123, qChem};
    // The lines, separated by "|": the questions follow their topic; a topic without questions
    // is its line and an empty line.
    const QStringList expected = QStringLiteral(
                                     "07.Химия||07.01.|2|1.x|2.y||"
                                     "03.Физика||03.05.Сколько?|3|1.a|2.|3.c|4.d||"
                                     "03.123.Рисунок|1|1.Круг|2.Квадрат|pic1.jpg||"
                                     "12.Пустая|")
                                     .split(u'|');
    EXPECT_EQ(formatLines(b), expected);
    const QByteArray bytes = format(b);
    EXPECT_TRUE(bytes.startsWith("07.\xD5\xE8\xEC\xE8\xFF\r\n\r\n07.01.\r\n"));
    EXPECT_TRUE(bytes.endsWith("12.\xCF\xF3\xF1\xF2\xE0\xFF\r\n\r\n"));
    EXPECT_EQ(paddedNumber(0), "00");
    EXPECT_EQ(paddedNumber(9), "09");
    EXPECT_EQ(paddedNumber(10), "10");
    EXPECT_EQ(paddedNumber(120), "120");
}

bool sameBank(const Bank& a, const Bank& b) {
    if (a.topics.size() != b.topics.size() || a.questions.size() != b.questions.size())
        return false;
    for (size_t i = 0; i < a.topics.size(); ++i)
        if (a.topics[i].numtema != b.topics[i].numtema || a.topics[i].tema != b.topics[i].tema)
            return false;
    for (size_t i = 0; i < a.questions.size(); ++i) {
        const auto &x = a.questions[i], &y = b.questions[i];
        if (x.idtest != y.idtest || x.idvopr != y.idvopr || x.vopros != y.vopros ||
            x.otvet != y.otvet || x.kolotvet != y.kolotvet || x.img != y.img ||
            x.answers.size() != y.answers.size())
            return false;
        for (size_t k = 0; k < x.answers.size(); ++k)
            if (x.answers[k].idotv != y.answers[k].idotv ||
                x.answers[k].otvet != y.answers[k].otvet)
                return false;
    }
    return true;
}

// Everything the format carries, including what used to trip the reading: picture names that
// look like topic lines, answers beginning with ".", three-digit question numbers, empty texts.
TEST(ExchangeFormat, ABankWithoutHazardsReadsBackTheSame) {
    Bank b;
    b.topics = {{1, "Арифметика", 0}, {2, "", 0}, {99, "Последняя «тема» — №1", 0}};
    b.questions = {
        {1, 1, "Сколько будет 2+2?", 2, 3, {}, {{1, "3", 0}, {2, "4", 0}, {3, "5", 0}}},
        {1, 2, "Что на рисунке?", 1, 2, "12.jpg", {{1, "Круг", 0}, {2, ".5", 0}}},
        {1,
         123,
         "",
         6,
         6,
         "ab.c",
         {{1, "", 0}, {2, "..", 0}, {3, "3.c", 0}, {4, "x", 0}, {5, "01.02.нет", 0}, {6, "$", 0}}},
        {99, 0, "  пробелы  ", 1, 1, "p", {{1, "единственный", 0}}},
    };
    EXPECT_TRUE(readBackHazards(b).empty());
    const ParseResult r = parse(format(b));
    EXPECT_TRUE(r.faults.empty()) << r.faults.front().message.toStdString();
    EXPECT_EQ(r.encoding, Encoding::Windows1251);
    EXPECT_TRUE(sameBank(r.bank, b));
}

// The reading rules the format keeps: lone LF and CR, a last line without its end, a block's
// answer count and picture, long lines, numbers past what the format holds.
TEST(ExchangeFormat, ReadingRules) {
    // Line ends.
    for (const char* end : {"\r\n", "\n", "\r"}) {
        const QByteArray bytes = QByteArray("01.T") + end + end + "01.01.Q" + end + "1" + end +
                                 "1.a" + end + "2.b" + end;
        const ParseResult r = parse(bytes);
        ASSERT_TRUE(r.faults.empty());
        ASSERT_EQ(r.bank.questions.size(), 1u);
        EXPECT_EQ(r.bank.questions[0].answers[1].otvet, "b");
        EXPECT_EQ(r.lineCount, 6);
    }
    // An empty file, and a topic line without the empty line after it.
    EXPECT_TRUE(parse(QByteArray()).bank.topics.empty());
    ASSERT_EQ(parse("05.Одна").bank.topics.size(), 1u);
    EXPECT_EQ(parse("05.Одна").bank.topics[0].numtema, 5);

    // The answer count is the number of the last answer-shaped line; the picture the last
    // other line. "1.jpg" is answer-shaped: the picture is lost.
    {
        const ParseResult r = parseLines({"01.01.Q", "2", "1.a", "2.b", "3.c", "pic.jpg", ""});
        ASSERT_EQ(r.bank.questions.size(), 1u);
        EXPECT_EQ(r.bank.questions[0].kolotvet, 3);
        EXPECT_EQ(r.bank.questions[0].img, "pic.jpg");
        EXPECT_EQ(r.bank.questions[0].answers.size(), 3u);
        const ParseResult s = parseLines({"01.01.Q", "2", "1.a", "2.b", "3.c", "1.jpg", ""});
        ASSERT_EQ(s.bank.questions.size(), 1u);
        EXPECT_EQ(s.bank.questions[0].kolotvet, 1);
        EXPECT_EQ(s.bank.questions[0].img, "");
        ASSERT_EQ(s.bank.questions[0].answers.size(), 1u);
        EXPECT_EQ(s.bank.questions[0].answers[0].otvet, "a");
    }
    // Numbers: hexadecimal and leading blanks are numbers; a question number of four digits is
    // read as its first three, the text then begins with the "."; topic numbers of three digits
    // make lines that are passed over.
    {
        const ParseResult r = parseLines({"$A.Шестнадцатеричная", "", "03.1234.текст", " 1", "1.a",
                                          "", "100.Сотая", "", "100.01.Q", "1", "1.a", ""});
        ASSERT_TRUE(r.faults.empty()) << r.faults.front().message.toStdString();
        ASSERT_EQ(r.bank.topics.size(), 1u);
        EXPECT_EQ(r.bank.topics[0].numtema, 10);
        ASSERT_EQ(r.bank.questions.size(), 1u);
        EXPECT_EQ(r.bank.questions[0].idvopr, 123);
        EXPECT_EQ(r.bank.questions[0].vopros, ".текст");
        EXPECT_EQ(r.bank.questions[0].otvet, 1);
    }
    // A line of 5000 characters is read as its first 4096.
    {
        const QString text(5000, u'я');
        const ParseResult r = parse(file({"01.01." + text, "1", "1.a", ""}));
        ASSERT_EQ(r.bank.questions.size(), 1u);
        EXPECT_EQ(r.bank.questions[0].vopros, text.left(kMaxLineLength - 6));
    }
    // An answer count of 0 stores no answers.
    {
        const ParseResult r = parseLines({"01.01.Q", "1", "0.", ""});
        ASSERT_TRUE(r.faults.empty());
        EXPECT_EQ(r.bank.questions[0].kolotvet, 0);
        EXPECT_TRUE(r.bank.questions[0].answers.empty());
    }
}

// Every malformed file: the item is left out, the message is the program's and the line (from
// 1) is where the fault is.
TEST(ExchangeFormat, MalformedFilesNameTheLineOfTheFault) {
    const QString tooLong =
        "The field is too small to accept the amount of data you attempted "
        "to add. Try inserting or pasting less data.";
    struct Case {
        const char* what;
        QStringList lines;
        int line;
        QString message;
    } cases[] = {
        {"a topic name beginning with a digit",
         {"04.1 класс", ""},
         1,
         "'1 ' is not a valid integer value"},
        {"a topic number that is no number",
         {"a1.Тема", ""},
         1,
         "'a1' is not a valid integer value"},
        {"a question's topic number",
         {"01.Т", "", "0x.01.Q", "1", "1.a", ""},
         3,
         "'0x' is not a valid integer value"},
        {"a correct answer that is no number",
         {"01.Т", "", "01.01.Q", "x", "1.a", "2.b", ""},
         4,
         "'x' is not a valid integer value"},
        {"no answers: the first answer position is the empty line",
         {"01.Т", "", "01.01.Q", "1", ""},
         5,
         "'' is not a valid integer value"},
        {"an answer-shaped line whose number is no number",
         {"01.Т", "", "01.01.Q", "1", "1.a", "b.c", ""},
         6,
         "'b' is not a valid integer value"},
        {"an answer by position whose number is no number",
         {"01.01.Q", "1", "1.a", "pic.jpg", "2.b", ""},
         4,
         "'p' is not a valid integer value"},
        {"a correct answer outside its column",
         {"01.01.Q", "300", "1.a", "2.b", ""},
         2,
         "300 is not a valid value for field 'Ответ'. The allowed range is 0 to 255"},
        {"a negative correct answer",
         {"01.01.Q", "-1", "1.a", "2.b", ""},
         2,
         "-1 is not a valid value for field 'Ответ'. The allowed range is 0 to 255"},
        {"a topic name longer than 255", {"01." + QString(256, u'ы'), ""}, 1, tooLong},
        {"a picture name longer than 10",
         {"01.01.Q", "1", "1.a", "2.b", "abcdefghijk", ""},
         5,
         tooLong},
        {"seven answers",
         {"01.01.Q", "1", "1.a", "2.b", "3.c", "4.d", "5.e", "6.f", "7.g", ""},
         9,
         "У вопроса 7 ответов, а их может быть не более 6"},
        {"a correct-answer line missing at the end",
         {"01.Т", "", "01.01.Q"},
         4,
         "'' is not a valid integer value"},
        // Control characters (but TAB) would be stored as they are and cut texts short in other
        // programs; the line structure itself is CR and LF.
        {"NUL in a topic name",
         {"01.Тема" + QString(QChar(0)) + "скрыто", ""},
         1,
         "В строке есть управляющий символ с кодом 0; такой файл не импортируется"},
        {"a control character in an answer",
         {"01.Т", "", "01.01.Q", "1", "1.a", "2.b\x1B[0m", ""},
         6,
         "В строке есть управляющий символ с кодом 27; такой файл не импортируется"},
        {"a control character in a line that is passed over",
         {"01.Т", "", QString(QChar(0x7F)), ""},
         3,
         "В строке есть управляющий символ с кодом 127; такой файл не импортируется"},
        // A picture name is a file of the data folder, never a path out of it.
        {"a picture name with folders",
         {"01.01.Q", "1", "1.a", "2.b", "a/../../s", ""},
         5,
         "Имя рисунка «a/../../s» должно быть именем файла из папки данных, без папок и диска"},
        {"a picture name with Windows folders",
         {"01.01.Q", "1", "1.a", "2.b", "d\\..\\x.jp", ""},
         5,
         "Имя рисунка «d\\..\\x.jp» должно быть именем файла из папки данных, без папок и диска"},
        {"a picture name that is a whole path",
         {"01.01.Q", "1", "1.a", "2.b", "/etc/pass", ""},
         5,
         "Имя рисунка «/etc/pass» должно быть именем файла из папки данных, без папок и диска"},
        {"a picture name with a drive",
         {"01.01.Q", "1", "1.a", "2.b", "C:x.jpg", ""},
         5,
         "Имя рисунка «C:x.jpg» должно быть именем файла из папки данных, без папок и диска"},
        {"a TAB in a picture name",
         {"01.01.Q", "1", "1.a", "2.b", "p\tic.jpg", ""},
         5,
         "Имя рисунка «p\tic.jpg» должно быть именем файла из папки данных, без папок и диска"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ParseResult r = parseLines(c.lines);
        ASSERT_EQ(r.faults.size(), 1u);
        EXPECT_EQ(r.faults[0].line, c.line);
        EXPECT_EQ(r.faults[0].message, c.message);
        // The same file through bytes reads the same.
        const ParseResult fromBytes = parse(file(c.lines));
        ASSERT_EQ(fromBytes.faults.size(), 1u);
        EXPECT_EQ(fromBytes.faults[0].line, c.line);
    }
    // One fault per faulty item, in file order; the good items are read.
    const ParseResult r = parseLines({"01.Т", "", "01.01.Q", "x", "1.a", "", "01.02.Q", "1", "1.a",
                                      "2.b", "", "02.1 класс", ""});
    ASSERT_EQ(r.faults.size(), 2u);
    EXPECT_EQ(r.faults[0].line, 4);
    EXPECT_EQ(r.faults[1].line, 12);
    EXPECT_EQ(r.bank.questions.size(), 1u);
    EXPECT_EQ(r.bank.topics.size(), 1u);
    // TAB is text: it is read and kept (not in a picture name, which is a file name).
    const ParseResult tab =
        parseLines({"01.Тема\tс табуляцией", "", "01.01.Q\t", "1", "1.\ta", "2.b", "pic.jpg", ""});
    EXPECT_TRUE(tab.faults.empty());
    ASSERT_EQ(tab.bank.questions.size(), 1u);
    EXPECT_EQ(tab.bank.topics[0].tema, "Тема\tс табуляцией");
    EXPECT_EQ(tab.bank.questions[0].answers[0].otvet, "\ta");
}

TEST(ExchangeEncoding, Windows1251AndUtf8AreRecognised) {
    const QString text = "Ёжик ёлки № «кавычки» — тире €";
    const QByteArray cp1251 = toWindows1251(text);
    EXPECT_EQ(cp1251, QByteArray("\xA8\xE6\xE8\xEA \xB8\xEB\xEA\xE8 \xB9 \xAB\xEA\xE0\xE2\xFB"
                                 "\xF7\xEA\xE8\xBB \x97 \xF2\xE8\xF0\xE5 \x88"));
    Encoding e{};
    EXPECT_EQ(decode(cp1251, &e), text);
    EXPECT_EQ(e, Encoding::Windows1251);
    EXPECT_EQ(decode(text.toUtf8(), &e), text);
    EXPECT_EQ(e, Encoding::Utf8);
    EXPECT_EQ(decode("\xEF\xBB\xBF" + text.toUtf8(), &e), text);
    EXPECT_EQ(e, Encoding::Utf8WithBom);
    // ASCII is Windows-1251 (and the same text either way).
    EXPECT_EQ(detectEncoding("01.Topic\r\n"), Encoding::Windows1251);
    // Every byte reads as one character and is written back as itself.
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    EXPECT_EQ(toWindows1251(decode(all)), all);
    // What the code page cannot hold becomes "?", a pair of surrogates one "?".
    EXPECT_EQ(toWindows1251(QString::fromUtf8("a\xE2\x88\x9A b \xF0\x9F\x98\x80 c ü")),
              "a? b ? c ?");
    EXPECT_FALSE(fitsWindows1251(QString::fromUtf8("ü")));
    EXPECT_TRUE(fitsWindows1251(text));
    // A UTF-8 exchange file reads like the Windows-1251 one.
    const QStringList ls = {"01.Ёлки", "", "01.01.Вопрос?", "1", "1.Да", "2.Нет", ""};
    QByteArray utf8;
    for (const QString& l : ls) utf8 += l.toUtf8() + "\n";
    const ParseResult r = parse(utf8);
    EXPECT_EQ(r.encoding, Encoding::Utf8);
    ASSERT_EQ(r.bank.questions.size(), 1u);
    EXPECT_EQ(r.bank.topics[0].tema, "Ёлки");
    EXPECT_EQ(r.bank.questions[0].answers[1].otvet, "Нет");
    EXPECT_EQ(lines(file(ls)), ls);
}

// A file saved by Notepad as "Юникод" (UTF-16 with its byte-order mark, either byte order) reads
// as the text it holds; a file of the mark alone is empty.
TEST(ExchangeEncoding, Utf16WithItsByteOrderMarkIsText) {
    const QString text = "01.Ёлки\r\n\r\n01.01.Вопрос?\r\n1\r\n1.Да\r\n2.Нет\r\n\r\n";
    struct Case {
        const char* what;
        QByteArray bytes;
        Encoding encoding;
    };
    QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (QChar c : text) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    for (const Case& c : {Case{"little-endian", le, Encoding::Utf16Le},
                          Case{"big-endian", be, Encoding::Utf16Be}}) {
        SCOPED_TRACE(c.what);
        const ParseResult r = parse(c.bytes);
        EXPECT_EQ(r.encoding, c.encoding);
        EXPECT_TRUE(r.faults.empty());
        ASSERT_EQ(r.bank.topics.size(), 1u);
        EXPECT_EQ(r.bank.topics[0].tema, "Ёлки");
        ASSERT_EQ(r.bank.questions.size(), 1u);
        EXPECT_EQ(r.bank.questions[0].answers[1].otvet, "Нет");
        const ParseResult markOnly = parse(c.bytes.left(2));
        EXPECT_TRUE(markOnly.bank.topics.empty());
        EXPECT_TRUE(markOnly.faults.empty());
    }
}

// The warning comes from reading the written file back: a text whose Windows-1251 bytes are
// themselves valid UTF-8 ("РўРµСЃС‚" is "Тест" in UTF-8) makes the whole file read as UTF-8
// when nothing else in it is non-ASCII, and the item is named with what it reads back as.
TEST(ExchangeFormat, ATextWhoseBytesReadAsUtf8IsNamed) {
    Bank b;
    b.topics = {{1, "РўРµСЃС‚", 0}};
    b.questions = {{1, 1, "Question", 1, 2, {}, {{1, "a", 0}, {2, "b", 0}}}};
    const std::vector<Hazard> hazards = readBackHazards(b);
    ASSERT_EQ(hazards.size(), 1u);
    EXPECT_EQ(hazards[0].topic, 1);
    EXPECT_EQ(hazards[0].question, -1);
    EXPECT_EQ(hazards[0].what, "название темы будет прочитано как «Тест»");
    // With any other Cyrillic text in the file it reads as Windows-1251, and back the same.
    b.questions[0].vopros = "Вопрос";
    EXPECT_TRUE(readBackHazards(b).empty());
}

// What will not read back is named, once per item, with the reason.
TEST(ExchangeFormat, HazardsNameEveryItemThatWillNotReadBack) {
    auto answers = [](int n) {
        std::vector<AnswerLine> out;
        for (int a = 1; a <= n; ++a) out.push_back({a, "ответ", 0});
        return out;
    };
    Bank b;
    b.topics = {{1, "Хорошая", 0},    {2, "1 класс", 0}, {100, "Сотая", 0},
                {3, "Deutsch: ü", 0}, {4, "Ок", 0},      {4, "Повтор", 0}};
    b.questions = {
        {1, 1, "хороший", 1, 2, "pic.jpg", answers(2)},
        {1, 2, "две\r\nстроки", 1, 2, {}, answers(2)},
        {1, 3, "рисунок", 1, 2, "1.jpg", answers(2)},
        {1, 1000, "номер", 1, 2, {}, answers(2)},
        {1, 5, "без ответов", 1, 0, {}, {}},
        {1, 6, "пропуск", 1, 2, {}, {{1, "a", 0}, {3, "c", 0}}},
        {1, 7, "семь", 1, 7, {}, answers(7)},
        {1, 8, QString(5000, u'д'), 1, 2, {}, answers(2)},
        {1, 9, "число", 1, 5, {}, answers(2)},
        {4, 1, "ответ", 1, 2, {}, {{1, "a\nb", 0}, {2, "b", 0}}},
        {9, 1, "сирота", 1, 2, {}, answers(2)},
    };
    std::vector<std::pair<qint64, qint64>> named;
    for (const Hazard& h : readBackHazards(b)) named.emplace_back(h.topic, h.question);
    const std::vector<std::pair<qint64, qint64>> expected = {
        {1, 2}, {1, 3},  {1, 1000}, {1, 5},  {1, 6}, {1, 7},  {1, 8},
        {1, 9}, {2, -1}, {100, -1}, {3, -1}, {4, 1}, {4, -1}, {9, 1}};
    EXPECT_EQ(named, expected);
}

}  // namespace
