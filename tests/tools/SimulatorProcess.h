#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kmsim_test {

// A private directory removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zonter-kmsim-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The simulator binary run as a child, its stdout read line by line. The
// child is killed when the object goes, if it has not been reaped.
class SimulatorProcess {
public:
    explicit SimulatorProcess(std::vector<std::string> args) : args_(std::move(args)) {
        args_.insert(args_.begin(), KMSIM_BINARY);
        std::vector<char*> argv;
        for (std::string& a : args_) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        stdout_ = out[0];
        if (pid_ < 0) throw std::runtime_error("fork failed");
    }

    ~SimulatorProcess() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (stdout_ >= 0) ::close(stdout_);
    }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // The next line the child writes, within boundMs; nothing at the end of
    // its output or when the bound runs out.
    std::optional<std::string> ReadLine(int boundMs) {
        const auto end = Deadline(boundMs);
        for (;;) {
            if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            if (eof_ || !Fill(end)) return std::nullopt;
        }
    }

    // The first line that starts with `prefix`, within boundMs.
    std::optional<std::string> ReadLineStartingWith(const std::string& prefix, int boundMs) {
        const auto end = Deadline(boundMs);
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) return std::nullopt;
            const auto line = ReadLine(static_cast<int>(left));
            if (!line) return std::nullopt;
            if (line->rfind(prefix, 0) == 0) return line;
        }
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    // Waits for the child to end: its output closes first (kept for
    // ReadLine), then it is reaped. Returns its exit code; nothing if it did
    // not end in time or ended by a signal.
    std::optional<int> WaitExit(int boundMs) {
        const auto end = Deadline(boundMs);
        while (!eof_) {
            if (!Fill(end)) return std::nullopt;
        }
        int status = 0;
        if (::waitpid(pid_, &status, 0) != pid_) return std::nullopt;
        reaped_ = true;
        if (!WIFEXITED(status)) return std::nullopt;
        return WEXITSTATUS(status);
    }

private:
    using Clock = std::chrono::steady_clock;

    static Clock::time_point Deadline(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

    // Waits for output until `end`; false once the bound has run out.
    bool Fill(Clock::time_point end) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{stdout_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) return Clock::now() < end;
        char chunk[512];
        const ssize_t k = ::read(stdout_, chunk, sizeof chunk);
        if (k <= 0) {
            eof_ = true;
        } else {
            buffer_.append(chunk, static_cast<std::size_t>(k));
        }
        return true;
    }

    std::vector<std::string> args_;
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string buffer_;
    bool eof_ = false;
    bool reaped_ = false;
};

}  // namespace kmsim_test
