// Driver answers played through the system-call table: the port's calls
// reach a COM port driver scripted here, which answers as the adapters in
// each row are documented to; everything above the table is the real code.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/LineSettings.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"
#include "platform/win32/SystemCalls.h"
#include "platform/win32/Windows.h"
#include "tests/support/LineTimeChecks.h"
#include "tests/support/ReadAheadChecks.h"
#include "tests/support/WaitFor.h"

namespace zonter_test {
namespace {

using Clock = std::chrono::steady_clock;
using platform::Event;
using platform::ReadOutcome;
using platform::win32::SystemCalls;
using platform::win32::SystemTable;

// An answer the driver gives at once from the call (ReadFile, WriteFile)
// rather than when the overlapped transfer completes.
struct Answer {
    DWORD error = ERROR_SUCCESS;
    bool atCall = false;
};

// The driver. An overlapped call completes as the system completes one:
// its result goes into the OVERLAPPED (Internal: the error, InternalHigh:
// the bytes) and its event is set. A read waits for its whole count, as
// with all time-outs zero; the output queue always reads empty, as on an
// adapter whose chip takes the bytes at once.
struct ScriptedComm {
    std::mutex mutex;
    HANDLE handle = nullptr;  // an event object standing in for the port
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    std::vector<DCB> taken;          // each record SetCommState took
    DWORD refuseSettings = 0;        // SetCommState fails with it
    std::deque<Answer> readAnswers;  // the next reads' ends, before any byte
    Answer writeAnswer;
    DWORD waitError = 0;   // waits fail (WAIT_FAILED) with it
    DWORD queueError = 0;  // ClearCommError fails with it
    DWORD purgeEndsReadWith = ERROR_OPERATION_ABORTED;
    std::deque<std::uint8_t> input;
    OVERLAPPED* pending = nullptr;  // the read in flight
    std::uint8_t* dest = nullptr;
    DWORD want = 0;
    DWORD moved = 0;
    int readCalls = 0;           // ReadFile calls so far
    std::size_t bytesTaken = 0;  // bytes reads have moved out of `input`

    ScriptedComm() {
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = CBR_9600;
        dcb.fBinary = TRUE;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.XonLim = 2048;
        dcb.XoffLim = 512;
    }

    static void Complete(OVERLAPPED* ov, DWORD error, DWORD bytes) {
        ov->Internal = error;
        ov->InternalHigh = bytes;
        ::SetEvent(ov->hEvent);
    }

    // Moves queued bytes into the read in flight; called locked.
    void TakeInput() {
        while (pending && moved < want && !input.empty()) {
            dest[moved++] = input.front();
            input.pop_front();
            ++bytesTaken;
        }
        if (pending && moved == want) {
            Complete(pending, ERROR_SUCCESS, moved);
            pending = nullptr;
        }
    }

