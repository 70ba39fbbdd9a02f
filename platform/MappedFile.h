#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// A whole file's bytes, read-only, mapped into memory rather than copied:
// a large file is read by whoever walks over it, page by page, and what
// has been read can be let go again. An empty file maps to no bytes.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { Close(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the file at `path` (UTF-8), a regular file of at most `limit`
    // bytes, closing any file mapped before. On failure nothing is mapped,
    // and Error() gives the system's error number, or TooLarge() is set.
    [[nodiscard]] bool Open(const std::string& path, std::size_t limit);
    void Close();

    [[nodiscard]] std::string_view Bytes() const { return {data_, size_}; }
    [[nodiscard]] bool TooLarge() const { return tooLarge_; }
    [[nodiscard]] int Error() const { return error_; }

    // The bytes before `end` will not be read again: the system may drop
    // them from the process's memory (read after all, they come back from
    // the file). Whole pages only; a hint that cannot fail.
    void Release(std::size_t end);

private:
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t released_ = 0;  // bytes from the start already let go
    bool tooLarge_ = false;
    int error_ = 0;
};

}  // namespace platform
