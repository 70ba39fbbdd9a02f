#include "platform/ui/win32/Win32Text.h"

namespace platform::ui::win32 {

std::wstring WindowText(HWND hwnd) {
    // The length may be an overestimate (mixed character sets); the copy
    // says how much it wrote.
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace platform::ui::win32
