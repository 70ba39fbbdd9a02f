#pragma once

// The Win32 dialog tests' ways into a dialog's real windows.
#include <string>

#include "platform/ui/DialogBase.h"
// Brings windows.h, after the neutral headers.
#include "platform/ui/win32/Win32DialogWindow.h"

namespace testing_support::win32 {

inline HWND HandleOf(const platform::ui::DialogBase& dialog) { return platform::ui::win32::WindowOf(dialog).Handle(); }
inline HWND Item(const platform::ui::DialogBase& dialog, int id) { return GetDlgItem(HandleOf(dialog), id); }

inline std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

}  // namespace testing_support::win32
