#pragma once

#include <span>

// The neutral headers come before windows.h (see Win32Text.h).
#include "platform/ui/Views.h"
#include "platform/ui/win32/Win32Text.h"
// After windows.h:
#include <commctrl.h>

// Report lists (ControlKind::List): a SysListView32 in report view with
// owner data (LVS_OWNERDATA), so that the list keeps no rows: it asks its
// dialog for the rows it draws (LVN_GETDISPINFO, NM_CUSTOMDRAW) and only
// for those. Cells are drawn here, in the list's fixed-pitch font, with the
// marked characters on a highlight background.
namespace platform::ui::win32 {

// The background of marked characters: amber, readable on a selected row
// too; their text is black.
inline constexpr COLORREF kListMarkBack = RGB(255, 214, 96);

// Gives a list made from a template its extended styles (full-row select,
// double buffering), the cells a fixed-pitch font ("Courier New" at the
// dialog font's height) and the header the dialog's font. Returns the
// cells' font, which the caller deletes once the list is gone.
HFONT PrepareReportList(HWND list, HWND dialog);

// Replaces the columns; widths are in the dialog's units.
void SetReportColumns(HWND list, HWND dialog, std::span<const ListColumn> columns);

// True when the last row is in view (also for an empty list).
bool ReportListAtEnd(HWND list);

// The list holds `count` rows now, of which the first `dropped` rows before
// are gone. A list that showed its last row shows the new last row; one
// scrolled up goes back by `dropped` rows, so that it keeps showing the same
// rows, and the selection stays with its row.
void SetReportRowCount(HWND list, int count, int dropped);

// The text LVN_GETDISPINFO asks for: the cell of `row` in item.iSubItem,
// cut to the buffer offered.
void FillDisplayInfo(LVITEMW& item, const ListRow& row);

// Draws the cell NM_CUSTOMDRAW announces at CDDS_ITEMPREPAINT|CDDS_SUBITEM:
// background (the selection's when the row is selected), text, and the
// marked characters over a highlight background.
void DrawReportCell(const NMLVCUSTOMDRAW& draw, const ListRow& row);

// The answer to the marks question about (`row`, `column`, mark `index`)
// (ListMarksMessage.h).
LRESULT MarkAnswer(const ListRow& row, int column, int index);

}  // namespace platform::ui::win32
