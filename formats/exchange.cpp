// The exchange file: encodings, reading with the line of every fault, writing, and what will
// not read back.
#include "formats/exchange.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <optional>

#include "store/bank/testbank.h"
#include "store/convert.h"

namespace zn::exchange {

namespace {

// Windows-1251 bytes 0x80..0xBF (0xC0..0xFF are U+0410..U+044F). 0x98 has no character in the
// code page; it is kept as U+0098, as Windows itself reads it.
constexpr char16_t kHigh1251[64] = {
    u'\u0402', u'\u0403', u'\u201A', u'\u0453', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u20AC', u'\u2030', u'\u0409', u'\u2039', u'\u040A', u'\u040C', u'\u040B', u'\u040F',
    u'\u0452', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u0098', u'\u2122', u'\u0459', u'\u203A', u'\u045A', u'\u045C', u'\u045B', u'\u045F',
    u'\u00A0', u'\u040E', u'\u045E', u'\u0408', u'\u00A4', u'\u0490', u'\u00A6', u'\u00A7',
    u'\u0401', u'\u00A9', u'\u0404', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u0407',
    u'\u00B0', u'\u00B1', u'\u0406', u'\u0456', u'\u0491', u'\u00B5', u'\u00B6', u'\u00B7',
    u'\u0451', u'\u2116', u'\u0454', u'\u00BB', u'\u0458', u'\u0405', u'\u0455', u'\u0457',
};

char16_t from1251(uint8_t b) {
    if (b < 0x80) return char16_t(b);
    if (b >= 0xC0) return char16_t(0x0410 + (b - 0xC0));
    return kHigh1251[b - 0x80];
}

// The Windows-1251 byte of `c`, or nothing.
std::optional<uint8_t> to1251(char16_t c) {
    if (c < 0x80) return uint8_t(c);
    if (c >= 0x0410 && c <= 0x044F) return uint8_t(0xC0 + (c - 0x0410));
    static const QHash<char16_t, uint8_t> high = [] {
        QHash<char16_t, uint8_t> h;
        for (int i = 0; i < 64; ++i) h.insert(kHigh1251[i], uint8_t(0x80 + i));
        return h;
    }();
    auto it = high.constFind(c);
    if (it == high.constEnd()) return std::nullopt;
    return *it;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

const QByteArray kBom("\xEF\xBB\xBF", 3);
const QByteArray kBom16Le("\xFF\xFE", 2);
const QByteArray kBom16Be("\xFE\xFF", 2);

IntegerRule integerRule(const char* table, const char* column) {
    const bank::Column* c = bank::findColumn(table, column);
    IntegerRule r;
    r.label = c && c->label ? QString::fromUtf16(c->label) : QString::fromLatin1(column);
    if (!c || !zn::integerRange(c->type, r.min, r.max)) r.min = INT32_MIN, r.max = INT32_MAX;
    return r;
}

int textWidth(const char* table, const char* column) {
    const bank::Column* c = bank::findColumn(table, column);
    return c ? c->maxChars : 0;
}

// Reading one file: the lines, the rules, and what was found.
class Reader {
  public:
    Reader(const QStringList& lines, const FieldRules& rules, ParseResult& out)
        : lines_(lines), rules_(rules), out_(out) {}

    void run() {
        const int n = int(lines_.size());
        int j = 0;
        while (j < n) {
            const QString& s = lines_[j];
            if (s.size() < 3 || s[2] != u'.') {
                plainText(j);  // passed over, but a file holding NUL is refused all the same
                ++j;
            } else if (s.size() >= 4 && isDigit(s[3])) {
                j = question(j);
            } else {
                topic(j);
                ++j;
            }
        }
    }

  private:
    // Line j, or an empty text past the end of the file.
    const QString& at(int j) const {
        static const QString empty;
        return j < int(lines_.size()) ? lines_[j] : empty;
    }

    // A fault at line index j (from 0). Returns false so callers can `return fault(...)`.
    bool fault(int j, const QString& message) {
        out_.faults.push_back({j + 1, message});
        return false;
    }

    // The number of `text`, found at line index j.
    bool number(int j, const QString& text, qint64& value) {
        const std::optional<int> v = zn::tryStrToInt(text);
        if (!v) return fault(j, zn::invalidIntegerMessage(text));
        value = *v;
        return true;
    }

    bool inRange(int j, qint64 value, const IntegerRule& rule) {
        if (value >= rule.min && value <= rule.max) return true;
        return fault(j, zn::rangeErrorMessage(double(value), rule.label, double(rule.min),
                                              double(rule.max)));
    }

    bool fits(int j, const QString& text, int width) {
        if (width <= 0 || text.size() <= width) return true;
        return fault(j, tooLongMessage());
    }

    // A control character in line index j is a fault of its own.
    bool plainText(int j) {
        const std::optional<char16_t> c = controlCharacter(at(j), false);
        return !c || fault(j, controlCharacterMessage(*c));
    }

    void topic(int j) {
        const QString& s = lines_[j];
        if (!plainText(j)) return;
        TopicLine t;
        t.line = j + 1;
        t.tema = s.mid(3);
        if (!number(j, s.left(2), t.numtema) || !inRange(j, t.numtema, rules_.numtema) ||
            !fits(j, t.tema, rules_.temaChars))
            return;
        out_.bank.topics.push_back(std::move(t));
    }

    // Reads the question block that starts at line index j; returns the index of the line that
    // ends it (its empty line, or the end of the file).
    int question(int j) {
        const QString& s = lines_[j];
        const bool threeDigits = s.size() >= 6 && isDigit(s[5]);
        const QString topicText = s.left(2);
        const QString numberText = s.mid(3, threeDigits ? 3 : 2);

        // The block: answer-shaped lines set the count, the last other line is the picture.
        int end = j + 2;
        while (!at(end).isEmpty()) ++end;
        for (int k = j; k < end; ++k)
            if (!plainText(k)) return end;
        qint64 count = 2;
        int countLine = -1, imgLine = -1;
        QString img;
        bool scanFailed = false;
        for (end = j + 2; !at(end).isEmpty(); ++end) {
            const QString& b = at(end);
            if (b.size() >= 2 && b[1] == u'.') {
                if (!scanFailed && !number(end, b.left(1), count)) scanFailed = true;
                countLine = end;
            } else {
                img = b;
                imgLine = end;
            }
        }
        if (scanFailed) return end;

        QuestionBlock q;
        q.line = j + 1;
        q.vopros = s.mid(threeDigits ? 7 : 6);
        q.kolotvet = count;
        q.img = img;
        if (!number(j, topicText, q.idtest) || !number(j, numberText, q.idvopr) ||
            !number(j + 1, at(j + 1), q.otvet))
            return end;
        if (!inRange(j, q.idtest, rules_.idtest) || !inRange(j, q.idvopr, rules_.idvopr) ||
            !inRange(j + 1, q.otvet, rules_.otvet) ||
            !inRange(countLine >= 0 ? countLine : j, q.kolotvet, rules_.kolotvet) ||
            (imgLine >= 0 && !fits(imgLine, img, rules_.imgChars)))
            return end;
        if (imgLine >= 0 && !isPlainFileName(img)) {
            fault(imgLine, pictureNameMessage(img));
            return end;
        }
        if (count > kMaxAnswers) {
            fault(countLine, tooManyAnswersMessage(count));
            return end;
        }
        // The answers are the lines right after the correct answer's, by position.
        for (int a = 1; a <= count; ++a) {
            const int k = j + 1 + a;
            const QString& line = at(k);
            AnswerLine answer;
            answer.line = k + 1;
            answer.otvet = line.mid(2);
            if (!number(k, line.left(1), answer.idotv) || !inRange(k, answer.idotv, rules_.idotv))
                return end;
            q.answers.push_back(std::move(answer));
        }
        out_.bank.questions.push_back(std::move(q));
        return end;
    }

    const QStringList& lines_;
    const FieldRules& rules_;
    ParseResult& out_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Encodings

Encoding detectEncoding(const QByteArray& bytes) {
    if (bytes.startsWith(kBom)) return Encoding::Utf8WithBom;
    if (bytes.startsWith(kBom16Le)) return Encoding::Utf16Le;
    if (bytes.startsWith(kBom16Be)) return Encoding::Utf16Be;
    bool ascii = true;
    for (char c : bytes)
        if (uint8_t(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return Encoding::Windows1251;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(utf8(bytes));
    return utf8.hasError() ? Encoding::Windows1251 : Encoding::Utf8;
}

QString decode(const QByteArray& bytes, Encoding* found) {
    const Encoding e = detectEncoding(bytes);
    if (found) *found = e;
    if (e == Encoding::Utf8WithBom)
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (e == Encoding::Utf8) return QString::fromUtf8(bytes);
    if (e == Encoding::Utf16Le || e == Encoding::Utf16Be) {
        // An odd last byte (a cut file) becomes U+FFFD, as any undecodable unit does.
        QStringDecoder utf16(
            e == Encoding::Utf16Le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
            QStringDecoder::Flag::Stateless);
        return utf16(bytes.mid(2));
    }
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) out[i] = QChar(from1251(uint8_t(bytes[i])));
    return text;
}

QByteArray toWindows1251(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
        const std::optional<uint8_t> b = to1251(c.unicode());
        out.append(b ? char(*b) : '?');
    }
    return out;
}

bool fitsWindows1251(const QString& text) {
    for (QChar c : text)
        if (!to1251(c.unicode())) return false;
    return true;
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    auto take = [&](qsizetype end) {
        qsizetype len = std::min<qsizetype>(end - start, kMaxLineLength);
        // A character is not cut in half.
        if (len == kMaxLineLength && len < end - start && text[start + len - 1].isHighSurrogate())
            --len;
        lines.append(text.mid(start, len));
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        take(i);
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) take(n);
    return lines;
}

// ---------------------------------------------------------------------------------------------
// What a text may hold

std::optional<char16_t> controlCharacter(const QString& text, bool lineBreaks) {
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        if (!control || c == u'\t' || (lineBreaks && (c == u'\r' || c == u'\n'))) continue;
        return c;
    }
    return std::nullopt;
}

bool isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == u"." || name == u"..") return false;
    if (name.contains(u'/') || name.contains(u'\\') || name.contains(u':')) return false;
    return !controlCharacter(name, false) && !name.contains(u'\t');
}

QString controlCharacterMessage(char16_t c) {
    return QStringLiteral(
               "В строке есть управляющий символ с кодом %1; такой файл не импортируется")
        .arg(int(c));
}

QString pictureNameMessage(const QString& name) {
    return QStringLiteral(
               "Имя рисунка «%1» должно быть именем файла из папки данных, без папок и диска")
        .arg(name);
}

// ---------------------------------------------------------------------------------------------
// Reading

FieldRules FieldRules::standard() {
    FieldRules r;
    r.numtema = integerRule("Tema", "numtema");
    r.idtest = integerRule("Voprosi", "idtest");
    r.idvopr = integerRule("Voprosi", "idvopr");
    r.otvet = integerRule("Voprosi", "otvet");
    r.kolotvet = integerRule("Voprosi", "kolotvet");
    r.idotv = integerRule("Otveti", "idotv");
    r.temaChars = textWidth("Tema", "tema");
    r.imgChars = textWidth("Voprosi", "img");
    return r;
}

QString tooLongMessage() {
    return QStringLiteral(
        "The field is too small to accept the amount of data you attempted to add. Try inserting "
        "or pasting less data.");
}

QString tooManyAnswersMessage(qint64 count) {
    return QStringLiteral("У вопроса %1 ответов, а их может быть не более %2")
        .arg(count)
        .arg(kMaxAnswers);
}

ParseResult parseLines(const QStringList& lines, const FieldRules& rules) {
    ParseResult out;
    out.lineCount = int(lines.size());
    Reader(lines, rules, out).run();
    return out;
}

ParseResult parse(const QByteArray& bytes, const FieldRules& rules) {
    Encoding e = Encoding::Windows1251;
    const QStringList lines = splitLines(decode(bytes, &e));
    ParseResult out = parseLines(lines, rules);
    out.encoding = e;
    return out;
}

// ---------------------------------------------------------------------------------------------
// Writing

QString paddedNumber(qint64 value) {
    return value < 10 ? QStringLiteral("0") + QString::number(value) : QString::number(value);
}

namespace {

// Where a line of the written file came from: the topic it was written under (an index into
// bank.topics), the question (an index into bank.questions, -1 for the topic's own lines) and
// whether it is the item's first line (the topic line, the question line).
struct LineOrigin {
    int topic = -1;
    int question = -1;
    bool head = false;
};

// formatLines, and where each line came from.
QStringList formatWithOrigins(const Bank& bank, std::vector<LineOrigin>* origins) {
    QHash<qint64, std::vector<int>> byTopic;  // question indexes per topic number, in bank order
    for (size_t i = 0; i < bank.questions.size(); ++i)
        byTopic[bank.questions[i].idtest].push_back(int(i));
    QStringList out;
    auto put = [&](const QString& line, int topic, int question, bool head) {
        out << line;
        if (origins) origins->push_back({topic, question, head});
    };
    for (size_t t = 0; t < bank.topics.size(); ++t) {
        const TopicLine& topic = bank.topics[t];
        const QString prefix = paddedNumber(topic.numtema) + u'.';
        put(prefix + topic.tema, int(t), -1, true);
        put(QString(), int(t), -1, false);
        auto it = byTopic.constFind(topic.numtema);
        if (it == byTopic.constEnd()) continue;
        for (int k : *it) {
            const QuestionBlock& q = bank.questions[size_t(k)];
            put(prefix + paddedNumber(q.idvopr) + u'.' + q.vopros, int(t), k, true);
            put(QString::number(q.otvet), int(t), k, false);
            for (const AnswerLine& a : q.answers)
                put(QString::number(a.idotv) + u'.' + a.otvet, int(t), k, false);
            if (!q.img.isEmpty()) put(q.img, int(t), k, false);
            put(QString(), int(t), k, false);
        }
    }
    return out;
}

QByteArray encodeLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines) {
        out += toWindows1251(line);
        out += "\r\n";
    }
    return out;
}

}  // namespace

