#include "platform/ui/win32/Win32FileDialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace platform::ui::win32 {

namespace {

// Room for a long path.
constexpr std::size_t kPathRoom = 32768;

// "Name (*.txt; *.csv)\0*.txt;*.csv\0\0": one entry of the filter list.
std::wstring Filter(const FileQuestion& question) {
    std::wstring shown;
    std::wstring patterns;
    for (const std::string& pattern : question.patterns) {
        if (!patterns.empty()) {
            patterns += L';';
            shown += L"; ";
        }
        patterns += Wide(pattern);
        shown += Wide(pattern);
    }
    if (patterns.empty()) shown = patterns = L"*.*";
    std::wstring filter = question.filterName.empty() ? shown : Wide(question.filterName) + L" (" + shown + L")";
    filter += L'\0';
    filter += patterns;
    filter += L'\0';
    filter += L'\0';
    return filter;
}

// A saved name typed without an extension gets the first pattern's.
std::wstring DefaultExtension(const FileQuestion& question) {
    if (question.patterns.empty()) return {};
    const std::string& first = question.patterns.front();
    if (first.size() < 3 || first.compare(0, 2, "*.") != 0 || first.find_first_of("*?;", 2) != std::string::npos)
        return {};
    return Wide(first.substr(2));
}

}  // namespace

std::string AskWithFileDialog(HWND owner, const FileQuestion& question) {
    const std::wstring filter = Filter(question);
    const std::wstring title = Wide(question.title);
    const std::wstring extension = DefaultExtension(question);
    std::vector<wchar_t> path(kPathRoom, L'\0');
    if (question.save) {
        const std::wstring proposed = Wide(question.proposedName);
        proposed.copy(path.data(), std::min(proposed.size(), path.size() - 1));
    }

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    // The program's relative paths stay where they were: the file dialog
    // would otherwise move the current folder to where it chose.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_DONTADDTORECENT;
    if (question.save) {
        dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    } else {
        dialog.Flags |= OFN_FILEMUSTEXIST;
    }
    const BOOL chosen = question.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) return {};  // cancelled, or the dialog could not be shown
    return Utf8(path.data());
}

}  // namespace platform::ui::win32
