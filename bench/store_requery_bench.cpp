// What a tree selection of a question costs the data module on large-test.mdb (14 topics of
// 300 questions, 16858 answers): locate the topic in qrtema, which re-queries its questions,
// then locate the question in qrvoprosi, which re-queries its answers. Each iteration is one
// such pair of chained re-queries, on a different topic and question each time.
//
// Variants: the module as it runs (index lookup, row cache); index lookup with the row cache
// off (rows decoded from the pages each time); the table scan the module falls back to when a
// database lacks the indexes.
#include <benchmark/benchmark.h>

#include <QFileInfo>

#include "store/tdatmod.h"

namespace {

const QString kLarge = QStringLiteral(ZN_FIXTURES_DIR "/large-test.mdb");

void requery(benchmark::State& state, bool cache, bool indexes) {
    if (!QFileInfo(kLarge).isFile()) {
        state.SkipWithError("the shared fixtures folder (../shared/fixtures/mdb) is absent");
        return;
    }
    zn::TDatMod dm;
    dm.Conn.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + kLarge +
                                ";Mode=Read");
    dm.Conn.open();
    dm.Conn.setRowCacheEnabled(cache);
    dm.qrvoprosi.setUseIndexes(indexes);
    dm.qrotveti.setUseIndexes(indexes);
    dm.qrtema.open();
    const int topics = dm.qrtema.recordCount();
    int64_t i = 0;
    int64_t questions = 0, answers = 0;
    for (auto _ : state) {
        const int topic = int(i % topics) + 1;
        const int question = int((i * 37) % 300) + 1;
        ++i;
        if (!dm.qrtema.locate("numtema", topic) || !dm.qrvoprosi.locate("idvopr", question)) {
            state.SkipWithError("large-test.mdb does not hold the expected topics and questions");
            break;
        }
        questions += dm.qrvoprosi.recordCount();
        answers += dm.qrotveti.recordCount();
        benchmark::DoNotOptimize(dm.qrotveti.asString("otvet"));
    }
    state.counters["questions/requery"] =
        benchmark::Counter(double(questions) / double(std::max<int64_t>(i, 1)));
    state.counters["answers/requery"] =
        benchmark::Counter(double(answers) / double(std::max<int64_t>(i, 1)));
}

void BM_SelectQuestion_IndexAndRowCache(benchmark::State& s) {
    requery(s, true, true);
}
void BM_SelectQuestion_IndexNoCache(benchmark::State& s) {
    requery(s, false, true);
}
void BM_SelectQuestion_TableScan(benchmark::State& s) {
    requery(s, false, false);
}

BENCHMARK(BM_SelectQuestion_IndexAndRowCache)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelectQuestion_IndexNoCache)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelectQuestion_TableScan)->Iterations(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
