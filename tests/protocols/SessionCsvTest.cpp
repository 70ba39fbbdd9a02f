#include "protocols/SessionCsv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace protocols {
namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeaderLine = "время;направление;dt_мс;байты;V/T;P";
const std::string kGoodLine = "2026-12-09T16:37:28.123;КМ→;160.3;36 00 4B;120;7";

using Row = SessionRow;

// The same text through the fixed-size rows: the same rows, the same error.
void ExpectSameAsFixedRows(std::string_view text, const SessionReadResult& read) {
    const SessionLog log = ParseSessionCsv(text);
    EXPECT_FALSE(log.stopped);
    std::vector<SessionRow> rows;
    for (const SessionRecord& record : log.rows) rows.push_back(RowOf(record));
    EXPECT_EQ(rows, read.rows);
    ASSERT_EQ(log.error.has_value(), read.error.has_value());
    if (log.error) {
        EXPECT_EQ(log.error->line, read.error->line);
        EXPECT_EQ(log.error->message, read.error->message);
    }
}

TEST(SessionCsvWrite, HeaderAndRowsAsExcelOpensThem) {
    EXPECT_EQ(SessionCsvHeader(), kBom + kHeaderLine + "\r\n");
    EXPECT_EQ(SessionCsvLine(
                  Row{{2026, 12, 9, 16, 37, 28, 123}, Direction::FromController, 160.3, {0x36, 0x00, 0x4B}, 120, 7}),
              kGoodLine + "\r\n");
    // Missing values leave their fields empty.
    EXPECT_EQ(SessionCsvLine(Row{
                  {2027, 1, 2, 3, 4, 5, 6}, Direction::ToController, std::nullopt, {0xAB}, std::nullopt, std::nullopt}),
              "2027-01-02T03:04:05.006;→КМ;;AB;;\r\n");
}

TEST(SessionCsvRead, WrittenRowsReadBack) {
    const std::vector<SessionRow> rows{
        Row{{2026, 12, 31, 23, 59, 59, 999},
            Direction::FromController,
            std::nullopt,
            {0x36, 0x00, 0x4B, 0x0C, 0x0D, 0x0E, 0x2A, 0x0B, 0x0C, 0x0D, 0x0E, 0xFF, 0x00, 0x01, 0x02},
            3085,
            42},
        Row{{2027, 1, 1, 0, 0, 0, 159}, Direction::ToController, 0.0, std::vector<std::uint8_t>(20, 0xA5), -1, 0},
        Row{{2024, 2, 29, 12, 0, 0, 0}, Direction::FromController, 160.4, {0x02}, std::nullopt, std::nullopt},
        Row{{2024, 2, 29, 12, 0, 0, 80},
            Direction::FromController,
            9223372036854.8,
            {0x02, 0x0E},
            2147483647,
            -2147483647 - 1},
    };
    std::string text = SessionCsvHeader();
    for (const SessionRow& row : rows) text += SessionCsvLine(row);
    const SessionReadResult read = ReadSessionCsv(text);
    ASSERT_FALSE(read.error) << read.error->line << ": " << read.error->message;
    EXPECT_EQ(read.rows, rows);
    ExpectSameAsFixedRows(text, read);
}

struct AcceptCase {
    const char* name;
    std::string text;
    std::size_t rows;
};

