#include "platform/ui/win32/Win32ListView.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/ui/win32/ListMarksMessage.h"

namespace platform::ui::win32 {

namespace {

// The text starts this far from the cell's left edge, as the list's own.
constexpr int kCellPadding = 6;

constexpr COLORREF kMarkText = RGB(0, 0, 0);

int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
int TopIndex(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0)); }

int NextItem(HWND list, UINT flags) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(flags, 0)));
}

void SetItemState(HWND list, int item, UINT state, UINT mask) {
    LVITEMW change{};
    change.state = state;
    change.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&change));
}

// Scrolls so that `top` is the first row in view (as near as the list goes).
void ScrollToTop(HWND list, int top) {
    const int now = TopIndex(list);
    if (now == top) return;
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (!SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(now), reinterpret_cast<LPARAM>(&row))) return;
    const int height = row.bottom - row.top;
    // In report view the list scrolls by whole rows of pixels.
    if (height > 0) SendMessageW(list, LVM_SCROLL, 0, static_cast<LPARAM>((top - now) * height));
}

std::wstring CellText(const ListRow& row, int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= row.cells.size()) return {};
    return Wide(row.cells[static_cast<std::size_t>(column)]);
}

}  // namespace

HFONT PrepareReportList(HWND list, HWND dialog) {
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);

    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW logical{};
    if (!dialogFont || !GetObjectW(dialogFont, sizeof logical, &logical)) logical.lfHeight = -12;
    logical.lfWidth = 0;
    logical.lfWeight = FW_NORMAL;
    logical.lfItalic = FALSE;
    logical.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    wcsncpy(logical.lfFaceName, L"Courier New", LF_FACESIZE - 1);
    logical.lfFaceName[LF_FACESIZE - 1] = L'\0';
    const HFONT cells = CreateFontIndirectW(&logical);
    if (cells) SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(cells), FALSE);
    // The column titles stay in the dialog's font.
    const auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    if (header && dialogFont) SendMessageW(header, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont), FALSE);
    return cells;
}

void SetReportColumns(HWND list, HWND dialog, std::span<const ListColumn> columns) {
    const auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int had = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    const int wanted = static_cast<int>(columns.size());
    // Columns are changed in place and added or removed at the end: a
    // list keeps its column 0 while it has any.
    for (int i = had - 1; i >= wanted; --i) SendMessageW(list, LVM_DELETECOLUMN, static_cast<WPARAM>(i), 0);
    for (int i = 0; i < wanted; ++i) {
        const ListColumn& column = columns[static_cast<std::size_t>(i)];
        RECT width{0, 0, column.width, 0};
        MapDialogRect(dialog, &width);
        std::wstring title = Wide(column.title);
        LVCOLUMNW info{};
        info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        info.fmt = LVCFMT_LEFT;
        info.cx = width.right;
        info.pszText = title.data();
        info.iSubItem = i;
        const UINT message = i < had ? LVM_SETCOLUMNW : LVM_INSERTCOLUMNW;
        SendMessageW(list, message, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info));
    }
    InvalidateRect(list, nullptr, TRUE);
}

bool ReportListAtEnd(HWND list) {
    const int count = ItemCount(list);
    if (count <= 0) return true;
    const int perPage = std::max(1, static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)));
    return TopIndex(list) + perPage >= count;
}

void SetReportRowCount(HWND list, int count, int dropped) {
    count = std::max(0, count);
    const int before = ItemCount(list);
    dropped = std::clamp(dropped, 0, before);
    const bool follow = ReportListAtEnd(list);
    const int top = TopIndex(list);
    const int selected = dropped > 0 ? NextItem(list, LVNI_SELECTED) : -1;
    const int focused = dropped > 0 ? NextItem(list, LVNI_FOCUSED) : -1;

    // New rows at the end repaint by themselves where they are in view; the
    // scrolling is done here.
    SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);

    if (dropped > 0 && (selected >= 0 || focused >= 0)) {
        // The selection and the focus stay with their rows, which moved up.
        SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        if (selected >= dropped && selected - dropped < count)
            SetItemState(list, selected - dropped, LVIS_SELECTED, LVIS_SELECTED);
        if (focused >= dropped && focused - dropped < count)
            SetItemState(list, focused - dropped, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    // Last, as moving the focus may scroll the list.
    if (count > 0) {
        if (follow)
            SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(count - 1), FALSE);
        else if (dropped > 0)
            ScrollToTop(list, std::max(0, top - dropped));
    }
    // Every row in view shows another row's content after a drop: the
    // whole list is drawn again, at once, so that no moved picture stays.
    if (dropped > 0) RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void FillDisplayInfo(LVITEMW& item, const ListRow& row) {
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    const std::wstring text = CellText(row, item.iSubItem);
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    std::memcpy(item.pszText, text.data(), length * sizeof(wchar_t));
    item.pszText[length] = L'\0';
}

void DrawReportCell(const NMLVCUSTOMDRAW& draw, const ListRow& row) {
    const HWND list = draw.nmcd.hdr.hwndFrom;
    const HDC dc = draw.nmcd.hdc;
    const auto item = static_cast<WPARAM>(draw.nmcd.dwItemSpec);
    const int column = draw.iSubItem;

    // The cell's own rectangle: a subitem's bounds start at its column, and
    // subitem 0's span the whole row.
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&cell))) return;
    cell.right = cell.left + static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));

    const bool selected = (SendMessageW(list, LVM_GETITEMSTATE, item, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    const bool active = GetFocus() == list;
    COLORREF back = GetSysColor(COLOR_WINDOW);
    COLORREF fore = GetSysColor(COLOR_WINDOWTEXT);
    if (selected) {
        back = GetSysColor(active ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
        fore = GetSysColor(active ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
    }

    const int saved = SaveDC(dc);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    SetBkColor(dc, back);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);

    const std::wstring text = CellText(row, column);
    if (!text.empty()) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        const int x = cell.left + kCellPadding;
        const int y = cell.top + (cell.bottom - cell.top - metrics.tmHeight) / 2;
        const int length = static_cast<int>(text.size());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, fore);
        ExtTextOutW(dc, x, y, ETO_CLIPPED, &cell, text.data(), static_cast<UINT>(length), nullptr);

        // Each marked run again, over its background. A character is a
        // UTF-16 unit: the cells are Latin and Cyrillic.
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, kListMarkBack);
        SetTextColor(dc, kMarkText);
        for (const TextMark& mark : row.marks) {
            if (mark.column != column || mark.count <= 0 || mark.first < 0 || mark.first >= length) continue;
            const int end = std::min(length, mark.first + mark.count);
            SIZE before{};
            SIZE run{};
            GetTextExtentPoint32W(dc, text.data(), mark.first, &before);
            GetTextExtentPoint32W(dc, text.data() + mark.first, end - mark.first, &run);
            RECT box{x + before.cx, cell.top, x + before.cx + run.cx, cell.bottom};
            if (!IntersectRect(&box, &box, &cell)) continue;
            ExtTextOutW(dc, x + before.cx, y, ETO_OPAQUE | ETO_CLIPPED, &box, text.data() + mark.first,
                        static_cast<UINT>(end - mark.first), nullptr);
        }
    }
    RestoreDC(dc, saved);
}

LRESULT MarkAnswer(const ListRow& row, int column, int index) {
    int seen = 0;
    for (const TextMark& mark : row.marks) {
        if (mark.column != column || mark.count <= 0) continue;
        if (seen++ == index) return static_cast<LRESULT>(ListMarksAnswer(mark.first, mark.count));
    }
    return 0;
}

}  // namespace platform::ui::win32
