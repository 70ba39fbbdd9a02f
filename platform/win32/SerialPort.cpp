#include "platform/SerialPort.h"

#include "platform/LineTime.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/Deadline.h"
#include "platform/Event.h"
#include "platform/SystemError.h"
#include "platform/win32/Windows.h"

namespace platform {

namespace {

// Reads that the owner's purge cancels are started again, but never more
// often than this within one ReadExact: a driver that cancels every read
// must not make a caller spin.
constexpr int kMostRestarts = 16;

// Without flow control a line takes bytes at its rate, so a write that
// has made no progress for longer than sending a full driver buffer takes,
// and then some, is on a line that no longer works. Writes go out a
// buffer's worth at a time, each bounded so.
constexpr std::int64_t kDriverBufferBytes = 4096;
constexpr std::int64_t kWriteSlackMs = 2000;

DWORD WriteStallMs(std::int64_t rate) {
    const std::int64_t lineMs = rate > 0 ? kDriverBufferBytes * 10 * 1000 / rate : 0;
    return static_cast<DWORD>(std::min<std::int64_t>(kWriteSlackMs + lineMs, INT_MAX));
}

// The port's whole state: what GetCommState and GetCommTimeouts give.
struct PortState {
    DCB dcb;
    COMMTIMEOUTS timeouts;
};
static_assert(sizeof(PortState) <= sizeof(LineSettings{}.snapshot), "the port state must fit the settings record");

bool GetState(HANDLE port, DCB& dcb) {
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    return ::GetCommState(port, &dcb) != 0;
}

bool SetState(HANDLE port, DCB dcb) { return ::SetCommState(port, &dcb) != 0; }

// Binary mode, no flow control of any kind, no character replaced or
// dropped, and no error that stops reads until it is cleared. DTR and RTS
// are raised, as BuildCommDCB leaves them.
void MakeRaw(DCB& d) {
    d.fBinary = TRUE;
    d.fOutxCtsFlow = FALSE;
    d.fOutxDsrFlow = FALSE;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fDsrSensitivity = FALSE;
    d.fTXContinueOnXoff = TRUE;
    d.fOutX = FALSE;
    d.fInX = FALSE;
    d.fErrorChar = FALSE;
    d.fNull = FALSE;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.fAbortOnError = FALSE;
}

// Character frame of a record built from a mode string, as BuildCommDCB
// reads "parity=", "data=" and "stop="; false for a frame it cannot express.
bool SetFrame(DCB& d, const LineSettings& s) {
    if (s.dataBits < 5 || s.dataBits > 8) return false;
    BYTE parity;
    switch (s.parity) {
        case 'N':
            parity = NOPARITY;
            break;
        case 'E':
            parity = EVENPARITY;
            break;
        case 'O':
            parity = ODDPARITY;
            break;
        case 'M':
            parity = MARKPARITY;
            break;
        case 'S':
            parity = SPACEPARITY;
            break;
        default:
            return false;
    }
    if (s.stopBits != 1 && s.stopBits != 2) return false;
    d.ByteSize = static_cast<BYTE>(s.dataBits);
    d.Parity = parity;
    d.fParity = parity != NOPARITY;
    d.StopBits = s.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    return true;
}

void Describe(const PortState& state, LineSettings& out) {
    const DCB& d = state.dcb;
    out.baud = static_cast<std::int64_t>(d.BaudRate);
    out.dataBits = (d.ByteSize >= 5 && d.ByteSize <= 8) ? d.ByteSize : 8;
    out.stopBits = d.StopBits == ONESTOPBIT ? 1 : 2;  // 1.5 reads as 2; the snapshot keeps it exactly
    switch (d.Parity) {
        case ODDPARITY:
            out.parity = 'O';
            break;
        case EVENPARITY:
            out.parity = 'E';
            break;
        case MARKPARITY:
            out.parity = 'M';
            break;
        case SPACEPARITY:
            out.parity = 'S';
            break;
        default:
            out.parity = 'N';
            break;
    }
    out.snapshot.fill(0);
    std::memcpy(out.snapshot.data(), &state, sizeof state);
    out.fromPort = true;
}

bool ReadState(HANDLE port, PortState& state) {
    return GetState(port, state.dcb) && ::GetCommTimeouts(port, &state.timeouts) != 0;
}

OpenError OpenErrorOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_DEV_NOT_EXIST:
            return OpenError::NotFound;
        // A COM port refuses a second opener with either of these: another
        // program holds it.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return OpenError::Busy;
        default:
            return OpenError::Other;
    }
}

// One event per thread for its overlapped calls: a thread has at most one
// call of a port in flight, and each call has ended before it returns.
HANDLE ThreadIoEvent() {
    struct Holder {
        HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ~Holder() {
            if (event) ::CloseHandle(event);
        }
    };
    thread_local Holder holder;
    return holder.event;
}

