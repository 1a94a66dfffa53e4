// Whole-process benchmark of the program's start-up: run in a folder holding test.mdb (and
// data/), it brings the program up as main() does, waits until the main window is on screen
// with its tree built and the first node's page shown, and prints the time since the process
// started and the peak resident memory. bench/commands.sh runs it on large-test.mdb.
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/startup.h"
#include "frame/imagelist.h"
#include "frame/tform1.h"
#include "frame/znapplication.h"

namespace {

// Milliseconds since the process started (its start time from /proc).
double msSinceProcessStart() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    FILE* f = std::fopen("/proc/self/stat", "r");
    unsigned long long startTicks = 0;
    if (f) {
        // Field 22 is the start time in clock ticks since boot; the command may hold blanks.
        char buf[4096] = {};
        const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
        std::fclose(f);
        const char* p = std::strrchr(buf, ')');
        int field = 2;
        for (; p && *p && field < 22; ++p)
            if (*p == ' ') ++field;
        if (p) startTicks = std::strtoull(p, nullptr, 10);
        (void)n;
    }
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double nowMs = boot.tv_sec * 1e3 + boot.tv_nsec / 1e6;
    return nowMs - double(startTicks) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    zn::ZnApplication app(argc, argv);
    app.setWindowIcon(zn::ImageList::appIcon());
    zn::Program program;
    if (!program.create()) return 1;
    program.show();
    zn::TForm1& form = *program.form1();
    if (!QTest::qWaitForWindowExposed(&form, 5000)) return 1;
    QCoreApplication::processEvents();
    const double ms = msSinceProcessStart();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("shown with %d topics after %.0f ms, peak %.1f MB\n",
                form.treeDb()->topLevelItemCount(), ms, double(usage.ru_maxrss) / 1024.0);
    return 0;
}
