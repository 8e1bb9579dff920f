// Opening a file by name for the settings files. The windows' file dialogs
// give UTF-8 names, a command line gives names in the system's code page:
// on Windows a name that is valid UTF-8 beyond ASCII is opened through its
// UTF-16 form, any other as it is; elsewhere every name opens as it is.
//
// Threads: any.
#pragma once

#include <cstdio>
#include <string>

namespace vorlant::platform {

// As std::fopen; binary modes ("rb", "wb").
std::FILE* openFile(const std::string& path, const char* mode);

// Replaces a file whole or not at all: the text goes to a new file beside
// the target (the same folder, so the final rename stays on one file
// system), which then takes the target's name in one step (a link's
// target, where the name is a link; the old file's mode stays). Until commit()
// succeeds the target keeps its old contents; a replacement never
// committed removes its temporary file.
class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement() { abandon(); }
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Checks that `target` is no directory and creates the temporary file.
    // False with the reason (the system's text) in `reason`.
    bool begin(const std::string& target, std::string& reason);
    // Writes `text`, flushes it to the disk and renames the temporary file
    // to the target. False with the reason; the temporary file is gone then.
    bool commit(const std::string& text, std::string& reason);
    // Removes the temporary file, if any.
    void abandon();

private:
    std::string target_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
};

}  // namespace vorlant::platform
