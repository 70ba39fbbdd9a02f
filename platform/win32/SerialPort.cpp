#include "platform/SerialPort.h"

#include "platform/LineTime.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/Deadline.h"
#include "platform/Event.h"
#include "platform/SystemError.h"
#include "platform/win32/SystemCalls.h"
#include "platform/win32/Windows.h"

namespace platform {

namespace {

using win32::Calls;

// A read that the owner's purge cancelled is started again. Reads
// cancelled with no purge behind them are started again too, up to this
// many in a row: then the device has gone (a removed USB adapter's driver
// cancels every read it is given), and no caller spins on it.
constexpr int kMostCancelsInARow = 17;

// What the read, write, wait and ClearCommError calls answer once the
// device has been removed: drivers differ in which of these they give.
// Wine answers a hung-up line with ERROR_BROKEN_PIPE (reads) and
// ERROR_NOT_READY (the comm state and ClearCommError).
bool IsGoneError(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_REMOVED:
        case ERROR_GEN_FAILURE:
        case ERROR_BROKEN_PIPE:
        case ERROR_NOT_READY:
            return true;
        default:
            return false;
    }
}

// A record as some drivers report it that SetCommState then refuses: a
// rate of 0, or XonChar equal to XoffChar (refused by SetCommState itself).
// Before a record goes to the driver, its rate is the one being applied
// and its XON/XOFF characters are the usual ones. Flow control is off in
// every record this port builds (MakeRaw).
void MendForDriver(DCB& d, std::int64_t rate) {
    if (d.BaudRate == 0) d.BaudRate = static_cast<DWORD>(rate);
    if (d.XonChar == d.XoffChar || d.XonChar == 0 || d.XoffChar == 0) {
        d.XonChar = 0x11;
        d.XoffChar = 0x13;
    }
}

// The rate an open gives a port whose driver reports none; Connect applies
// its own speed right after.
constexpr std::int64_t kOpenRateWhenNone = CBR_9600;

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
    return Calls().getCommState(port, &dcb) != 0;
}

bool SetState(HANDLE port, DCB dcb) { return Calls().setCommState(port, &dcb) != 0; }

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
    return GetState(port, state.dcb) && Calls().getCommTimeouts(port, &state.timeouts) != 0;
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
    Calls().cancelIoEx(port, &ov);
    DWORD moved = 0;
    Calls().getOverlappedResult(port, &ov, &moved, TRUE);
    return moved;
}

