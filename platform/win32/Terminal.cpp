#include "platform/Terminal.h"

#include <io.h>

#include <cstdio>

namespace vorlant::platform {

bool isTerminal(StandardStream stream) {
    std::FILE* file = stream == StandardStream::Input    ? stdin
                      : stream == StandardStream::Output ? stdout
                                                         : stderr;
    return _isatty(_fileno(file)) != 0;
}

}  // namespace vorlant::platform
