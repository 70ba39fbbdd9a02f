// The Win32 backend's report lists, strip charts, timers, key commands and
// file dialogs, worked with the messages a person's keys and clicks, or
// another program, send.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "ViewDialog.h"
// After windows.h:
#include <commctrl.h>

#include "platform/ui/win32/ListMarksMessage.h"
#include "platform/ui/win32/Win32Chart.h"
#include "platform/ui/win32/Win32ListView.h"
#include "platform/ui/win32/Win32Text.h"
#include "tests/support/win32/Windows.h"

namespace {

using platform::ui::ChartData;
using platform::ui::ChartSeries;
using platform::ui::ChartText;
using platform::ui::FileQuestion;
using platform::ui::ListRow;
using platform::ui::MarksText;
using platform::ui::TextMark;
using platform::ui::win32::Utf8;
using platform::ui::win32::WindowOf;
using platform::ui::win32::WindowText;
using namespace testing_ui;
using testing_support::win32::ClassOf;

int Top(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0)); }
int PerPage(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)); }

// A cell as another program reads it.
std::string CellText(HWND list, int row, int column) {
    wchar_t text[128] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return Utf8(text);
}

// A cell's marks as another program reads them, in MarksText's form.
std::string MarksThroughMessage(HWND list, int row, int column) {
    using namespace platform::ui::win32;
    const UINT message = RegisterWindowMessageW(kListMarksMessage);
    std::string text;
    for (int index = 0; index < 64; ++index) {
        const LRESULT answer = SendMessageW(list, message, static_cast<WPARAM>(row),
                                            static_cast<LPARAM>(ListMarksQuestion(column, index)));
        if (answer == 0) break;
        text +=
            (text.empty() ? "" : " ") + std::to_string(AnswerFirst(answer)) + "+" + std::to_string(AnswerCount(answer));
    }
    return text;
}

// A window's client area as WM_PRINTCLIENT draws it, for reading pixels.
class Picture {
public:
    explicit Picture(HWND window) {
        GetClientRect(window, &client_);
        const HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, client_.right, client_.bottom);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT | PRF_ERASEBKGND);
    }
    ~Picture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // The rows of column x in [top, bottom) that have the colour.
    std::vector<int> RowsOf(int x, COLORREF colour, int top, int bottom) const {
        std::vector<int> rows;
        for (int y = top; y < bottom; ++y)
            if (GetPixel(dc_, x, y) == colour) rows.push_back(y);
        return rows;
    }
    // The columns of `box` that have the colour in any row.
    std::vector<int> ColumnsOf(const RECT& box, COLORREF colour) const {
        std::vector<int> columns;
        for (int x = box.left; x < box.right; ++x)
            if (!RowsOf(x, colour, box.top, box.bottom).empty()) columns.push_back(x);
        return columns;
    }

private:
    RECT client_{};
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

