#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool MappedFile::Open(const std::string& path, std::size_t limit) {
    Close();
    tooLarge_ = false;
    error_ = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = errno != 0 ? errno : EINVAL;
        ::close(fd);
        return false;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > limit) {
        tooLarge_ = true;
        ::close(fd);
        return false;
    }
    // A mapping needs at least one byte; an empty file has nothing to map.
    if (size > 0) {
        void* const view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (view == MAP_FAILED) {
            error_ = errno;
            ::close(fd);
            return false;
        }
        // Read front to back: the system reads ahead.
        ::madvise(view, size, MADV_SEQUENTIAL);
        data_ = static_cast<const char*>(view);
        size_ = size;
    }
    // The mapping keeps the file.
    ::close(fd);
    return true;
}

void MappedFile::Close() {
    if (data_ != nullptr) ::munmap(const_cast<char*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    released_ = 0;
}

void MappedFile::Release(std::size_t end) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    if (data_ == nullptr || page == 0) return;
    end = end < size_ ? end / page * page : size_;
    if (end <= released_) return;
    // Pages of a private, never written mapping of a file: dropped, they
    // read back from the file.
    ::madvise(const_cast<char*>(data_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
}

}  // namespace platform
