// What the Russian spell checking costs (the bounds: the whole large bank in at most 1 s, a
// keystroke in a 2,000-character text in at most 5 ms):
// - loading the system's Russian dictionary (done once per process, on a thread of its own, at
//   start-up), and a later checker that shares it;
// - the unknown-words check of large-test.mdb (4,200 questions, 16,858 answers; a generated bank
//   of that size when the shared fixtures are absent) as the problem list runs it: the first check
//   of a session (every verdict looked up in the dictionary), a later one (word verdicts cached),
//   the first check of the bank with a typo in every question, a later one with the texts' verdicts
//   kept, and from nothing (dictionary load and first check);
// - a keystroke in a box holding one 2,000-character paragraph of the bank's text with a few
//   typos: the key typed and the events after it processed (the block re-highlighted and
//   painted), with spell checking attached and without; and the re-highlighting of that block
//   alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <memory>

#include "bench/support.h"
#include "problems/bankcheck.h"
#include "spell/checker.h"
#include "spell/highlighter.h"
#include "spell/spellbox.h"
#include "spell/unknownwords.h"
#include "spell/words.h"
#include "store/tdatmod.h"

namespace {

using zn::spell::Checker;

// A bank the size of large-test.mdb (14 topics of 300 questions, 16,858 answers) with texts
// made of common Russian words, for when the shared fixtures are absent.
zn::problems::BankRows generatedBank() {
    static const char16_t* const words[] = {u"какой",
                                            u"прибор",
                                            u"измеряет",
                                            u"силу",
                                            u"тока",
                                            u"в",
                                            u"электрической",
                                            u"цепи",
                                            u"напряжение",
                                            u"сопротивление",
                                            u"проводника",
                                            u"зависит",
                                            u"от",
                                            u"его",
                                            u"длины",
                                            u"и",
                                            u"площади",
                                            u"сечения",
                                            u"что",
                                            u"называют",
                                            u"мощностью",
                                            u"работа",
                                            u"время",
                                            u"электромонтёр",
                                            u"должен",
                                            u"проверить",
                                            u"заземление",
                                            u"перед",
                                            u"началом",
                                            u"смены",
                                            u"наряд-допуск",
                                            u"выдаёт",
                                            u"мастер",
                                            u"участка",
                                            u"ещё",
                                            u"не",
                                            u"всегда",
                                            u"закон",
                                            u"Ома",
                                            u"для",
                                            u"участка",
                                            u"цепи",
                                            u"вольтметр",
                                            u"амперметр",
                                            u"ваттметр"};
    constexpr int kWords = int(std::size(words));
    zn::problems::BankRows b;
    quint32 seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    auto sentence = [&](int n) {
        QString t;
        for (int i = 0; i < n; ++i) {
            if (i) t += u' ';
            QString w = QString::fromUtf16(words[next() % kWords]);
            if (i == 0) w[0] = w[0].toUpper();
            t += w;
        }
        return t + u'?';
    };
    qint64 questionId = 0, answerId = 0;
    for (qint64 topic = 1; topic <= 14; ++topic) {
        b.topics.push_back({topic, topic, QStringLiteral("Тема %1").arg(topic), 300});
        for (qint64 q = 1; q <= 300; ++q) {
            ++questionId;
            const int answers = questionId % 10 < 4 ? 5 : 4;  // 16,800 answers and more
            b.questions.push_back(
                {questionId, topic, q, sentence(8 + int(next() % 12)), 1, answers, {}});
            for (int a = 1; a <= answers; ++a)
                b.answers.push_back({++answerId, questionId, a, sentence(2 + int(next() % 5))});
        }
    }
    return b;
}

// The rows of large-test.mdb (or of a generated bank of its size), read once for all the
// benchmarks.
const zn::problems::BankRows* largeBank(benchmark::State& state) {
    static std::unique_ptr<zn::problems::BankRows> rows;
    if (!rows) {
        if (!QFileInfo(benchsupport::largeBank()).isFile()) {
            rows = std::make_unique<zn::problems::BankRows>(generatedBank());
            return rows.get();
        }
        QTemporaryDir dir;
        const QString file = benchsupport::copyOfLargeBank(dir, state);
        if (file.isEmpty()) return nullptr;
        zn::TDatMod dm;
        dm.connectTo(file);
        rows = std::make_unique<zn::problems::BankRows>(
            zn::problems::readBankRows(dm.Conn.database()));
    }
    return rows.get();
}

std::unique_ptr<Checker> loadedChecker(benchmark::State& state) {
    auto checker = std::make_unique<Checker>();
    if (checker->waitUntilLoaded() != Checker::State::Ready) {
        state.SkipWithError(qPrintable(checker->unavailableReason()));
        return nullptr;
    }
    return checker;
}

// The system's Russian dictionary under a path of its own: checkers share what was loaded from
// one path, so a load is only measured on a path no checker has seen.
zn::spell::Dictionary freshRussian(const QTemporaryDir& dir, int n) {
    const zn::spell::Dictionary system = zn::spell::Dictionary::russian();
    const QString base = dir.filePath(QStringLiteral("ru_RU_%1").arg(n));
    const zn::spell::Dictionary copy{base + QStringLiteral(".aff"), base + QStringLiteral(".dic")};
    QFile::copy(system.affFile, copy.affFile);
    QFile::copy(system.dicFile, copy.dicFile);
    return copy;
}

// Each load stays in memory (shared for the process): a few iterations only.
void BM_LoadDictionary(benchmark::State& state) {
    QTemporaryDir dir;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const zn::spell::Dictionary d = freshRussian(dir, n++);
        state.ResumeTiming();
        Checker checker(d);
        benchmark::DoNotOptimize(checker.waitUntilLoaded());
    }
}
// The loading runs on a thread of its own: the CPU time is the process's.
BENCHMARK(BM_LoadDictionary)->MeasureProcessCPUTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A checker on a dictionary another checker has loaded already (a later window of the process).
void BM_SharedDictionary(benchmark::State& state) {
    if (!loadedChecker(state)) return;
    for (auto _ : state) {
        Checker checker;
        benchmark::DoNotOptimize(checker.waitUntilLoaded());
    }
}
BENCHMARK(BM_SharedDictionary)->Unit(benchmark::kMicrosecond);

