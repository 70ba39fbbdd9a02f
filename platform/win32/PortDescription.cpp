#include "platform/PortDescription.h"

#include <vector>

#include "platform/PortNames.h"
#include "platform/win32/Windows.h"
// After windows.h:
#include <devguid.h>
#include <setupapi.h>

namespace platform {

using win32::Utf8;
using win32::Wide;

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// A string value of an open key; empty when it is missing or not text.
std::wstring StringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) return {};
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
        return {};
    return text.data();
}

// The device manager's name of the port device whose "PortName" is `com`.
std::wstring FromDeviceManager(const std::wstring& com) {
    const HDEVINFO devices = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return {};
    std::wstring found;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; found.empty() && ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const HKEY key = ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        const bool ours = SameName(StringValue(key, L"PortName"), com);
        ::RegCloseKey(key);
        if (!ours) continue;
        wchar_t name[512] = {};
        DWORD type = 0;
        if (::SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, &type,
                                                reinterpret_cast<BYTE*>(name), sizeof name - sizeof(wchar_t),
                                                nullptr) &&
            type == REG_SZ) {
            found = name;
        }
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return found;
}

// The kernel device behind `com` from the system's list of serial ports,
// such as "\Device\Serial0".
std::wstring FromSerialCommList(const std::wstring& com) {
    HKEY key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::wstring found;
    for (DWORD i = 0; found.empty(); ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[64] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG r =
            ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        if (SameName(data, com)) found.assign(name, nameLength);
    }
    ::RegCloseKey(key);
    return found;
}

}  // namespace

std::string PortFriendlyName(unsigned n) {
    if (n == 0) return {};
    const std::wstring com = Wide(ComName(n));
    std::wstring name = FromDeviceManager(com);
    if (name.empty()) name = FromSerialCommList(com);
    return Utf8(name);
}

}  // namespace platform
