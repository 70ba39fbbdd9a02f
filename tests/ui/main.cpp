#include <gtest/gtest.h>

#include "tests/support/WindowPump.h"
#include "tests/ui/ControllerLine.h"
#include "tests/ui/TestWindows.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    testing_ui::ReadLineArguments(argc, argv);
    // The window system may keep the count until the program's very end.
    static int count = argc;
    testing_support::StartWindowSystem(count, argv);
    // The same windows, each seen through the tests' stand-in.
    testing_ui::InstallTestWindows();
    return RUN_ALL_TESTS();
}