// The bank with a typo in every question: the second and third letters of its longest word
// swapped (large-test.mdb's texts are all in the dictionary).
const zn::problems::BankRows* largeBankWithTypos(benchmark::State& state) {
    static std::unique_ptr<zn::problems::BankRows> rows;
    if (!rows) {
        const zn::problems::BankRows* bank = largeBank(state);
        if (!bank) return nullptr;
        rows = std::make_unique<zn::problems::BankRows>(*bank);
        for (auto& q : rows->questions) {
            zn::spell::WordSpan longest;
            for (const auto& w : zn::spell::wordSpans(q.vopros))
                if (w.length > longest.length) longest = w;
            if (longest.length < 4) continue;
            std::swap(q.vopros[longest.start + 1], q.vopros[longest.start + 2]);
        }
    }
    return rows.get();
}

// state.range(0): 0 = a fresh checker per check (its first check), 1 = one checker for all,
// 2 = a fresh checker on the bank with a typo in every question, 3 = one checker and the text
// verdicts kept from the check before (as the problem list runs it after a command).
void BM_UnknownWordsLargeBank(benchmark::State& state) {
    const zn::problems::BankRows* bank =
        state.range(0) == 2 ? largeBankWithTypos(state) : largeBank(state);
    if (!bank) return;
    std::unique_ptr<Checker> checker = loadedChecker(state);
    if (!checker) return;
    const bool fresh = state.range(0) == 0 || state.range(0) == 2;
    zn::spell::TextVerdicts kept;
    zn::spell::TextVerdicts* keep = state.range(0) == 3 ? &kept : nullptr;
    if (!fresh) zn::spell::findUnknownWords(bank->questions, bank->answers, *checker, keep);
    size_t unknown = 0, places = 0;
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            checker = loadedChecker(state);
            state.ResumeTiming();
        }
        const auto words =
            zn::spell::findUnknownWords(bank->questions, bank->answers, *checker, keep);
        unknown = words.size();
        places = 0;
        for (const auto& w : words) places += w.places.size();
    }
    state.counters["unknown words"] = double(unknown);
    state.counters["places"] = double(places);
}
BENCHMARK(BM_UnknownWordsLargeBank)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The dictionary loaded and the bank checked, on a dictionary no checker has loaded before.
void BM_UnknownWordsLargeBankFromNothing(benchmark::State& state) {
    const zn::problems::BankRows* bank = largeBank(state);
    if (!bank) return;
    QTemporaryDir dir;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const zn::spell::Dictionary d = freshRussian(dir, n++);
        state.ResumeTiming();
        Checker checker(d);
        benchmark::DoNotOptimize(
            zn::spell::findUnknownWords(bank->questions, bank->answers, checker));
    }
}
BENCHMARK(BM_UnknownWordsLargeBankFromNothing)
    ->MeasureProcessCPUTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// One paragraph of 2,000 characters of the bank's question texts, with a typo every 400.
