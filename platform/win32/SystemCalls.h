#pragma once

#include "platform/win32/Windows.h"

// The system calls a serial port makes, in one table: in production each
// entry is the system's own call; a test installs a table of its own (see
// ScopedSystemCalls) that answers as a given driver is known to answer, and
// everything above it (SerialPort, the link, the workers) runs as it is.
// Each entry keeps its call's contract, the last error included.
namespace platform::win32 {

struct SystemCalls {
    decltype(&::CreateFileW) createFile;
    // The settings calls.
    decltype(&::GetCommState) getCommState;
    decltype(&::SetCommState) setCommState;
    decltype(&::GetCommTimeouts) getCommTimeouts;
    decltype(&::SetCommTimeouts) setCommTimeouts;
    // Overlapped transfers, the wait for them, their results, cancelling.
    decltype(&::ReadFile) readFile;
    decltype(&::WriteFile) writeFile;
    decltype(&::WaitForMultipleObjects) waitForMultipleObjects;
    decltype(&::GetOverlappedResult) getOverlappedResult;
    decltype(&::CancelIoEx) cancelIoEx;
    // The queue counts (and the line's errors, which the call clears).
    decltype(&::ClearCommError) clearCommError;
    decltype(&::PurgeComm) purgeComm;
    decltype(&::FlushFileBuffers) flushFileBuffers;
    decltype(&::CloseHandle) closeHandle;
};

// The table in force: the system's, unless a test installed its own.
[[nodiscard]] const SystemCalls& Calls();

// The system's own table, for a test table to pass calls on to.
[[nodiscard]] const SystemCalls& SystemTable();

// Puts `calls` in force for its lifetime, then the table before it again.
// Installed and removed while no port is in use.
class ScopedSystemCalls {
public:
    explicit ScopedSystemCalls(const SystemCalls& calls);
    ~ScopedSystemCalls();
    ScopedSystemCalls(const ScopedSystemCalls&) = delete;
    ScopedSystemCalls& operator=(const ScopedSystemCalls&) = delete;

private:
    const SystemCalls* previous_;
};

}  // namespace platform::win32
