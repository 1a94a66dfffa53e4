// Aiken: reading labelled answers and the ANSWER line, and writing them.
#include "formats/aiken.h"

#include <QHash>
#include <QRegularExpression>

#include "formats/exchange.h"
#include "formats/text.h"

namespace zn::formats {

namespace {

// Cyrillic labels in the order lettered lists use them (without Ё, Й, Ъ, Ы, Ь).
const QString kCyrillicLabels = QStringLiteral("АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЩЭЮЯ");

// The Latin letter a Cyrillic capital looks like ("А" → "A"), or the letter itself.
QChar lookalike(QChar c) {
    static const QHash<QChar, QChar> latin = {
        {u'А', u'A'}, {u'В', u'B'}, {u'С', u'C'}, {u'Е', u'E'}, {u'Н', u'H'}, {u'К', u'K'},
        {u'М', u'M'}, {u'О', u'O'}, {u'Р', u'P'}, {u'Т', u'T'}, {u'Х', u'X'},
    };
    return latin.value(c, c);
}

// Whether `c` labels answer `index` (from 0).
bool labels(QChar c, size_t index) {
    const QChar latin(char16_t(u'A' + index));
    if (index < 26 && (c == latin || lookalike(c) == latin)) return true;
    return index < size_t(kCyrillicLabels.size()) && c == kCyrillicLabels[qsizetype(index)];
}

// The text after "ANSWER:" when `line` is an answer line.
bool answerLine(const QString& line, QString& letter) {
    static const QRegularExpression re(QStringLiteral("^ANSWER\\s*:(.*)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(line);
    if (!m.hasMatch()) return false;
    letter = m.captured(1).trimmed();
    return true;
}

struct Block {
    QStringList text;
    std::vector<QString> answers;
    QString labels;  // the label of each answer
    int line = 0;    // the first line, from 1
    bool empty() const { return text.isEmpty() && answers.empty(); }
};

class Reader {
  public:
    explicit Reader(ReadResult& out) : out_(out) {}

    void run(const QStringList& lines) {
        Block b;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString t = lines[i].trimmed();
            const int lineNo = int(i) + 1;
            QString letter;
            if (t.isEmpty()) {
                // A blank line ends a question that has no answers yet; between answers it is
                // allowed.
                if (!b.text.isEmpty() && b.answers.empty()) unfinished(b);
                continue;
            }
            if (answerLine(t, letter)) {
                finish(b, letter, lineNo);
                continue;
            }
            if (!b.text.isEmpty() && t.size() >= 2 && (t[1] == u'.' || t[1] == u')') &&
                labels(t[0], b.answers.size())) {
                b.answers.push_back(t.mid(2).trimmed());
                b.labels += t[0];
                continue;
            }
            // A line of text after answers begins the next question: this one has no ANSWER.
            if (!b.answers.empty()) unfinished(b);
            if (b.empty()) b.line = lineNo;
            b.text << t;
        }
        if (!b.empty()) unfinished(b);
    }

  private:
    void problem(const Block& b, const QString& what) {
        out_.problems.push_back({{b.line, QString()}, what});
    }

    void unfinished(Block& b) {
        problem(b, b.answers.empty() ? QStringLiteral("у вопроса нет вариантов ответа")
                                     : QStringLiteral("у вопроса нет строки «ANSWER:»"));
        b = Block();
    }

    void finish(Block& b, const QString& letter, int lineNo) {
        if (b.empty()) {
            problem({{}, {}, {}, lineNo}, QStringLiteral("строка «ANSWER:» без вопроса"));
            return;
        }
        const QString range =
            b.labels.isEmpty() ? QString()
                               : QStringLiteral(" (%1–%2)").arg(b.labels.front(), b.labels.back());
        QString why;
        int correct = 0;
        if (b.answers.empty()) {
            why = QStringLiteral("у вопроса нет вариантов ответа");
        } else if (letter.isEmpty()) {
            why = QStringLiteral("после «ANSWER:» нет буквы ответа");
        } else if (letter.size() > 1) {
            why = QStringLiteral(
                      "после «ANSWER:» не одна буква, а «%1»: верный ответ может быть "
                      "только один")
                      .arg(letter);
        } else if (letter[0].isLower()) {
            why = QStringLiteral("буква ответа «%1» строчная, а ответы помечены заглавными%2")
                      .arg(letter, range);
        } else {
            for (qsizetype k = 0; k < b.labels.size() && correct == 0; ++k)
                if (b.labels[k] == letter[0] || lookalike(b.labels[k]) == lookalike(letter[0]))
                    correct = int(k) + 1;
            if (correct == 0)
                why = QStringLiteral("буквы «%1» нет среди ответов%2").arg(letter, range);
        }
        if (!why.isEmpty()) {
            problem(b, why);
        } else {
            Question q;
            q.text = b.text.join(QStringLiteral("\r\n"));
            q.answers = std::move(b.answers);
            q.correct = correct;
            q.where = {b.line, QString()};
            out_.questions.push_back(std::move(q));
        }
        b = Block();
    }

    ReadResult& out_;
};

QString oneLine(const QString& text, bool& changed) {
    QString out = bankLineBreaks(text);
    if (out.contains(u'\n')) {
        out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        changed = true;
    }
    return out.trimmed();
}

}  // namespace

ReadResult readAiken(const QByteArray& bytes, const Limits& limits) {
    ReadResult out;
    Reader(out).run(splitAllLines(exchange::decode(bytes)));
    checkQuestions(out, limits);
    return out;
}

WriteResult writeAiken(const QuestionSet& set) {
    WriteResult result;
    QString out;
    bool topics = false;
    for (const Question& q : set.questions) topics = topics || !q.topic.isEmpty();
    if (topics)
        result.problems.push_back({{},
                                   QStringLiteral("в Aiken нет тем: вопросы всех тем записаны "
                                                  "подряд")});
    for (const Question& q : set.questions) {
        if (q.answers.size() > 26) {
            result.problems.push_back(
                {q.where, QStringLiteral("вопрос не записан: у него больше 26 ответов")});
            continue;
        }
        if (q.picture >= 0 && size_t(q.picture) < set.pictures.size())
            result.problems.push_back(
                {q.where, QStringLiteral("рисунок «%1» не перенесён: в Aiken рисунков нет")
                              .arg(set.pictures[size_t(q.picture)].name)});
        bool changed = false;
        out += oneLine(q.text, changed) + u'\n';
        for (size_t a = 0; a < q.answers.size(); ++a)
            out += QChar(char16_t(u'A' + a)) + QStringLiteral(". ") +
                   oneLine(q.answers[a], changed) + u'\n';
        out += QStringLiteral("ANSWER: ") +
               (q.correct >= 1 && q.correct <= 26 ? QString(QChar(char16_t(u'A' + (q.correct - 1))))
                                                  : QString()) +
               QStringLiteral("\n\n");
        if (changed)
            result.problems.push_back(
                {q.where, QStringLiteral("переводы строк в тексте записаны пробелами: в Aiken "
                                         "текст занимает одну строку")});
    }
    result.bytes = out.toUtf8();
    return result;
}

}  // namespace zn::formats