class SessionCsvAccepts : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(SessionCsvAccepts, ReadsWithoutError) {
    const SessionReadResult read = ReadSessionCsv(GetParam().text);
    EXPECT_FALSE(read.error) << read.error->line << ": " << read.error->message;
    EXPECT_EQ(read.rows.size(), GetParam().rows);
    ExpectSameAsFixedRows(GetParam().text, read);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SessionCsvAccepts,
    ::testing::Values(AcceptCase{"HeaderOnly", kBom + kHeaderLine + "\r\n", 0},
                      AcceptCase{"HeaderWithoutLineEnd", kHeaderLine, 0},
                      AcceptCase{"NoByteOrderMark", kHeaderLine + "\r\n" + kGoodLine + "\r\n", 1},
                      AcceptCase{"LineFeedsOnly", kBom + kHeaderLine + "\n" + kGoodLine + "\n" + kGoodLine + "\n", 2},
                      AcceptCase{"LastLineWithoutLineEnd", kBom + kHeaderLine + "\r\n" + kGoodLine, 1},
                      AcceptCase{"LowerCaseHexLeapDayWholeDt",
                                 kHeaderLine + "\n2024-02-29T00:00:00.000;→КМ;160;ab cd;;\n", 1},
                      AcceptCase{"NegativeValues", kHeaderLine + "\n2024-02-28T23:59:59.999;КМ→;-0.5;00;-12;-3\n", 1}),
    [](const ::testing::TestParamInfo<AcceptCase>& info) { return std::string(info.param.name); });

struct RejectCase {
    const char* name;
    std::string body;  // what follows the header line; a full text when `whole`
    int line;
    const char* messagePart;
    bool whole = false;
};

class SessionCsvRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(SessionCsvRejects, NamesTheFirstBadLine) {
    const RejectCase& c = GetParam();
    const std::string text = c.whole ? c.body : kBom + kHeaderLine + "\r\n" + c.body;
    const SessionReadResult read = ReadSessionCsv(text);
    ASSERT_TRUE(read.error);
    EXPECT_EQ(read.error->line, c.line);
    EXPECT_NE(read.error->message.find(c.messagePart), std::string::npos) << read.error->message;
    // The rows before the bad line are kept.
    EXPECT_EQ(read.rows.size(), static_cast<std::size_t>(c.line > 1 ? c.line - 2 : 0));
    ExpectSameAsFixedRows(text, read);
}

std::string WithTime(const std::string& time) { return time + ";КМ→;160.3;36 00;1;2\r\n"; }
std::string WithDt(const std::string& dt) { return "2026-12-09T16:37:28.123;КМ→;" + dt + ";36 00;1;2\r\n"; }
std::string WithBytes(const std::string& bytes) { return "2026-12-09T16:37:28.123;КМ→;1.0;" + bytes + ";1;2\r\n"; }
std::string WithValues(const std::string& vt, const std::string& p) {
    return "2026-12-09T16:37:28.123;КМ→;1.0;36;" + vt + ";" + p + "\r\n";
}
const std::string kGood = kGoodLine + "\r\n";

