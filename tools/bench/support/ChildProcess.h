#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace bench {

// A program run as a child with its stdout read line by line. Killed and
// reaped when the object goes, if it has not ended by then.
class ChildProcess {
public:
    struct Setup {
        std::vector<std::string> argv;  // argv[0] is the program's path
        std::vector<std::string> env;   // NAME=value added to (or replacing) ours
        bool silenceStderr = false;     // stderr to /dev/null
        int passFd = -1;                // an fd of ours handed to the child as fd 3
    };

    struct Exit {
        bool exited = false;  // false: ended by a signal
        int code = 0;         // exit code or signal number
        double cpuSeconds = 0;
    };

    explicit ChildProcess(const Setup& setup);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line of stdout within boundMs; nothing at its end or when
    // the bound ran out.
    std::optional<std::string> ReadLine(int boundMs);
    std::optional<std::string> ReadLineStartingWith(const std::string& prefix, int boundMs);

    void Signal(int signal);

    // Whether the child has ended (reaping it if so), without waiting.
    bool Ended();

    // Waits up to boundMs for the child to end; its exit, or nothing.
    std::optional<Exit> Wait(int boundMs);

    const std::optional<Exit>& exit() const { return exit_; }

private:
    bool Reap(bool block);
    bool Fill(int boundMs);

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int stdout_ = -1;
    std::string buffer_;
    bool eof_ = false;
    std::optional<Exit> exit_;
};

// Value of `key=` in a "key=value key=value" line; empty when absent.
std::string FieldOf(const std::string& line, const std::string& key);

// The path of this process's own executable.
std::string OwnExecutable();

}  // namespace bench
