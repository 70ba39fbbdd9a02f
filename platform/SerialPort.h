#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/LineSettings.h"
#include "platform/NativeHandle.h"

namespace platform {

class Event;

enum class OpenError { None, NotFound, AccessDenied, Busy, NotATerminal, Other };

// Why an open failed: the kind, and the system's own error number for it
// (errno on POSIX systems), whose text SystemErrorText gives.
struct OpenFailure {
    OpenError kind = OpenError::None;
    int systemError = 0;
};

// Gone: the line itself has gone (the adapter was unplugged, the far end
// of a pseudo-terminal hung up); see SerialPort::Gone.
enum class ReadOutcome { Completed, TimedOut, Stopped, Gone };

// A serial port, the stand-in for a COM handle opened with
// CreateFileA(no sharing, overlapped).
//
// Open takes the port for this program alone (no other opener gets it
// while it is held) and makes the line raw: 8N1, no flow control, modem
// lines ignored, reads returning as soon as a byte is there. On failure
// nothing stays open. (On Linux: termios2, TIOCEXCL and flock.)
//
// Reads and writes may run on a worker thread while the owning thread
// only purges or changes settings; the owner closes the port only after
// every worker using it has ended. One thread reads at a time.
//
// Reads take everything the driver holds at once into the port's own
// read-ahead and are served from there: a frame hunted byte by byte, or
// several frames that came together, cost the system one read.
class SerialPort {
public:
    // Fills `failure` (when given) with why it failed, or with no failure.
    [[nodiscard]] static std::unique_ptr<SerialPort> Open(const std::string& device, OpenFailure* failure = nullptr);
    ~SerialPort();  // closes without restoring anything
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    const std::string& device() const { return device_; }
    // The native handle (NativeHandle.h), for tests.
    NativeHandle handle() const { return handle_; }

    // Reads the port's current settings (its whole state) into `out`.
    [[nodiscard]] bool ReadSettings(LineSettings& out) const;

    // The settings the port had before Open switched it to raw mode, in the
    // same form as ReadSettings gives; applying them undoes the open.
    const LineSettings& SettingsAtOpen() const { return settingsAtOpen_; }

    // Applies `s`: a record read from a port is restored exactly; one built
    // from a mode string sets raw mode with its speed, parity, data and stop
    // bits. Any speed in range is applied as it is asked for. A speed the port
    // cannot take (0, negative, above 4 Mbit/s or refused by the driver)
    // leaves every setting unchanged and returns false.
    [[nodiscard]] bool ApplySettings(const LineSettings& s);
    // The system's error number from the last ApplySettings that the driver
    // refused (SystemErrorText words it); 0 when the last one was taken.
    [[nodiscard]] int SettingsError() const { return settingsError_.load(std::memory_order_relaxed); }

    // Current input/output speed as the driver reports it.
    [[nodiscard]] std::int64_t CurrentSpeed() const;

    // Discards what is queued in both directions, the read-ahead included.
    // It may run while another thread reads: what that read has taken for
    // its caller stays the caller's.
    void Purge();

    // Reads exactly n bytes into dest, within `boundMs` measured on the
    // monotonic clock, waking at once when `stop` (may be null) is set.
    // Bytes arriving in pieces complete the read when the n-th arrives.
    // TimedOut/Stopped/Gone: the bytes consumed so far are in dest, later
    // bytes stay queued for the next read, and dest is never written
    // afterwards. A line that has gone (see Gone) reports Gone at once; any
    // other failure of the line reports TimedOut only after the full bound
    // (waiting on `stop` meanwhile), so that no caller loop spins.
    [[nodiscard]] ReadOutcome ReadExact(std::uint8_t* dest, std::size_t n, int boundMs, const Event* stop);

    // Waits, reading nothing, for the line time of those of the next `count`
    // bytes that neither the read-ahead nor the driver holds yet (at most
    // boundMs, waking at once on `stop`), so that the reads of a frame that
    // follow find its bytes there rather than waking for each. On a line seen to deliver
    // in packets (packets_) it waits nothing: the next packet wakes the
    // read. Returns the ms waited, or -1 when `stop` was set.
    [[nodiscard]] int AwaitBytes(std::size_t count, int boundMs, const Event* stop);

    // Writes all n bytes (waiting for the line to take them, waking at once
    // on `stop`). Returns false when stopped, the line failed or has gone;
    // a line that
    // takes no byte for longer than sending a full driver buffer (4 KiB) at
    // its rate, plus 2 s, has failed.
    [[nodiscard]] bool Write(const std::uint8_t* data, std::size_t n, const Event* stop);

