// Backend-private view of a POSIX Event: the descriptor that is readable
// while the event is signalled, so readers can poll() it together with their
// data descriptor. Only files in platform/posix/ include this.
#pragma once

#include "platform/Platform.h"

namespace vorlant::platform::posix {

// Readable (POLLIN) while the event is signalled.
int eventFd(const Event& event);

}  // namespace vorlant::platform::posix
