#include "platform/NewFile.h"

#include <atomic>
#include <climits>

#include "platform/win32/Windows.h"

namespace platform {

using win32::Wide;

namespace {

constexpr int kMostNames = 999;
constexpr int kTempAttempts = 100;

std::atomic<unsigned> g_tempSerial{0};

bool WriteAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(text.size() < (1u << 30) ? text.size() : (1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, text.data(), chunk, &written, nullptr) || written == 0) return false;
        text.remove_prefix(written);
    }
    return true;
}

bool NameTaken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

}  // namespace

NewFileResult WriteNewFile(const std::string& dir, const std::function<std::string(int)>& nameFor,
                           std::string_view contents) {
    NewFileResult result;
    result.name = nameFor(1);
    std::string prefix = dir;
    if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';

    // A temporary name of this process's own in the same folder, so that the
    // move below stays on one volume and cannot half-happen.
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kTempAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        temp = Wide(prefix + "." + result.name + "." + std::to_string(::GetCurrentProcessId()) + "-" +
                    std::to_string(g_tempSerial.fetch_add(1)) + ".tmp");
        file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && !NameTaken(::GetLastError())) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        result.error = static_cast<int>(::GetLastError());
        return result;
    }

    const bool complete = WriteAll(file, contents) && ::FlushFileBuffers(file);
    const DWORD writeError = ::GetLastError();
    const bool closed = ::CloseHandle(file) != 0;
    if (!complete || !closed) {
        result.error = static_cast<int>(complete ? ::GetLastError() : writeError);
        ::DeleteFileW(temp.c_str());
        return result;
    }

    // Without MOVEFILE_REPLACE_EXISTING the move never replaces a file: a
    // taken name moves on to the next one.
    for (int n = 1; n <= kMostNames; ++n) {
        const std::string candidate = nameFor(n);
        if (::MoveFileExW(temp.c_str(), Wide(prefix + candidate).c_str(), MOVEFILE_WRITE_THROUGH)) {
            result.written = true;
            result.name = candidate;
            return result;
        }
        const DWORD error = ::GetLastError();
        if (!NameTaken(error)) {
            result.error = static_cast<int>(error);
            break;
        }
    }
    if (result.error == 0) result.error = ERROR_FILE_EXISTS;
    ::DeleteFileW(temp.c_str());
    return result;
}

LocalTime LocalTimeNow() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace platform
