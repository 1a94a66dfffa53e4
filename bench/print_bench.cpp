// What a printout of large-test.mdb (14 topics, 4,200 questions, 16,858 answers, 600 questions
// naming a picture) costs, each run the whole command after the dialog: the bank read through
// the engine, the paper, the pictures looked at, the pages laid out and the PDF written.
// - the whole bank with its key and all 600 pictures present (small PNG and JPEG files made
//   here; the fixture's data folder has none): goal 5 s and 300 MB for the whole process
//   (bench/print.sh measures that with znbank pdf);
// - a variant of 10 questions from each of topics 1 to 3 (30 questions) with its key: goal
//   300 ms.
// `print_bench --pictures FOLDER` only writes the 600 pictures into FOLDER (for print.sh).
#include <benchmark/benchmark.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTemporaryDir>
#include <cstring>

#include "preview/datafiles.h"
#include "print/pictures.h"
#include "print/render.h"
#include "print/source.h"
#include "store/tdatmod.h"

namespace {

const QString kLarge = QStringLiteral(ZN_FIXTURES_DIR "/large-test.mdb");

// The pictures the bank names, 200 x 150 each, every one different, in `folder`.
int writePictures(zn::TDatMod& dm, const QString& folder) {
    QDir().mkpath(folder);
    const zn::print::Source source = zn::print::readSource(dm);
    QSet<QString> names;
    for (const auto& q : source.questions)
        if (!q.img.trimmed().isEmpty()) names.insert(q.img.trimmed());
    int k = 0;
    for (const QString& name : names) {
        QImage image(200, 150, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((k * 37) % 360, 120, 230));
        QPainter p(&image);
        p.setPen(QPen(QColor::fromHsv((k * 91) % 360, 200, 120), 3));
        for (int i = 0; i < 12; ++i) p.drawLine(0, i * 13 + k % 13, 200, 150 - i * 11);
        p.drawEllipse(40 + k % 60, 30, 80, 80);
        p.end();
        image.save(folder + u'/' + name,
                   QFileInfo(name).suffix().toLower() == u"png" ? "PNG" : "JPEG");
        ++k;
    }
    return k;
}

struct Bench {
    bool ok = false;
    QTemporaryDir dir;
    zn::TDatMod dm;
    QString data;

    explicit Bench(benchmark::State& state) {
        if (!QFileInfo(kLarge).isFile()) {
            state.SkipWithError("the shared fixtures folder (../shared/fixtures/mdb) is absent");
            return;
        }
        const QString file = dir.filePath(QStringLiteral("test.mdb"));
        QFile::copy(kLarge, file);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        dm.connectTo(file);
        dm.qrtema.open();
        dm.tbSettings.open();
        data = dir.filePath(QStringLiteral("data")) + u'/';
        writePictures(dm, data);
        ok = true;
    }

    // The command after the dialog; returns the pages.
    int print(const zn::print::Options& options) {
        using namespace zn::print;
        const Paper paper = makePaper(readSource(dm), options);
        const Pictures pictures = Pictures::load(paper.pictureNames(), data);
        return writePdf(paper, pictures, dir.filePath(QStringLiteral("out.pdf")));
    }
};

void BM_WholeBankWithKeyAndPictures(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    zn::print::Options o;
    o.key = true;
    int pages = 0;
    for (auto _ : state) pages = b.print(o);
    state.counters["pages"] = pages;
    state.counters["PDF MB"] =
        double(QFileInfo(b.dir.filePath(QStringLiteral("out.pdf"))).size()) / 1e6;
}
BENCHMARK(BM_WholeBankWithKeyAndPictures)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Variant30WithKey(benchmark::State& state) {
    Bench b(state);
    if (!b.ok) return;
    zn::print::Options o;
    o.scope = zn::print::Scope::Variants;
    o.topics = {1, 2, 3};
    o.perTopic = 10;
    o.seed = 12345;
    o.key = true;
    int pages = 0;
    for (auto _ : state) pages = b.print(o);
    state.counters["pages"] = pages;
}
BENCHMARK(BM_Variant30WithKey)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--pictures") == 0) {
        if (!QFileInfo(kLarge).isFile()) return 1;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("test.mdb"));
        QFile::copy(kLarge, file);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        zn::TDatMod dm;
        dm.connectTo(file);
        dm.tbSettings.open();
        std::printf("%d pictures\n", writePictures(dm, QString::fromLocal8Bit(argv[2])));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
