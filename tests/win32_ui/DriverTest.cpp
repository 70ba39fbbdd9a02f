// The end-to-end driver's commands for report lists, charts, keys and file
// dialogs, worked against a dialog of this process: the driver is another
// process here as it is at the end-to-end checks, so that what it reads
// crosses the process boundary as it does there.
#include <gtest/gtest.h>

#include <string>

#include "ViewDialog.h"
// After windows.h:
#include <commctrl.h>

#include "platform/ui/win32/Win32Text.h"

namespace {

using platform::ui::ChartData;
using platform::ui::ChartText;
using platform::ui::FileQuestion;
using platform::ui::Key;
using platform::ui::ListRow;
using platform::ui::win32::Utf8;
using platform::ui::win32::Wide;
using platform::ui::win32::WindowOf;
using namespace testing_ui;

// zonter-e2e-driver.exe as a child process, its input and output on pipes.
// While it is asked, this thread delivers its messages: the driver's
// questions to the dialog are answered here.
class DriverProcess {
public:
    DriverProcess() {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE childIn = nullptr;
        HANDLE childOut = nullptr;
        if (!CreatePipe(&childIn, &toDriver_, &inherit, 0) || !CreatePipe(&fromDriver_, &childOut, &inherit, 0)) return;
        SetHandleInformation(toDriver_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromDriver_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childIn;
        startup.hStdOutput = childOut;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        // The build gives the driver's path as the host names it; the
        // prefix sees the host's root as Z:.
        std::wstring path = L"Z:" + Wide(ZONTER_E2E_DRIVER);
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        std::wstring command = L"\"" + path + L"\"";
        PROCESS_INFORMATION info{};
        if (CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                           &startup, &info)) {
            process_ = info.hProcess;
            CloseHandle(info.hThread);
        }
        CloseHandle(childIn);
        CloseHandle(childOut);
    }
    ~DriverProcess() {
        if (process_) {
            Write("quit\n");
            if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
            CloseHandle(process_);
        }
        if (toDriver_) CloseHandle(toDriver_);
        if (fromDriver_) CloseHandle(fromDriver_);
    }
    DriverProcess(const DriverProcess&) = delete;
    DriverProcess& operator=(const DriverProcess&) = delete;

    bool Running() const { return process_ != nullptr; }

    void Write(const std::string& line) {
        DWORD written = 0;
        WriteFile(toDriver_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

    // The next answer line; delivers this thread's messages meanwhile.
    std::string Answer() {
        const bool got = PumpUntil(
            [&] {
                DWORD available = 0;
                while (PeekNamedPipe(fromDriver_, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                    std::string chunk(available, '\0');
                    DWORD read = 0;
                    if (!ReadFile(fromDriver_, chunk.data(), available, &read, nullptr)) break;
                    output_.append(chunk, 0, read);
                }
                return output_.find('\n') != std::string::npos;
            },
            30000);
        if (!got) return "(no answer)";
        const std::size_t end = output_.find('\n');
        std::string line = output_.substr(0, end);
        output_.erase(0, end + 1);
        return line;
    }

    std::string Ask(const std::string& command) {
        Write(command + "\n");
        return Answer();
    }

private:
    HANDLE toDriver_ = nullptr;
    HANDLE fromDriver_ = nullptr;
    HANDLE process_ = nullptr;
    std::string output_;
};

TEST(Win32Driver, ReadsListsAndChartsPressesKeysAndAnswersFileDialogs) {
    ViewDialog dialog;
    dialog.rowOf = [](int frame) {
        ListRow row{{std::to_string(frame), "AA \"55\" 0C", "Δ"}, {}};
        if (frame == 3) row.marks = {{1, 4, 2}, {1, 6, 1}, {2, 0, 1}};
        return row;
    };
    ASSERT_TRUE(dialog.Show());
    auto& window = WindowOf(dialog);
    window.SetListColumns(IDC_FRAMES, kViewColumns);
    window.SetListRowCount(IDC_FRAMES, 200, 0);
    const ChartData chart{30, {{"V/T", 0, 100, {-2, -1, 0}, {10, 20, 30}}}};
    window.SetChart(IDC_TRACE, chart);
    window.SetKeyCommand(Key::Right, IDC_FORWARD);

    DriverProcess driver;
    ASSERT_TRUE(driver.Running()) << "zonter-e2e-driver.exe did not start";
    ASSERT_EQ(driver.Ask("find 20000 Виды").rfind("ok ", 0), 0u);
    EXPECT_EQ(driver.Ask("list-count 3001"), "ok 200");
    EXPECT_EQ(driver.Ask("list-at-end 3001"), "ok true");
    EXPECT_EQ(driver.Ask("list-row 3001 3"), R"(ok {"cells":["3","AA \"55\" 0C","Δ"],"marks":["","4+2 6+1","0+1"]})");
    EXPECT_EQ(driver.Ask("list-row 3001 200"), "error no row 200: the list holds 200");
    EXPECT_EQ(driver.Ask("list-row 3003 0"), "error not a report list");
    EXPECT_EQ(driver.Ask("chart 3002"), "ok \"" + ChartText(chart) + "\"");

    // Scrolled up by a person, the list no longer follows.
    const int perPage = static_cast<int>(SendMessageW(dialog.Item(IDC_FRAMES), LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_EQ(driver.Ask("list-scroll 3001 -50"), "ok " + std::to_string(200 - perPage - 50));
    EXPECT_EQ(driver.Ask("list-at-end 3001"), "ok false");

    // A key in the list clicks the button bound to it.
    EXPECT_EQ(driver.Ask("key 3001 right"), "ok null");
    EXPECT_TRUE(PumpUntil([&] { return dialog.clicks.size() == 1; }));
    EXPECT_EQ(GetFocus(), dialog.Item(IDC_FRAMES));

    // The file dialog: the driver waits for it while the program asks.
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::string path = Utf8(folder) + "zonter-driver-запись.csv";
    const FileQuestion save{true, "Записать журнал", "", {"*.csv"}, ""};
    driver.Write("file-answer 20000 " + path + "\n");
    EXPECT_EQ(window.AskFileName(save), path);
    EXPECT_EQ(driver.Answer(), "ok null");
    driver.Write("file-cancel 20000\n");
    EXPECT_EQ(window.AskFileName(save), "");
    EXPECT_EQ(driver.Answer(), "ok null");
    EXPECT_EQ(driver.Ask("file-cancel 100"), "error no file dialog over the window");
}

}  // namespace
