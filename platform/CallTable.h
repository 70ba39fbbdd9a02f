#pragma once

#include <atomic>

namespace platform {

// A table of the system calls a system's serial port makes (SystemCalls.h
// in posix/ and win32/): the system's own entries, unless a test has put a
// table of its own in force for a while, one that answers as a given
// driver is known to answer.

// The table a test put in force; none while the system's is.
template <class Table>
std::atomic<const Table*>& TableInForce() {
    static std::atomic<const Table*> current{nullptr};
    return current;
}

// The table in force: `system`, the system's own entries, unless a test
// put another in force.
template <class Table>
[[nodiscard]] const Table& CallsInForce(const Table& system) {
    const Table* test = TableInForce<Table>().load(std::memory_order_acquire);
    return test ? *test : system;
}

// Puts `calls` in force for its lifetime, then the table before it again.
// Made and ended while no port is in use.
template <class Table>
class ScopedCalls {
public:
    explicit ScopedCalls(const Table& calls)
        : previous_(TableInForce<Table>().exchange(&calls, std::memory_order_acq_rel)) {}
    ~ScopedCalls() { TableInForce<Table>().store(previous_, std::memory_order_release); }
    ScopedCalls(const ScopedCalls&) = delete;
    ScopedCalls& operator=(const ScopedCalls&) = delete;

private:
    const Table* previous_;
};

}  // namespace platform
