// GIFT: reading question blocks and writing them.
#include "formats/gift.h"

#include <cmath>

#include "formats/exchange.h"
#include "formats/text.h"

namespace zn::formats {

namespace {

const QString kSpecial = QStringLiteral("~=#{}:\\");
const QString kCategory = QStringLiteral("$CATEGORY:");

// The index of the first `seq` in `s` at or after `from` that no backslash escapes, or -1.
qsizetype findUnescaped(const QString& s, const QString& seq, qsizetype from = 0) {
    for (qsizetype i = from; i < s.size(); ++i) {
        if (s[i] == u'\\') {
            ++i;
            continue;
        }
        if (QStringView(s).mid(i).startsWith(seq)) return i;
    }
    return -1;
}

QString unescape(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const QChar next = s[i + 1];
            if (next == u'n') {
                out += u'\n';
                ++i;
                continue;
            }
            if (kSpecial.contains(next)) {
                out += next;
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

QString escape(const QString& s) {
    QString out;
    out.reserve(s.size() + 8);
    const QString text = bankLineBreaks(s);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            out += QStringLiteral("\\n");
            ++i;
        } else if (kSpecial.contains(c)) {
            out += u'\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

// Takes a leading [html], [plain], [markdown] or [moodle] off `s` (blanks before it too).
bool takeFormat(QString& s, TextFormat& format) {
    static const std::pair<QString, TextFormat> markers[] = {
        {QStringLiteral("[html]"), TextFormat::Html},
        {QStringLiteral("[plain]"), TextFormat::Plain},
        {QStringLiteral("[markdown]"), TextFormat::Markdown},
        {QStringLiteral("[moodle]"), TextFormat::MoodleAuto},
    };
    const QString t = s.trimmed();
    for (const auto& [marker, f] : markers)
        if (t.startsWith(marker, Qt::CaseInsensitive)) {
            s = t.mid(marker.size());
            format = f;
            return true;
        }
    return false;
}

// A text as the reader takes it: blanks around it dropped, escapes read, the format applied.
PlainText readText(const QString& raw, TextFormat format) {
    return toPlainText(unescape(raw.trimmed()), format);
}

bool isFull(double weight) {
    return std::fabs(weight - 100.0) < 1e-6;
}

class Reader {
  public:
    explicit Reader(ReadResult& out) : out_(out) {}

    void run(const QStringList& lines) {
        QStringList block;
        int first = 0;
        for (qsizetype i = 0; i <= lines.size(); ++i) {
            const QString line = i < lines.size() ? lines[i] : QString();
            const QString t = line.trimmed();
            if (t.startsWith(QStringLiteral("//"))) continue;
            if (t.isEmpty()) {
                if (!block.isEmpty()) question(block, first);
                block.clear();
                continue;
            }
            if (block.isEmpty()) first = int(i) + 1;
            block << line;
        }
    }

  private:
    void problem(const Source& where, const QString& what) {
        out_.problems.push_back({where, what});
    }

    void question(QStringList lines, int firstLine) {
        if (lines.front().trimmed().startsWith(kCategory)) {
            topic_ = topicFromCategory(lines.front().trimmed().mid(kCategory.size()));
            lines.removeFirst();
            ++firstLine;
            if (lines.isEmpty()) return;
        }
        Source where{firstLine, QString()};
        QString raw = lines.join(u'\n').trimmed();
        if (raw.startsWith(QStringLiteral("::"))) {
            const qsizetype end = findUnescaped(raw, QStringLiteral("::"), 2);
            if (end < 0) return problem(where, QStringLiteral("имя вопроса не закрыто «::»"));
            where.name = unescape(raw.mid(2, end - 2)).simplified();
            raw = raw.mid(end + 2);
        }
        TextFormat format = TextFormat::MoodleAuto;
        takeFormat(raw, format);
        const qsizetype open = findUnescaped(raw, QStringLiteral("{"));
        if (open < 0)
            return problem(where, QStringLiteral("нет вариантов ответа в фигурных скобках: это "
                                                 "описание, а не вопрос"));
        const qsizetype close = findUnescaped(raw, QStringLiteral("}"), open + 1);
        if (close < 0) return problem(where, QStringLiteral("блок ответов не закрыт «}»"));
        const QString after = raw.mid(close + 1).trimmed();
        if (findUnescaped(after, QStringLiteral("{")) >= 0)
            return problem(where, QStringLiteral("в вопросе несколько блоков ответов"));
        const QString before = raw.left(open).trimmed();

        Question q;
        q.topic = topic_;
        q.where = where;
        const PlainText text =
            readText(after.isEmpty() ? before : before + QStringLiteral(" _____ ") + after, format);
        if (!text.images.isEmpty())
            return problem(where, QStringLiteral("рисунок «%1» не вложен в файл: в GIFT рисунков "
                                                 "нет")
                                      .arg(text.images.front().left(80)));
        q.text = text.text;
        if (const QString why = answers(raw.mid(open + 1, close - open - 1), format, q);
            !why.isEmpty())
            return problem(where, why);
        out_.questions.push_back(std::move(q));
    }

    // Fills q's answers from the answer block; returns why it cannot ("" when it can).
    QString answers(QString block, TextFormat format, Question& q) {
        if (const qsizetype general = findUnescaped(block, QStringLiteral("####")); general >= 0)
            block.truncate(general);
        block = block.trimmed();
        if (block.isEmpty()) return QStringLiteral("вопрос без вариантов ответа (эссе)");
        if (block.startsWith(u'#')) return QStringLiteral("вопрос с числовым ответом");
        const qsizetype hash = findUnescaped(block, QStringLiteral("#"));
        const QString head = (hash < 0 ? block : block.left(hash)).trimmed().toUpper();
        if (head == u"T" || head == u"TRUE" || head == u"F" || head == u"FALSE") {
            q.answers = {QStringLiteral("Верно"), QStringLiteral("Неверно")};
            q.correct = head.startsWith(u'T') ? 1 : 2;
            return {};
        }
        // Pairs "=a -> b" make a matching question, which has no "~" answers; among choices
        // an arrow is text.
        if (findUnescaped(block, QStringLiteral("->")) >= 0 &&
            findUnescaped(block, QStringLiteral("~")) < 0)
            return QStringLiteral("вопрос на соответствие");
        if (!block.startsWith(u'=') && !block.startsWith(u'~'))
            return QStringLiteral("ответы не разобраны: каждый должен начинаться с «=» или «~»");

        std::vector<qsizetype> marks;
        for (qsizetype i = 0; i < block.size(); ++i) {
            if (block[i] == u'\\') {
                ++i;
                continue;
            }
            if (block[i] == u'=' || block[i] == u'~') marks.push_back(i);
        }
        bool anyWrongMark = false;
        int full = 0;
        for (size_t m = 0; m < marks.size(); ++m) {
            const QChar mark = block[marks[m]];
            const qsizetype end = m + 1 < marks.size() ? marks[m + 1] : block.size();
            QString body = block.mid(marks[m] + 1, end - marks[m] - 1).trimmed();
            anyWrongMark = anyWrongMark || mark == u'~';
            double weight = mark == u'=' ? 100 : 0;
            if (body.startsWith(u'%')) {
                const qsizetype close = body.indexOf(u'%', 1);
                if (close < 0) return QStringLiteral("вес ответа не закрыт «%»");
                bool ok = false;
                const QString number = body.mid(1, close - 1).trimmed();
                weight = QString(number).replace(u',', u'.').toDouble(&ok);
                if (!ok) return QStringLiteral("вес ответа «%1» — не число").arg(number);
                body = body.mid(close + 1);
            }
            if (const qsizetype feedback = findUnescaped(body, QStringLiteral("#")); feedback >= 0)
                body.truncate(feedback);
            TextFormat answerFormat = format;
            takeFormat(body, answerFormat);
            const PlainText t = readText(body, answerFormat);
            if (!t.images.isEmpty())
                return QStringLiteral(
                           "рисунок в ответе %1: в банке рисунок бывает только у "
                           "вопроса")
                    .arg(q.answers.size() + 1);
            q.answers.push_back(t.text);
            if (isFull(weight)) {
                ++full;
                q.correct = int(q.answers.size());
            }
        }
        if (!anyWrongMark) return QStringLiteral("вопрос с кратким ответом (ответы только «=»)");
        if (full > 1)
            return QStringLiteral("верных ответов (с весом 100 %) несколько: %1").arg(full);
        if (full == 0) return QStringLiteral("нет ответа с весом 100 %");
        return {};
    }

    ReadResult& out_;
    QString topic_;
};

bool startsWithFormatMarker(const QString& s) {
    QString copy = s;
    TextFormat f = TextFormat::MoodleAuto;
    return takeFormat(copy, f);
}

}  // namespace

ReadResult readGift(const QByteArray& bytes, const Limits& limits) {
    ReadResult out;
    Reader(out).run(splitAllLines(exchange::decode(bytes)));
    checkQuestions(out, limits);
    return out;
}

WriteResult writeGift(const QuestionSet& set) {
    WriteResult result;
    QString out;
    QString topic;
    for (size_t i = 0; i < set.questions.size(); ++i) {
        const Question& q = set.questions[i];
        if ((i == 0 && !q.topic.isEmpty()) || (i > 0 && q.topic != topic))
            out += kCategory + u' ' + categoryForTopic(q.topic) + QStringLiteral("\n\n");
        topic = q.topic;
        if (q.picture >= 0 && size_t(q.picture) < set.pictures.size())
            result.problems.push_back(
                {q.where, QStringLiteral("рисунок «%1» не перенесён: в GIFT рисунков нет")
                              .arg(set.pictures[size_t(q.picture)].name)});

        // The default format folds blanks and reads markup; [plain] keeps the texts as they are.
        const QString text = escape(q.text);
        bool plain =
            text.trimmed().startsWith(QStringLiteral("//")) || startsWithFormatMarker(text) ||
            readText(text, TextFormat::MoodleAuto).text != readText(text, TextFormat::Plain).text;
        std::vector<QString> answers;
        for (const QString& a : q.answers) {
            answers.push_back(escape(a));
            plain = plain || readText(answers.back(), TextFormat::MoodleAuto).text !=
                                 readText(answers.back(), TextFormat::Plain).text;
        }
        out += plain ? QStringLiteral("[plain]") + text : text;
        out += QStringLiteral(" {\n");
        for (size_t a = 0; a < answers.size(); ++a) {
            const bool right = int(a) + 1 == q.correct;
            QString answer = answers[a];
            // A leading "%" or format marker would be read as a weight or a format.
            if (answer.trimmed().startsWith(u'%'))
                answer.prepend(right ? QStringLiteral("%100%") : QStringLiteral("%0%"));
            else if (startsWithFormatMarker(answer))
                answer.prepend(plain ? QStringLiteral("[plain]") : QStringLiteral("[moodle]"));
            out += (right ? QStringLiteral("\t=") : QStringLiteral("\t~")) + answer + u'\n';
        }
        out += QStringLiteral("}\n\n");
    }
    result.bytes = out.toUtf8();
    return result;
}

}  // namespace zn::formats
