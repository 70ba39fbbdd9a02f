#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test listing at build time runs without a display as well.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
