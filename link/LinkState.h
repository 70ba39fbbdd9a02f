#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/BoundedLock.h"
#include "platform/Event.h"
#include "platform/LineSettings.h"
#include "platform/SerialPort.h"
#include "platform/SpscRing.h"
#include "platform/WorkerThread.h"
#include "protocols/LineMonitor.h"

namespace linkcore {

class RefreshSink;

// Lock bounds, in milliseconds.
inline constexpr int kLockBoundMs = 200;
inline constexpr int kOutDisplayLockBoundMs = 100;

// Values of linkStatus with a meaning of their own.
inline constexpr int kStatusNothing = -1;
inline constexpr int kStatusTimeOut = 0;
inline constexpr int kStatusCaptureTimedOut = 5;
inline constexpr int kStatusCaptureWritten = 300;

inline constexpr std::uint8_t kInitialGearCode = 0x05;

// The kinds of worker. Their slots in LinkState come in this order, which
// is also the order in which stopping them all signals them.
enum class WorkerKind { SingleRead, AutoRead, Capture, Simulator };
inline constexpr std::size_t kWorkerKindCount = 4;

// Frames per worker that the line monitor may fall behind by: at the
// fastest line (768 frames a second) about 2.6 s of its drain timer.
inline constexpr std::size_t kTapRingFrames = 2048;
using TapRing = platform::SpscRing<protocols::TappedFrame, kTapRingFrames>;

// The rings the workers hand their frames to for the line monitor, one per
// worker kind, so that each ring has a single producer: a worker kind never
// runs twice at once. See link/FrameTaps.h.
struct FrameTaps {
    std::array<TapRing, kWorkerKindCount> rings;

    TapRing& Of(WorkerKind kind) { return rings[static_cast<std::size_t>(kind)]; }
};

// One worker's stop signal and thread. The stop event exists from
// CreateSyncObjects to ReleaseSyncObjects; a worker is started only while
// it does.
struct WorkerSlot {
    WorkerSlot() = default;
    // A worker still running when its slot goes is stopped before the
    // thread is joined, so the join cannot wait on it.
    ~WorkerSlot() {
        if (stop) stop->Set();
    }
    WorkerSlot(const WorkerSlot&) = delete;
    WorkerSlot& operator=(const WorkerSlot&) = delete;

    std::unique_ptr<platform::Event> stop;
    platform::WorkerThread thread;  // declared after `stop`: joined before it goes
};

// The record through which the dialog and its workers share the serial
// link. The dialog uses the one process-wide instance (Link()); everything
// below it takes the record as a parameter. Plain data; the rules of use
// are in the comments.
struct LinkState {
    // --- port (written by the dialog thread only) ---
    std::unique_ptr<platform::SerialPort> portHandle;  // owner of the open port
    std::atomic<platform::SerialPort*> port{nullptr};  // read afresh by workers
    std::atomic<bool> portOpen{false};
    int lineSpeed = 0;
    platform::LineSettings lineSettings{};
    platform::LineSettings savedLineSettings{};

    // --- run ---
    std::atomic<int> activeProtocol{0};

    // --- frames ---
    std::array<std::uint8_t, 20> outFrame{};    // outLock
    std::array<std::uint8_t, 20> sendBuffer{};  // simulator thread alone
    std::array<std::uint8_t, 15> rxBuffer{};    // the one receiving worker alone
    std::array<std::uint8_t, 15> rxFrame{};     // rxLock
    std::array<std::uint8_t, 15> rawRxFrame{};  // rxLock

    // --- status ---
    std::atomic<int> linkStatus{kStatusNothing};  // rxLock when published with a frame
    std::uint8_t gearCode = kInitialGearCode;     // outLock

    // --- locks: exist from CreateSyncObjects to ReleaseSyncObjects ---
    std::unique_ptr<platform::BoundedLock> outLock;
    std::unique_ptr<platform::BoundedLock> rxLock;

    // --- window: receiver of every refresh request ---
    std::atomic<RefreshSink*> mainWindow{nullptr};

    // --- line monitor: the rings workers hand their frames to, set only
    // while the monitor listens (see link/FrameTaps.h). The store outlives
    // every worker. ---
    std::unique_ptr<FrameTaps> tapStore;
    std::atomic<FrameTaps*> taps{nullptr};

    // --- the workers, one slot per kind in WorkerKind order. Last, so that
    // on destruction the workers end before what they use goes. ---
    std::array<WorkerSlot, kWorkerKindCount> workerSlots;

    WorkerSlot& Slot(WorkerKind kind) { return workerSlots[static_cast<std::size_t>(kind)]; }
    const WorkerSlot& Slot(WorkerKind kind) const { return workerSlots[static_cast<std::size_t>(kind)]; }
};

// The process-wide instance, for the dialog and the run control only.
LinkState& Link();

// Creates the stop events, the locks and records the window, in that order.
// False when the system could not make a stop event: then nothing is
// created (what was made is released again) and no worker may start.
[[nodiscard]] bool CreateSyncObjects(LinkState& s, RefreshSink* window);
[[nodiscard]] bool CreateSyncObjects(RefreshSink* window);  // on Link()

// Stops every worker, writes the saved settings back to an open port,
// closes it and releases the events and locks.
void ReleaseSyncObjects(LinkState& s);
void ReleaseSyncObjects();  // on Link()

// Puts every data field back to its process-start value (tests only).
void ResetLinkDataForTests(LinkState& s);
void ResetLinkDataForTests();  // on Link()

}  // namespace linkcore
