// What a commit costs on the real file system: each iteration adds a question with 5 answers to
// a copy of large-test.mdb in a transaction of its own and commits it. The file layer is wrapped
// to count the syncs: fsyncs/commit (files) and folder syncs/commit (directory entries).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/file.h"

namespace {

const std::string kLarge = ZN_FIXTURES_DIR "/large-test.mdb";

size_t col(jet::Table& t, const char* name) {
    return size_t(t.columnIndex(name));
}

void BM_CommitQuestion(benchmark::State& state) {
    if (!std::filesystem::is_regular_file(kLarge)) {
        state.SkipWithError("the shared fixtures folder (../shared/fixtures/mdb) is absent");
        return;
    }
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("jet_commit_bench_" + std::to_string(::getpid()) + ".mdb"))
                                 .string();
    std::filesystem::copy_file(kLarge, path, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    jet::SyncCountingEnv env(jet::Env::posix());
    {
        jet::OpenOptions o;
        o.writable = true;
        o.env = &env;
        auto db = jet::Database::open(path, o);
        jet::Table& q = db->table("Voprosi");
        jet::Table& a = db->table("Otveti");
        env.fileSyncs = env.dirSyncs = 0;
        int64_t n = 0;
        for (auto _ : state) {
            ++n;
            jet::Transaction tx(*db);
            jet::Row r(q.def().columns.size());
            r[col(q, "idtest")] = int64_t(1 + n % 14);
            r[col(q, "idvopr")] = int64_t(301 + n);
            r[col(q, "vopros")] = std::u16string(u"Новый вопрос номер ") + char16_t(u'0' + n % 10);
            q.insert(r);
            for (int k = 1; k <= 5; ++k) {
                jet::Row ar(a.def().columns.size());
                ar[col(a, "idvopr")] = r[col(q, "id")];
                ar[col(a, "idotv")] = int64_t(k);
                ar[col(a, "otvet")] = std::u16string(u"Ответ");
                a.insert(ar);
            }
            tx.commit();
        }
        state.counters["fsyncs/commit"] =
            benchmark::Counter(double(env.fileSyncs) / double(state.iterations()));
        state.counters["folder syncs/commit"] =
            benchmark::Counter(double(env.dirSyncs) / double(state.iterations()));
    }
    std::filesystem::remove(path);
}

BENCHMARK(BM_CommitQuestion)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
