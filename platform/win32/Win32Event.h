// Backend-private view of a Win32 Event: its event HANDLE, for
// WaitForMultipleObjects and overlapped I/O. Only files in platform/win32/
// include this.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/Platform.h"

namespace vorlant::platform::win32 {

HANDLE eventHandle(const Event& event);

// INVALID_HANDLE_VALUE without the header's C-style cast.
inline HANDLE invalidHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

}  // namespace vorlant::platform::win32
