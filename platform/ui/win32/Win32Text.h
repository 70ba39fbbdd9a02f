#pragma once

#include <string>
#include <string_view>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
// Names of DialogBase and DialogWindow members; the W functions stay.
#undef MessageBox
#undef GetDlgItemText
#undef SetDlgItemText

namespace platform::ui::win32 {

// The dialogs speak UTF-8; the window system UTF-16.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// A window's text (a control's caption or contents), UTF-16.
std::wstring WindowText(HWND hwnd);

}  // namespace platform::ui::win32
