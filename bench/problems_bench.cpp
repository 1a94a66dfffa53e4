// What the problem check and the question search cost on large-test.mdb (14 topics, 4200
// questions, 16858 answers, 600 questions naming a picture), opened as the editor opens a bank:
// - the whole check as the panel runs it after a command: reading the three tables through the
//   engine, then every rule, with the picture lookups in a data folder that holds none of the
//   pictures, and in one that holds all 600 as small PNG files (each opened by the image reader);
//   and again with the image reader's verdicts kept from the check before (as the panel does);
// - the search: reading and building the folded index, one keystroke's search for a letter,
//   a word and something found nowhere, and a keystroke in the search box with its list.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QSet>
#include <QTemporaryDir>

#include "bench/support.h"
#include "problems/bankcheck.h"
#include "problems/search.h"
#include "problems/searchbox.h"
#include "store/tdatmod.h"

namespace {

struct Bench {
    bool ok = false;
    QTemporaryDir dir;
    zn::TDatMod dm;
    QString noPictures, allPictures;

    explicit Bench(benchmark::State& state, bool withPictures = false) {
        const QString file = benchsupport::copyOfLargeBank(dir, state);
        if (file.isEmpty()) return;
        dm.connectTo(file);
        dm.qrtema.open();
        noPictures = dir.filePath(QStringLiteral("empty")) + u'/';
        QDir().mkpath(noPictures);
        if (withPictures) {
            allPictures = dir.filePath(QStringLiteral("data")) + u'/';
            QDir().mkpath(allPictures);
            QImage image(32, 24, QImage::Format_RGB32);
            image.fill(QColor(90, 120, 200));
            QSet<QString> names;
            for (const auto& q : rows().questions)
                if (!q.img.trimmed().isEmpty()) names.insert(q.img.trimmed());
            for (const QString& name : names) image.save(allPictures + name, "PNG");
        }
        ok = true;
    }
    zn::problems::BankRows rows() { return zn::problems::readBankRows(dm.Conn.database()); }
};

void BM_CheckNoPicturesPresent(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    size_t found = 0;
    for (auto _ : state) found = zn::problems::check(b.rows(), b.noPictures).size();
    state.counters["problems"] = double(found);
}
BENCHMARK(BM_CheckNoPicturesPresent)->Unit(benchmark::kMillisecond);

void BM_CheckAllPicturesPresent(benchmark::State& state) {
    Bench b(state, true);
    if (!b.ok) return;
    size_t found = 0;
    for (auto _ : state) found = zn::problems::check(b.rows(), b.allPictures).size();
    state.counters["problems"] = double(found);
}
BENCHMARK(BM_CheckAllPicturesPresent)->Unit(benchmark::kMillisecond);

// As the panel runs it after a command: the pictures' verdicts kept from the check before.
void BM_CheckAllPicturesPresentAgain(benchmark::State& state) {
    Bench b(state, true);
    if (!b.ok) return;
    zn::problems::PictureVerdicts verdicts;
    zn::problems::check(b.rows(), b.allPictures, &verdicts);
    for (auto _ : state)
        benchmark::DoNotOptimize(zn::problems::check(b.rows(), b.allPictures, &verdicts));
}
BENCHMARK(BM_CheckAllPicturesPresentAgain)->Unit(benchmark::kMillisecond);

void BM_ReadRowsAlone(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    for (auto _ : state) benchmark::DoNotOptimize(b.rows());
}
BENCHMARK(BM_ReadRowsAlone)->Unit(benchmark::kMillisecond);

void BM_SearchIndexBuild(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    const zn::problems::BankRows rows = b.rows();
    for (auto _ : state) benchmark::DoNotOptimize(zn::problems::SearchIndex(rows));
}
BENCHMARK(BM_SearchIndexBuild)->Unit(benchmark::kMillisecond);

// One keystroke: the query folded and looked for in every question's folded text, the first
// 500 hits kept (the list shows those).
void BM_SearchKeystroke(benchmark::State& state, QString query) {
    Bench b(state);
    if (!b.ok) return;
    const zn::problems::BankRows rows = b.rows();
    const zn::problems::SearchIndex index(rows);
    // "word": the first word of a question's text, in capitals.
    if (query.isEmpty())
        query = rows.questions[100].vopros.simplified().section(u' ', 0, 0).toUpper();
    size_t total = 0;
    for (auto _ : state) benchmark::DoNotOptimize(index.find(query, 500, &total));
    state.counters["matches"] = double(total);
}
BENCHMARK_CAPTURE(BM_SearchKeystroke, one_letter, QStringLiteral("о"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchKeystroke, word, QString())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchKeystroke, nothing, QStringLiteral("щщщщэ"))
    ->Unit(benchmark::kMillisecond);

// A keystroke in the search box as the person sees it: the search and the result list filled
// (at most 500 lines), alternating between two queries so that every iteration changes the
// list.
void BM_SearchBoxKeystroke(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    const zn::problems::BankRows rows = b.rows();
    const zn::problems::SearchIndex index(rows);
    zn::SearchBox box;
    box.setIndex([&index] { return &index; });
    const QString word = rows.questions[100].vopros.simplified().section(u' ', 0, 0).toUpper();
    const QString queries[] = {word, word.left(word.size() - 1)};
    int k = 0;
    for (auto _ : state) box.edit()->setText(queries[k++ % 2]);
    state.counters["shown"] = double(box.hits().size());
}
BENCHMARK(BM_SearchBoxKeystroke)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::runWithApplication(argc, argv);
}