QStringList formatLines(const Bank& bank) {
    return formatWithOrigins(bank, nullptr);
}

QByteArray format(const Bank& bank) {
    return encodeLines(formatLines(bank));
}

// ---------------------------------------------------------------------------------------------
// Reading back

namespace {

bool hasLineBreak(const QString& s) {
    return s.contains(u'\r') || s.contains(u'\n');
}

// Why `text`, written as a line of `prefix` characters before it, will not read back.
QString textHazard(const QString& text, qsizetype prefix, const QString& where) {
    if (hasLineBreak(text)) return QStringLiteral("в %1 есть перевод строки").arg(where);
    if (const auto c = controlCharacter(text, false))
        return QStringLiteral("в %1 есть управляющий символ с кодом %2").arg(where).arg(int(*c));
    if (!fitsWindows1251(text))
        return QStringLiteral(
                   "в %1 есть символы, которых нет в кодировке Windows-1251 (они "
                   "записаны как «?»)")
            .arg(where);
    if (prefix + text.size() > kMaxLineLength)
        return QStringLiteral("%1 длиннее %2 символов и будет обрезан")
            .arg(where)
            .arg(kMaxLineLength - prefix);
    return {};
}

QString questionHazard(const QuestionBlock& q) {
    if (q.idvopr < 0 || q.idvopr > 999)
        return QStringLiteral("номер вопроса не помещается в три цифры");
    const qsizetype prefix = paddedNumber(q.idtest).size() + 1 + paddedNumber(q.idvopr).size() + 1;
    if (QString why = textHazard(q.vopros, prefix, QStringLiteral("тексте вопроса"));
        !why.isEmpty())
        return why;
    const int n = int(q.answers.size());
    if (n == 0) return QStringLiteral("у вопроса нет ответов");
    if (n > kMaxAnswers)
        return QStringLiteral("у вопроса %1 ответов, а прочитать можно не более %2")
            .arg(n)
            .arg(kMaxAnswers);
    for (int a = 0; a < n; ++a) {
        const AnswerLine& answer = q.answers[size_t(a)];
        if (answer.idotv != a + 1)
            return QStringLiteral("ответы пронумерованы не подряд от 1 (ответ %1)")
                .arg(answer.idotv);
        const QString where = QStringLiteral("ответе %1").arg(answer.idotv);
        if (QString why = textHazard(answer.otvet, 2, where); !why.isEmpty()) return why;
    }
    if (q.kolotvet != n)
        return QStringLiteral("число ответов (%1) не совпадает с записанными ответами (%2)")
            .arg(q.kolotvet)
            .arg(n);
    if (!q.img.isEmpty()) {
        if (q.img.size() >= 2 && q.img[1] == u'.')
            return QStringLiteral("имя рисунка «%1» будет прочитано как ответ").arg(q.img);
        if (QString why = textHazard(q.img, 0, QStringLiteral("имени рисунка")); !why.isEmpty())
            return why;
        if (!isPlainFileName(q.img))
            return QStringLiteral("имя рисунка «%1» — не просто имя файла").arg(q.img);
    }
    return {};
}

// A text for a message: at most 40 characters, one line.
QString shown(QString text) {
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text.size() > 40 ? text.left(39) + u'…' : text;
}

// What reading gives instead of question `q`: empty when it is the same.
QString questionDifference(const QuestionBlock& q, const QuestionBlock& read) {
    if (read.idtest != q.idtest || read.idvopr != q.idvopr)
        return QStringLiteral("будет прочитан как вопрос %1 темы %2")
            .arg(read.idvopr)
            .arg(read.idtest);
    if (read.vopros != q.vopros)
        return QStringLiteral("текст вопроса будет прочитан как «%1»").arg(shown(read.vopros));
    if (read.otvet != q.otvet)
        return QStringLiteral("номер правильного ответа будет прочитан как %1").arg(read.otvet);
    if (read.kolotvet != q.kolotvet || read.answers.size() != q.answers.size())
        return QStringLiteral("будет прочитано ответов: %1").arg(read.answers.size());
    for (size_t a = 0; a < q.answers.size(); ++a)
        if (read.answers[a].idotv != q.answers[a].idotv ||
            read.answers[a].otvet != q.answers[a].otvet)
            return QStringLiteral("ответ %1 будет прочитан как %2 «%3»")
                .arg(q.answers[a].idotv)
                .arg(read.answers[a].idotv)
                .arg(shown(read.answers[a].otvet));
    if (read.img != q.img)
        return read.img.isEmpty()
                   ? QStringLiteral("имя рисунка не будет прочитано")
                   : QStringLiteral("имя рисунка будет прочитано как «%1»").arg(shown(read.img));
    return {};
}

}  // namespace

