#include <gtest/gtest.h>

#include "platform/ui/win32/Win32DialogWindow.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    platform::ui::win32::Win32WindowSystem::Install();
    return RUN_ALL_TESTS();
}
