#include "platform/ui/Views.h"

#include <cstdio>

namespace platform::ui {

std::string MarksText(const ListRow& row, int column) {
    std::string text;
    for (const TextMark& m : row.marks) {
        if (m.column != column || m.count <= 0) continue;
        if (!text.empty()) text += ' ';
        text += std::to_string(m.first) + "+" + std::to_string(m.count);
    }
    return text;
}

std::string ChartText(const ChartData& chart) {
    std::string text;
    for (const ChartSeries& s : chart.series) {
        if (!text.empty()) text += "; ";
        text += s.name + " " + std::to_string(s.y.size()) + " точек";
        if (!s.y.empty()) {
            char last[32];
            std::snprintf(last, sizeof last, "%g", s.y.back());
            text += std::string(", последнее ") + last;
        }
    }
    return text;
}

}  // namespace platform::ui
