#pragma once

#include <vector>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/win32/Win32Text.h"

namespace platform::ui::win32 {

// The window classes of the template's controls.
inline constexpr wchar_t kTrackbarClass[] = L"msctls_trackbar32";
inline constexpr wchar_t kUpDownClass[] = L"msctls_updown32";
inline constexpr wchar_t kListViewClass[] = L"SysListView32";
// The program's own strip chart (Win32Chart.h).
inline constexpr wchar_t kChartClass[] = L"ZonterChart";

// An in-memory DLGTEMPLATEEX for `tmpl`, as a .rc DIALOGEX compiles: the
// template's font (face and point size), its controls in template order
// under their identifiers, positions in dialog units. `owned` dialogs sit
// over their owner; the others get a taskbar button. The words are DWORD
// aligned from the start of the buffer, which itself is.
std::vector<WORD> BuildDialogTemplate(const platform::DialogTemplate& tmpl, bool owned);

}  // namespace platform::ui::win32
