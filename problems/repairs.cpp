// The repairs of the problem list (see repairs.h).
#include "problems/repairs.h"

#include <QHash>
#include <QSet>
#include <algorithm>

#include "jet/database.h"
#include "jet/error.h"
#include "problems/bankcheck.h"
#include "store/rows.h"
#include "store/tdatmod.h"

namespace zn {

namespace {

using problems::BankRows;

BankRows readBank(TDatMod& dm) {
    return problems::readBankRows(dm.Conn.database());
}

// One column of one row to change.
struct Change {
    jet::RowId row;
    qint64 value = 0;
};

// Writes `changes` into one column of `t` (a member of its columns, e.g.
// &zn::QuestionColumns::idvopr), row by row, inside the caller's scope.
template <class Columns>
void apply(TDatMod& dm, jet::Table& t, size_t Columns::*column,
           const std::vector<Change>& changes) {
    const size_t c = Columns(t).*column;
    for (const Change& ch : changes) {
        jet::Row row = t.read(ch.row);
        if (c >= row.size())
            throw jet::Error(jet::ErrorKind::Corrupt, "a row shorter than its table");
        row[c] = int64_t(ch.value);
        dm.Conn.updateRow(t, ch.row, row);
    }
}

// The topics in the order they get their numbers: old number, then id.
std::vector<size_t> topicOrder(const BankRows& b) {
    std::vector<size_t> order(b.topics.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        const auto &a = b.topics[x], &c = b.topics[y];
        return a.numtema != c.numtema ? a.numtema < c.numtema : a.id < c.id;
    });
    return order;
}

// A question as the teacher finds it in the tree: its number and the start of its text (two
// questions may carry the same number; the text tells them apart). Row ids mean nothing to her.
QString shortQuote(const QString& text) {
    constexpr int kShown = 40;
    const QString line = text.simplified();
    return line.size() > kShown ? line.left(kShown - 1).trimmed() + u'…' : line;
}

QString questionLabel(const zn::Question& q) {
    const QString text = shortQuote(q.vopros);
    return text.isEmpty() ? QStringLiteral("вопрос %1").arg(q.idvopr)
                          : QStringLiteral("вопрос %1 «%2»").arg(q.idvopr).arg(text);
}

// --- The changes each repair makes, computed from the rows.

struct QuestionRenumbering {
    std::vector<Change> changes;
    QStringList lines;
};

QuestionRenumbering questionRenumbering(const BankRows& b, qint64 numtema) {
    std::vector<size_t> qs;
    for (size_t i = 0; i < b.questions.size(); ++i)
        if (b.questions[i].idtest == numtema) qs.push_back(i);
    std::stable_sort(qs.begin(), qs.end(), [&](size_t x, size_t y) {
        const auto &a = b.questions[x], &c = b.questions[y];
        return a.idvopr != c.idvopr ? a.idvopr < c.idvopr : a.id < c.id;
    });
    QuestionRenumbering r;
    for (size_t k = 0; k < qs.size(); ++k) {
        const auto& q = b.questions[qs[k]];
        const qint64 n = qint64(k + 1);
        if (q.idvopr == n) continue;
        r.changes.push_back({b.questionRows[qs[k]], n});
        r.lines << QStringLiteral("%1 → %2").arg(questionLabel(q)).arg(n);
    }
    return r;
}

struct TopicRenumbering {
    std::vector<Change> topics;     // numtema
    std::vector<Change> questions;  // idtest
    QStringList lines;
    QString refusal;
};

TopicRenumbering topicRenumbering(const BankRows& b) {
    TopicRenumbering r;
    const std::vector<size_t> order = topicOrder(b);
    QHash<qint64, qint64> newNumber;  // old number -> new number of its first topic
    QSet<qint64> newNumbers;
    for (size_t k = 0; k < order.size(); ++k) {
        const auto& t = b.topics[order[k]];
        const qint64 n = qint64(k + 1);
        newNumbers.insert(n);
        if (!newNumber.contains(t.numtema)) newNumber.insert(t.numtema, n);
        if (t.numtema == n) continue;
        r.topics.push_back({b.topicRows[order[k]], n});
        r.lines << QStringLiteral("тема %1 «%2» → %3").arg(t.numtema).arg(t.tema).arg(n);
    }
    int moved = 0;
    for (size_t i = 0; i < b.questions.size(); ++i) {
        const auto& q = b.questions[i];
        auto it = newNumber.constFind(q.idtest);
        if (it == newNumber.constEnd()) {
            if (newNumbers.contains(q.idtest) && r.refusal.isEmpty())
                r.refusal = QStringLiteral(
                                "В теме %1, которой нет, записан %2; после перенумерации он "
                                "попал бы в новую тему %1. Сначала удалите вопросы без темы.")
                                .arg(q.idtest)
                                .arg(questionLabel(q));
            continue;
        }
        if (*it == q.idtest) continue;
        r.questions.push_back({b.questionRows[i], *it});
        ++moved;
    }
    if (moved > 0) r.lines << QStringLiteral("вопросов перейдёт за своей темой: %1").arg(moved);
    return r;
}

struct Recount {
    std::vector<Change> changes;
    QStringList lines;
};

Recount recountOf(const BankRows& b) {
    QHash<qint64, qint64> count;
    for (const auto& q : b.questions) ++count[q.idtest];
    Recount r;
    for (size_t i : topicOrder(b)) {
        const auto& t = b.topics[i];
        const qint64 n = count.value(t.numtema);
        if (t.kolvopr == n) continue;
        r.changes.push_back({b.topicRows[i], n});
        r.lines << QStringLiteral("тема %1: %2 → %3").arg(t.numtema).arg(t.kolvopr).arg(n);
    }
    return r;
}

struct Orphans {
    std::vector<jet::RowId> questions, answers;
    QStringList lines;
};

Orphans orphansOf(const BankRows& b) {
    QSet<qint64> topicNumbers;
    for (const auto& t : b.topics) topicNumbers.insert(t.numtema);
    QSet<qint64> kept, dropped;  // question ids
    Orphans r;
    for (size_t i = 0; i < b.questions.size(); ++i) {
        const auto& q = b.questions[i];
        if (topicNumbers.contains(q.idtest)) {
            kept.insert(q.id);
            continue;
        }
        dropped.insert(q.id);
        r.questions.push_back(b.questionRows[i]);
        r.lines << QStringLiteral("%1 темы %2 с его ответами").arg(questionLabel(q)).arg(q.idtest);
    }
    // An answer whose question is gone has no number to be found by; its text is what the
    // teacher can recognise.
    for (size_t i = 0; i < b.answers.size(); ++i) {
        const auto& a = b.answers[i];
        if (kept.contains(a.idvopr)) continue;
        r.answers.push_back(b.answerRows[i]);
        if (dropped.contains(a.idvopr)) continue;
        const QString text = shortQuote(a.otvet);
        r.lines
            << (text.isEmpty()
                    ? QStringLiteral("пустой ответ %1 вопроса, которого нет").arg(a.idotv)
                    : QStringLiteral("ответ %1 «%2» вопроса, которого нет").arg(a.idotv).arg(text));
    }
    return r;
}

Repairs::Plan makePlan(const QString& title, const QStringList& lines,
                       const QString& refusal = {}) {
    Repairs::Plan p;
    p.title = title;
    p.changes = lines;
    p.refusal = refusal;
    return p;
}

}  // namespace

