// Shared by the benchmarks: a writable copy of the large shared bank, and the main() of a
// benchmark that needs a QApplication.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

namespace benchsupport {

// large-test.mdb of the shared fixtures (14 topics of 300 questions).
inline QString largeBank() {
    return QStringLiteral(ZN_FIXTURES_DIR "/large-test.mdb");
}

// A writable copy of large-test.mdb as test.mdb in `dir`, or "" with the benchmark skipped,
// saying why, when the shared fixtures are absent.
inline QString copyOfLargeBank(const QTemporaryDir& dir, benchmark::State& state) {
    if (!QFileInfo(largeBank()).isFile()) {
        state.SkipWithError("the shared fixtures folder (../shared/fixtures/mdb) is absent");
        return {};
    }
    const QString file = dir.filePath(QStringLiteral("test.mdb"));
    QFile::copy(largeBank(), file);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    return file;
}

// Runs the benchmarks with a QApplication (offscreen unless QT_QPA_PLATFORM says otherwise).
inline int runWithApplication(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchsupport
