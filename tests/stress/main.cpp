#include <QApplication>

#include <gtest/gtest.h>

#include "platform/ui/qt/QtDialogWindow.h"

int main(int argc, char** argv) {
    // Listing the tests at build time runs without a display as well.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    platform::ui::qt::QtWindowSystem::Install();
    return RUN_ALL_TESTS();
}
