// Whole-process benchmarks of the writer on a test database, the way the editor writes:
//   jet_questions FILE insert-each N   N questions with 4 to 6 answers, a transaction each
//   jet_questions FILE insert-all N    the same in one transaction
//   jet_questions FILE update          every question's text and its answers changed
//   jet_questions FILE delete          every question deleted with its answers, one at a time
//   jet_questions FILE delete-half     every second question deleted with its answers
// bench/engine.sh runs them under /usr/bin/time.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "jet/database.h"
#include "jet/error.h"

namespace {

size_t col(jet::Table& t, const char* name) {
    return size_t(t.columnIndex(name));
}

void insertQuestion(jet::Database& db, int topic, int number) {
    jet::Table& q = db.table("Voprosi");
    jet::Table& a = db.table("Otveti");
    jet::Row r(q.def().columns.size());
    const int answers = 4 + number % 3;
    r[col(q, "idtest")] = int64_t(topic);
    r[col(q, "idvopr")] = int64_t(number);
    r[col(q, "vopros")] =
        std::u16string(u"Вопрос номер ") + std::u16string(size_t(40 + number % 200), u'в');
    r[col(q, "otvet")] = int64_t(1 + number % answers);
    r[col(q, "kolotvet")] = int64_t(answers);
    r[col(q, "img")] = std::u16string(number % 10 ? u"" : u"p1.png");
    q.insert(r);
    const int64_t id = std::get<int64_t>(r[col(q, "id")]);
    for (int k = 1; k <= answers; ++k) {
        jet::Row ar(a.def().columns.size());
        ar[col(a, "idvopr")] = id;
        ar[col(a, "idotv")] = int64_t(k);
        ar[col(a, "otvet")] =
            std::u16string(u"Ответ ") + std::u16string(size_t(5 + (number * k) % 90), u'о');
        a.insert(ar);
    }
}

std::vector<std::pair<jet::RowId, int64_t>> questions(jet::Database& db) {
    std::vector<std::pair<jet::RowId, int64_t>> out;
    jet::Table& q = db.table("Voprosi");
    for (auto s = q.scan(false); s.next();)
        out.push_back({s.id(), std::get<int64_t>(s.row()[col(q, "id")])});
    return out;
}

void deleteQuestion(jet::Database& db, jet::RowId row, int64_t id) {
    jet::Table& q = db.table("Voprosi");
    jet::Table& a = db.table("Otveti");
    jet::Transaction tx(db);
    for (jet::RowId ans : a.findByIndex(*a.indexOn("idvopr"), {id})) a.remove(ans);
    q.remove(row);
    tx.commit();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: jet_questions FILE insert-each|insert-all N | update | delete | "
                     "delete-half\n";
        return 2;
    }
    try {
        jet::OpenOptions o;
        o.writable = true;
        auto db = jet::Database::open(argv[1], o);
        const std::string mode = argv[2];
        const int n = argc > 3 ? std::atoi(argv[3]) : 0;
        if (mode == "insert-each") {
            for (int i = 1; i <= n; ++i) {
                jet::Transaction tx(*db);
                insertQuestion(*db, 1 + i / 500, i);
                tx.commit();
            }
        } else if (mode == "insert-all") {
            jet::Transaction tx(*db);
            for (int i = 1; i <= n; ++i) insertQuestion(*db, 1 + i / 500, i);
            tx.commit();
        } else if (mode == "update") {
            jet::Table& q = db->table("Voprosi");
            jet::Table& a = db->table("Otveti");
            for (auto [row, id] : questions(*db)) {
                jet::Transaction tx(*db);
                jet::Row r = q.read(row);
                r[col(q, "vopros")] =
                    std::u16string(u"Изменённый вопрос ") + std::u16string(size_t(id % 300), u'и');
                q.update(row, r);
                for (jet::RowId ans : a.findByIndex(*a.indexOn("idvopr"), {id})) {
                    jet::Row ar = a.read(ans);
                    ar[col(a, "otvet")] = std::u16string(u"Изменённый ответ");
                    a.update(ans, ar);
                }
                tx.commit();
            }
        } else if (mode == "delete" || mode == "delete-half") {
            int i = 0;
            for (auto [row, id] : questions(*db))
                if (mode == "delete" || i++ % 2 == 0) deleteQuestion(*db, row, id);
        } else {
            std::cerr << "unknown mode " << mode << "\n";
            return 2;
        }
    } catch (const jet::Error& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
