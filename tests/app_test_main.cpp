// Runs the application frame's test classes under one ZnApplication (the exception-catching
// application object), so the guard's last line is active as in the program.
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "frame/znapplication.h"

int runFrameTests(int argc, char** argv);
int runGuardTests(int argc, char** argv);
int runStartupTests(int argc, char** argv);
int runTeacherTests(int argc, char** argv);

int main(int argc, char** argv) {
    zn::ZnApplication app(argc, argv);
    // The user's settings of the program under test go to a folder of the run's own.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    int failures = 0;
    failures += runGuardTests(argc, argv);
    failures += runFrameTests(argc, argv);
    failures += runStartupTests(argc, argv);
    failures += runTeacherTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
