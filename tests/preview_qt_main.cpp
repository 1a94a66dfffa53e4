// GoogleTest main for the tests that need a QApplication (widgets, fonts, image plugins).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Widgets need a platform; without a display the tests run offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
