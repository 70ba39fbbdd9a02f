#pragma once

namespace platform {

// Lowers the calling thread, and only it, to below-normal priority: a
// few steps below the priority it had. A failure leaves it at its
// priority, which is harmless for a worker.
void SetCurrentThreadBelowNormal();

}  // namespace platform
