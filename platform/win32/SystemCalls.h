#pragma once

#include "platform/CallTable.h"
#include "platform/win32/Windows.h"

// The system calls a serial port makes, in one table (CallTable.h): in
// production each entry is the system's own call; with a test's table in
// force, everything above it (SerialPort, the link, the workers) runs as
// it is.
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

// The system's own table, and the one in force (CallTable.h).
[[nodiscard]] const SystemCalls& SystemTable();
[[nodiscard]] inline const SystemCalls& Calls() { return CallsInForce(SystemTable()); }
using ScopedSystemCalls = ScopedCalls<SystemCalls>;

}  // namespace platform::win32
