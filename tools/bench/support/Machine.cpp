#include "tools/bench/support/Machine.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace bench {

namespace {

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const auto colon = line.find(':');
            if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
        }
    }
    return "unknown CPU";
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

}  // namespace

std::string MachineLine() {
    utsname u{};
    ::uname(&u);
    return "machine: " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " CPUs, " + CpuModel() + ", Linux " +
           u.release + ", load " + LoadAverage();
}

void LineBufferedOutput() { std::setvbuf(stdout, nullptr, _IOLBF, 0); }

int IntArgument(int argc, char** argv, const std::string& name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (name == argv[i]) {
            char* end = nullptr;
            const long v = std::strtol(argv[i + 1], &end, 10);
            if (end && *end == '\0' && v >= 0) return static_cast<int>(v);
        }
    }
    return fallback;
}

bool FlagArgument(int argc, char** argv, const std::string& name) {
    for (int i = 1; i < argc; ++i) {
        if (name == argv[i]) return true;
    }
    return false;
}

}  // namespace bench
