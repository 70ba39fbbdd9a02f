#include <gtest/gtest.h>

#include "tests/win32/LinePeer.h"

// The peer script names the port it registered: --port=COM5.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    zonter_test::LinePeer::TakePortArgument(argc, argv);
    return RUN_ALL_TESTS();
}
