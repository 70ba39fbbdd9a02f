#include "platform/win32/SystemCalls.h"

namespace platform::win32 {

namespace {

// Each entry is the system's own call.
const SystemCalls kSystem = {
    &::CreateFileW,    &::GetCommState, &::SetCommState,           &::GetCommTimeouts,     &::SetCommTimeouts,
    &::ReadFile,       &::WriteFile,    &::WaitForMultipleObjects, &::GetOverlappedResult, &::CancelIoEx,
    &::ClearCommError, &::PurgeComm,    &::FlushFileBuffers,       &::CloseHandle,
};

}  // namespace

const SystemCalls& SystemTable() { return kSystem; }

}  // namespace platform::win32
