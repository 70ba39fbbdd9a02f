// The Windows start-up: runs the main dialog modally; its end is the
// program's.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "res/Resource.h"
#include "ui/ZonterDlg.h"
// After the program's own headers: windows.h defines IDOK and IDCANCEL.
#include "platform/ui/win32/Win32DialogWindow.h"
#include "platform/ui/win32/Win32Text.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

bool Usable(HANDLE handle) {
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// A GUI program has no console of its own: answers on the command line go
// to the redirected output if there is one, else to the console of the
// program that started this one.
void ReachParentConsole() {
    const bool out = Usable(GetStdHandle(STD_OUTPUT_HANDLE));
    const bool err = Usable(GetStdHandle(STD_ERROR_HANDLE));
    if (out && err) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!out) static_cast<void>(std::freopen("CONOUT$", "w", stdout));
    if (!err) static_cast<void>(std::freopen("CONOUT$", "w", stderr));
}

// The arguments after the program name, as UTF-8.
std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.push_back(platform::ui::win32::Utf8(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::vector<std::string> args = Arguments();
    if (!args.empty()) {
        ReachParentConsole();
        const std::vector<std::string_view> views(args.begin(), args.end());
        const auto status = app::AnswerCommandLine(views, stdout, stderr);
        std::fflush(stdout);
        std::fflush(stderr);
        if (status) return *status;
    }

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    platform::ui::win32::Win32WindowSystem::Install(IDI_APP);

    CZonterDlg dialog;
    dialog.DoModal();
    dialog.DestroyWindow();
    return 0;
}
