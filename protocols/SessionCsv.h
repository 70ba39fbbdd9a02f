#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/LineMonitor.h"
#include "protocols/ReadError.h"
#include "protocols/WallTime.h"

namespace protocols {

// The session log: one row a frame, written as the line monitor sees them
// and read back for replay.
//
//   время;направление;dt_мс;байты;V/T;P
//   2026-12-09T16:37:28.123;КМ→;160.3;36 00 4B;120;7
//
// UTF-8 with a byte order mark (Excel takes a file without one for the
// local ANSI code page and garbles the Cyrillic), `;` between the fields
// (the list separator of Russian Excel), CR LF line ends. The reader takes
// the file with or without the mark and with LF or CR LF.
struct SessionRow {
    WallTime time{};
    Direction direction = Direction::FromController;
    std::optional<double> dtMs;       // since the previous frame in the same direction
    std::vector<std::uint8_t> bytes;  // 1..20 bytes
    std::optional<int> vt, p;         // the decoded values, when the frame has them

    bool operator==(const SessionRow&) const = default;
};

inline constexpr std::size_t kSessionRowMaxBytes = kTapBytes;
// A longer log is refused rather than read without bound.
inline constexpr std::size_t kSessionMaxRows = 1'000'000;

// The byte order mark and the header line, with its line end.
[[nodiscard]] std::string SessionCsvHeader();

// One row with its line end: Δt with one decimal, the bytes as upper-case
// hexadecimal pairs separated by blanks, empty fields for missing values.
[[nodiscard]] std::string SessionCsvLine(const SessionRow& row);

struct SessionReadResult {
    std::vector<SessionRow> rows;  // on an error, the rows before the bad line
    std::optional<ReadError> error;
};

// Reads a whole log strictly: the header exactly, then six fields a line —
// an existing local time "ГГГГ-ММ-ДДTчч:мм:сс.ммм", "КМ→" or "→КМ", Δt
// (a decimal number of ms, or empty), 1 to 20 bytes as two hexadecimal
// digits each separated by single blanks, V/T and P (whole numbers, or
// empty). Stops at the first bad line and names it. A header alone is a
// valid log without rows; a last line without its line end is fine.
[[nodiscard]] SessionReadResult ReadSessionCsv(std::string_view text);
// The same with another bound on the rows.
[[nodiscard]] SessionReadResult ReadSessionCsv(std::string_view text, std::size_t maxRows);

// ----- a log of a million rows ---------------------------------------------

// The zero of SessionRecord::timeMs.
inline constexpr WallTime kSessionEpoch{0, 1, 1, 0, 0, 0, 0};

// A row in a fixed size: a log of a million rows is kept without an
// allocation per row. Holds exactly what a SessionRow holds.
struct SessionRecord {
    static constexpr std::uint8_t kHasDt = 1, kHasVt = 2, kHasP = 4;

    std::int64_t timeMs = 0;     // the local time, in ms after kSessionEpoch
    double dtMs = 0;             // with kHasDt
    std::int32_t vt = 0, p = 0;  // with kHasVt, kHasP
    std::array<std::uint8_t, kSessionRowMaxBytes> bytes{};
    std::uint8_t length = 0;  // bytes used, 1..20
    Direction direction = Direction::FromController;
    std::uint8_t present = 0;  // the kHas... bits of the values it has
};
static_assert(sizeof(SessionRecord) <= 48);

[[nodiscard]] SessionRow RowOf(const SessionRecord& record);

struct SessionLog {
    std::vector<SessionRecord> rows;  // on an error or a stop, the rows before
    std::optional<ReadError> error;
    bool stopped = false;  // the progress asked to stop
};

// Told how many bytes of the text have been read; returns false to stop.
using SessionProgress = std::function<bool(std::size_t read)>;
// Bytes read between two calls of a SessionProgress.
inline constexpr std::size_t kSessionProgressBytes = 256 * 1024;

// Reads a log by the rule of ReadSessionCsv, with its messages, into
// fixed-size rows (ReadSessionCsv is this, turned into SessionRows). Calls
// `progress`, when given, each time another kSessionProgressBytes of the
// text have been read, at a line's end.
[[nodiscard]] SessionLog ParseSessionCsv(std::string_view text, std::size_t maxRows = kSessionMaxRows,
                                         const SessionProgress& progress = {});

}  // namespace protocols
