#include "platform/ReadFile.h"

#include "platform/win32/Windows.h"

namespace platform {

ReadFileResult ReadWholeFile(const std::string& path, std::size_t limit) {
    ReadFileResult result;
    const HANDLE file = ::CreateFileW(win32::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = static_cast<int>(::GetLastError());
        return result;
    }
    char chunk[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file, chunk, sizeof chunk, &n, nullptr)) {
            result.error = static_cast<int>(::GetLastError());
            result.contents.clear();
            ::CloseHandle(file);
            return result;
        }
        if (n == 0) break;
        if (result.contents.size() + n > limit) {
            result.tooLarge = true;
            result.contents.clear();
            ::CloseHandle(file);
            return result;
        }
        result.contents.append(chunk, n);
    }
    ::CloseHandle(file);
    result.read = true;
    return result;
}

}  // namespace platform
