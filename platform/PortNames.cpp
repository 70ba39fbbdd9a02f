#include "platform/PortNames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/SerialPortScan.h"

namespace platform {

namespace {

std::mutex g_directoryMutex;
std::string g_directoryOverride;  // empty: the default
std::atomic<bool> g_directoryOnly{false};
std::atomic<unsigned> g_linkSerial{0};

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string TmpBase() { return "/tmp/zonter-" + std::to_string(::getuid()); }

std::string DefaultDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && IsDirectory(runtime)) return std::string(runtime) + "/zonter/ports";
    return TmpBase() + "/ports";
}

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

// /tmp is shared: the per-user folder there must be a real directory that
// this user owns, or another user could redirect the links.
bool TmpBaseIsOurs() {
    const std::string base = TmpBase();
    if (!MakeDirectory(base)) return false;
    struct stat st;
    return ::lstat(base.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool EnsureDirectory(const std::string& dir) {
    const std::string base = TmpBase();
    if (dir.compare(0, base.size() + 1, base + "/") == 0 && !TmpBaseIsOurs()) return false;
    return MakeDirectories(dir);
}

std::string LinkPath(const std::string& dir, unsigned n) { return dir + "/" + ComName(n); }

std::optional<std::string> LinkTarget(const std::string& link) {
    std::vector<char> buf(PATH_MAX);
    const ssize_t len = ::readlink(link.c_str(), buf.data(), buf.size());
    if (len < 0 || static_cast<std::size_t>(len) >= buf.size()) return std::nullopt;
    return std::string(buf.data(), static_cast<std::size_t>(len));
}

}  // namespace

std::string PortDirectory() {
    std::lock_guard<std::mutex> hold(g_directoryMutex);
    return g_directoryOverride.empty() ? DefaultDirectory() : g_directoryOverride;
}

void SetPortDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> hold(g_directoryMutex);
    g_directoryOverride = dir;
}

void SetPortDirectoryOnly(bool only) { g_directoryOnly.store(only); }

std::string ComName(unsigned n) { return "COM" + std::to_string(n); }

std::optional<std::string> ResolveComPort(unsigned n) { return ResolveComPort(n, SerialScanRoots{}); }

std::optional<std::string> ResolveComPort(unsigned n, const SerialScanRoots& roots) {
    // An entry in the port directory decides, even when its target has
    // gone: a pinned number must not fall through to some other device.
    const std::string link = LinkPath(PortDirectory(), n);
    struct stat st;
    if (::lstat(link.c_str(), &st) == 0) return link;

    if (g_directoryOnly.load() || n == 0) return std::nullopt;
    const std::vector<std::string> ports = ListSerialPorts(roots);
    if (n > ports.size()) return std::nullopt;
    return ports[n - 1];
}

std::optional<std::string> RegisterPort(unsigned n, const std::string& device) {
    const std::string dir = PortDirectory();
    if (!EnsureDirectory(dir)) return std::nullopt;
    const std::string link = LinkPath(dir, n);
    // Made under a private name and renamed over the old link, so that a
    // concurrent resolve sees either the old or the new target.
    const std::string temp =
        dir + "/." + ComName(n) + "." + std::to_string(::getpid()) + "." + std::to_string(g_linkSerial.fetch_add(1));
    ::unlink(temp.c_str());
    if (::symlink(device.c_str(), temp.c_str()) != 0) return std::nullopt;
    if (::rename(temp.c_str(), link.c_str()) != 0) {
        ::unlink(temp.c_str());
        return std::nullopt;
    }
    return link;
}

void UnregisterPort(unsigned n, const std::string& device) {
    const std::string link = LinkPath(PortDirectory(), n);
    const auto target = LinkTarget(link);
    if (target && *target == device) ::unlink(link.c_str());
}

}  // namespace platform
