#include "tools/bench/support/Usage.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bench {

namespace {

double Seconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string ProcDir(pid_t pid) { return pid == 0 ? std::string("/proc/self") : "/proc/" + std::to_string(pid); }

// The number after "key:" in a /proc status file; -1 when absent.
long long StatusField(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0 && line.size() > key.size() && line[key.size()] == ':') {
            return std::strtoll(line.c_str() + key.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

}  // namespace

double ProcessCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return Seconds(u);
}

double ThreadCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return Seconds(u);
}

pid_t ThisThreadId() { return ::gettid(); }

namespace {

// Calls visit(tid, "/proc/<pid>/task/<tid>") for each thread of `pid`.
template <class Visit>
void ForEachTask(pid_t pid, Visit visit) {
    const std::string tasks = ProcDir(pid) + "/task";
    DIR* dir = ::opendir(tasks.c_str());
    if (!dir) return;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        visit(static_cast<pid_t>(std::atoi(e->d_name)), tasks + "/" + e->d_name);
    }
    ::closedir(dir);
}

}  // namespace

long long TaskCpuNs(pid_t pid) {
    long long total = 0;
    ForEachTask(pid, [&](pid_t, const std::string& task) {
        std::ifstream in(task + "/schedstat");
        long long onCpu = 0;
        if (in >> onCpu) total += onCpu;
    });
    return total;
}

std::map<pid_t, Switches> ThreadSwitches(pid_t pid) {
    std::map<pid_t, Switches> out;
    ForEachTask(pid, [&](pid_t tid, const std::string& task) {
        const std::string status = task + "/status";
        Switches s;
        s.voluntary = StatusField(status, "voluntary_ctxt_switches");
        s.involuntary = StatusField(status, "nonvoluntary_ctxt_switches");
        if (s.voluntary >= 0) out[tid] = s;
    });
    return out;
}

long long WakeupsBetween(const std::map<pid_t, Switches>& before, const std::map<pid_t, Switches>& after,
                         pid_t excluded) {
    long long total = 0;
    for (const auto& [tid, s] : after) {
        if (tid == excluded) continue;
        const auto b = before.find(tid);
        total += s.voluntary - (b == before.end() ? 0 : b->second.voluntary);
    }
    return total;
}

std::string ThreadName(pid_t pid, pid_t tid) {
    std::ifstream in(ProcDir(pid) + "/task/" + std::to_string(tid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

long ResidentKiB(pid_t pid) { return static_cast<long>(StatusField(ProcDir(pid) + "/status", "VmRSS")); }

long PeakResidentKiB(pid_t pid) { return static_cast<long>(StatusField(ProcDir(pid) + "/status", "VmHWM")); }

}  // namespace bench
