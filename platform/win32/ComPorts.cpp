// The COM ports Windows lists: the serial port drivers enter each port they
// serve into the registry's device map, as a value whose data is "COM<n>".
#include <algorithm>
#include <cwchar>

#include "platform/SerialPort.h"
#include "platform/win32/Win32Event.h"

namespace vorlant::platform {

namespace {

// HKEY_LOCAL_MACHINE without the header's C-style casts.
HKEY localMachine() {
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000002u))));
}

// "COM7" (any case) -> 7; 0 for anything else.
int comNumber(const wchar_t* text, DWORD chars) {
    if (chars < 4) return 0;
    const auto upper = [](wchar_t c) {
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    };
    if (upper(text[0]) != L'C' || upper(text[1]) != L'O' || upper(text[2]) != L'M') return 0;
    int n = 0;
    for (DWORD i = 3; i < chars && text[i] != L'\0'; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return 0;
        n = n * 10 + (text[i] - L'0');
        if (n > 256) return 0;
    }
    return n;
}

}  // namespace

bool listedComPorts(std::vector<int>& out) {
    out.clear();
    HKEY key = nullptr;
    if (RegOpenKeyExW(localMachine(), L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameChars = sizeof name / sizeof name[0];
        wchar_t data[64];
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        const LONG r = RegEnumValueW(key, index, name, &nameChars, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        // A value too long for a port name is none; skip it.
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        const int n = comNumber(data, dataBytes / sizeof(wchar_t));
        if (n >= 1) out.push_back(n);
    }
    RegCloseKey(key);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return true;
}

}  // namespace vorlant::platform
