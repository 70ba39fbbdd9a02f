// The Windows backends behind the platform headers, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/BoundedLock.h"
#include "platform/Event.h"
#include "platform/NewFile.h"
#include "platform/PortDescription.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"
#include "platform/WorkerThread.h"
#include "platform/win32/Windows.h"
#include "workers/CaptureFile.h"

namespace zonter_test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using platform::Event;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// ---- events ----

TEST(Win32EventTest, ManualResetStaysSetForEveryWaiterUntilReset) {
    Event e;
    ASSERT_TRUE(e.Valid());
    EXPECT_FALSE(e.IsSet());
    e.Set();
    EXPECT_TRUE(e.IsSet());
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(1000));  // a second waiter sees it too
    e.Reset();
    EXPECT_FALSE(e.IsSet());
    // The native handle is a real event object.
    EXPECT_EQ(::WaitForSingleObject(e.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    e.Set();
    EXPECT_EQ(::WaitForSingleObject(e.Handle(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(Win32EventTest, WaitEndsAfterItsBoundOrAtOnceWhenSet) {
    Event e;
    auto start = Clock::now();
    EXPECT_FALSE(e.Wait(200));
    EXPECT_GE(MsSince(start), 190);

    std::thread setter([&] { e.Set(); });
    start = Clock::now();
    EXPECT_TRUE(e.Wait(30000));
    EXPECT_LT(MsSince(start), 5000);
    setter.join();
}

TEST(Win32EventTest, WaitAnyGivesThePositionInTheListNullsIncluded) {
    Event a, b, c;
    const struct {
        const char* name;
        Event* set;
        int expected;
    } cases[] = {{"first", &a, 0}, {"after a null", &b, 2}, {"last", &c, 3}, {"none", nullptr, -1}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        a.Reset();
        b.Reset();
        c.Reset();
        if (t.set) t.set->Set();
        EXPECT_EQ(platform::WaitAny({&a, nullptr, &b, &c}, 50), t.expected);
    }
    // Only nulls: a plain bounded pause.
    const auto start = Clock::now();
    EXPECT_EQ(platform::WaitAny({nullptr}, 100), -1);
    EXPECT_GE(MsSince(start), 90);
}

TEST(Win32EventTest, PauseRunsItsLengthUnlessStopped) {
    Event stop;
    auto start = Clock::now();
    EXPECT_TRUE(platform::PauseUnlessStopped(stop, 150));
    EXPECT_GE(MsSince(start), 140);

    std::thread stopper([&] { stop.Set(); });
    start = Clock::now();
    EXPECT_FALSE(platform::PauseUnlessStopped(stop, 30000));
    EXPECT_LT(MsSince(start), 5000);
    stopper.join();
}

TEST(Win32EventTest, PauseUntilAMomentEndsThereOrAtAStop) {
    Event stop;
    const auto due = std::chrono::steady_clock::now() + std::chrono::microseconds(60500);
    EXPECT_TRUE(platform::PauseUntilUnlessStopped(stop, due));
    EXPECT_GE(std::chrono::steady_clock::now(), due);
    const auto past = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    EXPECT_TRUE(platform::PauseUntilUnlessStopped(stop, past));

    std::thread stopper([&] { stop.Set(); });
    const auto start = Clock::now();
    EXPECT_FALSE(platform::PauseUntilUnlessStopped(stop, std::chrono::steady_clock::now() + std::chrono::seconds(30)));
    EXPECT_LT(MsSince(start), 5000);
    stopper.join();
    EXPECT_FALSE(platform::PauseUntilUnlessStopped(stop, past));
}

// ---- threads and locks ----

TEST(Win32WorkerThreadTest, BodyRunsBelowNormalAndTheCallerKeepsItsPriority) {
    const int caller = ::GetThreadPriority(::GetCurrentThread());
    std::atomic<int> body{THREAD_PRIORITY_ERROR_RETURN};
    platform::WorkerThread worker;
    worker.Start([&] { body = ::GetThreadPriority(::GetCurrentThread()); });
    worker.Join();
    EXPECT_EQ(body.load(), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), caller);
    EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
}

TEST(Win32BoundedLockTest, TakenWithinTheBoundOrNotAtAll) {
    platform::BoundedLock lock;
    ASSERT_TRUE(lock.Acquire(0));
    std::atomic<bool> got{true};
    std::thread other([&] { got = lock.Acquire(150); });
    other.join();
    EXPECT_FALSE(got.load());

    Event holding;
    std::thread waiter([&] {
        holding.Set();
        got = lock.Acquire(30000);
        if (got) lock.Release();
    });
    ASSERT_TRUE(holding.Wait(5000));
    lock.Release();
    waiter.join();
    EXPECT_TRUE(got.load());
}

// ---- files ----

class Win32FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A Cyrillic folder name: paths are UTF-8 in our code.
        const std::string name = "zonter-тест-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = fs::temp_directory_path() / fs::path(platform::win32::Wide(name));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string Dir() const { return platform::win32::Utf8(dir_.wstring()); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(platform::win32::Utf8(e.path().filename().wstring()));
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Contents(const std::string& name) const {
        std::ifstream in(dir_ / fs::path(platform::win32::Wide(name)), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

std::array<std::uint8_t, workers::kCaptureBytes> Frames() {
    std::array<std::uint8_t, workers::kCaptureBytes> f{};
    for (std::size_t i = 0; i < f.size(); ++i) f[i] = static_cast<std::uint8_t>(i * 7 + i / 15);
    for (int k = 0; k < workers::kCaptureFrames; ++k) f[static_cast<std::size_t>(k) * 15 + 1] = k == 3 ? 0 : 5;
    return f;
}

// The capture file on Windows holds exactly the text, CR LF and the cp1251
// separator included; a taken name goes on to -2, -3 and is never replaced.
TEST_F(Win32FolderTest, CapturesLandUnderFreeNamesWithTheirExactBytes) {
    const workers::CaptureTime t{2026, 12, 9, 14, 5};
    const std::string text = workers::CaptureFileText(Frames(), t);
    ASSERT_NE(text.find("\r\n"), std::string::npos);
    ASSERT_NE(text.find("\xC4\xEE\xEF"), std::string::npos);
    const std::string name = workers::CaptureFileName(t);

    const struct {
        const char* expectedName;
    } cases[] = {{"km12091405.txt"}, {"km12091405-2.txt"}, {"km12091405-3.txt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedName);
        const workers::CaptureWriteResult r = workers::WriteCaptureFile(Dir(), name, text + c.expectedName);
        EXPECT_TRUE(r.written);
        EXPECT_EQ(r.name, c.expectedName);
        EXPECT_EQ(r.error, 0);
        EXPECT_EQ(Contents(c.expectedName), text + c.expectedName);
    }
    // The earlier captures are as they were, and no temporary file is left.
    EXPECT_EQ(Contents("km12091405.txt"), text + "km12091405.txt");
    EXPECT_EQ(Names(), (std::vector<std::string>{"km12091405-2.txt", "km12091405-3.txt", "km12091405.txt"}));
}

TEST_F(Win32FolderTest, ATakenNameOfAnyKindIsPassedOver) {
    fs::create_directory(dir_ / "note.txt");  // a folder under the first name
    const platform::NewFileResult r = platform::WriteNewFile(
        Dir(), [](int n) { return n == 1 ? std::string("note.txt") : "note-" + std::to_string(n) + ".txt"; }, "x");
    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.name, "note-2.txt");
    EXPECT_EQ(Contents("note-2.txt"), "x");
}

TEST_F(Win32FolderTest, AFailureLeavesNothingBehindAndSaysWhy) {
    // No such folder.
    const std::string missing = Dir() + "\\missing";
    platform::NewFileResult r = platform::WriteNewFile(
        missing, [](int) { return std::string("a.txt"); }, "text");
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.name, "a.txt");
    EXPECT_EQ(r.error, ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(fs::exists(dir_ / "missing"));

    // Every name taken: the temporary file goes again.
    std::ofstream(dir_ / "only.txt") << "first";
    r = platform::WriteNewFile(
        Dir(), [](int) { return std::string("only.txt"); }, "second");
    EXPECT_FALSE(r.written);
    EXPECT_NE(r.error, 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"only.txt"});
    EXPECT_EQ(Contents("only.txt"), "first");
}

TEST(Win32LocalTimeTest, IsTheCalendarsLocalTime) {
    // The minute may turn between the two readings; a second pair then agrees.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const platform::LocalTime ours = platform::LocalTimeNow();
        SYSTEMTIME st;
        ::GetLocalTime(&st);
        if (ours.minute != st.wMinute && attempt == 0) continue;
        EXPECT_EQ(ours.year, st.wYear);
        EXPECT_EQ(ours.month, st.wMonth);
        EXPECT_EQ(ours.day, st.wDay);
        EXPECT_EQ(ours.hour, st.wHour);
        EXPECT_EQ(ours.minute, st.wMinute);
        break;
    }
}

TEST(Win32SystemErrorTest, TheSystemsOwnWordsWithoutALineEnd) {
    for (int error : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        SCOPED_TRACE(error);
        const std::string text = platform::SystemErrorText(error);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text, "error " + std::to_string(error));
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        EXPECT_NE(text.back(), ' ');
        // UTF-8 that converts back without loss.
        EXPECT_EQ(platform::win32::Utf8(platform::win32::Wide(text)), text);
    }
    EXPECT_EQ(platform::SystemErrorText(0), "");
}

// ---- ports ----

TEST(Win32PortNamesTest, ComNumbersAreTheSystemsOwnNames) {
    const struct {
        unsigned n;
        const char* path;
    } cases[] = {{1, "\\\\.\\COM1"}, {9, "\\\\.\\COM9"}, {10, "\\\\.\\COM10"}, {255, "\\\\.\\COM255"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(platform::ResolveComPort(c.n), std::optional<std::string>(c.path));
        EXPECT_EQ(platform::ComName(c.n), "COM" + std::to_string(c.n));
    }
    EXPECT_EQ(platform::ResolveComPort(0), std::nullopt);
    // No port folder on Windows: nothing to show, nothing to register.
    EXPECT_EQ(platform::PortDirectory(), "");
    EXPECT_EQ(platform::RegisterPort(7, "\\\\.\\COM1"), std::nullopt);
    EXPECT_EQ(platform::ResolveComPort(7), std::optional<std::string>("\\\\.\\COM7"));
}

// The serial-port list of the system names the device behind a COM number
// when the device manager has no name for it.
TEST(Win32PortDescriptionTest, FallsBackToTheSerialCommList) {
    EXPECT_EQ(platform::PortFriendlyName(0), "");
    EXPECT_EQ(platform::PortFriendlyName(231), "");
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t com[] = L"COM231";
    ASSERT_EQ(::RegSetValueExW(key, L"\\Device\\ZonterTest", 0, REG_SZ, reinterpret_cast<const BYTE*>(com), sizeof com),
              ERROR_SUCCESS);
    EXPECT_EQ(platform::PortFriendlyName(231), "\\Device\\ZonterTest");
    EXPECT_EQ(platform::PortFriendlyName(23), "");
    ::RegDeleteValueW(key, L"\\Device\\ZonterTest");
    ::RegCloseKey(key);
}

class Win32SerialOpenTest : public Win32FolderTest {};

TEST_F(Win32SerialOpenTest, FailuresSayWhyWithTheSystemsErrorNumber) {
    platform::OpenFailure failure;
    EXPECT_FALSE(platform::SerialPort::Open("\\\\.\\COM233", &failure));
    EXPECT_EQ(failure.kind, platform::OpenError::NotFound);
    EXPECT_NE(failure.systemError, 0);

    // A file is no serial port, and is let go again.
    const std::string file = Dir() + "\\not-a-port";
    std::ofstream(dir_ / "not-a-port") << "x";
    EXPECT_FALSE(platform::SerialPort::Open(file, &failure));
    EXPECT_EQ(failure.kind, platform::OpenError::NotATerminal);
    EXPECT_TRUE(fs::remove(dir_ / "not-a-port"));

    // Held by another opener: busy, with the system's number for it.
    std::ofstream(dir_ / "held") << "x";
    const HANDLE held = ::CreateFileW((dir_ / "held").wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(platform::SerialPort::Open(Dir() + "\\held", &failure));
    EXPECT_EQ(failure.kind, platform::OpenError::Busy);
    EXPECT_EQ(failure.systemError, ERROR_SHARING_VIOLATION);
    ::CloseHandle(held);
}

}  // namespace
}  // namespace zonter_test
