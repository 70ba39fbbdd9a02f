#include "platform/MappedFile.h"

#include "platform/win32/Windows.h"

namespace platform {

bool MappedFile::Open(const std::string& path, std::size_t limit) {
    Close();
    tooLarge_ = false;
    error_ = 0;
    const HANDLE file =
        ::CreateFileW(win32::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error_ = static_cast<int>(::GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size)) {
        const DWORD error = ::GetLastError();
        error_ = error != NO_ERROR ? static_cast<int>(error) : ERROR_INVALID_FUNCTION;
        ::CloseHandle(file);
        return false;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > limit) {
        tooLarge_ = true;
        ::CloseHandle(file);
        return false;
    }
    // A mapping of an empty file cannot be made; there is nothing to map.
    if (size.QuadPart > 0) {
        const HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        const void* view = mapping != nullptr ? ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
        if (view == nullptr) error_ = static_cast<int>(::GetLastError());
        // The view keeps the mapping, and the mapping the file.
        if (mapping != nullptr) ::CloseHandle(mapping);
        if (view == nullptr) {
            ::CloseHandle(file);
            return false;
        }
        data_ = static_cast<const char*>(view);
        size_ = static_cast<std::size_t>(size.QuadPart);
    }
    ::CloseHandle(file);
    return true;
}

void MappedFile::Close() {
    if (data_ != nullptr) ::UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
    released_ = 0;
}

void MappedFile::Release(std::size_t end) {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    if (data_ == nullptr || page == 0) return;
    end = end < size_ ? end / page * page : size_;
    if (end <= released_) return;
    // Unlocking pages that were never locked takes them out of the
    // process's working set (the call then reports ERROR_NOT_LOCKED).
    ::VirtualUnlock(const_cast<char*>(data_) + released_, end - released_);
    released_ = end;
}

}  // namespace platform
