#include "platform/ui/win32/Win32Chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/ui/win32/Win32DialogTemplate.h"

namespace platform::ui::win32 {

namespace {

constexpr int kMargin = 6;         // around the plot, in pixels
constexpr int kLegendSample = 14;  // the coloured stroke before a series' name
constexpr int kLineWidth = 2;

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kGrid = RGB(228, 228, 228);
constexpr COLORREF kFrame = RGB(160, 160, 160);
constexpr COLORREF kAxisText = RGB(96, 96, 96);
constexpr COLORREF kLegendFrame = RGB(200, 200, 200);

constexpr COLORREF kSeriesColours[] = {
    RGB(0, 90, 200),    // blue
    RGB(210, 60, 30),   // red
    RGB(20, 150, 60),   // green
    RGB(140, 60, 170),  // violet
    RGB(200, 140, 0),   // amber
    RGB(0, 150, 160),   // teal
};

// What one chart window keeps: its data and the font the dialog gave it.
struct ChartState {
    ChartData data;
    HFONT font = nullptr;
};

ChartState* StateOf(HWND chart) { return reinterpret_cast<ChartState*>(GetWindowLongPtrW(chart, GWLP_USERDATA)); }

HFONT FontOf(const ChartState* state) {
    return state && state->font ? state->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int LineHeight(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

RECT PlotArea(const RECT& client, int lineHeight) {
    RECT plot{client.left + kMargin, client.top + kMargin, client.right - kMargin,
              client.bottom - kMargin - lineHeight - 2};
    plot.right = std::max(plot.right, plot.left + 1);
    plot.bottom = std::max(plot.bottom, plot.top + 1);
    return plot;
}

// The time between vertical grid lines: a round number of seconds giving
// at most six intervals.
double GridStep(double span) {
    static constexpr double kSteps[] = {1, 2, 5, 10, 15, 20, 30, 60, 120, 300, 600, 1800, 3600};
    for (double step : kSteps) {
        if (span / step <= 6) return step;
    }
    return std::ceil(span / 6);
}

// GDI takes 32-bit coordinates but draws badly far outside; values far off
// the scale are drawn just beyond the plot, where the clipping cuts them.
int Clamp(double pixel, int low, int high) {
    if (!std::isfinite(pixel)) return low;
    return static_cast<int>(std::lround(std::clamp(pixel, static_cast<double>(low), static_cast<double>(high))));
}

std::wstring Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return Wide(text);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

void DrawGrid(HDC dc, const RECT& client, const RECT& plot, double span) {
    const HPEN grid = CreatePen(PS_SOLID, 1, kGrid);
    const HGDIOBJ oldPen = SelectObject(dc, grid);
    const int width = plot.right - 1 - plot.left;
    const int height = plot.bottom - 1 - plot.top;
    for (int quarter = 1; quarter < 4; ++quarter) {
        const int y = plot.top + height * quarter / 4;
        Line(dc, plot.left, y, plot.right, y);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kAxisText);
    const double step = GridStep(span);
    for (int i = 0;; ++i) {
        const double ago = i * step;
        if (ago > span + 1e-9) break;
        const int x = plot.left + Clamp((span - ago) / span * width, 0, width);
        Line(dc, x, plot.top, x, plot.bottom);
        // The label under its line, kept inside the window; "с" for seconds.
        const std::wstring label = i == 0 ? std::wstring(L"0") : L"-" + Number(ago) + L" \u0441";
        SIZE size{};
        GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
        const int left = std::max(static_cast<int>(client.left), std::min(x - static_cast<int>(size.cx) / 2,
                                                                          static_cast<int>(client.right - size.cx)));
        TextOutW(dc, left, plot.bottom + 2, label.c_str(), static_cast<int>(label.size()));
    }
    SelectObject(dc, oldPen);
    DeleteObject(grid);

    const HPEN frame = CreatePen(PS_SOLID, 1, kFrame);
    SelectObject(dc, frame);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, plot.left, plot.top, plot.right, plot.bottom);
    SelectObject(dc, oldPen);
    DeleteObject(frame);
}

void DrawSeries(HDC dc, const RECT& plot, double span, const ChartSeries& series, COLORREF colour) {
    const std::size_t count = std::min(series.x.size(), series.y.size());
    if (count == 0) return;
    const double width = plot.right - 1 - plot.left;
    const double height = plot.bottom - 1 - plot.top;
    const double range = series.high - series.low;
    const HPEN pen = CreatePen(PS_SOLID, kLineWidth, colour);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    std::vector<POINT> run;
    run.reserve(count);
    const auto flush = [&] {
        if (run.size() == 1) run.push_back({run[0].x + 1, run[0].y});  // a lone point shows as a dot
        if (run.size() > 1) Polyline(dc, run.data(), static_cast<int>(run.size()));
        run.clear();
    };
    for (std::size_t i = 0; i < count; ++i) {
        const double x = series.x[i];
        const double y = series.y[i];
        // A gap in the data (not a number) is a gap in the line.
        if (!std::isfinite(x) || !std::isfinite(y)) {
            flush();
            continue;
        }
        const double share = range != 0 ? (y - series.low) / range : 0.5;
        const int px = plot.left + Clamp((x + span) / span * width, -10000, 10000);
        const int py = plot.bottom - 1 - Clamp(share * height, -10000, 10000);
        run.push_back({px, py});
    }
    flush();
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void DrawLegend(HDC dc, const RECT& plot, const ChartData& data, int lineHeight) {
    if (data.series.empty()) return;
    std::vector<std::wstring> lines;
    int widest = 0;
    for (const ChartSeries& series : data.series) {
        std::wstring line = Wide(series.name);
        if (!series.y.empty()) line += L"  " + Number(series.y.back());
        SIZE size{};
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
        lines.push_back(std::move(line));
    }
    RECT box{plot.left + 4, plot.top + 4, 0, 0};
    box.right = box.left + 4 + kLegendSample + 4 + widest + 4;
    box.bottom = box.top + 2 + static_cast<int>(lines.size()) * lineHeight + 2;
    const HBRUSH fill = CreateSolidBrush(kBackground);
    FillRect(dc, &box, fill);
    DeleteObject(fill);
    const HPEN frame = CreatePen(PS_SOLID, 1, kLegendFrame);
    const HGDIOBJ oldPen = SelectObject(dc, frame);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
    SelectObject(dc, oldPen);
    DeleteObject(frame);

    SetBkMode(dc, TRANSPARENT);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const COLORREF colour = ChartSeriesColour(i);
        const int top = box.top + 2 + static_cast<int>(i) * lineHeight;
        const HPEN pen = CreatePen(PS_SOLID, kLineWidth, colour);
        SelectObject(dc, pen);
        Line(dc, box.left + 4, top + lineHeight / 2, box.left + 4 + kLegendSample, top + lineHeight / 2);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
        SetTextColor(dc, colour);
        TextOutW(dc, box.left + 4 + kLegendSample + 4, top, lines[i].c_str(), static_cast<int>(lines[i].size()));
    }
}

void Paint(HDC dc, const RECT& client, const ChartState* state) {
    const HBRUSH back = CreateSolidBrush(kBackground);
    FillRect(dc, &client, back);
    DeleteObject(back);
    if (!state) return;
    const HGDIOBJ oldFont = SelectObject(dc, FontOf(state));
    const int lineHeight = LineHeight(dc);
    const RECT plot = PlotArea(client, lineHeight);
    const ChartData& data = state->data;
    const double span = data.spanSeconds > 0 ? data.spanSeconds : 1;

    DrawGrid(dc, client, plot, span);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, plot.left + 1, plot.top + 1, plot.right - 1, plot.bottom - 1);
    for (std::size_t i = 0; i < data.series.size(); ++i)
        DrawSeries(dc, plot, span, data.series[i], ChartSeriesColour(i));
    RestoreDC(dc, saved);
    DrawLegend(dc, plot, data, lineHeight);
    SelectObject(dc, oldFont);
}

// Drawn into a bitmap first, then copied at once: no flicker at every new
// point.
void PaintBuffered(HWND chart) {
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(chart, &paint);
    RECT client{};
    GetClientRect(chart, &client);
    const HDC memory = CreateCompatibleDC(dc);
    const HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom));
    if (memory && bitmap) {
        const HGDIOBJ old = SelectObject(memory, bitmap);
        Paint(memory, client, StateOf(chart));
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
    } else {
        Paint(dc, client, StateOf(chart));
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    EndPaint(chart, &paint);
}

LRESULT CALLBACK ChartProc(HWND chart, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrW(chart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ChartState));
            break;
        case WM_NCDESTROY:
            delete StateOf(chart);
            SetWindowLongPtrW(chart, GWLP_USERDATA, 0);
            break;
        case WM_SETFONT:
            if (ChartState* state = StateOf(chart)) state->font = reinterpret_cast<HFONT>(wParam);
            if (LOWORD(lParam)) InvalidateRect(chart, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(StateOf(chart) ? StateOf(chart)->font : nullptr);
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything
        case WM_SIZE:
            InvalidateRect(chart, nullptr, FALSE);
            return 0;
        case WM_PAINT:
            PaintBuffered(chart);
            return 0;
        case WM_PRINTCLIENT: {
            RECT client{};
            GetClientRect(chart, &client);
            Paint(reinterpret_cast<HDC>(wParam), client, StateOf(chart));
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(chart, message, wParam, lParam);
}

}  // namespace

void RegisterChartClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &ChartProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kChartClass;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    static_cast<void>(registered);
}

void SetChartData(HWND chart, const ChartData& data) {
    ChartState* state = StateOf(chart);
    if (!state) return;
    state->data = data;
    SetWindowTextW(chart, Wide(ChartText(data)).c_str());
    InvalidateRect(chart, nullptr, FALSE);
}

RECT ChartPlotArea(HWND chart) {
    RECT client{};
    GetClientRect(chart, &client);
    int lineHeight = 0;
    if (const HDC dc = GetDC(chart)) {
        const HGDIOBJ old = SelectObject(dc, FontOf(StateOf(chart)));
        lineHeight = LineHeight(dc);
        SelectObject(dc, old);
        ReleaseDC(chart, dc);
    }
    return PlotArea(client, lineHeight);
}

COLORREF ChartSeriesColour(std::size_t index) {
    return kSeriesColours[index % (sizeof kSeriesColours / sizeof kSeriesColours[0])];
}

}  // namespace platform::ui::win32
