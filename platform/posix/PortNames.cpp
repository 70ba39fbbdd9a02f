#include "platform/PortNames.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/SerialPortScan.h"
#include "platform/posix/PortFolder.h"

namespace platform {

namespace {

std::mutex g_directoryMutex;
std::string g_directoryOverride;  // empty: the default
std::atomic<bool> g_directoryOnly{false};

std::string LinkPath(const std::string& dir, unsigned n) { return dir + "/" + ComName(n); }

// Registering and resolving trust the port directory by the same rule.
bool LinksTrusted(const std::string& dir) { return portdir::IsPrivate(dir, portdir::SharedBase()); }

}  // namespace

std::string PortDirectory() {
    std::lock_guard<std::mutex> hold(g_directoryMutex);
    return g_directoryOverride.empty() ? portdir::DefaultDirectory() : g_directoryOverride;
}

void SetPortDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> hold(g_directoryMutex);
    g_directoryOverride = dir;
}

void SetPortDirectoryOnly(bool only) { g_directoryOnly.store(only); }

std::optional<std::string> ResolveComPort(unsigned n) { return ResolveComPort(n, SystemScanRoots()); }

std::optional<std::string> ResolveComPort(unsigned n, const SerialScanRoots& roots) {
    // An entry in the port directory decides, even when its target has
    // gone: a pinned number must not fall through to some other device.
    // Its links are followed only when no one else can change them.
    const std::string dir = PortDirectory();
    if (LinksTrusted(dir)) {
        const std::string link = LinkPath(dir, n);
        if (portdir::EntryExists(link)) return link;
    }

    if (g_directoryOnly.load() || n == 0) return std::nullopt;
    const std::vector<std::string> ports = ListSerialPorts(roots);
    if (n > ports.size()) return std::nullopt;
    return ports[n - 1];
}

std::optional<std::string> RegisterPort(unsigned n, const std::string& device) {
    const std::string dir = PortDirectory();
    if (!portdir::Prepare(dir, portdir::SharedBase()) || !LinksTrusted(dir)) return std::nullopt;
    const std::string link = LinkPath(dir, n);
    if (!portdir::PlaceLink(link, device)) return std::nullopt;
    return link;
}

void UnregisterPort(unsigned n, const std::string& device) {
    const std::string link = LinkPath(PortDirectory(), n);
    const auto target = portdir::LinkTarget(link);
    if (target && *target == device) portdir::RemoveEntry(link);
}

}  // namespace platform
