#pragma once

// The one place the Windows backends take the system's headers from, with
// the trimmed set and without the min/max macros.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace platform::win32 {

// Our text is UTF-8; the system's wide functions take UTF-16.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The shared headers keep a native handle in an int, as POSIX keeps a
// descriptor. Kernel handles fit 32 bits (Windows keeps them so for 32-bit
// peers), and a failed creation is stored as -1, so "valid" reads the same.
inline int HandleToInt(HANDLE h) { return h ? static_cast<int>(HandleToLong(h)) : -1; }
inline HANDLE IntToHandle(int value) { return value < 0 ? nullptr : LongToHandle(value); }

}  // namespace platform::win32
