#pragma once

#include <sys/types.h>

#include <map>
#include <string>

namespace bench {

// User plus system CPU time, in seconds.
double ProcessCpuSeconds();  // the calling process, all its threads
double ThreadCpuSeconds();   // the calling thread alone

// CPU time of process `pid` (0: this process) in nanoseconds, summed over
// its threads from /proc/<pid>/task/*/schedstat: exact to the nanosecond,
// where getrusage and /proc/<pid>/stat count in scheduler ticks. A thread
// that has ended no longer counts, so compare two readings only across a
// stretch in which the threads that matter live on.
long long TaskCpuNs(pid_t pid = 0);

// The calling thread's kernel id.
pid_t ThisThreadId();

// Context switches of one thread: voluntary ones are the thread's own
// blocking waits ending, i.e. its wake-ups.
struct Switches {
    long long voluntary = 0;
    long long involuntary = 0;
};

// Per-thread switch counts of process `pid` (0: this process), by thread id.
std::map<pid_t, Switches> ThreadSwitches(pid_t pid = 0);

// Wake-ups between two readings of ThreadSwitches, summed over the threads
// (a thread that appeared in between counts from zero), leaving out
// `excluded` (the measuring thread).
long long WakeupsBetween(const std::map<pid_t, Switches>& before, const std::map<pid_t, Switches>& after,
                         pid_t excluded = 0);

// A thread's name as the kernel has it (comm).
std::string ThreadName(pid_t pid, pid_t tid);

// Resident set size and its peak, in KiB, from /proc/<pid>/status
// (0: this process); -1 when unreadable.
long ResidentKiB(pid_t pid = 0);
long PeakResidentKiB(pid_t pid = 0);

}  // namespace bench
