#pragma once

#include <string>

#include "platform/win32/Windows.h"

namespace platform::ui::win32 {

// The dialogs speak UTF-8, the window system UTF-16: the one conversion
// of the Windows backends.
using platform::win32::Utf8;
using platform::win32::Wide;

// A window's text (a control's caption or contents), UTF-16.
std::wstring WindowText(HWND hwnd);

}  // namespace platform::ui::win32