QString paragraph(const zn::problems::BankRows& bank) {
    QString text;
    for (const auto& q : bank.questions) {
        text += q.vopros.simplified() + u' ';
        if (text.size() >= 2000) break;
    }
    text.truncate(2000);
    const QString typos[] = {QStringLiteral(" карова "), QStringLiteral(" вапрос "),
                             QStringLiteral(" ашибка "), QStringLiteral(" электромантер ")};
    for (int i = 0; i < 4; ++i) text.replace(400 * (i + 1), typos[i].size(), typos[i]);
    return text;
}

// A keystroke in the middle of the paragraph: a letter typed, then taken back with Backspace,
// alternately; each iteration is one key with the events it causes processed.
// state.range(0): 1 = spell checking attached, 0 = a plain box.
void BM_Keystroke2000(benchmark::State& state) {
    const zn::problems::BankRows* bank = largeBank(state);
    if (!bank) return;
    std::unique_ptr<Checker> checker = loadedChecker(state);
    if (!checker) return;
    QPlainTextEdit box;
    box.resize(700, 400);
    if (state.range(0)) zn::spell::attachSpellChecking(&box, *checker);
    box.setPlainText(paragraph(*bank));
    box.show();
    if (!QTest::qWaitForWindowExposed(&box)) state.SkipWithError("the box was not shown");
    QCoreApplication::processEvents();
    QTextCursor middle(box.document());
    middle.setPosition(1003);
    box.setTextCursor(middle);
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            QTest::keyClick(&box, Qt::Key_Backspace);
        else
            QTest::sendKeyEvent(QTest::Click, &box, Qt::Key_unknown, QStringLiteral("ы"),
                                Qt::NoModifier);
        typed = !typed;
        QCoreApplication::processEvents();
    }
    state.counters["characters"] = double(box.document()->characterCount() - 1);
}
BENCHMARK(BM_Keystroke2000)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The re-highlighting of the 2,000-character block alone, verdicts cached.
void BM_RehighlightBlock2000(benchmark::State& state) {
    const zn::problems::BankRows* bank = largeBank(state);
    if (!bank) return;
    std::unique_ptr<Checker> checker = loadedChecker(state);
    if (!checker) return;
    QTextDocument doc;
    doc.setPlainText(paragraph(*bank));
    auto* highlighter = new zn::spell::SpellHighlighter(*checker, &doc);
    highlighter->rehighlight();
    for (auto _ : state) highlighter->rehighlightBlock(doc.firstBlock());
}
BENCHMARK(BM_RehighlightBlock2000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::runWithApplication(argc, argv);
}
