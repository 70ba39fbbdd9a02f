#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/IntegerScan.h"

namespace zonter_test {
namespace {

using platform::ScanDialogInteger;

int Scan(const std::string& text) {
    int v = 4242;
    EXPECT_TRUE(ScanDialogInteger(text, v)) << '"' << text << '"';
    return v;
}

bool Refused(const std::string& text) {
    int v = 4242;
    const bool ok = ScanDialogInteger(text, v);
    return !ok && v == 4242;  // a refusal leaves the value alone
}

TEST(ScanDialogIntegerTest, LeadingIntegerIsTaken) {
    EXPECT_EQ(Scan("1200"), 1200);
    EXPECT_EQ(Scan(" 12abc"), 12);
    EXPECT_EQ(Scan("\t\n\v\f\r 5"), 5);
    EXPECT_EQ(Scan("-7"), -7);
    EXPECT_EQ(Scan("+3"), 3);
    EXPECT_EQ(Scan("007"), 7);
    EXPECT_EQ(Scan("9600 bit/s"), 9600);
    EXPECT_EQ(Scan("-0"), 0);
}

TEST(ScanDialogIntegerTest, NoDigitIsRefused) {
    EXPECT_TRUE(Refused(""));
    EXPECT_TRUE(Refused("abc"));
    EXPECT_TRUE(Refused("   "));
    EXPECT_TRUE(Refused("-"));
    EXPECT_TRUE(Refused("+x1"));
    EXPECT_TRUE(Refused("- 5"));
    EXPECT_TRUE(Refused("x 5"));
}

TEST(ScanDialogIntegerTest, OutOfRangeSaturates) {
    EXPECT_EQ(Scan("2147483647"), INT_MAX);
    EXPECT_EQ(Scan("2147483648"), INT_MAX);
    EXPECT_EQ(Scan("-2147483648"), INT_MIN);
    EXPECT_EQ(Scan("-2147483649"), INT_MIN);
    EXPECT_EQ(Scan("99999999999999999999999999999999"), INT_MAX);
    EXPECT_EQ(Scan("-99999999999999999999999999999999"), INT_MIN);
}

TEST(ScanDialogIntegerTest, OnlyTheFirst63CharactersCount) {
    EXPECT_EQ(Scan(std::string(62, ' ') + "7"), 7);
    EXPECT_TRUE(Refused(std::string(63, ' ') + "7"));
    EXPECT_EQ(Scan(std::string(61, ' ') + "123"), 12);
    EXPECT_EQ(Scan(std::string(60, '0') + "12345"), 123);
}

}  // namespace
}  // namespace zonter_test
