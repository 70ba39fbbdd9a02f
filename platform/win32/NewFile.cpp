#include "platform/NewFile.h"

#include "platform/FileCalls.h"
#include "platform/win32/Windows.h"

namespace platform {

using win32::Wide;

namespace {

int LastError() { return static_cast<int>(::GetLastError()); }

int CreateNew(const std::string& path, NativeHandle* file) {
    const HANDLE h =
        ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    *file = h;
    return 0;
}

int WriteAll(NativeHandle file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr)) return LastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        data += written;
        size -= written;
    }
    return 0;
}

int Flush(NativeHandle file) { return ::FlushFileBuffers(file) ? 0 : LastError(); }

int Close(NativeHandle file) { return ::CloseHandle(file) ? 0 : LastError(); }

// Without MOVEFILE_REPLACE_EXISTING the move never replaces a file.
int MoveNew(const std::string& from, const std::string& to) {
    return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : LastError();
}

int Remove(const std::string& path) { return ::DeleteFileW(Wide(path).c_str()) ? 0 : LastError(); }

constexpr FileCalls kSystemCalls{CreateNew, WriteAll, Flush, Close, MoveNew, Remove, PauseBetweenTries};

}  // namespace

const FileCalls& SystemFileCalls() { return kSystemCalls; }

const char kFolderSeparator = '\\';

bool NameTaken(int error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

// A scanner, the search indexer or a sync client opens a new file without
// sharing it, or locks a part of it, for a moment: MoveFileExW then answers
// with one of these.
bool HeldByAnother(int error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

unsigned ProcessNumber() { return static_cast<unsigned>(::GetCurrentProcessId()); }

LocalTime LocalTimeNow() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace platform
