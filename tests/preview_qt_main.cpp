// GoogleTest main for the tests that need a QApplication (widgets, fonts, image plugins).
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // Widgets need a platform; without a display the tests run offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The user's settings of the program under test go to a folder of the run's own.
    QTemporaryDir settings;
    QCoreApplication::setOrganizationName(QStringLiteral("ZnatokarTests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