// A failing line: spend the rest of the bound waiting for a stop only, so
// that a caller looping on reads never spins.
ReadOutcome WaitOutDeadLine(const Deadline& deadline, const Event* stop) {
    if (stop) return stop->Wait(deadline.RemainingMs()) ? ReadOutcome::Stopped : ReadOutcome::TimedOut;
    ::Sleep(static_cast<DWORD>(deadline.RemainingMs()));
    return ReadOutcome::TimedOut;
}

// Ends a call still in flight and waits for the driver to give the buffer
// back; returns the bytes the call had moved by then.
DWORD CancelAndCollect(HANDLE port, OVERLAPPED& ov) {
    ::CancelIoEx(port, &ov);
    DWORD moved = 0;
    ::GetOverlappedResult(port, &ov, &moved, TRUE);
    return moved;
}

DWORD ReadChunk(std::size_t n) { return static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30)); }

}  // namespace

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& device, OpenFailure* failure) {
    const std::wstring path = win32::Wide(device);
    const HANDLE port = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (failure) *failure = {OpenErrorOf(error), static_cast<int>(error)};
        return nullptr;
    }
    // Called with the last error still that of the failed call: it goes out
    // with the kind of failure, before CloseHandle can change it.
    auto fail = [&](OpenError kind) -> std::unique_ptr<SerialPort> {
        const DWORD error = ::GetLastError();
        ::CloseHandle(port);
        if (failure) *failure = {kind, static_cast<int>(error)};
        return nullptr;
    };

    // Anything that is not a serial device has no comm state.
    PortState original;
    if (!ReadState(port, original)) return fail(OpenError::NotATerminal);

    DCB raw = original.dcb;
    MakeRaw(raw);
    raw.ByteSize = 8;
    raw.Parity = NOPARITY;
    raw.fParity = FALSE;
    raw.StopBits = ONESTOPBIT;
    // All zero: a read waits until its byte count has come; the bound and
    // the stop are the waits around it.
    COMMTIMEOUTS timeouts{};
    if (!SetState(port, raw) || !::SetCommTimeouts(port, &timeouts)) {
        const DWORD error = ::GetLastError();
        SetState(port, original.dcb);
        ::SetLastError(error);
        return fail(OpenError::Other);
    }

    std::unique_ptr<SerialPort> opened(new SerialPort(port, device));
    Describe(original, opened->settingsAtOpen_);
    if (failure) *failure = {};
    return opened;
}

SerialPort::~SerialPort() { ::CloseHandle(handle_); }

bool SerialPort::ReadSettings(LineSettings& out) const {
    PortState state;
    if (!ReadState(handle_, state)) return false;
    Describe(state, out);
    return true;
}

bool SerialPort::ApplySettings(const LineSettings& s) {
    const HANDLE port = handle_;
    DCB before;
    if (!GetState(port, before)) return false;

    DCB next;
    std::int64_t rate;
    // Raw mode includes reads that wait for their count: all time-outs zero.
    COMMTIMEOUTS timeouts{};
    if (s.fromPort) {
        PortState saved;
        std::memcpy(&saved, s.snapshot.data(), sizeof saved);
        if (saved.dcb.DCBlength != sizeof(DCB)) return false;
        next = saved.dcb;
        rate = static_cast<std::int64_t>(next.BaudRate);
        timeouts = saved.timeouts;
    } else {
        next = before;
        MakeRaw(next);
        if (!SetFrame(next, s)) return false;
        rate = s.baud;
        if (RateAcceptable(rate)) next.BaudRate = static_cast<DWORD>(rate);
    }
    if (!RateAcceptable(rate)) return false;

    if (!SetState(port, next)) {
        SetState(port, before);
        return false;
    }
    DCB now;
    if (!GetState(port, now) || !RateTaken(rate, static_cast<std::int64_t>(now.BaudRate))) {
        SetState(port, before);
        return false;
    }
    ::SetCommTimeouts(port, &timeouts);
    return true;
}

std::int64_t SerialPort::CurrentSpeed() const {
    DCB d;
    if (!GetState(handle_, d)) return 0;
    return static_cast<std::int64_t>(d.BaudRate);
}

void SerialPort::Purge() { ::PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR); }

