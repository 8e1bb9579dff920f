#include "platform/FileOpen.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace vorlant::platform {

namespace {

// The UTF-16 form of a name that is valid UTF-8 beyond ASCII; false for any
// other name, which the ANSI calls take as it is.
bool wideName(const std::string& path, std::wstring& wide) {
    const bool beyondAscii =
        std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (!beyondAscii) return false;
    const int size = static_cast<int>(path.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (length <= 0) return false;
    wide.assign(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, &wide[0], length);
    return true;
}

std::string systemText(DWORD error) {
    char text[256] = "";
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                   0, text, sizeof text, nullptr);
    std::string out(text, n);
    while (!out.empty() &&
           (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out.empty() ? "error " + std::to_string(error) : out;
}

DWORD attributes(const std::string& path) {
    std::wstring wide;
    return wideName(path, wide) ? GetFileAttributesW(wide.c_str()) : GetFileAttributesA(path.c_str());
}

bool removeFile(const std::string& path) {
    std::wstring wide;
    return wideName(path, wide) ? DeleteFileW(wide.c_str()) != 0 : DeleteFileA(path.c_str()) != 0;
}

bool moveOver(const std::string& from, const std::string& to) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    std::wstring wideFrom, wideTo;
    if (wideName(from, wideFrom) || wideName(to, wideTo)) {
        if (wideFrom.empty()) wideFrom.assign(from.begin(), from.end());
        if (wideTo.empty()) wideTo.assign(to.begin(), to.end());
        return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), flags) != 0;
    }
    return MoveFileExA(from.c_str(), to.c_str(), flags) != 0;
}

}  // namespace

std::FILE* openFile(const std::string& path, const char* mode) {
    std::wstring wide;
    if (wideName(path, wide)) {
        std::wstring wideMode;
        for (const char* m = mode; *m != '\0'; ++m) wideMode += static_cast<wchar_t>(*m);
        return _wfopen(wide.c_str(), wideMode.c_str());
    }
    return std::fopen(path.c_str(), mode);
}

bool FileReplacement::begin(const std::string& target, std::string& reason) {
    abandon();
    const DWORD a = attributes(target);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        reason = "is a directory";
        return false;
    }
    static std::atomic<unsigned> counter{0};
    const std::string name = target + "." + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(counter.fetch_add(1)) + ".tmp";
    file_ = openFile(name, "wb");
    if (!file_) {
        reason = std::strerror(errno);
        return false;
    }
    target_ = target;
    temporary_ = name;
    return true;
}

bool FileReplacement::commit(const std::string& text, std::string& reason) {
    if (!file_) {
        reason = std::strerror(EBADF);
        return false;
    }
    errno = 0;
    bool ok = std::fwrite(text.data(), 1, text.size(), file_) == text.size() && std::fflush(file_) == 0 &&
              _commit(_fileno(file_)) == 0;
    if (!ok) reason = std::strerror(errno != 0 ? errno : EIO);
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        reason = std::strerror(errno);
    }
    file_ = nullptr;
    if (ok && !moveOver(temporary_, target_)) {
        ok = false;
        reason = systemText(GetLastError());
    }
    if (!ok) removeFile(temporary_);
    temporary_.clear();
    return ok;
}

void FileReplacement::abandon() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) removeFile(temporary_);
    temporary_.clear();
}

}  // namespace vorlant::platform
