#include "platform/posix/PortFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace platform::portdir {

namespace {

std::atomic<unsigned> g_linkSerial{0};

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string TmpBase() { return "/tmp/zonter-" + std::to_string(::getuid()); }

// mkdir that accepts an existing directory.
bool MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    return errno == EEXIST && IsDirectory(path);
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (!MakeDirectory(path.substr(0, slash))) return false;
    }
    return MakeDirectory(path);
}

bool Inside(const std::string& dir, const std::string& base) {
    return !base.empty() && dir.compare(0, base.size() + 1, base + "/") == 0;
}

// lstat, so that a link standing in for the folder is seen as one (a
// trailing slash would make lstat follow it).
bool FolderIsPrivate(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string DefaultDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && IsDirectory(runtime)) return std::string(runtime) + "/zonter/ports";
    return TmpBase() + "/ports";
}

std::string SharedBase() { return TmpBase(); }

bool IsPrivate(const std::string& dir, const std::string& sharedBase) {
    if (!FolderIsPrivate(dir)) return false;
    return !Inside(dir, sharedBase) || FolderIsPrivate(sharedBase);
}

bool Prepare(const std::string& dir, const std::string& sharedBase) {
    // /tmp is shared: whoever made the per-user folder there first owns
    // what is inside it.
    if (Inside(dir, sharedBase) && !(MakeDirectory(sharedBase) && IsPrivate(sharedBase, {}))) return false;
    return MakeDirectories(dir);
}

bool EntryExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool PlaceLink(const std::string& link, const std::string& target) {
    // Made under a private name beside the link and renamed over it.
    const std::size_t slash = link.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : link.substr(0, slash + 1);
    const std::string name = link.substr(dir.size());
    const std::string temp =
        dir + "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(g_linkSerial.fetch_add(1));
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) return false;
    if (::rename(temp.c_str(), link.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> LinkTarget(const std::string& link) {
    std::vector<char> buf(PATH_MAX);
    const ssize_t len = ::readlink(link.c_str(), buf.data(), buf.size());
    if (len < 0 || static_cast<std::size_t>(len) >= buf.size()) return std::nullopt;
    return std::string(buf.data(), static_cast<std::size_t>(len));
}

void RemoveEntry(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace platform::portdir
