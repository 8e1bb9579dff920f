#include "platform/FileOpen.h"

#include <windows.h>

#include <algorithm>

namespace vorlant::platform {

std::FILE* openFile(const std::string& path, const char* mode) {
    const bool beyondAscii =
        std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (beyondAscii) {
        const int size = static_cast<int>(path.size());
        const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
        if (length > 0) {
            std::wstring wide(static_cast<size_t>(length), L'\0');
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, &wide[0], length);
            std::wstring wideMode;
            for (const char* m = mode; *m != '\0'; ++m) wideMode += static_cast<wchar_t>(*m);
            return _wfopen(wide.c_str(), wideMode.c_str());
        }
    }
    return std::fopen(path.c_str(), mode);
}

}  // namespace vorlant::platform