QString Repairs::Plan::text(int lines) const {
    if (!refusal.isEmpty()) return refusal;
    if (changes.isEmpty()) return title + QStringLiteral(": исправлять нечего.");
    QString out = title + QStringLiteral(". Будет изменено:\n");
    for (int i = 0; i < changes.size() && i < lines; ++i)
        out += QStringLiteral("  ") + changes[i] + u'\n';
    if (changes.size() > lines) out += QStringLiteral("  … и ещё %1\n").arg(changes.size() - lines);
    out += QStringLiteral("\nВыполнить?");
    return out;
}

Repairs::Repairs(TDatMod& dm, Feedback& feedback, std::function<void()> treeObnov)
    : dm_(dm), fb_(feedback), treeObnov_(std::move(treeObnov)) {}

void Repairs::finish(const QString& status) {
    // The datasets' row lists are read again in the new order; the rebuild shows the result.
    dm_.qrtema.close();
    dm_.qrtema.open();
    if (treeObnov_) treeObnov_();
    fb_.status(status);
}

Repairs::Plan Repairs::planRenumberQuestions(qint64 numtema) {
    return makePlan(QStringLiteral("Перенумерация вопросов темы %1").arg(numtema),
                    questionRenumbering(readBank(dm_), numtema).lines);
}

