#include <gtest/gtest.h>

#include <string>

#include "tests/win32/LinePeer.h"

// The peer script names the port it registered: --port=COM5.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const std::string flag = "--port=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(flag, 0) == 0) zonter_test::LinePeer::PortName() = arg.substr(flag.size());
    }
    return RUN_ALL_TESTS();
}
