#include "platform/ThreadPriority.h"

#include "platform/win32/Windows.h"

namespace platform {

void SetCurrentThreadBelowNormal() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace platform
