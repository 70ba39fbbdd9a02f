#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/SystemError.h"

namespace zonter_test {
namespace {

// The tests run in the C locale, where the system words its errors so.
TEST(SystemErrorTest, TheSystemsOwnTextForAnErrorNumber) {
    const struct {
        int error;
        const char* text;
    } cases[] = {
        {ENOENT, "No such file or directory"},
        {EACCES, "Permission denied"},
        {EBUSY, "Device or resource busy"},
        {EWOULDBLOCK, "Resource temporarily unavailable"},
        {0, ""},  // no error, no text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(platform::SystemErrorText(c.error), c.text);
    }
    EXPECT_EQ(platform::SystemErrorText(987654).rfind("Unknown error", 0), 0u);
}

}  // namespace
}  // namespace zonter_test
