#pragma once

#include <cstddef>
#include <string_view>

namespace protocols {

// The lines of a text file, each without its line end (LF or CR LF). A last
// line without a line end is a line; the end of the text after a line end
// is not.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}

    // The next line; false at the end of the text.
    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        const std::size_t end = text_.find('\n', pos_);
        const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
        line = text_.substr(pos_, stop - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
        ++number_;
        return true;
    }

    // 1-based number of the line Next gave last; 0 before the first.
    [[nodiscard]] int Number() const { return number_; }
    // Bytes of the text taken so far, line ends included.
    [[nodiscard]] std::size_t Position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

}  // namespace protocols
