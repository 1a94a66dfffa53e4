// What the tree costs on large-test.mdb (14 topics of 300 questions, 16858 answers):
// - TreeObnov: rewriting 14 question counts, 4214 nodes and TbTema rows, and the selection of
//   the first question with its page;
// - selecting the largest topic: its summary, that is two chained re-queries and one question
//   page per question; alone, and with the summary loaded into a QTextBrowser set up as the
//   preview and laid out (every picture a 240 x 240 JPEG, backgrounds the demo tiles).
// Peak memory: run under /usr/bin/time -v with --benchmark_filter for one operation.
#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>
#include <memory>

#include "bench/support.h"
#include "preview/htmlview.h"
#include "preview/pagefeeder.h"
#include "store/dbdataset.h"
#include "store/session.h"
#include "store/tdatmod.h"
#include "tree/topictree.h"

namespace {

// A writable copy of large-test.mdb with the data module, a tree and a progress bar on it.
struct Bench {
    bool ok = false;
    QTemporaryDir dir;
    zn::Session session;
    zn::TDatMod dm;
    QTreeWidget treeDb;
    QProgressBar progBar1;
    QString lastPreview;
    std::unique_ptr<zn::TopicTree> tree;

    explicit Bench(benchmark::State& state) {
        const QString file = benchsupport::copyOfLargeBank(dir, state);
        if (file.isEmpty()) return;
        dm.connectTo(file);
        makeDataFolder();
        dm.qrtema.open();
        dm.TbTema.close();
        dm.TbTema.open();
        zn::TreeControls c;
        c.treeDb = &treeDb;
        c.progBar1 = &progBar1;
        c.loadPreview = [this](const QString& html) { lastPreview = html; };
        tree = std::make_unique<zn::TopicTree>(dm, session, c);
        tree->startupBuild();
        ok = true;
    }
    ~Bench() { tree.reset(); }

    // A data folder with the demo background pictures and, under every picture name the
    // questions use, the demo JPEG picture, so that showing a page decodes real pictures.
    void makeDataFolder() {
        const QString demo = QStringLiteral(ZN_DEMO_DATA_DIR);
        session.dataFolder = dir.filePath(QStringLiteral("data")) + u'/';
        QDir().mkpath(session.dataFolder);
        for (const char* bg : {"bg1.gif", "bg2.gif", "bg3.gif"})
            QFile::copy(demo + QLatin1String(bg), session.dataFolder + QLatin1String(bg));
        QSet<QString> names;
        zn::DbDataset questions(QStringLiteral("benchPictures"), dm.Conn);
        questions.setTableName(QStringLiteral("Voprosi"));
        questions.open();
        for (questions.first(); !questions.eof(); questions.next())
            if (!questions.asString("img").isEmpty()) names.insert(questions.asString("img"));
        for (const QString& name : names)
            QFile::copy(demo + QStringLiteral("p2.jpg"), session.dataFolder + name);
    }

    // The topic node with the most questions.
    QTreeWidgetItem* largestTopic() {
        QTreeWidgetItem* best = treeDb.topLevelItem(0);
        for (int i = 1; i < treeDb.topLevelItemCount(); ++i)
            if (treeDb.topLevelItem(i)->childCount() > best->childCount())
                best = treeDb.topLevelItem(i);
        return best;
    }
};

void BM_TreeObnov(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    for (auto _ : state) b.tree->TreeObnov();
    state.counters["nodes"] = double(b.dm.TbTema.recordCount());
}
BENCHMARK(BM_TreeObnov)->Unit(benchmark::kMillisecond);

void BM_SelectLargestTopic_Summary(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    QTreeWidgetItem* topic = b.largestTopic();
    for (auto _ : state) b.tree->TreeDbChange(topic);
    state.counters["questions"] = topic->childCount();
    state.counters["summaryKB"] = double(b.lastPreview.size() * 2) / 1024.0;
}
BENCHMARK(BM_SelectLargestTopic_Summary)->Unit(benchmark::kMillisecond);

void BM_SelectLargestTopic_SummaryShown(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    QTextBrowser hv;
    hv.setOpenLinks(false);
    hv.resize(760, 480);
    hv.show();
    b.tree->controls().loadPreview = [&hv, &b](const QString& html) {
        b.lastPreview = html;
        hv.setHtml(zn::htmlForView(html));
    };
    QTreeWidgetItem* topic = b.largestTopic();
    for (auto _ : state) {
        b.tree->TreeDbChange(topic);
        // Lay the whole document out, as scrolling through it would.
        benchmark::DoNotOptimize(hv.document()->documentLayout()->documentSize());
    }
    state.counters["questions"] = topic->childCount();
    state.counters["heightPx"] = hv.document()->documentLayout()->documentSize().height();
    state.counters["pictures"] = double(b.lastPreview.count(QStringLiteral("<img src=")));
}
BENCHMARK(BM_SelectLargestTopic_SummaryShown)->Unit(benchmark::kMillisecond);

// The real selection of the largest topic as the main window shows it: the time until its
// page is on screen and the window takes input again (the selection, the first questions laid
// out and painted), the longest step of the rest (the window takes no input during one), and the
// time until the whole summary is in the view.
void BM_SelectLargestTopic_Responsive(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    QTextBrowser hv;
    hv.setOpenLinks(false);
    hv.resize(760, 480);
    hv.show();
    zn::PageFeeder feeder(hv);
    b.tree->controls().loadPreview = [&feeder](const QString& html) { feeder.show(html); };
    QTreeWidgetItem* topic = b.largestTopic();
    QElapsedTimer clock;
    double longestStep = 0, complete = 0;
    for (auto _ : state) {
        b.tree->TreeDbChange(topic);
        benchmark::DoNotOptimize(hv.document()->documentLayout()->documentSize());
        hv.viewport()->repaint();
        state.PauseTiming();
        clock.start();
        while (feeder.pending()) {
            QElapsedTimer step;
            step.start();
            QCoreApplication::processEvents();
            longestStep = std::max(longestStep, double(step.nsecsElapsed()) / 1e6);
        }
        complete = double(clock.nsecsElapsed()) / 1e6;
        state.ResumeTiming();
    }
    state.counters["longestStepMs"] = longestStep;
    state.counters["restMs"] = complete;
    state.counters["heightPx"] = hv.document()->documentLayout()->documentSize().height();
}
BENCHMARK(BM_SelectLargestTopic_Responsive)->Unit(benchmark::kMillisecond);

// Resident memory after showing every topic's summary once and then a second time, in the
// main window's way: nothing may grow per visit.
long residentKb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0;
}

void BM_VisitEveryTopicTwice(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    QTextBrowser hv;
    hv.resize(760, 480);
    hv.show();
    zn::PageFeeder feeder(hv);
    b.tree->controls().loadPreview = [&feeder](const QString& html) { feeder.show(html); };
    long after[3] = {};
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < b.treeDb.topLevelItemCount(); ++i) {
                b.tree->TreeDbChange(b.treeDb.topLevelItem(i));
                feeder.finish();
                QCoreApplication::processEvents();
            }
            after[round] = residentKb();
        }
    }
    state.counters["rssOnceMB"] = double(after[0]) / 1024;
    state.counters["rssTwiceMB"] = double(after[1]) / 1024;
    state.counters["rssThriceMB"] = double(after[2]) / 1024;
}
BENCHMARK(BM_VisitEveryTopicTwice)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::runWithApplication(argc, argv);
}
