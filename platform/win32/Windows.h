#pragma once

// The one place the Windows backends (platform/win32 and the dialog backend
// in platform/ui/win32) take the system's headers from: the trimmed set,
// without the min/max macros, and with the wide (UTF-16) functions as the
// default ones.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
// Names of DialogBase and DialogWindow members; the W functions stay.
#undef MessageBox
#undef GetDlgItemText
#undef SetDlgItemText

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/NativeHandle.h"

namespace platform::win32 {

static_assert(std::is_same_v<NativeHandle, HANDLE>, "the shared headers keep a HANDLE as it is");

// Our text is UTF-8; the system's wide functions take UTF-16. Text that
// cannot be converted (or is longer than the system's functions take)
// comes back empty.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace platform::win32
