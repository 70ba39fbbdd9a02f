#include "platform/SerialPortScan.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

namespace platform {

namespace {

struct Candidate {
    int family;  // position of the name prefix in kFamilies
    unsigned long number;
    std::string name;
};

constexpr const char* kFamilies[] = {"ttyS", "ttyUSB", "ttyACM"};

// "ttyUSB3" -> family 1, number 3; names with anything after the digits
// (or no digits) are not ports of ours.
std::optional<Candidate> Classify(const std::string& name) {
    for (int f = 0; f < 3; ++f) {
        const std::string prefix = kFamilies[f];
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        return Candidate{f, std::stoul(digits), name};
    }
    return std::nullopt;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Names of the console devices: the kernel's list of active consoles and,
// in case that cannot be read or misses one, console= on the command line.
std::set<std::string> ConsoleNames(const SerialScanRoots& roots) {
    std::set<std::string> names;
    if (auto active = ReadWholeFile(roots.ttyClassDir + "/console/active")) {
        std::istringstream words(*active);
        for (std::string w; words >> w;) names.insert(w);
    }
    if (auto cmdline = ReadWholeFile(roots.cmdlineFile)) {
        std::istringstream words(*cmdline);
        const std::string key = "console=";
        for (std::string w; words >> w;) {
            if (w.compare(0, key.size(), key) != 0) continue;
            const std::string value = w.substr(key.size());
            names.insert(value.substr(0, value.find(',')));  // "ttyS0,115200n8"
        }
    }
    return names;
}

// A ttyS line exists for every possible UART; type 0 marks an empty slot.
bool UartPresent(const SerialScanRoots& roots, const std::string& name) {
    auto type = ReadWholeFile(roots.ttyClassDir + "/" + name + "/type");
    if (!type) return false;
    try {
        return std::stol(*type) != 0;
    } catch (...) {
        return false;
    }
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

SerialScanRoots SystemScanRoots() { return {"/sys/class/tty", "/dev", "/proc/cmdline"}; }

std::vector<std::string> ListSerialPorts(const SerialScanRoots& roots) {
    const std::set<std::string> consoles = ConsoleNames(roots);
    std::vector<Candidate> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(roots.ttyClassDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        auto candidate = Classify(name);
        if (!candidate || consoles.count(name)) continue;
        if (candidate->family == 0 && !UartPresent(roots, name)) continue;
        if (!Exists(roots.devDir + "/" + name)) continue;
        found.push_back(std::move(*candidate));
    }
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.family, a.number) < std::tie(b.family, b.number);
    });
    std::vector<std::string> paths;
    paths.reserve(found.size());
    for (const Candidate& c : found) paths.push_back(roots.devDir + "/" + c.name);
    return paths;
}

}  // namespace platform