std::string Pairs(int n) {
    std::string s = "00";
    for (int i = 1; i < n; ++i) s += " 00";
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SessionCsvRejects,
    ::testing::Values(RejectCase{"EmptyFile", "", 1, "нет строки заголовка", true},
                      RejectCase{"OtherHeader", "time;dir;dt;bytes;vt;p\r\n", 1, "заголовок", true},
                      RejectCase{"HeaderWithAnExtraField", kHeaderLine + ";\r\n", 1, "заголовок", true},
                      RejectCase{"FiveFields", kGood + "2026-12-09T16:37:28.123;КМ→;160.3;36;1\r\n", 3, "а их 5"},
                      RejectCase{"SevenFields", kGoodLine + ";\r\n", 2, "а их 7"},
                      RejectCase{"EmptyLineInside", kGood + "\r\n" + kGood, 3, "а их 1"},
                      RejectCase{"TimeWithABlank", WithTime("2026-12-09 16:37:28.123"), 2, "ГГГГ-ММ-ДДTчч:мм:сс.ммм"},
                      RejectCase{"TimeWithAZone", WithTime("2026-12-09T16:37:28.123Z"), 2, "ГГГГ-ММ-ДД"},
                      RejectCase{"FebruaryThirtieth", WithTime("2026-02-30T00:00:00.000"), 2, "не бывает"},
                      RejectCase{"LeapDayOfACommonYear", WithTime("2025-02-29T00:00:00.000"), 2, "не бывает"},
                      RejectCase{"LeapDayOf1900", WithTime("1900-02-29T00:00:00.000"), 2, "не бывает"},
                      RejectCase{"MonthThirteen", WithTime("2026-13-01T00:00:00.000"), 2, "не бывает"},
                      RejectCase{"Second60", WithTime("2026-12-31T23:59:60.000"), 2, "не бывает"},
                      RejectCase{"AsciiDirection", kGood + "2026-12-09T16:37:28.123;KM->;1.0;36;;\r\n", 3,
                                 "«КМ→» или «→КМ»"},
                      RejectCase{"DtWithAComma", WithDt("160,3"), 2, "dt_мс"},
                      RejectCase{"DtStartsWithAPoint", WithDt(".5"), 2, "dt_мс"},
                      RejectCase{"DtWithAPlus", WithDt("+1.0"), 2, "dt_мс"},
                      RejectCase{"DtWithAnExponent", WithDt("1e3"), 2, "dt_мс"},
                      RejectCase{"DtBeyond13Digits", WithDt("12345678901234.0"), 2, "dt_мс"},
                      RejectCase{"NoBytes", WithBytes(""), 2, "нет ни одного байта"},
                      RejectCase{"BytesWithoutBlanks", WithBytes("3600"), 2, "пары шестнадцатеричных цифр"},
                      RejectCase{"BytesWithATrailingBlank", WithBytes("36 00 "), 2, "пары шестнадцатеричных цифр"},
                      RejectCase{"NotAHexDigit", WithBytes("36 0G"), 2, "пары шестнадцатеричных цифр"},
                      RejectCase{"TwentyOneBytes", WithBytes(Pairs(21)), 2, "их 21"},
                      RejectCase{"VtNotWhole", WithValues("1.5", "2"), 2, "V/T"},
                      RejectCase{"VtBeyondInt", WithValues("2147483648", "2"), 2, "V/T"},
                      RejectCase{"PNotANumber", WithValues("1", "x"), 2, "P:"},
                      RejectCase{"PWithAStrayCarriageReturn", WithValues("1", "2\r"), 2, "P:"},
                      RejectCase{"OverlongLine", std::string(2000, 'x') + "\r\n", 2, "длиннее 1024"}),
    [](const ::testing::TestParamInfo<RejectCase>& info) { return std::string(info.param.name); });

TEST(SessionCsvRead, RefusesMoreRowsThanItsBound) {
    std::string text = SessionCsvHeader();
    for (int i = 0; i < 4; ++i) text += kGood;
    EXPECT_FALSE(ReadSessionCsv(text, 4).error);
    text += kGood;
    const SessionReadResult read = ReadSessionCsv(text, 4);
    ASSERT_TRUE(read.error);
    EXPECT_EQ(read.error->line, 6);
    EXPECT_EQ(read.error->message, "больше 4 строк данных");
}

TEST(SessionCsvRead, TellsItsProgressAtLineEndsAndStopsWhenAsked) {
    std::string text = SessionCsvHeader();
    while (text.size() < 3 * kSessionProgressBytes + 1000) text += kGood;
    std::vector<std::size_t> told;
    const SessionLog whole = ParseSessionCsv(text, kSessionMaxRows, [&](std::size_t read) {
        told.push_back(read);
        return true;
    });
    ASSERT_FALSE(whole.error);
    ASSERT_EQ(told.size(), 3u);
    std::size_t before = 0;
    for (const std::size_t read : told) {
        EXPECT_EQ(text[read - 1], '\n') << read;
        EXPECT_GE(read - before, kSessionProgressBytes);
        EXPECT_LT(read - before, kSessionProgressBytes + kGood.size());
        before = read;
    }

    // Stopped at the second call: the rows read until then are kept.
    int calls = 0;
    const SessionLog stopped = ParseSessionCsv(text, kSessionMaxRows, [&](std::size_t) { return ++calls < 2; });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.error);
    EXPECT_EQ(stopped.rows.size(), (told[1] - SessionCsvHeader().size()) / kGood.size());
}

}  // namespace
}  // namespace protocols
