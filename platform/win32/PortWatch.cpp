#include "platform/PortWatch.h"

#include <thread>

#include "platform/Event.h"
#include "platform/win32/Windows.h"

// After windows.h.
#include <dbt.h>

namespace platform {

namespace {

// GUID_DEVINTERFACE_COMPORT: the interface every serial port's driver
// offers.
constexpr GUID kComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
constexpr wchar_t kWatchClass[] = L"ZonterPortWatch";
constexpr ULONGLONG kPollMs = 1000;

LRESULT CALLBACK WatchProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL) {
        const auto* changed =
            reinterpret_cast<const std::function<void()>*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (changed) (*changed)();
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window that the system tells of arriving serial devices;
// null when it cannot be made (then only the once-a-second calls remain).
HWND MakeWatchWindow(const std::function<void()>* changed, HDEVNOTIFY& notification) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WatchProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWatchClass;
    ::RegisterClassExW(&windowClass);  // already there from an earlier watch: fine
    HWND window =
        ::CreateWindowExW(0, kWatchClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (!window) return nullptr;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(changed));
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kComPortInterface;
    notification = ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return window;
}

}  // namespace

struct PortWatch::System {
    Event stop;
    std::function<void()> changed;
    std::thread thread;

    // The window lives on this thread, which serves its messages, and
    // once a second calls `changed` in any case.
    void Run() {
        if (!stop.Valid()) return;  // could never be stopped
        HDEVNOTIFY notification = nullptr;
        HWND window = MakeWatchWindow(&changed, notification);
        const HANDLE stopHandle = stop.Handle();
        ULONGLONG due = ::GetTickCount64() + kPollMs;
        for (;;) {
            const ULONGLONG now = ::GetTickCount64();
            const DWORD wait = now >= due ? 0 : static_cast<DWORD>(due - now);
            const DWORD r = ::MsgWaitForMultipleObjects(1, &stopHandle, FALSE, wait, QS_ALLINPUT);
            if (r == WAIT_OBJECT_0) break;
            if (r == WAIT_OBJECT_0 + 1) {
                MSG message;
                while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
                continue;
            }
            if (r == WAIT_TIMEOUT) {
                changed();
                due = ::GetTickCount64() + kPollMs;
                continue;
            }
            break;  // the wait itself failed
        }
        if (notification) ::UnregisterDeviceNotification(notification);
        if (window) ::DestroyWindow(window);
    }
};

PortWatch::PortWatch(unsigned, std::function<void()> changed) : system_(std::make_unique<System>()) {
    System& system = *system_;
    system.changed = std::move(changed);
    system.thread = std::thread([&system] { system.Run(); });
}

PortWatch::~PortWatch() {
    system_->stop.Set();
    system_->thread.join();
}

}  // namespace platform
