// Session log text → rows. A refused text names a line of the file and
// keeps exactly the rows before it; an accepted one has a row for every
// line after the header, each with an existing date and 1 to 20 bytes, and
// writes back to a text that reads to the same rows (Δt to its one written
// decimal) and writes back once more to the very same text. Wall-time
// differences agree with the standard library's calendar.

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "protocols/SessionCsv.h"
#include "protocols/TextLines.h"

namespace {

using protocols::SessionRow;

std::size_t LineCount(std::string_view text) {
    protocols::TextLines lines(text);
    std::string_view line;
    while (lines.Next(line)) {
    }
    return static_cast<std::size_t>(lines.Number());
}

std::string Written(const std::vector<SessionRow>& rows) {
    std::string text = protocols::SessionCsvHeader();
    for (const SessionRow& row : rows) text += protocols::SessionCsvLine(row);
    return text;
}

std::int64_t ReferenceMs(const protocols::WallTime& t) {
    using namespace std::chrono;
    const year_month_day ymd{year{t.year}, month{static_cast<unsigned>(t.month)}, day{static_cast<unsigned>(t.day)}};
    FUZZ_CHECK(ymd.ok());
    const std::int64_t days = sys_days{ymd}.time_since_epoch().count();
    return ((days * 24 + t.hour) * 60 + t.minute) * 60'000 + t.second * 1000 + t.millisecond;
}

bool SameRowButDt(const SessionRow& a, const SessionRow& b) {
    return a.time == b.time && a.direction == b.direction && a.bytes == b.bytes && a.vt == b.vt && a.p == b.p &&
           a.dtMs.has_value() == b.dtMs.has_value();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const protocols::SessionReadResult read = protocols::ReadSessionCsv(text);
    const std::size_t lines = LineCount(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);

    if (read.error) {
        const int line = read.error->line;
        FUZZ_CHECK(line >= 1);
        FUZZ_CHECK(static_cast<std::size_t>(line) <= (lines > 0 ? lines : 1));
        FUZZ_CHECK(!read.error->message.empty());
        FUZZ_CHECK(read.rows.size() == (line >= 2 ? static_cast<std::size_t>(line - 2) : 0));
        return 0;
    }

    FUZZ_CHECK(lines >= 1);
    FUZZ_CHECK(read.rows.size() == lines - 1);
    for (std::size_t i = 0; i < read.rows.size(); ++i) {
        const SessionRow& row = read.rows[i];
        FUZZ_CHECK(protocols::IsValidWallTime(row.time));
        FUZZ_CHECK(!row.bytes.empty() && row.bytes.size() <= protocols::kSessionRowMaxBytes);
        FUZZ_CHECK(!row.dtMs || std::isfinite(*row.dtMs));
        if (i > 0) {
            const protocols::WallTime& a = read.rows[i - 1].time;
            FUZZ_CHECK(protocols::MillisecondsBetween(a, row.time) == ReferenceMs(row.time) - ReferenceMs(a));
        }
    }

    const std::string text2 = Written(read.rows);
    const protocols::SessionReadResult read2 = protocols::ReadSessionCsv(text2);
    FUZZ_CHECK(!read2.error);
    FUZZ_CHECK(read2.rows.size() == read.rows.size());
    for (std::size_t i = 0; i < read.rows.size(); ++i) {
        const SessionRow& a = read.rows[i];
        const SessionRow& b = read2.rows[i];
        FUZZ_CHECK(SameRowButDt(a, b));
        if (a.dtMs) FUZZ_CHECK(std::fabs(*a.dtMs - *b.dtMs) <= 0.05 + 1e-9 * std::fabs(*a.dtMs));
    }
    FUZZ_CHECK(Written(read2.rows) == text2);
    return 0;
}