TEST(Win32Views, ListAndChartComeFromTheTemplate) {
    ViewDialog dialog;
    ASSERT_TRUE(dialog.Show());
    auto& window = WindowOf(dialog);
    const HWND list = dialog.Item(IDC_FRAMES);
    EXPECT_EQ(ClassOf(list), L"SysListView32");
    EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & (LVS_TYPEMASK | LVS_OWNERDATA), LVS_REPORT | LVS_OWNERDATA);
    EXPECT_TRUE(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Courier New");
    EXPECT_EQ(ClassOf(dialog.Item(IDC_TRACE)), L"ZonterChart");

    // Titles and widths in dialog units; set again, the columns change in
    // place and the extra ones go.
    window.SetListColumns(IDC_FRAMES, kViewColumns);
    const auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
    for (int i = 0; i < 3; ++i) {
        wchar_t title[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = title;
        column.cchTextMax = 64;
        ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(Utf8(title), kViewColumns[i].title);
        RECT width{0, 0, kViewColumns[i].width, 0};
        MapDialogRect(dialog.Handle(), &width);
        EXPECT_EQ(column.cx, width.right);
    }
    window.SetListColumns(IDC_FRAMES, std::span(kViewColumns, 1));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_TRUE(window.ListAtEnd(IDC_FRAMES));  // an empty list follows

    // Other kinds are no list and no chart.
    EXPECT_EQ(window.ListRowCount(IDC_BACK), 0);
    EXPECT_FALSE(window.ListAtEnd(IDC_BACK));
    EXPECT_EQ(window.ChartDescription(IDC_FRAMES), "");
}

TEST(Win32Views, ListAsksTheDialogOnlyForTheRowsItDrawsOncePerRow) {
    ViewDialog dialog;
    ASSERT_TRUE(dialog.Show());
    auto& window = WindowOf(dialog);
    const HWND list = dialog.Item(IDC_FRAMES);
    window.SetListColumns(IDC_FRAMES, kViewColumns);
    window.SetListRowCount(IDC_FRAMES, 10000, 0);
    EXPECT_EQ(window.ListRowCount(IDC_FRAMES), 10000);
    ASSERT_TRUE(PumpUntil([&] { return !dialog.asked.empty(); }));
    Drain();

    // An empty list was at its end: it follows to the newest row.
    const int top = Top(list);
    const int perPage = PerPage(list);
    ASSERT_GT(perPage, 3);
    EXPECT_EQ(top, 10000 - perPage);
    for (int row : dialog.asked) EXPECT_GE(row, top);

    // A repaint asks once per row in view, not once per cell.
    dialog.asked.clear();
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(std::set<int>(dialog.asked.begin(), dialog.asked.end()).size(), dialog.asked.size());
    EXPECT_GE(static_cast<int>(dialog.asked.size()), perPage);
    EXPECT_LE(static_cast<int>(dialog.asked.size()), perPage + 1);

    // The cells as another program reads them, straight from the dialog.
    EXPECT_EQ(CellText(list, top, 0), std::to_string(top));
    EXPECT_EQ(CellText(list, 17, 2), "00 11 22 33 44");
}

struct MarksCase {
    const char* what;
    std::vector<TextMark> marks;
    std::vector<std::string> expected;  // per column, in MarksText's form
};

const MarksCase kMarksCases[] = {
    {"none", {}, {"", "", ""}},
    {"two in a cell", {{1, 0, 2}, {1, 6, 2}}, {"", "0+2 6+2", ""}},
    {"adjacent marks stay apart", {{1, 6, 2}, {1, 8, 3}}, {"", "6+2 8+3", ""}},
    {"in two columns", {{0, 0, 1}, {2, 4, 4}}, {"0+1", "", "4+4"}},
    {"an empty mark is none", {{1, 5, 0}, {1, 2, 1}}, {"", "2+1", ""}},
    {"in the dialog's order", {{1, 9, 2}, {1, 0, 2}}, {"", "9+2 0+2", ""}},
};

TEST(Win32Views, MarksAreReadFromOutsideAsTheDialogGaveThem) {
    ViewDialog dialog;
    dialog.rowOf = [](int frame) {
        ListRow row = FrameRow(frame);
        if (frame >= 0 && frame < static_cast<int>(std::size(kMarksCases))) row.marks = kMarksCases[frame].marks;
        return row;
    };
    ASSERT_TRUE(dialog.Show());
    auto& window = WindowOf(dialog);
    const HWND list = dialog.Item(IDC_FRAMES);
    window.SetListColumns(IDC_FRAMES, kViewColumns);
    const int count = static_cast<int>(std::size(kMarksCases));
    window.SetListRowCount(IDC_FRAMES, count, 0);
    for (int row = 0; row < count; ++row) {
        SCOPED_TRACE(kMarksCases[row].what);
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(MarksThroughMessage(list, row, column), kMarksCases[row].expected[column]);
            EXPECT_EQ(MarksThroughMessage(list, row, column), MarksText(dialog.rowOf(row), column));
        }
    }
    // Rows the list does not hold, and other controls, answer none.
    EXPECT_EQ(MarksThroughMessage(list, count, 1), "");
    EXPECT_EQ(MarksThroughMessage(list, -1, 1), "");
    EXPECT_EQ(MarksThroughMessage(dialog.Item(IDC_BACK), 1, 1), "");
}

RECT CellRect(HWND list, int row, int column) {
    RECT cell{LVIR_BOUNDS, column, 0, 0};  // what LVM_GETSUBITEMRECT asks in left and top
    SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    cell.right = cell.left + static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    return cell;
}

int TextWidth(HWND list, const wchar_t* text) {
    const HDC dc = GetDC(list);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    return size.cx;
}

