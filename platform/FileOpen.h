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

}  // namespace vorlant::platform
