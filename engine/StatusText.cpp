// Status texts exactly as the status line shows them.
#include "engine/ControllerSettings.h"

namespace vorlant {

namespace {

#define VORLANT_STATUS_TEXTS(X)                                  \
    X("Not connected")                                           \
    X("Opening port, please wait...")                            \
    X("Connecting...")                                           \
    X("Connection established.")                                 \
    X("Connection closed")                                       \
    X("Default settings reloaded")                               \
    X("Error: Cannot open port.")                                \
    X("Error: Cannot connect: Timeout error")                    \
    X("Error: Cannot connect: Unknown device")                   \
    X("Error: Cannot connect: Incompatible device")              \
    X("Error: Communication error")                              \
    X("Error: Already connected")                                \
    X("Error: Not connected yet")                                \
    X("Error: The connected Brask is too old. Use Vorlant 1.0.") \
    X("Error: The connected Brask does not support parking")     \
    X("Ready")                                                   \
    X("Fast movement")                                           \
    X("Slow movement")                                           \
    X("Manual movement")                                         \
    X("Positioning...")                                          \
    X("Park position set.")                                      \
    X("Parameters stored...")                                    \
    X("Default settings reloaded...")                            \
    X("Settings done.")

#define VORLANT_WIDE(text) L"" text,
#define VORLANT_NARROW(text) text,

// One list, two spellings: the wide table feeds the window, the narrow one
// the command-line tools, and they can never drift apart.
const wchar_t* const kWide[] = {VORLANT_STATUS_TEXTS(VORLANT_WIDE)};
const char* const kNarrow[] = {VORLANT_STATUS_TEXTS(VORLANT_NARROW)};

static_assert(sizeof(kWide) / sizeof(kWide[0]) == StatusCode::Count, "one text per status code");

}  // namespace

const wchar_t* statusText(int code) {
    if (code < 0 || code >= StatusCode::Count) return L"";
    return kWide[code];
}

const char* statusTextAscii(int code) {
    if (code < 0 || code >= StatusCode::Count) return "";
    return kNarrow[code];
}

}  // namespace vorlant
