#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/BoundedLock.h"
#include "platform/Event.h"
#include "platform/LineSettings.h"
#include "platform/SerialPort.h"
#include "platform/WorkerThread.h"

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

// The one process-wide record through which the dialog and its workers
// share the serial link. Plain data; the rules of use are in the comments.
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

    // --- locks and stop signals: exist from CreateSyncObjects to ReleaseSyncObjects ---
    std::unique_ptr<platform::BoundedLock> outLock;
    std::unique_ptr<platform::BoundedLock> rxLock;
    std::unique_ptr<platform::Event> stopSingleRead;
    std::unique_ptr<platform::Event> stopAutoRead;
    std::unique_ptr<platform::Event> stopSimulator;
    std::unique_ptr<platform::Event> stopCapture;

    // --- the worker threads, one slot per kind, kept for StopWorkers ---
    platform::WorkerThread singleReadThread;
    platform::WorkerThread autoReadThread;
    platform::WorkerThread simulatorThread;
    platform::WorkerThread captureThread;

    // --- window: receiver of every refresh request ---
    std::atomic<RefreshSink*> mainWindow{nullptr};
};

// The process-wide instance.
LinkState& Link();

// Creates the stop events, the locks and records the window, in that order.
// False when the system could not make a stop event: then nothing is
// created (what was made is released again) and no worker may start.
[[nodiscard]] bool CreateSyncObjects(RefreshSink* window);

// Stops every worker, writes the saved settings back to an open port,
// closes it and releases the events and locks.
void ReleaseSyncObjects();

// Puts every data field back to its process-start value (tests only).
void ResetLinkDataForTests();

}  // namespace linkcore