// The port's queue counts (ClearCommError, which also clears the line's
// error flags): ERROR_SUCCESS, or the call's error.
DWORD QueueCounts(HANDLE port, COMSTAT& status) {
    DWORD errors = 0;
    return Calls().clearCommError(port, &errors, &status) ? ERROR_SUCCESS : ::GetLastError();
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& device, OpenFailure* failure) {
    const std::wstring path = win32::Wide(device);
    const HANDLE port = Calls().createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
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
        Calls().closeHandle(port);
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
    MendForDriver(raw, kOpenRateWhenNone);
    // All zero: a read waits until its byte count has come; the bound and
    // the stop are the waits around it.
    COMMTIMEOUTS timeouts{};
    if (!SetState(port, raw) || !Calls().setCommTimeouts(port, &timeouts)) {
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

SerialPort::~SerialPort() { Calls().closeHandle(handle_); }

bool SerialPort::ReadSettings(LineSettings& out) const {
    PortState state;
    if (!ReadState(handle_, state)) return false;
    Describe(state, out);
    return true;
}

bool SerialPort::ApplySettings(const LineSettings& s) {
    // Every way out says why: 0 when taken, else the refusal's error.
    auto outcome = [&](DWORD error) {
        settingsError_.store(static_cast<int>(error), std::memory_order_relaxed);
        return error == ERROR_SUCCESS;
    };
    const HANDLE port = handle_;
    DCB before;
    if (!GetState(port, before)) return outcome(::GetLastError());

    DCB next;
    std::int64_t rate;
    // Raw mode includes reads that wait for their count: all time-outs zero.
    COMMTIMEOUTS timeouts{};
    if (s.fromPort) {
        PortState saved;
        std::memcpy(&saved, s.snapshot.data(), sizeof saved);
        if (saved.dcb.DCBlength != sizeof(DCB)) return outcome(ERROR_INVALID_PARAMETER);
        next = saved.dcb;
        rate = static_cast<std::int64_t>(next.BaudRate);
        timeouts = saved.timeouts;
    } else {
        next = before;
        MakeRaw(next);
        if (!SetFrame(next, s)) return outcome(ERROR_INVALID_PARAMETER);
        rate = s.baud;
        if (RateAcceptable(rate)) next.BaudRate = static_cast<DWORD>(rate);
    }
    if (!RateAcceptable(rate)) return outcome(ERROR_INVALID_PARAMETER);
    MendForDriver(next, rate);

    if (!SetState(port, next)) {
        const DWORD error = ::GetLastError();
        SetState(port, before);
        return outcome(error);
    }
    // A driver that reports no rate (0) is taken at its word that it set it.
    DCB now;
    const bool readBack = GetState(port, now);
    const DWORD readError = readBack ? ERROR_SUCCESS : ::GetLastError();
    if (!readBack || (now.BaudRate != 0 && !RateTaken(rate, static_cast<std::int64_t>(now.BaudRate)))) {
        SetState(port, before);
        return outcome(readBack ? ERROR_INVALID_PARAMETER : readError);
    }
    Calls().setCommTimeouts(port, &timeouts);
    return outcome(ERROR_SUCCESS);
}

std::int64_t SerialPort::CurrentSpeed() const {
    DCB d;
    if (!GetState(handle_, d)) return 0;
    return static_cast<std::int64_t>(d.BaudRate);
}

void SerialPort::PurgeDriver() {
    Calls().purgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
}

ReadOutcome SerialPort::ReadExact(std::uint8_t* dest, std::size_t n, int boundMs, const Event* stop) {
    // A stop event that could not be made counts as set (Event.h).
    if (stop && !stop->Valid()) return ReadOutcome::Stopped;
    if (Gone()) return ReadOutcome::Gone;
    // What an earlier read took from the driver comes first, without a
    // call to the system.
    std::size_t got = TakeAhead(dest, n);
    if (got == n) return ReadOutcome::Completed;
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

    // A failure that says the device has gone ends the read at once; any
    // other spends the rest of the bound, so that no caller spins.
    auto failed = [&](DWORD error) {
        if (!IsGoneError(error)) return WaitOutDeadLine(deadline, stop);
        MarkGone(SystemErrorText(static_cast<int>(error)));
        return ReadOutcome::Gone;
    };

    for (bool first = true; got < n; first = false) {
        // A stop already set takes nothing more from the line.
        if (stop && stop->IsSet()) return ReadOutcome::Stopped;
        // Bytes trickling in do not stretch the bound.
        if (!first && deadline.Passed()) return ReadOutcome::TimedOut;

        // One read into the read-ahead (empty here) takes everything the
        // driver holds, and waits for at least what this read still needs:
        // a read with all time-outs zero ends once it has its count. A
        // purge comes wholly before the count and the read, or cancels the
        // read (PURGE_RXABORT).
        OVERLAPPED ov{};
        ov.hEvent = done;
        DWORD error = ERROR_IO_PENDING;
        std::uint32_t purgesBefore;
        {
            const std::lock_guard<std::mutex> lock(driverReadMutex_);
            COMSTAT status{};
            std::size_t queued = 0;
            if (const DWORD countError = QueueCounts(port, status); countError == ERROR_SUCCESS) {
                queued = status.cbInQue;
            } else if (IsGoneError(countError)) {
                error = countError;
            }
            const DWORD ask = static_cast<DWORD>(std::min(std::max(n - got, queued), kReadAheadBytes));
            std::uint8_t* const room = AheadRoom();
            purgesBefore = purges_.load();
            if (error == ERROR_IO_PENDING && !Calls().readFile(port, room, ask, nullptr, &ov)) {
                error = ::GetLastError();
            }
        }
        DWORD moved = 0;
        if (error == ERROR_IO_PENDING) {
            const DWORD r =
                Calls().waitForMultipleObjects(count, waits, FALSE, static_cast<DWORD>(deadline.RemainingMs()));
            if (r != WAIT_OBJECT_0 + doneIndex) {
                const DWORD waitError = r == WAIT_FAILED ? ::GetLastError() : ERROR_SUCCESS;
                // Time-out, stop or a failed wait: the read is cancelled and
                // waited for, so it cannot fill anything later; what it had
                // taken counts as read.
                got += TakeRead(CancelAndCollect(port, ov), dest + got, n - got);
                if (got >= n) return ReadOutcome::Completed;
                if (r == WAIT_TIMEOUT) return ReadOutcome::TimedOut;
                if (stop && r == WAIT_OBJECT_0) return ReadOutcome::Stopped;
                return failed(waitError);
            }
            error = Calls().getOverlappedResult(port, &ov, &moved, FALSE) ? ERROR_SUCCESS : ::GetLastError();
        }
        got += TakeRead(moved, dest + got, n - got);
        if (moved > 0) cancelledInARow_ = 0;
        if (error == ERROR_SUCCESS && moved > 0) continue;
        if (got >= n) return ReadOutcome::Completed;
        // A read with all time-outs zero ends with nothing only when it was
        // cancelled: as ERROR_OPERATION_ABORTED, or by some drivers as a
        // success with no bytes. After our own purge the read goes on for
        // the rest; otherwise only so many times in a row.
        if (error == ERROR_SUCCESS || error == ERROR_OPERATION_ABORTED) {
            if (purges_.load() != purgesBefore) {
                cancelledInARow_ = 0;
                continue;
            }
            if (++cancelledInARow_ < kMostCancelsInARow) continue;
            MarkGone(SystemErrorText(ERROR_OPERATION_ABORTED));
            return ReadOutcome::Gone;
        }
        return failed(error);
    }
    return ReadOutcome::Completed;
}

bool SerialPort::Write(const std::uint8_t* data, std::size_t n, const Event* stop) {
    if (stop && !stop->Valid()) return false;
    if (Gone()) return false;
    const HANDLE port = handle_;
    const HANDLE done = ThreadIoEvent();
    if (!done) return false;
    const auto begun = std::chrono::steady_clock::now();
    const std::int64_t rate = CurrentSpeed();
    const DWORD stallMs = WriteStallMs(rate);

    HANDLE waits[2];
    DWORD count = 0;
    if (stop) waits[count++] = stop->Handle();
    const DWORD doneIndex = count;
    waits[count++] = done;

    // Records a failure that says the device has gone.
    auto failed = [&](DWORD error) {
        if (IsGoneError(error)) MarkGone(SystemErrorText(static_cast<int>(error)));
        return false;
    };

    std::size_t sent = 0;
    while (sent < n) {
        if (stop && stop->IsSet()) return false;
        OVERLAPPED ov{};
        ov.hEvent = done;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - sent, kDriverBufferBytes));
        if (!Calls().writeFile(port, data + sent, chunk, nullptr, &ov) && ::GetLastError() != ERROR_IO_PENDING) {
            return failed(::GetLastError());
        }
        const DWORD r = Calls().waitForMultipleObjects(count, waits, FALSE, stallMs);
        if (r != WAIT_OBJECT_0 + doneIndex) {
            const DWORD waitError = r == WAIT_FAILED ? ::GetLastError() : ERROR_SUCCESS;
            const DWORD moved = CancelAndCollect(port, ov);
            sent += moved;
            // A line that still takes bytes, only slowly, goes on.
            if (r == WAIT_TIMEOUT && moved > 0) continue;
            if (r == WAIT_FAILED) return failed(waitError);
            if (sent != n || r != WAIT_TIMEOUT) return false;
            break;
        }
        DWORD moved = 0;
        if (!Calls().getOverlappedResult(port, &ov, &moved, FALSE)) return failed(::GetLastError());
        if (moved == 0) return false;
        sent += moved;
    }
    NoteWritten(begun, n, rate);
    return true;
}