void Repairs::renumberQuestions(qint64 numtema) {
    dm_.write(QStringLiteral("перенумерацию вопросов темы %1").arg(numtema), [&] {
        const QuestionRenumbering r = questionRenumbering(readBank(dm_), numtema);
        apply(dm_, zn::questionTable(dm_.Conn.database()), &zn::QuestionColumns::idvopr, r.changes);
    });
    finish(QStringLiteral("Вопросы темы %1 перенумерованы").arg(numtema));
}

Repairs::Plan Repairs::planRenumberTopics() {
    const TopicRenumbering r = topicRenumbering(readBank(dm_));
    return makePlan(QStringLiteral("Перенумерация тем"), r.lines, r.refusal);
}

void Repairs::renumberTopics() {
    dm_.write(QStringLiteral("перенумерацию тем"), [&] {
        const BankRows b = readBank(dm_);
        const TopicRenumbering r = topicRenumbering(b);
        if (!r.refusal.isEmpty())
            throw jet::Error(jet::ErrorKind::Constraint, r.refusal.toStdString());
        jet::Database& db = dm_.Conn.database();
        apply(dm_, zn::questionTable(db), &zn::QuestionColumns::idtest, r.questions);
        apply(dm_, zn::topicTable(db), &zn::TopicColumns::numtema, r.topics);
        apply(dm_, zn::topicTable(db), &zn::TopicColumns::kolvopr,
              recountOf(readBank(dm_)).changes);
    });
    finish(QStringLiteral("Темы перенумерованы"));
}

Repairs::Plan Repairs::planRecount() {
    return makePlan(QStringLiteral("Пересчёт числа вопросов тем"), recountOf(readBank(dm_)).lines);
}

void Repairs::recount() {
    dm_.write(QStringLiteral("пересчёт числа вопросов тем"), [&] {
        apply(dm_, zn::topicTable(dm_.Conn.database()), &zn::TopicColumns::kolvopr,
              recountOf(readBank(dm_)).changes);
    });
    finish(QStringLiteral("Число вопросов тем пересчитано"));
}

Repairs::Plan Repairs::planDeleteOrphans() {
    return makePlan(QStringLiteral("Удаление вопросов без темы и ответов без вопроса"),
                    orphansOf(readBank(dm_)).lines);
}

void Repairs::deleteOrphans() {
    dm_.write(QStringLiteral("удаление вопросов без темы и ответов без вопроса"), [&] {
        const Orphans r = orphansOf(readBank(dm_));
        jet::Database& db = dm_.Conn.database();
        jet::Table& answers = zn::answerTable(db);
        for (const jet::RowId& id : r.answers) dm_.Conn.removeRow(answers, id);
        jet::Table& questions = zn::questionTable(db);
        for (const jet::RowId& id : r.questions) dm_.Conn.removeRow(questions, id);
    });
    finish(QStringLiteral("Вопросы без темы и ответы без вопроса удалены"));
}

}  // namespace zn
