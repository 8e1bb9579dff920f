// Whether a standard stream is a terminal, so that a command-line tool can
// show progress and ask questions only when a person is watching.
//
// Threads: any.
#pragma once

namespace vorlant::platform {

enum class StandardStream { Input, Output, Error };

bool isTerminal(StandardStream stream);

}  // namespace vorlant::platform
