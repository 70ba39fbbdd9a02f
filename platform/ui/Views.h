#pragma once

#include <string>
#include <vector>

// What the list, chart, key and file-name operations of a dialog window
// carry. Plain data; every text is UTF-8.
namespace platform::ui {

// One column of a report list: its header and its width in dialog units.
struct ListColumn {
    std::string title;
    int width = 40;
};

// Characters [first, first + count) of one cell, drawn highlighted.
struct TextMark {
    int column = 0;
    int first = 0;
    int count = 0;
};

// One row of a report list, as the dialog hands it to the window.
struct ListRow {
    std::vector<std::string> cells;  // one per column; missing cells are empty
    std::vector<TextMark> marks;
};

// The highlighted characters of `column`, as assistive tools and tests
// read them: "first+count" per mark, blank-separated ("6+2 15+2"); empty
// when the cell has none.
[[nodiscard]] std::string MarksText(const ListRow& row, int column);

// One line of a strip chart. x is seconds relative to the right edge
// (-span..0); y runs from low (bottom) to high (top).
struct ChartSeries {
    std::string name;
    double low = 0;
    double high = 1;
    std::vector<double> x;
    std::vector<double> y;
};

struct ChartData {
    double spanSeconds = 60;
    std::vector<ChartSeries> series;
};

// What a chart tells assistive tools and tests: per series its name, its
// point count and its last value ("V/T 12 точек, последнее 30; P ...").
[[nodiscard]] std::string ChartText(const ChartData& chart);

// Keys a window can bind to a button.
enum class Key { Left, Right };

// A question for a file name, asked with the system's file dialog.
struct FileQuestion {
    bool save = false;                  // a name to write to, else one to open
    std::string title;                  // the dialog's title
    std::string filterName;             // "Записи и журналы"
    std::vector<std::string> patterns;  // "*.txt", "*.csv"
    std::string proposedName;           // save: the name offered
};

}  // namespace platform::ui
