// Deleting all data and compacting the database file.
#include "bulk/deleteall.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <exception>
#include <utility>

#include "jet/compact.h"
#include "jet/database.h"
#include "store/filecommand.h"
#include "store/rows.h"
#include "store/tdatmod.h"

namespace zn {

bool CompactDatabase_JRO(const QString& databasePath, Feedback& feedback, jet::Env* env) {
    try {
        jet::compactInPlace(databasePath.toStdString(), env);
        return true;
    } catch (const std::exception& e) {
        feedback.message(Feedback::Box::Plain, QString::fromUtf8(e.what()));
        return false;
    }
}

BulkDeletion::BulkDeletion(TDatMod& dm, Feedback& feedback, const Session& session)
    : dm_(dm), fb_(feedback), session_(session) {}

void BulkDeletion::deleteRows() {
    TDatMod::WriteScope scope(dm_);
    jet::Table& tema = zn::topicTable(dm_.Conn.database());
    jet::Table& vopr = zn::questionTable(dm_.Conn.database());
    jet::Table& otv = zn::answerTable(dm_.Conn.database());

    // Who belongs to whom, from one pass over each table (long values are not read).
    struct TopicRow {
        qint64 numtema;
        jet::RowId row;
    };
    std::vector<TopicRow> topics;
    {
        const size_t numtema = zn::TopicColumns(tema).numtema;
        for (auto s = tema.scan(false); s.next();)
            topics.push_back({zn::integerOf(s.row()[numtema]), s.id()});
        // The order of qrtema: by number, then as stored.
        std::stable_sort(topics.begin(), topics.end(), [](const TopicRow& a, const TopicRow& b) {
            return a.numtema < b.numtema;
        });
    }
    struct QuestionRow {
        qint64 id;
        jet::RowId row;
    };
    QHash<qint64, std::vector<QuestionRow>> questionsOf;  // by idtest
    {
        const zn::QuestionColumns c(vopr);
        const size_t id = c.id, idtest = c.idtest;
        for (auto s = vopr.scan(false); s.next();)
            questionsOf[zn::integerOf(s.row()[idtest])].push_back(
                {zn::integerOf(s.row()[id]), s.id()});
    }
    QHash<qint64, std::vector<jet::RowId>> answersOf;  // by idvopr
    {
        const size_t idvopr = zn::AnswerColumns(otv).idvopr;
        for (auto s = otv.scan(false); s.next();)
            answersOf[zn::integerOf(s.row()[idvopr])].push_back(s.id());
    }

    auto removeQuestions = [&](const std::vector<QuestionRow>& questions) {
        for (const QuestionRow& q : questions) {
            auto it = answersOf.find(q.id);
            if (it != answersOf.end()) {
                for (jet::RowId a : *it) dm_.Conn.removeRow(otv, a);
                answersOf.erase(it);
            }
            dm_.Conn.removeRow(vopr, q.row);
        }
    };

    if (!topics.empty()) {
        fb_.progressPosition(0);
        fb_.progressMax(int(topics.size()));
    }
    for (const TopicRow& t : topics) {
        auto it = questionsOf.find(t.numtema);
        if (it != questionsOf.end()) {
            removeQuestions(*it);
            questionsOf.erase(it);
        }
        dm_.Conn.removeRow(tema, t.row);
        fb_.progressStep();
    }
    // What no topic reached: questions of no topic and answers of no question.
    for (const auto& questions : std::as_const(questionsOf)) removeQuestions(questions);
    for (const auto& answers : std::as_const(answersOf))
        for (jet::RowId a : answers) dm_.Conn.removeRow(otv, a);
    scope.commit();
}

bool BulkDeletion::compactAndReopen() {
    // The file system the connection uses (tests plug in their own); it outlives the database.
    jet::Env* env = dm_.Conn.isOpen() ? &dm_.Conn.database().env() : nullptr;
    const QString path = databasePath();
    bool compacted = false;
    dm_.whileClosed([&] { compacted = CompactDatabase_JRO(path, fb_, env); });
    if (afterReopen) afterReopen();
    return compacted;
}

QString BulkDeletion::databasePath() const {
    return session_.databasePath.isEmpty() ? dm_.Conn.fileName() : session_.databasePath;
}

void BulkDeletion::Deletezap() {
    FileCommand command(dm_, databasePath(), QStringLiteral("удаление всех данных"));
    deleteRows();
    compactAndReopen();
}

bool BulkDeletion::Compact() {
    FileCommand command(dm_, databasePath(), QStringLiteral("сжатие базы"));
    return compactAndReopen();
}

}  // namespace zn
