#pragma once

#include <cstdint>

// How another program (a test driver, an assistive tool) reads the marked
// characters of a report list's cell: a registered window message sent to
// the list itself.
//
//   message  RegisterWindowMessageW(kListMarksMessage)
//   wParam   the row (0 = first)
//   lParam   ListMarksQuestion(column, index): the column in the low 16 bits,
//            which of the cell's marks (0 = first) in the next 16
//   answer   0 when the cell has no mark `index` (or there is no such row);
//            otherwise ListMarksAnswer(first, count) of that mark
//
// Marks come in the order MarksText lists them, so asking index 0, 1, ...
// until the answer is 0 gives the cell's MarksText exactly, adjacent marks
// included. Cells hold at most 64 characters; positions and counts fit 16
// bits.
namespace platform::ui::win32 {

inline constexpr wchar_t kListMarksMessage[] = L"ZonterListMarks";

constexpr std::uint32_t ListMarksQuestion(int column, int index) {
    return (static_cast<std::uint32_t>(index & 0xFFFF) << 16) | static_cast<std::uint32_t>(column & 0xFFFF);
}
constexpr int QuestionColumn(std::uint64_t lParam) { return static_cast<int>(lParam & 0xFFFF); }
constexpr int QuestionIndex(std::uint64_t lParam) { return static_cast<int>((lParam >> 16) & 0xFFFF); }

// A mark as the answer carries it: count in bits 16..31 (never 0 for a
// mark), first in bits 0..15.
constexpr std::int64_t ListMarksAnswer(int first, int count) {
    return (static_cast<std::int64_t>(count & 0xFFFF) << 16) | static_cast<std::int64_t>(first & 0xFFFF);
}
constexpr int AnswerFirst(std::int64_t answer) { return static_cast<int>(answer & 0xFFFF); }
constexpr int AnswerCount(std::int64_t answer) { return static_cast<int>((answer >> 16) & 0xFFFF); }

}  // namespace platform::ui::win32
