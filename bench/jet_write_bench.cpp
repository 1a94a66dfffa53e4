// What one edit costs the engine inside an open transaction, on a copy of large-test.mdb (14
// topics, 4,200 questions, 16,858 answers), the way the editor makes it:
//   BM_InsertQuestion  a question with 5 answers
//   BM_RekeyQuestion   a question moved to another topic (its indexed Voprosi.idtest changes)
//   BM_DeleteQuestion  a question deleted with its answers (found through Otveti.idvopr)
// The transaction is rolled back now and then, outside the timing, so the bank keeps its size
// (and its question numbers stay below the 16-bit Otveti.idvopr ceiling).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"

namespace {

const std::string kLarge = ZN_FIXTURES_DIR "/large-test.mdb";
constexpr int kRollbackEvery = 2000;

size_t col(jet::Table& t, const char* name) {
    return size_t(t.columnIndex(name));
}

// A writable copy of large-test.mdb, removed when it goes.
struct Bank {
    std::string path;
    std::unique_ptr<jet::Database> db;
    explicit Bank(benchmark::State& state) {
        if (!std::filesystem::is_regular_file(kLarge)) {
            state.SkipWithError("the shared fixtures folder (../shared/fixtures/mdb) is absent");
            return;
        }
        path = (std::filesystem::temp_directory_path() /
                ("jet_write_bench_" + std::to_string(::getpid()) + ".mdb"))
                   .string();
        std::filesystem::copy_file(kLarge, path, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        jet::OpenOptions o;
        o.writable = true;
        db = jet::Database::open(path, o);
    }
    ~Bank() {
        db.reset();
        if (!path.empty()) std::filesystem::remove(path);
    }
    // Rolls the open transaction back and starts another, outside the timing.
    void restart(benchmark::State& state) {
        state.PauseTiming();
        db->rollback();
        db->begin();
        state.ResumeTiming();
    }
};

void BM_InsertQuestion(benchmark::State& state) {
    Bank bank(state);
    if (!bank.db) return;
    jet::Database& db = *bank.db;
    jet::Table& q = db.table("Voprosi");
    jet::Table& a = db.table("Otveti");
    const size_t qTest = col(q, "idtest"), qNum = col(q, "idvopr"), qText = col(q, "vopros"),
                 qRight = col(q, "otvet"), qCount = col(q, "kolotvet"), qId = col(q, "id");
    const size_t aQ = col(a, "idvopr"), aNum = col(a, "idotv"), aText = col(a, "otvet");
    const std::u16string question =
        u"Какой из перечисленных городов является столицей государства, расположенного на "
        u"Пиренейском полуострове?";
    db.begin();
    int64_t n = 0;
    for (auto _ : state) {
        if (n && n % kRollbackEvery == 0) bank.restart(state);
        ++n;
        jet::Row r(q.def().columns.size());
        r[qTest] = int64_t(1 + n % 14);
        r[qNum] = int64_t(301 + n % kRollbackEvery);
        r[qText] = question;
        r[qRight] = int64_t(2);
        r[qCount] = int64_t(5);
        q.insert(r);
        for (int k = 1; k <= 5; ++k) {
            jet::Row ar(a.def().columns.size());
            ar[aQ] = r[qId];
            ar[aNum] = int64_t(k);
            ar[aText] = std::u16string(u"Ответ номер ") + char16_t(u'0' + k);
            a.insert(ar);
        }
    }
    db.rollback();
    state.SetItemsProcessed(state.iterations());
}

void BM_RekeyQuestion(benchmark::State& state) {
    Bank bank(state);
    if (!bank.db) return;
    jet::Database& db = *bank.db;
    jet::Table& q = db.table("Voprosi");
    const size_t qTest = col(q, "idtest");
    struct Question {
        jet::RowId id;
        jet::Row row;
        int64_t topic;
    };
    std::vector<Question> rows;
    for (auto s = q.scan(); s.next();)
        rows.push_back({s.id(), s.row(), std::get<int64_t>(s.row()[qTest])});
    db.begin();
    size_t i = 0;
    for (auto _ : state) {
        // Each question moves to the next topic, and back on the next round.
        Question& x = rows[i++ % rows.size()];
        const bool home = std::get<int64_t>(x.row[qTest]) == x.topic;
        x.row[qTest] = home ? x.topic % 14 + 1 : x.topic;
        q.update(x.id, x.row);
    }
    db.rollback();
    state.SetItemsProcessed(state.iterations());
}

void BM_DeleteQuestion(benchmark::State& state) {
    Bank bank(state);
    if (!bank.db) return;
    jet::Database& db = *bank.db;
    jet::Table& q = db.table("Voprosi");
    jet::Table& a = db.table("Otveti");
    const size_t qId = col(q, "id");
    std::vector<std::pair<jet::RowId, int64_t>> questions;
    for (auto s = q.scan(false); s.next();)
        questions.push_back({s.id(), std::get<int64_t>(s.row()[qId])});
    const jet::RealIndex byQuestion = *a.indexOn("idvopr");
    db.begin();
    size_t i = 0;
    for (auto _ : state) {
        if (i == questions.size()) {
            bank.restart(state);
            i = 0;
        }
        auto [row, id] = questions[i++];
        for (jet::RowId ans : a.findByIndex(byQuestion, {id})) a.remove(ans);
        q.remove(row);
    }
    db.rollback();
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_InsertQuestion)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RekeyQuestion)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeleteQuestion)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