int SerialPort::AwaitBytes(std::size_t count, int boundMs, const Event* stop) {
    if (stop && !stop->Valid()) return -1;
    if (Gone()) return 0;
    std::size_t held = ReadAhead();
    if (held >= count) return 0;
    COMSTAT status{};
    if (const DWORD error = QueueCounts(handle_, status); error == ERROR_SUCCESS) {
        held += status.cbInQue;
    } else if (IsGoneError(error)) {
        MarkGone(SystemErrorText(static_cast<int>(error)));
        return 0;
    }
    if (held >= count) return 0;
    const int wait = std::min(LineTimeMs(count - held, CurrentSpeed()), boundMs);
    if (wait <= 0) return 0;
    if (stop) return stop->Wait(wait) ? -1 : wait;
    ::Sleep(static_cast<DWORD>(wait));
    return wait;
}

std::chrono::microseconds SerialPort::QueuedOutputTime() const {
    COMSTAT status{};
    if (QueueCounts(handle_, status) != ERROR_SUCCESS || status.cbOutQue == 0) return std::chrono::microseconds::zero();
    return std::chrono::microseconds(LineTimeUs(status.cbOutQue, CurrentSpeed()));
}

void SerialPort::Drain(const Event* stop) {
    if (Gone()) return;
    // FlushFileBuffers cannot be woken by a stop, so first wait out the
    // line time of what is still queued; the flush then has little or
    // nothing left.
    const HANDLE port = handle_;
    COMSTAT status{};
    if (const DWORD error = QueueCounts(port, status); error != ERROR_SUCCESS) {
        if (IsGoneError(error)) return MarkGone(SystemErrorText(static_cast<int>(error)));
    } else if (status.cbOutQue > 0) {
        const int ms = LineTimeMs(status.cbOutQue, CurrentSpeed());
        if (ms > 0) {
            if (stop) {
                if (stop->Wait(ms)) return;
            } else {
                ::Sleep(static_cast<DWORD>(ms));
            }
        }
    }
    // A driver that holds nothing may still have the bytes in the adapter.
    if (!AwaitLineFree(stop)) return;
    if (!Calls().flushFileBuffers(port) && IsGoneError(::GetLastError())) {
        MarkGone(SystemErrorText(static_cast<int>(::GetLastError())));
    }
}

}  // namespace platform
