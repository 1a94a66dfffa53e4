// Moving and copying questions between topics, and up and down within one.
#include "tree/moves.h"

#include <QHash>
#include <algorithm>

#include "jet/database.h"
#include "jet/error.h"
#include "store/convert.h"
#include "store/rows.h"
#include "store/tdatmod.h"

namespace zn {

namespace {

[[noreturn]] void refuse(const QString& message) {
    throw jet::Error(jet::ErrorKind::Constraint, message.toStdString());
}

// The question rows of a bank that a move touches, by where they live.
struct QuestionRow {
    jet::RowId row;
    qint64 id = 0;
    qint64 topic = 0;
    qint64 number = 0;
};

// The tables and the columns the moves write.
struct Tables : zn::BankTables {
    explicit Tables(jet::Database& db)
        : BankTables(db),
          tNum(topicColumns.numtema),
          tCount(topicColumns.kolvopr),
          vId(questionColumns.id),
          vTopic(questionColumns.idtest),
          vNum(questionColumns.idvopr),
          aQuestion(answerColumns.idvopr) {}
    size_t tNum, tCount, vId, vTopic, vNum, aQuestion;

    // Every question of the topics in `topics`, each topic's in number order (then id).
    std::vector<QuestionRow> questionsOf(const std::vector<qint64>& topics) {
        std::vector<QuestionRow> out;
        for (auto sc = vopr.scan(false); sc.next();) {
            const jet::Row& r = sc.row();
            const qint64 topic = zn::integerOf(r[vTopic]);
            if (std::find(topics.begin(), topics.end(), topic) != topics.end())
                out.push_back({sc.id(), zn::integerOf(r[vId]), topic, zn::integerOf(r[vNum])});
        }
        std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
            return a.topic != b.topic     ? a.topic < b.topic
                   : a.number != b.number ? a.number < b.number
                                          : a.id < b.id;
        });
        return out;
    }
};

}  // namespace

QuestionMoves::QuestionMoves(TDatMod& dm, std::function<void()> treeObnov)
    : dm_(dm), treeObnov_(std::move(treeObnov)) {}

void QuestionMoves::rebuildTree() {
    if (treeObnov_) treeObnov_();
}