std::vector<Hazard> readBackHazards(const Bank& bank, const FieldRules& rules) {
    // The round trip: the file as the export writes it, read as the import reads it.
    std::vector<LineOrigin> written;
    const QStringList lines = formatWithOrigins(bank, &written);
    const ParseResult read = parse(encodeLines(lines), rules);
    // The lines the reading sees: a text with line breaks in it makes more than one.
    std::vector<LineOrigin> origin;
    origin.reserve(written.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& l = lines[i];
        LineOrigin o = written[size_t(i)];
        for (qsizetype c = 0; c < l.size(); ++c) {
            if (l[c] != u'\r' && l[c] != u'\n') continue;
            if (l[c] == u'\r' && c + 1 < l.size() && l[c + 1] == u'\n') ++c;
            origin.push_back(o);
            o.head = false;
        }
        origin.push_back(o);
    }
    auto originOf = [&](int line) {
        return line >= 1 && size_t(line) <= origin.size() ? origin[size_t(line - 1)] : LineOrigin{};
    };

    // The topic first written with each number: a later one writes the same questions again.
    QHash<qint64, int> firstTopic;
    for (size_t t = 0; t < bank.topics.size(); ++t)
        if (!firstTopic.contains(bank.topics[t].numtema))
            firstTopic.insert(bank.topics[t].numtema, int(t));
    auto repeatedTopic = [&](int t) {
        return firstTopic.value(bank.topics[size_t(t)].numtema) != t;
    };

    // What came back of each item (topics and questions by index): read whole, or what the
    // reading did instead (the first thing found).
    struct Outcome {
        bool read = false;
        std::optional<QString> wrong;
        bool whole() const { return read && !wrong; }
    };
    std::vector<Outcome> topics(bank.topics.size()), questions(bank.questions.size());
    // Blames the item line `line` was written for; `what` says what the reading did. The
    // questions a repeated topic writes again are that topic's doing.
    auto blame = [&](int line, const QString& what) {
        const LineOrigin o = originOf(line);
        if (o.topic < 0) return;
        Outcome& item = o.question >= 0 && !repeatedTopic(o.topic) ? questions[size_t(o.question)]
                                                                   : topics[size_t(o.topic)];
        if (!item.wrong) item.wrong = what;
    };
    for (const TopicLine& t : read.bank.topics) {
        const LineOrigin o = originOf(t.line);
        const TopicLine* want =
            o.question < 0 && o.head && o.topic >= 0 ? &bank.topics[size_t(o.topic)] : nullptr;
        if (want && want->numtema == t.numtema && want->tema == t.tema &&
            !topics[size_t(o.topic)].read)
            topics[size_t(o.topic)].read = true;
        else if (want && want->numtema == t.numtema)
            blame(t.line,
                  QStringLiteral("название темы будет прочитано как «%1»").arg(shown(t.tema)));
        else
            blame(t.line, QStringLiteral("часть текста будет прочитана как тема %1 «%2»")
                              .arg(t.numtema)
                              .arg(shown(t.tema)));
    }
    for (const QuestionBlock& q : read.bank.questions) {
        const LineOrigin o = originOf(q.line);
        if (o.question >= 0 && o.head && !repeatedTopic(o.topic)) {
            const QString differs = questionDifference(bank.questions[size_t(o.question)], q);
            if (differs.isEmpty())
                questions[size_t(o.question)].read = true;
            else
                blame(q.line, differs);
        } else if (o.question >= 0 && o.head) {
            blame(q.line, QStringLiteral("её вопросы будут прочитаны ещё раз"));
        } else {
            blame(q.line, QStringLiteral("часть текста будет прочитана как вопрос %1 темы %2")
                              .arg(q.idvopr)
                              .arg(q.idtest));
        }
    }
    for (const Fault& f : read.faults)
        blame(f.line, QStringLiteral("при чтении файла будет ошибка: «%1»").arg(f.message));

    // Every item, in file order, with the first reason that applies.
    struct Found {
        int line;  // the item's first line in the file; orphans after every line
        Hazard hazard;
    };
    std::vector<Found> found;
    std::vector<int> headLine(bank.questions.size(), -1), topicLine(bank.topics.size(), -1);
    for (size_t l = 0; l < origin.size(); ++l) {
        const LineOrigin& o = origin[l];
        if (!o.head) continue;
        if (o.question < 0)
            topicLine[size_t(o.topic)] = int(l);
        else if (headLine[size_t(o.question)] < 0 && !repeatedTopic(o.topic))
            headLine[size_t(o.question)] = int(l);
    }
    for (size_t t = 0; t < bank.topics.size(); ++t) {
        const TopicLine& topic = bank.topics[t];
        if (topics[t].whole()) continue;
        QString why;
        if (topic.numtema < 0 || topic.numtema > 99)
            why = QStringLiteral(
                "номер темы не помещается в две цифры: тема и её вопросы не "
                "будут прочитаны");
        else if (!topic.tema.isEmpty() && isDigit(topic.tema[0]))
            why = QStringLiteral("название темы начинается с цифры");
        else if (repeatedTopic(int(t)))
            why = QStringLiteral(
                "этот номер есть и у другой темы: её вопросы будут прочитаны "
                "ещё раз");
        else
            why = textHazard(topic.tema, paddedNumber(topic.numtema).size() + 1,
                             QStringLiteral("названии темы"));
        if (why.isEmpty())
            why = topics[t].wrong.value_or(QStringLiteral("тема не будет прочитана"));
        found.push_back({topicLine[t], {topic.numtema, -1, topic.tema, why}});
    }
    const int afterAll = int(origin.size());
    for (size_t k = 0; k < bank.questions.size(); ++k) {
        const QuestionBlock& q = bank.questions[k];
        if (headLine[k] < 0) {
            found.push_back(
                {afterAll,
                 {q.idtest, q.idvopr, QString(),
                  QStringLiteral("нет темы с таким номером: вопрос не будет записан")}});
            continue;
        }
        if (questions[k].whole()) continue;
        QString why = questionHazard(q);
        if (why.isEmpty())
            why = questions[k].wrong.value_or(QStringLiteral("вопрос не будет прочитан"));
        found.push_back({headLine[k], {q.idtest, q.idvopr, QString(), why}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.line < b.line; });
    std::vector<Hazard> out;
    out.reserve(found.size());
    for (Found& f : found) out.push_back(std::move(f.hazard));
    return out;
}

// ---------------------------------------------------------------------------------------------
// The bank's rows and the file's lines

TopicLine topicLine(const Topic& t) {
    return {t.numtema, t.tema, 0};
}

QuestionBlock questionBlock(const Question& q) {
    QuestionBlock b;
    b.idtest = q.idtest;
    b.idvopr = q.idvopr;
    b.vopros = q.vopros;
    b.otvet = q.otvet;
    b.kolotvet = q.kolotvet;
    b.img = q.img;
    return b;
}

AnswerLine answerLine(const Answer& a) {
    return {a.idotv, a.otvet, 0};
}

Topic topicValue(const TopicLine& t) {
    return Topic{0, t.numtema, t.tema, 0};
}

Question questionValue(const QuestionBlock& b) {
    Question q;
    q.idtest = b.idtest;
    q.idvopr = b.idvopr;
    q.vopros = b.vopros;
    q.otvet = b.otvet;
    q.kolotvet = b.kolotvet;
    q.img = b.img;
    return q;
}

Answer answerValue(const AnswerLine& a) {
    return Answer{0, 0, a.idotv, a.otvet};
}

}  // namespace zn::exchange
