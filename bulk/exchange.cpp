// The exchange file: encodings, reading with the line of every fault, writing, and what will
// not read back.
#include "bulk/exchange.h"

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

IntegerRule integerRule(const char* table, const char* column) {
    const bank::Column* c = bank::findColumn(table, column);
    IntegerRule r;
    r.label = c && c->label ? QString::fromUtf16(c->label) : QString::fromLatin1(column);
    if (!c || !store::integerRange(c->type, r.min, r.max)) r.min = INT32_MIN, r.max = INT32_MAX;
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
        const std::optional<int> v = store::tryStrToInt(text);
        if (!v) return fault(j, store::invalidIntegerMessage(text));
        value = *v;
        return true;
    }

    bool inRange(int j, qint64 value, const IntegerRule& rule) {
        if (value >= rule.min && value <= rule.max) return true;
        return fault(j, store::rangeErrorMessage(double(value), rule.label, double(rule.min),
                                                 double(rule.max)));
    }

    bool fits(int j, const QString& text, int width) {
        if (width <= 0 || text.size() <= width) return true;
        return fault(j, tooLongMessage());
    }

    void topic(int j) {
        const QString& s = lines_[j];
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
        qint64 count = 2;
        int countLine = -1, imgLine = -1;
        QString img;
        bool scanFailed = false;
        for (; !at(end).isEmpty(); ++end) {
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

// The questions of each topic number, in bank order.
QHash<qint64, std::vector<const QuestionBlock*>> questionsByTopic(const Bank& bank) {
    QHash<qint64, std::vector<const QuestionBlock*>> out;
    for (const QuestionBlock& q : bank.questions) out[q.idtest].push_back(&q);
    return out;
}

}  // namespace

QStringList formatLines(const Bank& bank) {
    const auto byTopic = questionsByTopic(bank);
    QStringList out;
    for (const TopicLine& t : bank.topics) {
        const QString prefix = paddedNumber(t.numtema) + u'.';
        out << prefix + t.tema << QString();
        auto it = byTopic.constFind(t.numtema);
        if (it == byTopic.constEnd()) continue;
        for (const QuestionBlock* q : *it) {
            out << prefix + paddedNumber(q->idvopr) + u'.' + q->vopros;
            out << QString::number(q->otvet);
            for (const AnswerLine& a : q->answers) out << QString::number(a.idotv) + u'.' + a.otvet;
            if (!q->img.isEmpty()) out << q->img;
            out << QString();
        }
    }
    return out;
}

QByteArray format(const Bank& bank) {
    QByteArray out;
    for (const QString& line : formatLines(bank)) {
        out += toWindows1251(line);
        out += "\r\n";
    }
    return out;
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
    }
    return {};
}

}  // namespace

std::vector<Hazard> readBackHazards(const Bank& bank) {
    std::vector<Hazard> out;
    const auto byTopic = questionsByTopic(bank);
    QSet<qint64> seen;
    for (const TopicLine& t : bank.topics) {
        const bool repeated = seen.contains(t.numtema);
        seen.insert(t.numtema);
        const bool lost = t.numtema < 0 || t.numtema > 99;
        QString why;
        if (lost)
            why = QStringLiteral(
                "номер темы не помещается в две цифры: тема и её вопросы не "
                "будут прочитаны");
        else if (!t.tema.isEmpty() && isDigit(t.tema[0]))
            why = QStringLiteral("название темы начинается с цифры");
        else if (repeated)
            why = QStringLiteral(
                "этот номер есть и у другой темы: её вопросы будут прочитаны "
                "ещё раз");
        else
            why = textHazard(t.tema, paddedNumber(t.numtema).size() + 1,
                             QStringLiteral("названии темы"));
        if (!why.isEmpty()) out.push_back({t.numtema, -1, t.tema, why});
        // The questions of a number are looked at once, under its first topic.
        auto it = byTopic.constFind(t.numtema);
        if (lost || repeated || it == byTopic.constEnd()) continue;
        for (const QuestionBlock* q : *it)
            if (QString qwhy = questionHazard(*q); !qwhy.isEmpty())
                out.push_back({q->idtest, q->idvopr, QString(), qwhy});
    }
    for (const QuestionBlock& q : bank.questions)
        if (!seen.contains(q.idtest))
            out.push_back({q.idtest, q.idvopr, QString(),
                           QStringLiteral("нет темы с таким номером: вопрос не будет записан")});
    return out;
}

}  // namespace zn::exchange
