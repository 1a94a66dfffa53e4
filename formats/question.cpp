// The neutral model's checks against the bank's columns.
#include "formats/question.h"

#include <QSet>
#include <algorithm>

#include "formats/pictures.h"
#include "store/bank/testbank.h"

namespace zn::formats {

namespace {

int textWidth(const char* table, const char* column) {
    const bank::Column* c = bank::findColumn(table, column);
    return c ? c->maxChars : 0;
}

bool blank(const QString& s) {
    return s.trimmed().isEmpty();
}

// Every reason `q` cannot be held, joined by "; " (empty: it can).
QString reasons(const Question& q, const std::vector<Picture>& pictures, const Limits& limits) {
    QStringList why;
    const int n = int(q.answers.size());
    if (n < limits.minAnswers || n > limits.maxAnswers)
        why << QStringLiteral("ответов: %1, а их должно быть от %2 до %3")
                   .arg(n)
                   .arg(limits.minAnswers)
                   .arg(limits.maxAnswers);
    else if (q.correct < 1 || q.correct > n)
        why << QStringLiteral("номер верного ответа %1 — не от 1 до %2").arg(q.correct).arg(n);
    if (blank(q.text)) why << QStringLiteral("пустой текст вопроса");
    for (int i = 0; i < n; ++i)
        if (blank(q.answers[size_t(i)])) why << QStringLiteral("ответ %1 пуст").arg(i + 1);
    if (limits.topicChars > 0 && q.topic.size() > limits.topicChars)
        why << QStringLiteral("название темы длиннее %1 символов").arg(limits.topicChars);
    if (q.picture >= 0 && size_t(q.picture) < pictures.size()) {
        const Picture& p = pictures[size_t(q.picture)];
        if (p.embedded && pictureType(p.bytes) == PictureType::Unknown)
            why << QStringLiteral("рисунок «%1» — не BMP, PNG, JPEG или GIF").arg(p.name);
        else if (!p.embedded && limits.pictureChars > 0 && p.name.size() > limits.pictureChars)
            why << QStringLiteral("имя рисунка «%1» длиннее %2 символов")
                       .arg(p.name)
                       .arg(limits.pictureChars);
    }
    return why.join(QStringLiteral("; "));
}

}  // namespace

QString Source::describe() const {
    QStringList parts;
    if (line > 0) parts << QStringLiteral("строка %1").arg(line);
    if (!name.isEmpty()) parts << QStringLiteral("«%1»").arg(name);
    return parts.join(QStringLiteral(", "));
}

Limits Limits::standard() {
    Limits l;
    l.minAnswers = 2;
    l.maxAnswers = 6;
    l.topicChars = textWidth("Tema", "tema");
    l.pictureChars = textWidth("Voprosi", "img");
    return l;
}

void checkQuestions(ReadResult& result, const Limits& limits) {
    std::vector<Question> kept;
    kept.reserve(result.questions.size());
    for (Question& q : result.questions) {
        // A byte-order mark inside a text is left over from files pasted together: invisible,
        // and a writer would put it where a reader takes it for the file's own.
        q.topic.remove(QChar(0xFEFF));
        q.text.remove(QChar(0xFEFF));
        for (QString& a : q.answers) a.remove(QChar(0xFEFF));
        const QString why = reasons(q, result.pictures, limits);
        if (why.isEmpty())
            kept.push_back(std::move(q));
        else
            result.problems.push_back({q.where, why});
    }
    result.questions = std::move(kept);

    // Only the pictures still used, in their order.
    std::vector<int> newIndex(result.pictures.size(), -1);
    for (const Question& q : result.questions)
        if (q.picture >= 0 && size_t(q.picture) < newIndex.size()) newIndex[size_t(q.picture)] = 0;
    std::vector<Picture> used;
    for (size_t i = 0; i < result.pictures.size(); ++i)
        if (newIndex[i] == 0) {
            newIndex[i] = int(used.size());
            used.push_back(std::move(result.pictures[i]));
        }
    for (Question& q : result.questions)
        q.picture = q.picture >= 0 && size_t(q.picture) < newIndex.size()
                        ? newIndex[size_t(q.picture)]
                        : -1;
    result.pictures = std::move(used);

    std::stable_sort(
        result.problems.begin(), result.problems.end(),
        [](const Problem& a, const Problem& b) { return a.where.line < b.where.line; });
}

void refuse(ReadResult& result, const QString& what, int line) {
    result.questions.clear();
    result.pictures.clear();
    result.problems.clear();
    result.problems.push_back({{line, QString()}, what});
    result.refused = true;
}

QString bankLineBreaks(const QString& text) {
    if (!text.contains(u'\r') && !text.contains(u'\n')) return text;
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out += QStringLiteral("\r\n");
        } else if (c == u'\n') {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace zn::formats
