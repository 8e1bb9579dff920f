#include "platform/FileOpen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vorlant::platform {

std::FILE* openFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool FileReplacement::begin(const std::string& target, std::string& reason) {
    abandon();
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        reason = std::strerror(EISDIR);
        return false;
    }
    // "name.XXXXXX" in the target's folder; mkstemp makes it 0600, so the
    // new file is given the mode an ordinary new file would get.
    std::vector<char> name(target.begin(), target.end());
    for (const char c : std::string(".XXXXXX")) name.push_back(c);
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        reason = std::strerror(errno);
        ::close(fd);
        ::unlink(name.data());
        return false;
    }
    target_ = target;
    temporary_ = name.data();
    return true;
}

bool FileReplacement::commit(const std::string& text, std::string& reason) {
    if (!file_) {
        reason = std::strerror(EBADF);
        return false;
    }
    errno = 0;
    bool ok = std::fwrite(text.data(), 1, text.size(), file_) == text.size() && std::fflush(file_) == 0 &&
              fsync(fileno(file_)) == 0;
    int err = errno;
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    file_ = nullptr;
    if (ok && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        reason = std::strerror(err != 0 ? err : EIO);
        ::unlink(temporary_.c_str());
    }
    temporary_.clear();
    return ok;
}

void FileReplacement::abandon() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace vorlant::platform
