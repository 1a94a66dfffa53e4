// Helpers of the bulk commands' tests: a feedback that records, a readable view of a bank for
// comparisons, and direct engine writes for what the editor never makes (orphans, Settings
// rows, texts with line breaks).
#pragma once

#include <QFile>
#include <QStringList>
#include <vector>

#include "jet/database.h"
#include "store/feedback.h"
#include "tests/editor_testing.h"

namespace bulktest {

// Records what a command shows.
struct Recorder : zn::Feedback {
    QStringList statuses;
    int max = 0;
    int position = 0;
    std::vector<std::pair<Box, QString>> messages;
    void status(const QString& text) override { statuses << text; }
    void progressMax(int m) override { max = m; }
    void progressPosition(int p) override { position = p; }
    void progressStep() override { ++position; }
    void message(Box kind, const QString& text) override { messages.emplace_back(kind, text); }
    QStringList questions;
    bool answer = false;  // to every question
    bool ask(const QString& question) override {
        questions << question;
        return answer;
    }
};

// The bank as the editor shows it, one line per topic, question and answer, without row ids:
// topics by number, each with its questions by number and their answers by number.
inline QStringList view(const edtest::Snapshot& s) {
    QStringList out;
    std::vector<zn::Topic> topics = s.topics;
    std::stable_sort(topics.begin(), topics.end(),
                     [](const auto& a, const auto& b) { return a.numtema < b.numtema; });
    for (const zn::Topic& t : topics) {
        out << QStringLiteral("T %1 [%2] count %3").arg(t.numtema).arg(t.tema).arg(t.kolvopr);
        for (const zn::Question& q : s.questionsOf(t.numtema)) {
            out << QStringLiteral("  Q %1.%2 correct %3 of %4 img [%5] [%6]")
                       .arg(q.idtest)
                       .arg(q.idvopr)
                       .arg(q.otvet)
                       .arg(q.kolotvet)
                       .arg(q.img, q.vopros);
            for (const zn::Answer& a : s.answersOf(q.id))
                out << QStringLiteral("    A %1 [%2]").arg(a.idotv).arg(a.otvet);
        }
    }
    return out;
}

// Runs `fn` on the open database at `path` in one transaction.
template <class F>
void withDatabase(const QString& path, F fn) {
    jet::OpenOptions o;
    o.writable = true;
    auto db = jet::Database::open(path.toStdString(), o);
    jet::Transaction tx(*db);
    fn(*db);
    tx.commit();
}

inline size_t col(jet::Table& t, const char* name) {
    return size_t(t.columnIndex(name));
}

// A question of no topic (idtest 77) with two answers, and an answer of no question.
inline void addOrphans(const QString& path) {
    withDatabase(path, [](jet::Database& db) {
        jet::Table& v = db.table("Voprosi");
        jet::Table& o = db.table("Otveti");
        jet::Row q(v.def().columns.size());
        q[col(v, "idtest")] = int64_t(77);
        q[col(v, "idvopr")] = int64_t(1);
        q[col(v, "vopros")] = std::u16string(u"Сирота");
        q[col(v, "otvet")] = int64_t(1);
        q[col(v, "kolotvet")] = int64_t(2);
        v.insert(q);
        const int64_t id = std::get<int64_t>(q[col(v, "id")]);
        for (int64_t k : {id, id, int64_t(30000)}) {
            jet::Row a(o.def().columns.size());
            a[col(o, "idvopr")] = k;
            a[col(o, "idotv")] = int64_t(1);
            a[col(o, "otvet")] = std::u16string(u"ответ сироты");
            o.insert(a);
        }
    });
}

// The SettingValue texts in id order.
inline QStringList settings(const QString& path) {
    QStringList out;
    auto db = jet::Database::open(path.toStdString());
    jet::Table& s = db->table("Settings");
    for (auto sc = s.scan(); sc.next();) {
        const jet::Value& v = sc.row()[col(s, "SettingValue")];
        out << (std::holds_alternative<std::u16string>(v)
                    ? QString::fromStdU16String(std::get<std::u16string>(v))
                    : QString());
    }
    return out;
}

// Makes Settings hold exactly `values` (in id order).
inline void setSettings(const QString& path, const QStringList& values) {
    withDatabase(path, [&](jet::Database& db) {
        jet::Table& s = db.table("Settings");
        std::vector<jet::RowId> rows;
        for (auto sc = s.scan(); sc.next();) rows.push_back(sc.id());
        for (jet::RowId r : rows) s.remove(r);
        int k = 0;
        for (const QString& v : values) {
            jet::Row r(s.def().columns.size());
            r[col(s, "SettingName")] = QStringLiteral("Запись %1").arg(++k).toStdU16String();
            r[col(s, "SettingValue")] = v.toStdU16String();
            s.insert(r);
        }
    });
}

// Every line break in question and answer texts becomes a blank.
inline void joinLines(const QString& path) {
    withDatabase(path, [](jet::Database& db) {
        for (auto [table, column] :
             {std::pair{"Voprosi", "vopros"}, std::pair{"Otveti", "otvet"}}) {
            jet::Table& t = db.table(table);
            const size_t c = col(t, column);
            std::vector<std::pair<jet::RowId, jet::Row>> changed;
            for (auto sc = t.scan(); sc.next();) {
                const jet::Value& v = sc.row()[c];
                if (!std::holds_alternative<std::u16string>(v)) continue;
                QString text = QString::fromStdU16String(std::get<std::u16string>(v));
                if (!text.contains(u'\r') && !text.contains(u'\n')) continue;
                text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
                text.replace(u'\r', u' ').replace(u'\n', u' ');
                jet::Row row = sc.row();
                row[c] = text.toStdU16String();
                changed.emplace_back(sc.id(), std::move(row));
            }
            for (auto& [id, row] : changed) t.update(id, row);
        }
    });
}

inline QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Compaction copies left in `folder`.
inline QStringList compactionLeftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("mdb*.tmp")}, QDir::Files);
}

}  // namespace bulktest
