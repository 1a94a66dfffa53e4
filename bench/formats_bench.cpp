// What reading other programs' question files costs, on a file as large as the biggest bank we
// know (large-test.mdb's shape: 14 topics of 300 questions, 4 or 5 answers each, 600 questions
// with a picture), generated here as Moodle XML with the 600 pictures embedded as base64
// (8 to 48 KB each, 17 MB in all; the file is 24 MB):
// - BM_ReadMoodleXml: the whole read with the check of every question against the bank's
//   columns (the import's goal for read, check and add together is 2 s);
// - BM_PlanPictureNames: names for the 600 pictures against a data folder already holding 600
//   other files, and BM_ReadFolderAndPlan with the folder read from disk;
// - BM_WritePictures: the 600 files written into an empty folder, each atomically;
// - BM_WriteMoodleXml and BM_ReadGift: the export of the same questions, and a GIFT file of them
//   read back;
// - BM_AddMoodleXmlToBank: the import as the editor runs it, from the file on disk to the
//   questions in a bank: read, checked and planned (BankImport::plan), then added (the backup,
//   the 600 pictures written, one write scope with the undo history recording it). The goal is
//   2 s. The bank starts empty each time, as a new bank filled from a learning platform.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "bulk/addimport.h"
#include "bulk/importexport.h"
#include "formats/gift.h"
#include "formats/moodlexml.h"
#include "formats/pictures.h"
#include "jet/create.h"
#include "store/bank/testbank.h"
#include "store/tdatmod.h"

namespace {

using namespace zn::formats;

constexpr int kTopics = 14;
constexpr int kPerTopic = 300;
constexpr int kPictures = 600;

// Bytes that pass for a PNG picture: its signature, then noise (which base64 cannot shrink).
QByteArray picture(int i) {
    QRandomGenerator rng(quint32(i + 1));
    QByteArray b("\x89PNG\r\n\x1A\n", 8);
    const int size = 8 * 1024 + int(rng.bounded(40 * 1024));
    b.resize(size);
    for (int k = 8; k < size; ++k) b[k] = char(rng.bounded(256));
    return b;
}

// The questions of the large bank, every seventh with a picture of its own.
const QuestionSet& largeSet() {
    static const QuestionSet set = [] {
        QuestionSet s;
        for (int i = 0; i < kPictures; ++i)
            s.pictures.push_back({QStringLiteral("pic%1.png").arg(i), picture(i), true});
        int withPicture = 0;
        for (int t = 0; t < kTopics; ++t)
            for (int n = 0; n < kPerTopic; ++n) {
                Question q;
                q.topic = QStringLiteral("Тема %1: раздел курса").arg(t + 1);
                q.text = QStringLiteral(
                             "Вопрос %1 темы %2: какое из утверждений о «предмете» "
                             "верно?\r\nВыберите один ответ.")
                             .arg(n + 1)
                             .arg(t + 1);
                const int answers = 4 + n % 2;
                for (int a = 0; a < answers; ++a)
                    q.answers.push_back(
                        QStringLiteral("Утверждение %1 — с пояснением & оговоркой").arg(a + 1));
                q.correct = 1 + n % answers;
                if ((t * kPerTopic + n) % 7 == 0 && withPicture < kPictures)
                    q.picture = withPicture++;
                s.questions.push_back(std::move(q));
            }
        return s;
    }();
    return set;
}

const QByteArray& largeXml() {
    static const QByteArray bytes = writeMoodleXml(largeSet()).bytes;
    return bytes;
}

void BM_ReadMoodleXml(benchmark::State& state) {
    const QByteArray& bytes = largeXml();
    size_t questions = 0, pictures = 0;
    for (auto _ : state) {
        const ReadResult r = readMoodleXml(bytes);
        questions = r.questions.size();
        pictures = r.pictures.size();
        benchmark::DoNotOptimize(r.questions.data());
    }
    state.counters["questions"] = double(questions);
    state.counters["pictures"] = double(pictures);
    state.counters["file MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_ReadMoodleXml)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<ExistingFile> otherFiles() {
    std::vector<ExistingFile> files;
    for (int i = 0; i < kPictures; ++i) files.push_back({QStringLiteral("pic%1.png").arg(i), {}});
    return files;
}

void BM_PlanPictureNames(benchmark::State& state) {
    const std::vector<ExistingFile> folder = otherFiles();
    const std::vector<Picture>& pictures = largeSet().pictures;
    for (auto _ : state) benchmark::DoNotOptimize(planPictureNames(pictures, folder, 10));
}
BENCHMARK(BM_PlanPictureNames)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadFolderAndPlan(benchmark::State& state) {
    QTemporaryDir dir;
    const std::vector<Picture>& pictures = largeSet().pictures;
    // The folder holds the same 600 pictures already: each is read and found by its bytes.
    const std::vector<PlannedPicture> first = planPictureNames(pictures, {}, 10);
    QString error;
    if (!writePlannedPictures(dir.path(), pictures, first, &error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        const auto plan = planPictureNames(pictures, readPictureFolder(dir.path(), pictures), 10);
        benchmark::DoNotOptimize(plan.data());
    }
}
BENCHMARK(BM_ReadFolderAndPlan)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WritePictures(benchmark::State& state) {
    const std::vector<Picture>& pictures = largeSet().pictures;
    const std::vector<PlannedPicture> plan = planPictureNames(pictures, {}, 10);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        state.ResumeTiming();
        QString error;
        if (!writePlannedPictures(dir.path(), pictures, plan, &error))
            state.SkipWithError(error.toStdString().c_str());
    }
}
BENCHMARK(BM_WritePictures)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteMoodleXml(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(writeMoodleXml(largeSet()).bytes.size());
}
BENCHMARK(BM_WriteMoodleXml)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadGift(benchmark::State& state) {
    const QByteArray bytes = writeGift(largeSet()).bytes;
    for (auto _ : state) benchmark::DoNotOptimize(readGift(bytes).questions.size());
}
BENCHMARK(BM_ReadGift)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AddMoodleXmlToBank(benchmark::State& state) {
    QTemporaryDir dir;
    const QString xml = dir.path() + QStringLiteral("/вопросы.xml");
    {
        QFile f(xml);
        if (!f.open(QIODevice::WriteOnly) || f.write(largeXml()) != largeXml().size()) {
            state.SkipWithError("cannot write the file");
            return;
        }
    }
    int run = 0;
    size_t questions = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString folder = dir.path() + QStringLiteral("/bank%1").arg(++run);
        QDir().mkpath(folder);
        const QString db = folder + QStringLiteral("/test.mdb");
        {
            auto created = jet::createDatabase(db.toStdString());
            zn::bank::createTestSchema(*created);
        }
        zn::TDatMod dm;
        dm.Conn.setConnectionString(zn::TDatMod::connectionString(db));
        dm.reopen();
        zn::Feedback feedback;
        const zn::Session session{folder + QStringLiteral("/data/"), db};
        zn::BankExchange exchange(dm, feedback, session, {});
        zn::BankImport import(dm, feedback, exchange, {});
        state.ResumeTiming();

        const zn::ImportPlan plan =
            import.plan(xml, Format::MoodleXml, zn::ImportMode::Add, session.dataFolder);
        import.run(plan);
        questions = plan.read.questions.size();

        state.PauseTiming();
        dm.Conn.close();
        state.ResumeTiming();
    }
    state.counters["questions"] = double(questions);
}
BENCHMARK(BM_AddMoodleXmlToBank)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