TEST(Win32Views, MarkedCharactersAreDrawnOnTheHighlight) {
    ViewDialog dialog;
    dialog.rowOf = [](int frame) {
        ListRow row = FrameRow(frame);
        if (frame == 0) row.marks = {{1, 3, 2}};  // "55" of "AA 55 0C 01"
        return row;
    };
    ASSERT_TRUE(dialog.Show());
    auto& window = WindowOf(dialog);
    const HWND list = dialog.Item(IDC_FRAMES);
    window.SetListColumns(IDC_FRAMES, kViewColumns);
    window.SetListRowCount(IDC_FRAMES, 2, 0);
    Drain();

    const Picture picture(list);
    using platform::ui::win32::kListMarkBack;
    const RECT marked = CellRect(list, 0, 1);
    const std::vector<int> columns = picture.ColumnsOf(marked, kListMarkBack);
    ASSERT_FALSE(columns.empty()) << "no highlight drawn";
    // Over the two characters, where the text puts them (6 pixels in).
    EXPECT_NEAR(columns.front() - marked.left, 6 + TextWidth(list, L"AA "), 1);
    EXPECT_NEAR(columns.back() - columns.front() + 1, TextWidth(list, L"55"), 1);
    for (const RECT& unmarked : {CellRect(list, 0, 0), CellRect(list, 0, 2), CellRect(list, 1, 1)})
        EXPECT_TRUE(picture.ColumnsOf(unmarked, kListMarkBack).empty());
}

TEST(Win32Views, ChartTellsWhatItShowsAndDrawsEachSeriesOnItsOwnScale) {
    ViewDialog dialog;
    ASSERT_TRUE(dialog.Show());
    auto& window = WindowOf(dialog);
    const HWND chart = dialog.Item(IDC_TRACE);
    EXPECT_EQ(window.ChartDescription(IDC_TRACE), "");

    ChartData data{60, {{"V/T", 0, 100, {}, {}}, {"P", -500, 500, {}, {}}}};
    for (int t = -60; t <= 0; ++t) {
        data.series[0].x.push_back(t);
        data.series[0].y.push_back(75);
        if (t < -30) continue;  // P starts 30 s ago
        data.series[1].x.push_back(t);
        data.series[1].y.push_back(-250);
    }
    window.SetChart(IDC_TRACE, data);
    EXPECT_EQ(window.ChartDescription(IDC_TRACE), ChartText(data));
    EXPECT_EQ(Utf8(WindowText(chart)), ChartText(data));  // what another program reads

    using platform::ui::win32::ChartSeriesColour;
    const RECT plot = platform::ui::win32::ChartPlotArea(chart);
    const Picture picture(chart);
    const int height = plot.bottom - 1 - plot.top;
    const auto xAt = [&](double ago) {
        return plot.left + static_cast<int>(std::lround((ago + 60) / 60 * (plot.right - 1 - plot.left)));
    };
    const auto rowsAt = [&](double ago, std::size_t series) {
        return picture.RowsOf(xAt(ago), ChartSeriesColour(series), plot.top, plot.bottom);
    };
    // Right of the legend, each line lies where its own range puts it.
    const int vtRow = plot.bottom - 1 - static_cast<int>(std::lround(0.75 * height));
    const int powerRow = plot.bottom - 1 - static_cast<int>(std::lround(0.25 * height));
    for (double ago : {-20.0, -5.0}) {
        for (const auto& [series, row] : {std::pair{std::size_t{0}, vtRow}, std::pair{std::size_t{1}, powerRow}}) {
            const std::vector<int> rows = rowsAt(ago, series);
            ASSERT_FALSE(rows.empty()) << ago << " s, series " << series;
            EXPECT_NEAR(rows.front(), row, 2);
            EXPECT_NEAR(rows.back(), row, 2);
        }
    }
    EXPECT_FALSE(rowsAt(-40, 0).empty());
    EXPECT_TRUE(rowsAt(-40, 1).empty());

    // Data a chart may get draws without harm and is told as it is.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const ChartData odd[] = {
        {},
        {-5, {{"одна точка", 0, 1, {0}, {0.5}}, {"пусто", 0, 1, {}, {}}}},
        {10, {{"плоско", 3, 3, {-2, -1}, {3, 3}}}},
        {10, {{"дыры", 0, 10, {-9, -8, nan, -6}, {1, nan, 3, 4}}}},
        {10, {{"вне шкалы", 0, 1, {-1e300, -20, 5, 1e300}, {-1e300, 2, -7, 1e300}}}},
        {10, {{"разной длины", 0, 1, {-3, -2, -1}, {0.5}}}},
    };
    for (const ChartData& data : odd) {
        window.SetChart(IDC_TRACE, data);
        RedrawWindow(chart, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(window.ChartDescription(IDC_TRACE), ChartText(data));
    }
}

