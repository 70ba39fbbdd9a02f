#pragma once

#include <string>

// The neutral headers come before windows.h (see Win32Text.h).
#include "platform/ui/Views.h"
#include "platform/ui/win32/Win32Text.h"

namespace platform::ui::win32 {

// Asks `question` with the system's file dialog (GetOpenFileNameW or
// GetSaveFileNameW), modal over `owner`: one filter made of the question's
// name and patterns, the current folder left as it was, and for a save the
// proposed name offered, without a question about replacing a file. The
// chosen path in UTF-8, empty when the person cancelled.
std::string AskWithFileDialog(HWND owner, const FileQuestion& question);

}  // namespace platform::ui::win32
