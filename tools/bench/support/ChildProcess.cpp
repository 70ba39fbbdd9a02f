#include "tools/bench/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <stdexcept>

extern char** environ;

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point end) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> byName;
    std::vector<std::string> order;
    auto put = [&](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('='));
        if (!byName.count(name)) order.push_back(name);
        byName[name] = entry;
    };
    for (char** e = environ; *e; ++e) put(*e);
    for (const std::string& e : extra) put(e);
    std::vector<std::string> out;
    for (const std::string& name : order) out.push_back(byName[name]);
    return out;
}

}  // namespace

ChildProcess::ChildProcess(const Setup& setup) {
    std::vector<std::string> args = setup.argv;
    std::vector<std::string> env = MergedEnvironment(setup.env);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const int devNull = setup.silenceStderr ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;

    // Only async-signal-safe calls between fork and exec: the parent has
    // threads.
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        if (devNull >= 0) ::dup2(devNull, STDERR_FILENO);
        if (setup.passFd >= 0) {
            if (setup.passFd == 3) {
                ::fcntl(3, F_SETFD, 0);
            } else {
                ::dup2(setup.passFd, 3);
            }
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (devNull >= 0) ::close(devNull);
    stdout_ = out[0];
    if (pid_ < 0) throw std::runtime_error("fork failed");
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !exit_) {
        ::kill(pid_, SIGKILL);
        Reap(true);
    }
    if (pidFd_ >= 0) ::close(pidFd_);
    if (stdout_ >= 0) ::close(stdout_);
}

bool ChildProcess::Fill(int boundMs) {
    pollfd p{stdout_, POLLIN, 0};
    if (::poll(&p, 1, boundMs) <= 0) return false;
    char chunk[1024];
    const ssize_t k = ::read(stdout_, chunk, sizeof chunk);
    if (k <= 0) {
        eof_ = true;
    } else {
        buffer_.append(chunk, static_cast<std::size_t>(k));
    }
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(int boundMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
        if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return line;
        }
        if (eof_) return std::nullopt;
        const int left = MillisLeft(end);
        if (left == 0 || !Fill(left)) {
            if (MillisLeft(end) == 0) return std::nullopt;
        }
    }
}

std::optional<std::string> ChildProcess::ReadLineStartingWith(const std::string& prefix, int boundMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
        const auto line = ReadLine(MillisLeft(end));
        if (!line) return std::nullopt;
        if (line->rfind(prefix, 0) == 0) return line;
    }
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0 && !exit_) ::kill(pid_, signal);
}

bool ChildProcess::Reap(bool block) {
    if (exit_) return true;
    int status = 0;
    rusage usage{};
    const pid_t r = ::wait4(pid_, &status, block ? 0 : WNOHANG, &usage);
    if (r != pid_) return false;
    Exit e;
    e.exited = WIFEXITED(status);
    e.code = e.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    e.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    exit_ = e;
    return true;
}

bool ChildProcess::Ended() { return Reap(false); }

std::optional<ChildProcess::Exit> ChildProcess::Wait(int boundMs) {
    if (Reap(false)) return exit_;
    if (pidFd_ >= 0) {
        pollfd p{pidFd_, POLLIN, 0};
        if (::poll(&p, 1, boundMs) <= 0) return std::nullopt;
        Reap(true);
        return exit_;
    }
    // Without pidfds: look again every few milliseconds until the bound.
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    while (!Reap(false)) {
        if (MillisLeft(end) == 0) return std::nullopt;
        ::poll(nullptr, 0, 5);
    }
    return exit_;
}

std::string FieldOf(const std::string& line, const std::string& key) {
    const std::string needle = key + "=";
    std::size_t at = 0;
    while ((at = line.find(needle, at)) != std::string::npos) {
        if (at == 0 || line[at - 1] == ' ') {
            const std::size_t start = at + needle.size();
            const std::size_t end = line.find(' ', start);
            return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
        at += needle.size();
    }
    return {};
}

std::string OwnExecutable() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    return path;
}

}  // namespace bench
