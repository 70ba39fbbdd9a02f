#include "protocols/CaptureReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace protocols {
namespace {

using Lines = std::vector<std::string>;

std::array<std::uint8_t, 15> FrameBytes(int k) {
    std::array<std::uint8_t, 15> f{};
    f[0] = 0x36;
    for (std::size_t i = 1; i < f.size(); ++i) f[i] = static_cast<std::uint8_t>(k * 31 + static_cast<int>(i) * 7);
    return f;
}

std::string FrameLine(int k) {
    std::string line;
    char pair[4];
    for (const std::uint8_t b : FrameBytes(k)) {
        std::snprintf(pair, sizeof pair, "%.2X ", b);
        line += pair;
    }
    return line + ";" + std::to_string(k);
}

// A capture as the tool writes it, line by line: header, 600 frames, the
// separator in cp1251 and two lines of keys.
Lines CaptureLines() {
    Lines lines{"5.3.2021 9:7"};
    for (int k = 0; k < 600; ++k) lines.push_back(FrameLine(k));
    lines.push_back("--\xC4\xEE\xEF-------------------");
    lines.push_back("0D,1A,27,34,41,4E,5B,68,75,82,8F,9C,A9,B6,C3,D0,");
    lines.push_back("DD,EA,");
    return lines;
}

std::string Joined(const Lines& lines, const std::string& end = "\r\n") {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size()) text += end;
    }
    return text;
}

struct AcceptCase {
    const char* name;
    std::function<std::string()> text;
};

class CaptureReaderAccepts : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(CaptureReaderAccepts, ReadsEveryFrame) {
    const CaptureReadResult read = ReadCaptureFile(GetParam().text());
    ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->message;
    ASSERT_EQ(read.frames.size(), 600u);
    for (int k = 0; k < 600; ++k) ASSERT_EQ(read.frames[static_cast<std::size_t>(k)], FrameBytes(k)) << k;
    EXPECT_EQ(read.time, (WallTime{2021, 3, 5, 9, 7, 0, 0}));
}

Lines Changed(int index, const std::string& line) {
    Lines lines = CaptureLines();
    lines[static_cast<std::size_t>(index)] = line;
    return lines;
}

Lines UpToSeparator() {
    Lines lines = CaptureLines();
    lines.resize(602);
    return lines;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Files, CaptureReaderAccepts,
    ::testing::Values(AcceptCase{"AsWritten", [] { return Joined(CaptureLines()); }},
                      AcceptCase{"LineFeedsOnly", [] { return Joined(CaptureLines(), "\n"); }},
                      AcceptCase{"EndsWithTheSeparator", [] { return Joined(UpToSeparator()) + "\r\n"; }},
                      AcceptCase{"SeparatorWithoutLineEnd", [] { return Joined(UpToSeparator()); }},
                      AcceptCase{"SeparatorInUtf8", [] { return Joined(Changed(601, "--Доп-------------------")); }},
                      AcceptCase{"KeySectionNotRead", [] { return Joined(Changed(602, "anything at all;;")); }},
                      AcceptCase{"LowerCaseHex", [] { return Joined(Changed(301, Lower(FrameLine(300)))); }},
                      AcceptCase{"LeadingZerosInTheHeader", [] { return Joined(Changed(0, "05.03.2021 09:07")); }}),
    [](const ::testing::TestParamInfo<AcceptCase>& info) { return std::string(info.param.name); });

struct RejectCase {
    const char* name;
    std::function<std::string()> text;
    int line;
    const char* messagePart;
};

class CaptureReaderRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(CaptureReaderRejects, NamesTheFirstBadLine) {
    const RejectCase& c = GetParam();
    const CaptureReadResult read = ReadCaptureFile(c.text());
    ASSERT_TRUE(read.error);
    EXPECT_EQ(read.error->line, c.line);
    EXPECT_NE(read.error->message.find(c.messagePart), std::string::npos) << read.error->message;
}

Lines Without(int index) {
    Lines lines = CaptureLines();
    lines.erase(lines.begin() + index);
    return lines;
}

Lines FirstLines(std::size_t n) {
    Lines lines = CaptureLines();
    lines.resize(n);
    return lines;
}

// Frame k sits on line k + 2; the separator on line 602.
INSTANTIATE_TEST_SUITE_P(
    Files, CaptureReaderRejects,
    ::testing::Values(
        RejectCase{"Empty", [] { return std::string(); }, 1, "файл пуст"},
        RejectCase{"IsoHeader", [] { return Joined(Changed(0, "2021-03-05 09:07")); }, 1, "«д.м.гггг ч:м»"},
        RejectCase{"TwoDigitYear", [] { return Joined(Changed(0, "5.3.21 9:7")); }, 1, "«д.м.гггг ч:м»"},
        RejectCase{"YearWithALeadingZero", [] { return Joined(Changed(0, "5.3.0999 9:7")); }, 1, "«д.м.гггг ч:м»"},
        RejectCase{"FebruaryThirtieth", [] { return Joined(Changed(0, "30.2.2021 9:7")); }, 1, "не бывает"},
        RejectCase{"FourteenBytes", [] { return Joined(Changed(11, FrameLine(10).substr(3))); }, 12, "кадр 10: "},
        RejectCase{"NoBlankBeforeTheIndex",
                   [] {
                       std::string line = FrameLine(7);
                       line.erase(44, 1);
                       return Joined(Changed(8, line));
                   },
                   9, "кадр 7: "},
        RejectCase{"NotAHexDigit",
                   [] {
                       std::string line = FrameLine(0);
                       line[4] = 'G';
                       return Joined(Changed(1, line));
                   },
                   2, "шестнадцатеричных"},
        RejectCase{"WrongIndex", [] { return Joined(Changed(6, FrameLine(5).substr(0, 45) + ";6")); }, 7, "«;5»"},
        RejectCase{"IndexWithALeadingZero", [] { return Joined(Changed(6, FrameLine(5).substr(0, 45) + ";05")); }, 7,
                   "«;5»"},
        RejectCase{"AFrameMissing", [] { return Joined(Without(301)); }, 302,
                   "кадр 300: после байтов ожидается «;300»"},
        RejectCase{"BlankLineBetweenFrames", [] { return Joined(Changed(51, "")); }, 52, "кадр 50: "},
        RejectCase{"EndsAfterFrame10", [] { return Joined(FirstLines(12)) + "\r\n"; }, 12, "кадров 11 из 600"},
        RejectCase{"EndsInsideFrame10",
                   [] {
                       std::string text = Joined(FirstLines(12));
                       text.resize(text.size() - 5);
                       return text;
                   },
                   12, "кадр 10"},
        RejectCase{"NoSeparator", [] { return Joined(FirstLines(601)) + "\r\n"; }, 601,
                   "файл кончился: ожидается разделитель"},
        RejectCase{"OtherSeparator", [] { return Joined(Changed(601, "--Dop-------------------")); }, 602,
                   "разделитель «--Доп-------------------»"},
        RejectCase{"A601stFrame", [] { return Joined(Changed(601, FrameLine(600))); }, 602, "разделитель"}),
    [](const ::testing::TestParamInfo<RejectCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace protocols