ReadOutcome SerialPort::ReadExact(std::uint8_t* dest, std::size_t n, int boundMs, const Event* stop) {
    // A stop event that could not be made counts as set (Event.h).
    if (stop && !stop->Valid()) return ReadOutcome::Stopped;
    if (Gone()) return ReadOutcome::Gone;
    const Deadline deadline(boundMs);
    const HANDLE port = handle_;
    const HANDLE done = ThreadIoEvent();
    if (!done) return WaitOutDeadLine(deadline, stop);

    // The stop comes first: when both are set, the stop wins, as it does
    // on every other wait.
    HANDLE waits[2];
    DWORD count = 0;
    if (stop) waits[count++] = stop->Handle();
    const DWORD doneIndex = count;
    waits[count++] = done;

    std::size_t got = 0;
    int restarts = kMostRestarts;
    for (bool first = true; got < n; first = false) {
        // A stop already set takes nothing more from the line.
        if (stop && stop->IsSet()) return ReadOutcome::Stopped;
        // Bytes trickling in do not stretch the bound.
        if (!first && deadline.Passed()) return ReadOutcome::TimedOut;

        OVERLAPPED ov{};
        ov.hEvent = done;
        if (!::ReadFile(port, dest + got, ReadChunk(n - got), nullptr, &ov) && ::GetLastError() != ERROR_IO_PENDING) {
            MarkGone(SystemErrorText(::GetLastError()));  // the line has failed
            return ReadOutcome::Gone;
        }
        const DWORD r = ::WaitForMultipleObjects(count, waits, FALSE, static_cast<DWORD>(deadline.RemainingMs()));
        if (r != WAIT_OBJECT_0 + doneIndex) {
            // Time-out or stop: the read is cancelled and waited for, so it
            // cannot fill `dest` later; what it had taken counts as read.
            got += CancelAndCollect(port, ov);
            if (got >= n) return ReadOutcome::Completed;
            if (r == WAIT_TIMEOUT) return ReadOutcome::TimedOut;
            if (stop && r == WAIT_OBJECT_0) return ReadOutcome::Stopped;
            return WaitOutDeadLine(deadline, stop);
        }

        DWORD moved = 0;
        const bool ok = ::GetOverlappedResult(port, &ov, &moved, FALSE) != 0;
        const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
        got += moved;
        if (ok && moved > 0) continue;
        // Cancelled by the owner's purge: the read goes on for the rest.
        if (error == ERROR_OPERATION_ABORTED && restarts-- > 0) continue;
        // An error, or nothing from a read that waits for bytes: the line
        // is gone (an unplugged adapter).
        if (got >= n) return ReadOutcome::Completed;
        MarkGone(SystemErrorText(ok ? ERROR_GEN_FAILURE : error));
        return ReadOutcome::Gone;
    }
    return ReadOutcome::Completed;
}

bool SerialPort::Write(const std::uint8_t* data, std::size_t n, const Event* stop) {
    if (stop && !stop->Valid()) return false;
    const HANDLE port = handle_;
    const HANDLE done = ThreadIoEvent();
    if (!done) return false;
    const DWORD stallMs = WriteStallMs(CurrentSpeed());

    HANDLE waits[2];
    DWORD count = 0;
    if (stop) waits[count++] = stop->Handle();
    const DWORD doneIndex = count;
    waits[count++] = done;

    std::size_t sent = 0;
    while (sent < n) {
        if (stop && stop->IsSet()) return false;
        OVERLAPPED ov{};
        ov.hEvent = done;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - sent, kDriverBufferBytes));
        if (!::WriteFile(port, data + sent, chunk, nullptr, &ov) && ::GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        const DWORD r = ::WaitForMultipleObjects(count, waits, FALSE, stallMs);
        if (r != WAIT_OBJECT_0 + doneIndex) {
            const DWORD moved = CancelAndCollect(port, ov);
            sent += moved;
            // A line that still takes bytes, only slowly, goes on.
            if (r == WAIT_TIMEOUT && moved > 0) continue;
            return sent == n && r == WAIT_TIMEOUT;
        }
        DWORD moved = 0;
        if (!::GetOverlappedResult(port, &ov, &moved, FALSE) || moved == 0) return false;
        sent += moved;
    }
    return true;
}

int SerialPort::AwaitBytes(std::size_t count, int boundMs, const Event* stop) {
    if (stop && !stop->Valid()) return -1;
    DWORD errors = 0;
    COMSTAT status{};
    const std::size_t queued = ::ClearCommError(handle_, &errors, &status) ? status.cbInQue : 0;
    if (queued >= count) return 0;
    const int wait = std::min(LineTimeMs(count - queued, CurrentSpeed()), boundMs);
    if (wait <= 0) return 0;
    if (stop) return stop->Wait(wait) ? -1 : wait;
    ::Sleep(static_cast<DWORD>(wait));
    return wait;
}

std::chrono::microseconds SerialPort::QueuedOutputTime() const {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handle_, &errors, &status) || status.cbOutQue == 0) {
        return std::chrono::microseconds::zero();
    }
    return std::chrono::microseconds(LineTimeUs(status.cbOutQue, CurrentSpeed()));
}

void SerialPort::Drain(const Event* stop) {
    // FlushFileBuffers cannot be woken by a stop, so first wait out the
    // line time of what is still queued; the flush then has little or
    // nothing left.
    const HANDLE port = handle_;
    DWORD errors = 0;
    COMSTAT status{};
    if (::ClearCommError(port, &errors, &status) && status.cbOutQue > 0) {
        const int ms = LineTimeMs(status.cbOutQue, CurrentSpeed());
        if (ms > 0) {
            if (stop) {
                if (stop->Wait(ms)) return;
            } else {
                ::Sleep(static_cast<DWORD>(ms));
            }
        }
    }
    if (stop && stop->IsSet()) return;
    ::FlushFileBuffers(port);
}

}  // namespace platform