    void Feed(std::span<const std::uint8_t> bytes) {
        const std::lock_guard<std::mutex> lock(mutex);
        input.insert(input.end(), bytes.begin(), bytes.end());
        TakeInput();
    }
    void Feed(std::initializer_list<std::uint8_t> bytes) {
        Feed(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
    }

    bool ReadPending() {
        const std::lock_guard<std::mutex> lock(mutex);
        return pending != nullptr;
    }
};

ScriptedComm* comm = nullptr;

HANDLE WINAPI ScriptedCreateFile(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    comm->handle = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return comm->handle;
}

BOOL WINAPI ScriptedGetCommState(HANDLE, LPDCB dcb) {
    const std::lock_guard<std::mutex> lock(comm->mutex);
    *dcb = comm->dcb;
    return TRUE;
}

// SetCommState documents that it fails when XonChar equals XoffChar; a
// driver refuses a rate of 0.
BOOL WINAPI ScriptedSetCommState(HANDLE, LPDCB dcb) {
    const std::lock_guard<std::mutex> lock(comm->mutex);
    DWORD error = comm->refuseSettings;
    if (dcb->XonChar == dcb->XoffChar || dcb->BaudRate == 0) error = ERROR_INVALID_PARAMETER;
    if (error != ERROR_SUCCESS) {
        ::SetLastError(error);
        return FALSE;
    }
    comm->dcb = *dcb;
    comm->taken.push_back(*dcb);
    return TRUE;
}

BOOL WINAPI ScriptedGetCommTimeouts(HANDLE, LPCOMMTIMEOUTS timeouts) {
    *timeouts = comm->timeouts;
    return TRUE;
}

BOOL WINAPI ScriptedSetCommTimeouts(HANDLE, LPCOMMTIMEOUTS timeouts) {
    comm->timeouts = *timeouts;
    return TRUE;
}

BOOL WINAPI ScriptedReadFile(HANDLE, LPVOID buffer, DWORD n, LPDWORD, LPOVERLAPPED ov) {
    const std::lock_guard<std::mutex> lock(comm->mutex);
    ::ResetEvent(ov->hEvent);
    ++comm->readCalls;
    if (!comm->readAnswers.empty()) {
        const Answer answer = comm->readAnswers.front();
        comm->readAnswers.pop_front();
        if (answer.atCall) {
            ::SetLastError(answer.error);
            return FALSE;
        }
        ScriptedComm::Complete(ov, answer.error, 0);
    } else {
        ov->Internal = ERROR_IO_PENDING;
        comm->pending = ov;
        comm->dest = static_cast<std::uint8_t*>(buffer);
        comm->want = n;
        comm->moved = 0;
        comm->TakeInput();
    }
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL WINAPI ScriptedWriteFile(HANDLE, LPCVOID, DWORD n, LPDWORD, LPOVERLAPPED ov) {
    const std::lock_guard<std::mutex> lock(comm->mutex);
    ::ResetEvent(ov->hEvent);
    const Answer answer = comm->writeAnswer;
    if (answer.atCall && answer.error != ERROR_SUCCESS) {
        ::SetLastError(answer.error);
        return FALSE;
    }
    ScriptedComm::Complete(ov, answer.error, answer.error == ERROR_SUCCESS ? n : 0);
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

DWORD WINAPI ScriptedWait(DWORD count, const HANDLE* handles, BOOL all, DWORD ms) {
    if (comm->waitError != 0) {
        ::SetLastError(comm->waitError);
        return WAIT_FAILED;
    }
    return SystemTable().waitForMultipleObjects(count, handles, all, ms);
}

BOOL WINAPI ScriptedGetOverlappedResult(HANDLE, LPOVERLAPPED ov, LPDWORD moved, BOOL wait) {
    if (wait) ::WaitForSingleObject(ov->hEvent, INFINITE);
    const std::lock_guard<std::mutex> lock(comm->mutex);
    if (ov->Internal == ERROR_IO_PENDING) {
        ::SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    *moved = static_cast<DWORD>(ov->InternalHigh);
    if (ov->Internal != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(ov->Internal));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI ScriptedCancelIoEx(HANDLE, LPOVERLAPPED ov) {
    const std::lock_guard<std::mutex> lock(comm->mutex);
    if (!ov || comm->pending != ov) {
        ::SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    }
    ScriptedComm::Complete(ov, ERROR_OPERATION_ABORTED, comm->moved);
    comm->pending = nullptr;
    return TRUE;
}

BOOL WINAPI ScriptedClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT status) {
    const std::lock_guard<std::mutex> lock(comm->mutex);
    if (comm->queueError != 0) {
        ::SetLastError(comm->queueError);
        return FALSE;
    }
    if (errors) *errors = 0;
    if (status) {
        *status = COMSTAT{};
        status->cbInQue = static_cast<DWORD>(comm->input.size());
    }
    return TRUE;
}

BOOL WINAPI ScriptedPurgeComm(HANDLE, DWORD flags) {
    const std::lock_guard<std::mutex> lock(comm->mutex);
    if ((flags & PURGE_RXABORT) && comm->pending) {
        ScriptedComm::Complete(comm->pending, comm->purgeEndsReadWith, comm->moved);
        comm->pending = nullptr;
    }
    if (flags & PURGE_RXCLEAR) comm->input.clear();
    return TRUE;
}

BOOL WINAPI ScriptedFlushFileBuffers(HANDLE) { return TRUE; }

const SystemCalls kScripted = {
    ScriptedCreateFile,          ScriptedGetCommState, ScriptedSetCommState,   ScriptedGetCommTimeouts,
    ScriptedSetCommTimeouts,     ScriptedReadFile,     ScriptedWriteFile,      ScriptedWait,
    ScriptedGetOverlappedResult, ScriptedCancelIoEx,   ScriptedClearCommError, ScriptedPurgeComm,
    ScriptedFlushFileBuffers,    &::CloseHandle,
};

// A port on the scripted driver; `prepare` sets the driver up before the
// open.
class Win32SerialDriverTest : public ::testing::Test {
protected:
    void TearDown() override { port_.reset(); }

    void Open(const std::function<void(ScriptedComm&)>& prepare = {}) {
        port_.reset();
        driver_ = std::make_unique<ScriptedComm>();
        comm = driver_.get();
        if (prepare) prepare(*driver_);
        port_ = platform::SerialPort::Open("\\\\.\\COM7");
        ASSERT_TRUE(port_);
    }

    bool ApplyMode(const std::string& mode) {
        platform::LineSettings s;
        return platform::BuildLineSettings(mode, s) && port_->ApplySettings(s);
    }

    platform::win32::ScopedSystemCalls scoped_{kScripted};
    std::unique_ptr<ScriptedComm> driver_;
    std::unique_ptr<platform::SerialPort> port_;
};

// Where the driver gives its answer.
enum class Where { ReadCall, ReadEnd, WriteCall, WriteEnd, Wait, QueueCounts };

struct RemovalRow {
    const char* source;  // where the answer is documented
    DWORD error;
    Where where;
};

// A removed USB adapter's driver fails the port's calls with one of these
// codes (System Error Codes, learn.microsoft.com/windows/win32/debug/
// system-error-codes). Whichever call meets it, the line is gone at once
// with the system's words for it; then reads are Gone and writes fail
// without asking the driver again.
TEST_F(Win32SerialDriverTest, RemovalCodesMakeTheLineGoneAtOnce) {
    const RemovalRow rows[] = {
        {"ERROR_ACCESS_DENIED (5) to ReadFile after unplug (pyserial: 'ReadFile failed (PermissionError(13, "
         "'Access is denied.'))')",
         ERROR_ACCESS_DENIED, Where::ReadCall},
        {"ERROR_ACCESS_DENIED (5) completing a pending read", ERROR_ACCESS_DENIED, Where::ReadEnd},
        {"ERROR_ACCESS_DENIED (5) from ClearCommError (pyserial: 'ClearCommError failed (PermissionError(13, "
         "'Access is denied.'))')",
         ERROR_ACCESS_DENIED, Where::QueueCounts},
        {"ERROR_BAD_COMMAND (22), 'The device does not recognize the command', to WriteFile (pyserial: "
         "'WriteFile failed')",
         ERROR_BAD_COMMAND, Where::WriteCall},
        {"ERROR_BAD_COMMAND (22) from ClearCommError", ERROR_BAD_COMMAND, Where::QueueCounts},
        {"ERROR_BAD_COMMAND (22) completing a pending read (QtSerialPort qserialport_win.cpp: a resource error)",
         ERROR_BAD_COMMAND, Where::ReadEnd},
        {"ERROR_DEVICE_REMOVED (1617) completing a pending read (QtSerialPort qserialport_win.cpp: a resource "
         "error)",
         ERROR_DEVICE_REMOVED, Where::ReadEnd},
        {"ERROR_DEVICE_REMOVED (1617) completing a write", ERROR_DEVICE_REMOVED, Where::WriteEnd},
        {"ERROR_DEVICE_REMOVED (1617) to the wait", ERROR_DEVICE_REMOVED, Where::Wait},
        {"ERROR_GEN_FAILURE (31), 'A device attached to the system is not functioning', to ReadFile", ERROR_GEN_FAILURE,
         Where::ReadCall},
        {"ERROR_GEN_FAILURE (31) completing a write", ERROR_GEN_FAILURE, Where::WriteEnd},
        {"ERROR_BROKEN_PIPE (109) to ReadFile: Wine, a line whose far end hung up", ERROR_BROKEN_PIPE, Where::ReadCall},
        {"ERROR_NOT_READY (21) from ClearCommError: Wine, the same line", ERROR_NOT_READY, Where::QueueCounts},
    };
    for (const RemovalRow& row : rows) {
        SCOPED_TRACE(row.source);
        ASSERT_NO_FATAL_FAILURE(Open());
        Event stop;
        std::array<std::uint8_t, 4> dest{};
        {
            const std::lock_guard<std::mutex> lock(comm->mutex);
            switch (row.where) {
                case Where::ReadCall:
                case Where::ReadEnd:
                    comm->readAnswers.push_back({row.error, row.where == Where::ReadCall});
                    break;
                case Where::WriteCall:
                case Where::WriteEnd:
                    comm->writeAnswer = {row.error, row.where == Where::WriteCall};
                    break;
                case Where::Wait:
                    comm->waitError = row.error;
                    break;
                case Where::QueueCounts:
                    comm->queueError = row.error;
                    break;
            }
        }
        const auto start = Clock::now();
        switch (row.where) {
            case Where::ReadCall:
            case Where::ReadEnd:
            case Where::Wait:
                EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 10000, &stop), ReadOutcome::Gone);
                break;
            case Where::WriteCall:
            case Where::WriteEnd:
                EXPECT_FALSE(port_->Write(dest.data(), dest.size(), &stop));
                break;
            case Where::QueueCounts:
                EXPECT_EQ(port_->AwaitBytes(14, 10000, &stop), 0);
                break;
        }
        EXPECT_TRUE(port_->Gone());
        EXPECT_EQ(port_->GoneReason(), platform::SystemErrorText(static_cast<int>(row.error)));

        // The driver answers well again: the port no longer asks it.
        {
            const std::lock_guard<std::mutex> lock(comm->mutex);
            comm->readAnswers.clear();
            comm->writeAnswer = {};
            comm->waitError = 0;
            comm->queueError = 0;
        }
        comm->Feed({1, 2, 3, 4});
        EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 10000, &stop), ReadOutcome::Gone);
        EXPECT_FALSE(port_->Write(dest.data(), dest.size(), &stop));
        EXPECT_LT(testing_support::MillisSince(start), 2000);
    }
}

struct CancelRow {
    const char* source;
    int cancelsBefore;  // reads ended unasked (ERROR_OPERATION_ABORTED) first
    bool purge;         // then our own purge ends the read in flight
    DWORD purgeEndsReadWith;
    ReadOutcome outcome;
};

// A read ends cancelled either because we purged (PurgeComm, PURGE_RXABORT:
// "terminates all outstanding overlapped read operations") and goes on for
// its bytes, or on its own: a removed adapter's driver cancels every read
// (ERROR_OPERATION_ABORTED, 995, over and over), and 17 in a row with no
// purge behind them mean the line is gone.
TEST_F(Win32SerialDriverTest, CancelledReadsGoOnAfterAPurgeAndMeanGoneWhenEndless) {
    const CancelRow rows[] = {
        {"16 unasked cancels: the read still goes on", 16, false, 0, ReadOutcome::Completed},
        {"17 unasked cancels: gone", 17, false, 0, ReadOutcome::Gone},
        {"16 unasked, then our purge ends the read with ERROR_OPERATION_ABORTED: it goes on", 16, true,
         ERROR_OPERATION_ABORTED, ReadOutcome::Completed},
        {"our purge ends the read as a success with 0 bytes (CancelIoEx: a cancelled operation may complete "
         "normally): it goes on",
         16, true, ERROR_SUCCESS, ReadOutcome::Completed},
    };
    for (const CancelRow& row : rows) {
        SCOPED_TRACE(row.source);
        ASSERT_NO_FATAL_FAILURE(Open([&](ScriptedComm& driver) {
            driver.readAnswers.assign(row.cancelsBefore, Answer{ERROR_OPERATION_ABORTED});
            driver.purgeEndsReadWith = row.purgeEndsReadWith;
        }));
        Event stop;
        std::array<std::uint8_t, 4> dest{};
        std::atomic<ReadOutcome> outcome{ReadOutcome::Stopped};
        std::atomic<bool> done{false};
        const auto start = Clock::now();
        std::thread reader([&] {
            outcome = port_->ReadExact(dest.data(), dest.size(), 10000, &stop);
            done = true;
        });
        // No ASSERT here: the reader must be joined whatever happens.
        if (row.outcome == ReadOutcome::Completed) {
            EXPECT_TRUE(testing_support::WaitFor([&] { return comm->ReadPending(); }));
            if (row.purge) {
                port_->Purge();
                EXPECT_TRUE(testing_support::WaitFor([&] { return comm->ReadPending() || done; }));
            }
            comm->Feed({1, 2, 3, 4});
        }
        reader.join();
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_LT(testing_support::MillisSince(start), 5000);
        if (row.outcome == ReadOutcome::Gone) {
            EXPECT_EQ(port_->GoneReason(), platform::SystemErrorText(ERROR_OPERATION_ABORTED));
        } else {
            EXPECT_FALSE(port_->Gone());
            EXPECT_EQ(dest, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
        }
    }
}

// A read that a cancel ended as a success with no bytes, while bytes are
// queued: the read takes them rather than waiting out its bound.
TEST_F(Win32SerialDriverTest, AReadCancelledAsASuccessWithNoBytesTakesTheQueuedBytes) {
    ASSERT_NO_FATAL_FAILURE(Open([](ScriptedComm& driver) {
        driver.readAnswers.push_back({ERROR_SUCCESS});
        driver.input = {5, 6, 7, 8};
    }));
    Event stop;
    std::array<std::uint8_t, 4> dest{};
    const auto start = Clock::now();
    EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 10000, &stop), ReadOutcome::Completed);
    EXPECT_LT(testing_support::MillisSince(start), 2000);
    EXPECT_EQ(dest, (std::array<std::uint8_t, 4>{5, 6, 7, 8}));
}

// The scripted driver as the read-ahead table sees it: each arrival is
// queued at once, and reads take it as the driver completes them.
class CommLine : public testing_support::ScriptedLine {
public:
    void Deliver(std::span<const std::uint8_t> bytes) override { comm->Feed(bytes); }
    std::size_t Taken() override {
        const std::lock_guard<std::mutex> lock(comm->mutex);
        return comm->bytesTaken;
    }
    int Reads() override {
        const std::lock_guard<std::mutex> lock(comm->mutex);
        return comm->readCalls;
    }
};

TEST_F(Win32SerialDriverTest, ReadsAreServedFromTheReadAheadWhateverTheDelivery) {
    CommLine line;
    testing_support::ExpectTheReadAheadServesEveryDelivery([&] {
        Open();
        return testing_support::ScriptedPort{port_.get(), &line};
    });
}

struct SettingsRow {
    const char* source;
    DWORD reportedRate;
    BYTE xon;
    BYTE xoff;
};

// Some drivers report a DCB that SetCommState then refuses: BaudRate 0, or
// XonChar equal to XoffChar ("The SetCommState function fails if the
// XonChar member of the DCB structure is equal to the XoffChar member",
// learn.microsoft.com, SetCommState). The port mends the record: the rate
// being applied, XON 0x11 and XOFF 0x13, flow control off.
TEST_F(Win32SerialDriverTest, OddDriverRecordsAreMendedBeforeTheyGoBack) {
    const SettingsRow rows[] = {
        {"a DCB with BaudRate 0", 0, 0x11, 0x13},
        {"a DCB with XonChar equal to XoffChar", CBR_9600, 0x11, 0x11},
        {"a DCB with both characters 0", CBR_9600, 0, 0},
    };
    for (const SettingsRow& row : rows) {
        SCOPED_TRACE(row.source);
        ASSERT_NO_FATAL_FAILURE(Open([&](ScriptedComm& driver) {
            driver.dcb.BaudRate = row.reportedRate;
            driver.dcb.XonChar = static_cast<char>(row.xon);
            driver.dcb.XoffChar = static_cast<char>(row.xoff);
            driver.dcb.fOutX = TRUE;
            driver.dcb.fInX = TRUE;
            driver.dcb.fOutxCtsFlow = TRUE;
        }));
        EXPECT_TRUE(ApplyMode("baud=19200 parity=N data=8 stop=1"));
        EXPECT_EQ(port_->SettingsError(), 0);
        ASSERT_FALSE(comm->taken.empty());
        const DCB& applied = comm->taken.back();
        EXPECT_EQ(applied.BaudRate, 19200u);
        EXPECT_EQ(applied.XonChar, 0x11);
        EXPECT_EQ(applied.XoffChar, 0x13);
        EXPECT_FALSE(applied.fOutX || applied.fInX || applied.fOutxCtsFlow || applied.fOutxDsrFlow);
        EXPECT_EQ(port_->CurrentSpeed(), 19200);
    }
}

// A driver that still refuses: the port keeps its settings and the
// refusal's error number, until a change is taken again.
TEST_F(Win32SerialDriverTest, ARefusalKeepsTheDriversErrorNumberUntilAChangeIsTaken) {
    ASSERT_NO_FATAL_FAILURE(Open());
    comm->refuseSettings = ERROR_GEN_FAILURE;
    EXPECT_FALSE(ApplyMode("baud=19200 parity=N data=8 stop=1"));
    EXPECT_EQ(port_->SettingsError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(port_->CurrentSpeed(), CBR_9600);
    comm->refuseSettings = 0;
    EXPECT_TRUE(ApplyMode("baud=19200 parity=N data=8 stop=1"));
    EXPECT_EQ(port_->SettingsError(), 0);
}

// A buffering adapter completes a write once its chip holds the bytes and
// reports an empty output queue (ClearCommError, cbOutQue 0): the bytes
// still take their line time from the write's start.
TEST_F(Win32SerialDriverTest, AWriteTheDriverReportsSentAtOnceTakesItsLineTime) {
    ASSERT_NO_FATAL_FAILURE(Open());
    testing_support::ExpectAFrameTakesItsLineTime(*port_);
}

}  // namespace
}  // namespace zonter_test
