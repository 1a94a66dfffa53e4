// What the question commands cost on large-test.mdb (14 topics of 300 questions, 16858
// answers), each the whole command as "Записать" or "Удалить вопрос" runs it: finding the row
// the page was opened for, the write scope with the question counts, the commit and TreeObnov
// (4214 nodes and TbTema rows, the first question's page). The tree selection that comes before
// a command (a click in the tree) is not timed.
// - save of an edited question with 6 answers (the last question of the largest topic);
// - save of a new question with 6 answers into the largest topic (its number is found by
//   walking the topic's questions);
// - deletion of the first question of the largest topic, renumbering the 299 after it. Each
//   iteration deletes one more, so the topic shrinks by the iteration count (fixed at 20);
// - deletion of topic 1 of 14 with its 300 questions and their answers, renumbering and
//   re-keying the 13 topics after it (on a fresh copy each time);
// - deleting all data (every topic, question and answer in one write scope, before the
//   compaction; on a fresh copy each time);
// - undo of deleting topic 1, with and without the tree rebuild; the save of an edited question
//   with and without the undo history.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <memory>

#include "bench/support.h"
#include "bulk/deleteall.h"
#include "editor/questioncommands.h"
#include "editor/topiccommands.h"
#include "store/feedback.h"
#include "store/session.h"
#include "store/tdatmod.h"
#include "tree/topictree.h"

namespace {

// A writable copy of large-test.mdb with the data module, the tree and the question commands.
struct Bench {
    bool ok = false;
    QTemporaryDir dir;
    zn::Session session;
    zn::TDatMod dm;
    QTreeWidget treeDb;
    QProgressBar progBar1;
    zn::Feedback feedback;
    std::unique_ptr<zn::TopicTree> tree;
    std::unique_ptr<zn::QuestionCommands> commands;

    explicit Bench(benchmark::State& state) {
        const QString file = benchsupport::copyOfLargeBank(dir, state);
        if (file.isEmpty()) return;
        session.dataFolder = dir.filePath(QStringLiteral("data")) + u'/';
        dm.connectTo(file);
        dm.qrtema.open();
        dm.TbTema.close();
        dm.TbTema.open();
        zn::TreeControls c;
        c.treeDb = &treeDb;
        c.progBar1 = &progBar1;
        c.loadPreview = [](const QString&) {};
        tree = std::make_unique<zn::TopicTree>(dm, session, c);
        tree->startupBuild();
        commands =
            std::make_unique<zn::QuestionCommands>(dm, feedback, [this] { tree->TreeObnov(); });
        ok = true;
    }
    ~Bench() {
        commands.reset();
        tree.reset();
    }

    QTreeWidgetItem* largestTopic() {
        QTreeWidgetItem* best = treeDb.topLevelItem(0);
        for (int i = 1; i < treeDb.topLevelItemCount(); ++i)
            if (treeDb.topLevelItem(i)->childCount() > best->childCount())
                best = treeDb.topLevelItem(i);
        return best;
    }
    // A click in the tree: the selection positions the cursors.
    void select(QTreeWidgetItem* node) { treeDb.setCurrentItem(node); }

    static void fill(zn::QuestionDraft& d, int round) {
        d.question = QStringLiteral("Вопрос, записанный в проходе %1").arg(round);
        for (int k = 0; k < 6; ++k)
            d.answers[size_t(k)] = QStringLiteral("Ответ %1, проход %2").arg(k + 1).arg(round);
        d.answerCount = 6;
        d.marked = round % 6 + 1;
    }
};

// Argument 1: with the undo history kept (as the program runs); 0: without it, for the extra
// cost of keeping the pages' images.
void BM_SaveEditedQuestion6Answers(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    if (state.range(0) == 0) b.dm.history.setEnabled(false);
    const int topic = b.treeDb.indexOfTopLevelItem(b.largestTopic());
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTreeWidgetItem* t = b.treeDb.topLevelItem(topic);
        b.select(t->child(t->childCount() - 1));
        zn::QuestionDraft d = *b.commands->draftOfCurrent();
        Bench::fill(d, ++round);
        state.ResumeTiming();
        if (!b.commands->save(d)) state.SkipWithError("the save was refused");
    }
}
BENCHMARK(BM_SaveEditedQuestion6Answers)->Unit(benchmark::kMillisecond)->Arg(1)->Arg(0);

void BM_SaveNewQuestion6Answers(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    const int topic = b.treeDb.indexOfTopLevelItem(b.largestTopic());
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        b.select(b.treeDb.topLevelItem(topic));
        zn::QuestionDraft d = *b.commands->draftForNew();
        Bench::fill(d, ++round);
        state.ResumeTiming();
        if (!b.commands->save(d)) state.SkipWithError("the save was refused");
    }
    state.counters["questionsAfter"] = b.treeDb.topLevelItem(topic)->childCount();
}
BENCHMARK(BM_SaveNewQuestion6Answers)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DeleteQuestionRenumberTopic(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    const int topic = b.treeDb.indexOfTopLevelItem(b.largestTopic());
    for (auto _ : state) {
        state.PauseTiming();
        b.select(b.treeDb.topLevelItem(topic)->child(0));
        state.ResumeTiming();
        b.commands->deleteQuestion();
    }
    state.counters["questionsAfter"] = b.treeDb.topLevelItem(topic)->childCount();
}
BENCHMARK(BM_DeleteQuestionRenumberTopic)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DeleteTopic1Renumber13(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        {
            Bench b(state);
            if (!b.ok) return;
            zn::TopicCommands topics(b.dm, b.feedback, [&b] { b.tree->TreeObnov(); });
            b.select(b.treeDb.topLevelItem(0));
            state.ResumeTiming();
            topics.deleteTopic();
            state.PauseTiming();
            state.counters["topicsAfter"] = b.treeDb.topLevelItemCount();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteTopic1Renumber13)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_DeleteAllDataBeforeCompaction(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        {
            Bench b(state);
            if (!b.ok) return;
            zn::BulkDeletion del(b.dm, b.feedback, b.session);
            state.ResumeTiming();
            b.dm.write([&] { del.deleteRows(); });
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteAllDataBeforeCompaction)->Unit(benchmark::kMillisecond)->Iterations(5);
// Undo of deleting topic 1 (its 300 questions and their answers, the other topics renumbered):
// the history puts the pages back in one transaction and the datasets are read again; argument
// 1 adds the tree rebuild that follows in the program. Between iterations the deletion is
// redone (not timed).
void BM_UndoDeleteTopic1(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    b.dm.qrtema.first();
    zn::TopicCommands(b.dm, b.feedback, {}).deleteTopic();
    bool first = true;
    for (auto _ : state) {
        state.PauseTiming();
        if (!first) b.dm.redo();
        first = false;
        state.ResumeTiming();
        if (!b.dm.undo().isEmpty()) state.SkipWithError("the undo was refused");
        if (state.range(0)) b.tree->TreeObnov();
    }
    state.counters["topicsAfter"] = b.dm.qrtema.recordCount();
}
BENCHMARK(BM_UndoDeleteTopic1)->Unit(benchmark::kMillisecond)->Arg(0)->Arg(1)->Iterations(10);

// The tree rebuild alone, which every command ends with.
void BM_TreeObnovAlone(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    for (auto _ : state) b.tree->TreeObnov();
}
BENCHMARK(BM_TreeObnovAlone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::runWithApplication(argc, argv);
}
