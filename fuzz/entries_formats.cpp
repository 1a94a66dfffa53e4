// The fuzz targets over the readers of other programs' question files (formats/): Moodle XML,
// GIFT, Aiken and CSV. Each reads the bytes, then checks what every reader promises for any
// input: a refused file holds nothing; every question is one the bank can hold; every picture
// is used and usable; problems come in line order; and what was read goes through the Moodle
// XML writer and back (and through GIFT for GIFT input) into the same questions.
#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

#include "formats/aiken.h"
#include "formats/csv.h"
#include "formats/exchange.h"
#include "formats/formats.h"
#include "formats/gift.h"
#include "formats/moodlexml.h"
#include "formats/pictures.h"
#include "formats/question.h"
#include "fuzz/corpus.h"
#include "fuzz/entries.h"

namespace znfuzz {

namespace {

using namespace zn::formats;

void require(bool ok, const char* what) {
    if (!ok) throw Finding(std::string("a question file reader: ") + what);
}

void checkPromises(const ReadResult& r, const Limits& limits) {
    if (r.refused) {
        require(r.questions.empty() && r.pictures.empty(), "a refused file holds questions");
        require(r.problems.size() == 1, "a refused file has not exactly one problem");
        return;
    }
    std::vector<bool> used(r.pictures.size(), false);
    for (const Question& q : r.questions) {
        const int n = int(q.answers.size());
        require(n >= limits.minAnswers && n <= limits.maxAnswers, "answer count out of range");
        require(q.correct >= 1 && q.correct <= n, "correct answer out of range");
        require(!q.text.trimmed().isEmpty(), "empty question text");
        for (const QString& a : q.answers) require(!a.trimmed().isEmpty(), "empty answer");
        require(q.topic.size() <= limits.topicChars, "topic too long");
        require(!q.topic.contains(u'\n') && !q.topic.contains(u'\r'), "topic over two lines");
        if (q.picture >= 0) {
            require(size_t(q.picture) < r.pictures.size(), "picture index out of range");
            used[size_t(q.picture)] = true;
        }
    }
    for (size_t i = 0; i < r.pictures.size(); ++i) {
        const Picture& p = r.pictures[i];
        require(used[i], "a picture no question uses");
        if (p.embedded)
            require(pictureType(p.bytes) != PictureType::Unknown, "an embedded non-picture");
        else
            require(p.name.size() <= limits.pictureChars, "a picture name too long");
    }
    for (size_t i = 1; i < r.problems.size(); ++i)
        require(r.problems[i - 1].where.line <= r.problems[i].where.line, "problems out of order");
}

// Texts compared as the formats promise to carry them: blanks and line breaks at the ends
// aside.
bool sameText(const QString& a, const QString& b) {
    return a.trimmed() == b.trimmed();
}

// `r`'s questions written by `write` and read back by `read` are the same questions.
template <typename Write, typename Read>
void checkRoundTrip(const ReadResult& r, Write write, Read read, bool pictures) {
    if (r.refused || r.questions.empty()) return;
    const WriteResult w = write(r);
    // What the writer could not carry is reported; such a file is not compared.
    if (!w.problems.empty()) return;
    const ReadResult back = read(w.bytes);
    require(!back.refused, "a written file is refused");
    require(back.problems.empty(), "a written file reads with problems");
    require(back.questions.size() == r.questions.size(), "a written file loses questions");
    for (size_t i = 0; i < r.questions.size(); ++i) {
        const Question &a = r.questions[i], &b = back.questions[i];
        require(a.topic.trimmed() == b.topic, "a topic changes on the way back");
        require(sameText(a.text, b.text), "a question text changes on the way back");
        require(a.answers.size() == b.answers.size(), "answers change on the way back");
        for (size_t k = 0; k < a.answers.size(); ++k)
            require(sameText(a.answers[k], b.answers[k]), "an answer changes on the way back");
        require(a.correct == b.correct, "the correct answer changes on the way back");
        if (!pictures) continue;
        require((a.picture >= 0) == (b.picture >= 0), "a picture is lost on the way back");
        if (a.picture >= 0)
            require(r.pictures[size_t(a.picture)].bytes == back.pictures[size_t(b.picture)].bytes,
                    "a picture changes on the way back");
    }
}

// The whole check of one reader's result.
void check(const ReadResult& r, bool giftToo) {
    checkPromises(r, Limits::standard());
    checkRoundTrip(
        r, [](const QuestionSet& s) { return writeMoodleXml(s); },
        [](const QByteArray& b) { return readMoodleXml(b); }, true);
    if (giftToo)
        checkRoundTrip(
            r, [](const QuestionSet& s) { return writeGift(s); },
            [](const QByteArray& b) { return readGift(b); }, false);
}

// The bytes without a copy: the readers take them as they are.
QByteArray view(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

}  // namespace

void readMoodleXmlFile(const uint8_t* data, size_t size) {
    check(readMoodleXml(view(data, size)), false);
}

void readGiftFile(const uint8_t* data, size_t size) {
    check(readGift(view(data, size)), true);
}

void readAikenFile(const uint8_t* data, size_t size) {
    check(readAiken(view(data, size)), false);
}

void readCsvFile(const uint8_t* data, size_t size) {
    check(readCsv(view(data, size)), false);
}

// ---------------------------------------------------------------------------------------------
// Seeds

namespace {

Input seed(const std::string& name, const QByteArray& bytes) {
    return {name, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

// The sample bank's questions as the neutral model (through its exchange file), the first one
// with a small embedded PNG picture.
QuestionSet sampleQuestions(const QByteArray& exchangeFile) {
    ReadResult r = fromExchange(zn::exchange::parse(exchangeFile));
    QuestionSet set;
    set.questions = std::move(r.questions);
    for (Question& q : set.questions) q.picture = -1;
    // One pixel.
    const QByteArray png = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5Erk"
        "Jggg==");
    if (!set.questions.empty()) {
        set.pictures.push_back({QStringLiteral("рисунок 1.png"), png, true});
        set.questions.front().picture = 0;
    }
    return set;
}

}  // namespace

std::vector<Input> formatsSeedsFor(std::string_view target, const QByteArray& exchangeFile) {
    const QuestionSet sample = sampleQuestions(exchangeFile);
    if (target == "moodlexml")
        return {
            seed("sample.xml", writeMoodleXml(sample).bytes),
            seed("kinds.xml",
                 "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n"
                 "<question type=\"category\"><category><text>$course$/Физика/Оптика</text>"
                 "</category></question>\n"
                 "<question type=\"truefalse\"><name><text>ИСТИНА</text></name>"
                 "<questiontext format=\"plain_text\"><text>Свет — волна?</text></questiontext>"
                 "<answer fraction=\"100\"><text>true</text></answer>"
                 "<answer fraction=\"0\"><text>false</text></answer></question>\n"
                 "<question type=\"multichoice\"><questiontext format=\"markdown\">"
                 "<text>**Жирный** и _курсив_\n\n* пункт</text></questiontext><single>1</single>"
                 "<answer fraction=\"100\" format=\"html\"><text><![CDATA[<p>да &amp; "
                 "нет</p>]]></text></answer><answer fraction=\"0\"><text>нет</text></answer>"
                 "<answer fraction=\"0\"><text> </text></answer></question>\n"
                 "<question type=\"multichoice\"><questiontext format=\"html\"><text>"
                 "<![CDATA[<p>Рисунок <img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\">"
                 "</p>]]></text></questiontext><answer fraction=\"100\"><text>а</text></answer>"
                 "<answer fraction=\"0\"><text>б</text></answer></question>\n"
                 "<question type=\"multichoice\"><questiontext><text>Старый</text>"
                 "</questiontext><image>x.png</image><image_base64>iVBORw0KGgo=</image_base64>"
                 "<answer fraction=\"100\"><text>а</text></answer>"
                 "<answer fraction=\"50\"><text>б</text></answer></question>\n"
                 "<question type=\"essay\"><questiontext><text>Эссе</text></questiontext>"
                 "</question>\n</quiz>\n"),
        };
    if (target == "gift")
        return {
            seed("sample.gift", writeGift(sample).bytes),
            seed("kinds.gift",
                 "// комментарий\n$CATEGORY: $course$/Физика/Оптика\n\n"
                 "::Истина::Свет — волна?{T#верно}\n\n"
                 "::Пропуск::[markdown]Земля {=круглая ~плоская#нет} планета.\n\n"
                 "Выберите \\{скобки\\} \\= и \\~ знаки\\n{\n"
                 "  =%100%правильно#хорошо\n  ~%50%наполовину\n  ~[html]<b>нет</b>\n"
                 "####общий отзыв\n}\n\n"
                 "Число {#3:1}\n\nСоответствие {=а -> 1 =б -> 2}\n\nЭссе {}\n"),
        };
    if (target == "aiken")
        return {
            seed("sample.aiken", writeAiken(sample).bytes),
            seed("kinds.aiken",
                 "Сколько будет 2 + 2?\nA. 3\nB) 4\nC.5\nANSWER: B\n\n"
                 "Кириллица\nА. один\nБ. два\nANSWER: Б\n"
                 "Без ответа\nA. да\nB. нет\n\n"
                 "Строчная\nA. да\nB. нет\nANSWER: b\n"),
        };
    if (target == "csv") {
        const QByteArray semicolons =
            "Тема;Вопрос;Ответ 1;Ответ 2;Ответ 3;Верный;Рисунок\r\n"
            "Оптика;Свет — это;волна;частица;\"и то, и другое; \"\"оба\"\"\";3;свет.jpg\r\n"
            "Оптика;\"Вопрос\r\nв две строки\";да;нет;1\r\n"
            "\r\n"
            "Механика;Без номера;да;нет;\r\n"
            "Механика;Пропуск;да;;нет;2\r\n"
            "Механика;\"Не закрыта;да;нет;1\r\n";
        return {
            seed("semicolons.csv", semicolons),
            seed("tabs.csv", "\xEF\xBB\xBFТема\tВопрос\tа\tб\t2\nТема\t\"В\tтабе\"\tа\tб\t1\n"),
            seed("commas-1251.csv",
                 zn::exchange::toWindows1251(
                     QStringLiteral("Тема,Вопрос,да,нет,1\nТема,\"Один, два\",да,нет,2,р.png\n"))),
        };
    }
    return {};
}

}  // namespace znfuzz
