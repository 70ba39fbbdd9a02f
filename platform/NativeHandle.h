#pragma once

namespace platform {

// The system's own handle to an open object, as each system keeps it: a
// file descriptor on POSIX systems, a HANDLE (a pointer) on Windows. The
// shared headers hold it in this type; only the system's backend looks
// inside.
#ifdef _WIN32
using NativeHandle = void*;
inline constexpr NativeHandle kNoHandle = nullptr;
#else
using NativeHandle = int;
inline constexpr NativeHandle kNoHandle = -1;
#endif

}  // namespace platform