    // The line time of the bytes written but not yet sent (0 when the
    // driver holds none, as on a pseudo-terminal, or the rate is unknown).
    [[nodiscard]] std::chrono::microseconds QueuedOutputTime() const;

    // Waits until written bytes have left the port: waits on `stop` for the
    // estimated line time of the bytes still queued and until LineFreeAt,
    // then drains the rest.
    void Drain(const Event* stop);

    // When the line will have sent every byte written so far, by its rate:
    // each write's bytes take their line time from the write's start, after
    // those written before them. A buffering adapter (USB) completes a write
    // and reports an empty output queue as soon as its chip holds the bytes,
    // well before the line has sent them.
    [[nodiscard]] std::chrono::steady_clock::time_point LineFreeAt() const;

    // Whether the line is gone: the device was removed or its far end hung
    // up, as the system reported to a read or a write. From then on every
    // read returns Gone at once and every write fails; the port is only
    // good for closing, so that the device can come back under its name.
    // Any thread may ask.
    [[nodiscard]] bool Gone() const { return gone_.load(std::memory_order_acquire); }
    // The system's words for why the line went; empty while it has not.
    [[nodiscard]] std::string GoneReason() const;

    // The bytes in the read-ahead that no read has taken yet: what the
    // reading thread, or a test between reads, sees of the input beside
    // the driver's queue.
    [[nodiscard]] std::size_t ReadAhead() const;

private:
    SerialPort(NativeHandle handle, std::string device) : handle_(handle), device_(std::move(device)) {}
    NativeHandle handle_;
    std::string device_;
    LineSettings settingsAtOpen_{};
    std::atomic<int> settingsError_{0};
    // How the line has been delivering its bytes, as seen by the last read
    // of the driver (which takes all it holds) that did not follow a read's
    // own wait for line time: in packets (a USB adapter, a simulator
    // writing in chunks) or one by one. Where the driver does not complete
    // reads itself (POSIX), reads and AwaitBytes wait for the next packet
    // in the first case and for the line time in the second.
    std::atomic<bool> packets_{false};

    // Records that the line has gone, for `reason` (the first reason stays).
    void MarkGone(std::string reason);
    std::atomic<bool> gone_{false};
    mutable std::mutex goneMutex_;
    std::string goneReason_;

    // Purges so far: a read that a purge cancelled is started again, while
    // reads cancelled over and over with no purge behind them (Windows) mean
    // the device has gone. cancelledInARow_ is the reading thread's own.
    std::atomic<std::uint32_t> purges_{0};
    int cancelledInARow_ = 0;
    // The system's own part of Purge: empties the driver's queues.
    void PurgeDriver();

    // The read-ahead, the reading thread's own: ahead_[aheadBegin_,
    // aheadEnd_) is what reads took from the driver and have not handed
    // out, valid while the purge count is aheadPurges_ (Purge runs on
    // another thread and only counts; the reader drops what a purge made
    // stale). A read of the driver starts with driverReadMutex_ held, and a
    // purge runs with it held, so that each comes wholly before the other.
    static constexpr std::size_t kReadAheadBytes = 4096;
    std::array<std::uint8_t, kReadAheadBytes> ahead_{};
    std::size_t aheadBegin_ = 0;
    std::size_t aheadEnd_ = 0;
    std::uint32_t aheadPurges_ = 0;
    std::mutex driverReadMutex_;
    // Hands out up to n read-ahead bytes into dest; returns how many.
    std::size_t TakeAhead(std::uint8_t* dest, std::size_t n);
    // The read-ahead emptied, for a read of the driver into it (up to
    // kReadAheadBytes) that starts with driverReadMutex_ held.
    std::uint8_t* AheadRoom();
    // Of the `k` bytes that the read into AheadRoom gave, hands up to `n`
    // to dest (the reading caller's, taken before any purge that came
    // since) and keeps the rest for later reads, unless a purge has come
    // since the read started: they came before it. Returns the bytes handed.
    std::size_t TakeRead(std::size_t k, std::uint8_t* dest, std::size_t n);

    // LineFreeAt, in steady_clock ticks; NoteWritten moves it on for `n`
    // bytes written from `begun` at `rate`, and AwaitLineFree waits for it
    // (false when `stop` was set).
    std::atomic<std::chrono::steady_clock::rep> lineFreeAt_{0};
    void NoteWritten(std::chrono::steady_clock::time_point begun, std::size_t n, std::int64_t rate);
    [[nodiscard]] bool AwaitLineFree(const Event* stop) const;
};

}  // namespace platform
