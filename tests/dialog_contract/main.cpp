#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/WindowPump.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::StartWindowSystem(argc, argv);
    const int result = RUN_ALL_TESTS();
    // The window system lives until the process ends: tearing it down among
    // the other static objects would crash on the way out.
    std::fflush(nullptr);
    std::_Exit(result);
}
