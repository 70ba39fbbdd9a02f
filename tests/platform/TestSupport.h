#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace zonter_test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// CPU time used by the whole process so far, in milliseconds.
inline double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Polls `condition` until it holds or `limit` has passed.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5000ms) {
    const auto end = Clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(1ms);
    }
}

// A private directory removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zonter-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void WriteTextFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

// What the kernel says about one thread of this process: whether it sleeps
// in a wait, and how many bytes its read() calls have returned so far.
class ThreadProbe {
public:
    explicit ThreadProbe(pid_t tid) : dir_("/proc/self/task/" + std::to_string(tid)) {}

    // Sleeping, and when the kernel names the wait, in a function whose
    // name contains `where` ("poll", "futex").
    bool SleepingIn(const std::string& where) const {
        std::ifstream stat(dir_ + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto paren = line.rfind(')');
        if (paren == std::string::npos || paren + 2 >= line.size() || line[paren + 2] != 'S') return false;
        std::ifstream wchan(dir_ + "/wchan");
        std::string function;
        std::getline(wchan, function);
        return function.empty() || function == "0" || function.find(where) != std::string::npos;
    }

    std::int64_t BytesRead() const {
        std::ifstream io(dir_ + "/io");
        std::string key;
        std::int64_t value = -1;
        while (io >> key >> value) {
            if (key == "rchar:") return value;
        }
        return -1;
    }

private:
    std::string dir_;
};

// Runs `job` on a thread of its own and lets the test see that thread.
class Background {
public:
    explicit Background(std::function<void()> job)
        : thread_([this, job = std::move(job)] {
              tid_.store(gettid());
              job();
              done_.store(true);
          }) {}
    ~Background() { Join(); }

    // The thread's id, once it has started.
    pid_t tid() {
        WaitUntil([&] { return tid_.load() != 0; });
        return tid_.load();
    }
    ThreadProbe probe() { return ThreadProbe(tid()); }
    bool done() const { return done_.load(); }

    // Waits (with a bound) until the thread sleeps in its wait.
    bool WaitUntilBlocked(const std::string& where = "poll") {
        ThreadProbe p = probe();
        return WaitUntil([&] { return done() || p.SleepingIn(where); });
    }

    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::atomic<pid_t> tid_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace zonter_test
