#include "platform/FileOpen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vorlant::platform {

std::FILE* openFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool FileReplacement::begin(const std::string& path, std::string& reason) {
    abandon();
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        reason = std::strerror(EISDIR);
        return false;
    }
    // Replacing leaves a read-only file's mode to the folder's: refuse as
    // writing it in place would.
    if (exists && ::access(path.c_str(), W_OK) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    // A link stays a link: the file it leads to is replaced.
    std::string target = path;
    if (exists) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    // "name.XXXXXX" in the target's folder. mkstemp makes it 0600: it gets
    // the old file's mode, or the one an ordinary new file would get.
    std::vector<char> name(target.begin(), target.end());
    for (const char c : std::string(".XXXXXX")) name.push_back(c);
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (exists) {
        fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
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
