#include "platform/SystemError.h"

#include "platform/win32/Windows.h"

namespace platform {

std::string SystemErrorText(int error) {
    if (error == 0) return {};
    wchar_t* words = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::wstring text(words ? words : L"", words ? n : 0);
    if (words) ::LocalFree(words);
    // The system's messages end in a line break, some also in a full stop.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return "error " + std::to_string(error);
    return win32::Utf8(text);
}

}  // namespace platform
