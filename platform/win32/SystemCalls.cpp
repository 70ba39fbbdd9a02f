#include "platform/win32/SystemCalls.h"

#include <atomic>

namespace platform::win32 {

namespace {

const SystemCalls kSystem = {
    &::CreateFileW,    &::GetCommState, &::SetCommState,           &::GetCommTimeouts,     &::SetCommTimeouts,
    &::ReadFile,       &::WriteFile,    &::WaitForMultipleObjects, &::GetOverlappedResult, &::CancelIoEx,
    &::ClearCommError, &::PurgeComm,    &::FlushFileBuffers,       &::CloseHandle,
};

std::atomic<const SystemCalls*> current{&kSystem};

}  // namespace

const SystemCalls& Calls() { return *current.load(std::memory_order_acquire); }

const SystemCalls& SystemTable() { return kSystem; }

ScopedSystemCalls::ScopedSystemCalls(const SystemCalls& calls)
    : previous_(current.exchange(&calls, std::memory_order_acq_rel)) {}

ScopedSystemCalls::~ScopedSystemCalls() { current.store(previous_, std::memory_order_release); }

}  // namespace platform::win32