// Answers the file dialog that `dialog`'s window opens, from a timer of
// that window, which the file dialog's modal loop delivers: the name box
// (cmb13, or edt1 in the old dialog) gets `path` and OK is pressed, or
// Cancel for no path. Keeps what the dialog showed.
class FileDialogAnswer {
public:
    FileDialogAnswer(ViewDialog& dialog, std::wstring path) : dialog_(dialog), path_(std::move(path)) {
        dialog_.onTick = [this](int) { Look(); };
        WindowOf(dialog_).SetTimer(kTimer, 50);
    }
    ~FileDialogAnswer() {
        WindowOf(dialog_).KillTimer(kTimer);
        dialog_.onTick = nullptr;
    }
    FileDialogAnswer(const FileDialogAnswer&) = delete;
    FileDialogAnswer& operator=(const FileDialogAnswer&) = delete;

    bool answered = false;
    std::string title;
    std::string filter;
    std::string proposed;

private:
    static constexpr int kTimer = 99;

    void Look() {
        struct Search {
            HWND owner;
            HWND box;
        } search{dialog_.Handle(), nullptr};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND hwnd, LPARAM data) {
                auto& s = *reinterpret_cast<Search*>(data);
                if (GetWindow(hwnd, GW_OWNER) == s.owner && IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770")
                    s.box = hwnd;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        const HWND box = search.box;
        if (!box) return;
        HWND name = GetDlgItem(box, 0x47C);
        if (!name) name = GetDlgItem(box, 0x480);
        if (!name) return;
        WindowOf(dialog_).KillTimer(kTimer);
        title = Utf8(WindowText(box));
        wchar_t first[256] = {};
        SendMessageW(GetDlgItem(box, 0x470), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));  // cmb1, the types
        filter = Utf8(first);
        proposed = Utf8(WindowText(name));
        if (!path_.empty()) SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path_.c_str()));
        PostMessageW(GetDlgItem(box, path_.empty() ? IDCANCEL : IDOK), BM_CLICK, 0, 0);
        answered = true;
    }

    ViewDialog& dialog_;
    std::wstring path_;
};

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

TEST(Win32Views, FileDialogAnswersThePathChosenAndNeverAsksToReplace) {
    ViewDialog dialog;
    ASSERT_TRUE(dialog.Show());
    auto& window = WindowOf(dialog);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring existing = std::wstring(temp) + L"zonter-views-журнал.csv";
    CloseHandle(CreateFileW(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::wstring folder = CurrentFolder();

    // An existing file is taken as it is: a question about replacing it
    // would keep the dialog open.
    FileQuestion save{true, "Записать журнал", "Журналы (CSV)", {"*.csv"}, "monitor-1.csv"};
    {
        FileDialogAnswer answer(dialog, existing);
        EXPECT_EQ(window.AskFileName(save), Utf8(existing));
        ASSERT_TRUE(answer.answered);
        EXPECT_EQ(answer.title, "Записать журнал");
        EXPECT_EQ(answer.filter, "Журналы (CSV) (*.csv)");
        EXPECT_EQ(answer.proposed, "monitor-1.csv");
    }
    FileQuestion open{false, "Открыть запись или журнал", "Записи и журналы", {"*.txt", "*.csv"}, ""};
    {
        FileDialogAnswer answer(dialog, existing);
        EXPECT_EQ(window.AskFileName(open), Utf8(existing));
        EXPECT_EQ(answer.filter, "Записи и журналы (*.txt; *.csv)");
    }
    {
        FileDialogAnswer answer(dialog, L"");
        EXPECT_EQ(window.AskFileName(open), "");
        EXPECT_TRUE(answer.answered);
    }
    // The program's relative paths keep their folder.
    EXPECT_EQ(CurrentFolder(), folder);
    DeleteFileW(existing.c_str());
}

}  // namespace
