#pragma once

namespace bench {

// CPU time, in microseconds, that one thread spends per wake-up when it
// sleeps in poll() on a pipe and is woken by a byte from another thread,
// with nothing else to do: the floor under the cost of every blocking read
// on this machine (virtual machines pay much more than bare metal).
double MicrosPerWakeup(int wakeups = 500);

}  // namespace bench