int QuestionMoves::moveToTopic(const std::vector<qint64>& questionIds, qint64 targetTopic,
                               bool copy) {
    if (questionIds.empty()) return 0;
    const QString label = (copy ? QStringLiteral("копирование вопросов в тему %1")
                                : QStringLiteral("перенос вопросов в тему %1"))
                              .arg(targetTopic);
    const int first = dm_.write(label, [&]() -> int {
        Tables t(dm_.Conn.database());
        // The topics' rows, by number: the target must exist.
        QHash<qint64, jet::RowId> topicRow;
        for (auto sc = t.tema.scan(false); sc.next();) {
            const qint64 n = zn::integerOf(sc.row()[t.tNum]);
            if (!topicRow.contains(n)) topicRow.insert(n, sc.id());
        }
        if (!topicRow.contains(targetTopic))
            refuse(QStringLiteral("Темы с номером %1 нет").arg(targetTopic));

        // The chosen questions, in the order given.
        std::vector<QuestionRow> chosen;
        QHash<qint64, QuestionRow> byId;
        for (auto sc = t.vopr.scan(false); sc.next();) {
            const jet::Row& r = sc.row();
            const qint64 id = zn::integerOf(r[t.vId]);
            if (std::find(questionIds.begin(), questionIds.end(), id) != questionIds.end())
                byId.insert(id,
                            {sc.id(), id, zn::integerOf(r[t.vTopic]), zn::integerOf(r[t.vNum])});
        }
        for (qint64 id : questionIds)
            if (byId.contains(id) && std::none_of(chosen.begin(), chosen.end(),
                                                  [&](const auto& c) { return c.id == id; }))
                chosen.push_back(byId.value(id));
        if (!copy)
            chosen.erase(std::remove_if(chosen.begin(), chosen.end(),
                                        [&](const auto& q) { return q.topic == targetTopic; }),
                         chosen.end());
        if (chosen.empty()) return 0;

        std::vector<qint64> touched{targetTopic};
        for (const QuestionRow& q : chosen)
            if (std::find(touched.begin(), touched.end(), q.topic) == touched.end())
                touched.push_back(q.topic);
        const std::vector<QuestionRow> before = t.questionsOf(touched);

        // The target's own questions keep their order, then the chosen ones follow.
        std::vector<QuestionRow> target;
        for (const QuestionRow& q : before)
            if (q.topic == targetTopic) target.push_back(q);
        const int firstNumber = int(target.size()) + 1;
        qint64 numberMax = 0, countMax = 0, minimum = 0;
        zn::integerRange(t.vopr.def().columns[t.vNum].type, minimum, numberMax);
        zn::integerRange(t.tema.def().columns[t.tCount].type, minimum, countMax);
        if (qint64(target.size() + chosen.size()) > std::min(numberMax, countMax))
            refuse(QStringLiteral("В теме %1 не может быть больше %2 вопросов")
                       .arg(targetTopic)
                       .arg(std::min(numberMax, countMax)));

        if (copy) {
            // New rows for the copies, with copies of their answers.
            const size_t answersWidth = t.otv.def().columns.size();
            const size_t aId = t.answerColumns.id;
            std::vector<bool> answerGiven(answersWidth, true);
            answerGiven[aId] = false;
            QHash<qint64, std::vector<jet::Row>> answers;
            for (const QuestionRow& q : chosen) answers.insert(q.id, {});
            for (auto sc = t.otv.scan(); sc.next();) {
                auto it = answers.find(zn::integerOf(sc.row()[t.aQuestion]));
                if (it != answers.end()) it->push_back(sc.row());
            }
            std::vector<bool> questionGiven(t.vopr.def().columns.size(), true);
            questionGiven[t.vId] = false;
            qint64 number = firstNumber;
            for (const QuestionRow& q : chosen) {
                jet::Row row = *dm_.Conn.readRow(t.vopr, q.row);
                row[t.vTopic] = int64_t(targetTopic);
                row[t.vNum] = int64_t(number++);
                dm_.Conn.insertRow(t.vopr, row, questionGiven);
                const int64_t id = zn::integerOf(row[t.vId]);
                for (jet::Row a : answers.value(q.id)) {
                    a[t.aQuestion] = id;
                    dm_.Conn.insertRow(t.otv, a, answerGiven);
                }
            }
        } else {
            for (const QuestionRow& q : chosen) target.push_back(q);
        }

        // Every touched topic numbered 1..n in its order, and its count stored.
        auto renumber = [&](qint64 topic, const std::vector<QuestionRow>& order) {
            qint64 n = 0;
            for (const QuestionRow& q : order) {
                ++n;
                if (q.topic == topic && q.number == n) continue;
                jet::Row row = *dm_.Conn.readRow(t.vopr, q.row);
                row[t.vTopic] = int64_t(topic);
                row[t.vNum] = int64_t(n);
                dm_.Conn.updateRow(t.vopr, q.row, row);
            }
        };
        QHash<qint64, qint64> counts;
        for (qint64 topic : touched) {
            if (topic == targetTopic) {
                renumber(topic, target);
                counts.insert(topic, qint64(target.size()) + (copy ? qint64(chosen.size()) : 0));
                continue;
            }
            std::vector<QuestionRow> rest;
            for (const QuestionRow& q : before)
                if (q.topic == topic &&
                    (copy || std::none_of(chosen.begin(), chosen.end(),
                                          [&](const auto& c) { return c.id == q.id; })))
                    rest.push_back(q);
            renumber(topic, rest);
            counts.insert(topic, qint64(rest.size()));
        }
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (!topicRow.contains(it.key())) continue;  // questions of no topic
            const jet::RowId row = topicRow.value(it.key());
            jet::Row r = *dm_.Conn.readRow(t.tema, row);
            if (zn::integerOf(r[t.tCount]) == it.value()) continue;
            r[t.tCount] = int64_t(it.value());
            dm_.Conn.updateRow(t.tema, row, r);
        }
        return firstNumber;
    });
    if (first > 0) rebuildTree();
    return first;
}

int QuestionMoves::moveWithinTopic(qint64 questionId, int delta) {
    if (delta != -1 && delta != 1) return 0;
    {
        // Found before the write scope: a move that cannot be made writes nothing.
        Tables t(dm_.Conn.database());
        qint64 topic = -1;
        for (auto sc = t.vopr.scan(false); sc.next();)
            if (zn::integerOf(sc.row()[t.vId]) == questionId)
                topic = zn::integerOf(sc.row()[t.vTopic]);
        if (topic < 0) return 0;
        const std::vector<QuestionRow> order = t.questionsOf({topic});
        const auto at = std::find_if(order.begin(), order.end(),
                                     [&](const auto& q) { return q.id == questionId; });
        const qint64 pos = at - order.begin();
        if (pos + delta < 0 || pos + delta >= qint64(order.size())) return 0;
    }
    const QString label = delta < 0 ? QStringLiteral("перемещение вопроса вверх")
                                    : QStringLiteral("перемещение вопроса вниз");
    const int number = dm_.write(label, [&]() -> int {
        Tables t(dm_.Conn.database());
        qint64 topic = -1;
        for (auto sc = t.vopr.scan(false); sc.next();)
            if (zn::integerOf(sc.row()[t.vId]) == questionId)
                topic = zn::integerOf(sc.row()[t.vTopic]);
        std::vector<QuestionRow> order = t.questionsOf({topic});
        const auto at = std::find_if(order.begin(), order.end(),
                                     [&](const auto& q) { return q.id == questionId; });
        const size_t pos = size_t(at - order.begin());
        std::swap(order[pos], order[size_t(qint64(pos) + delta)]);
        qint64 n = 0;
        for (const QuestionRow& q : order) {
            ++n;
            if (q.number == n) continue;
            jet::Row row = *dm_.Conn.readRow(t.vopr, q.row);
            row[t.vNum] = int64_t(n);
            dm_.Conn.updateRow(t.vopr, q.row, row);
        }
        return int(qint64(pos) + delta + 1);
    });
    rebuildTree();
    return number;
}

}  // namespace zn
