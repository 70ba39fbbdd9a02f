#include <gtest/gtest.h>

#include "tests/support/WindowPump.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::StartWindowSystem(argc, argv);
    return RUN_ALL_TESTS();
}
