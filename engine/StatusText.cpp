// The status codes: their texts exactly as the status line shows them, and
// what each means to a front that follows the reports.
#include "engine/ControllerSettings.h"
#include "engine/StatusMeaning.h"

namespace vorlant {

namespace {

// Short names for the meaning column. Codes 3, 5 and 13 reach a front only
// through settings reports, and 0, 8, 16, 17, 19 and 22 are never raised,
// so they only inform.
constexpr uint32_t kInforms = 0;
constexpr uint32_t kEnds = StatusMeaning::EndsReadout;
constexpr uint32_t kRefuses = StatusMeaning::RefusesConnect;
constexpr uint32_t kClosed = StatusMeaning::PortClosed;
constexpr uint32_t kOpen = StatusMeaning::PortOpen;
constexpr uint32_t kFails = StatusMeaning::FailsCommand;

// Every status code in order: its text exactly as the status line shows
// it, and what it means (StatusMeaning.h).
#define VORLANT_STATUS_TABLE(X)                                            \
    X("Not connected", kInforms)                                           \
    X("Opening port, please wait...", kClosed)                             \
    X("Connecting...", kOpen)                                              \
    X("Connection established.", kInforms)                                 \
    X("Connection closed", kEnds | kClosed | kFails)                       \
    X("Default settings reloaded", kInforms)                               \
    X("Error: Cannot open port.", kEnds | kClosed)                         \
    X("Error: Cannot connect: Timeout error", kEnds | kClosed | kFails)    \
    X("Error: Cannot connect: Unknown device", kInforms)                   \
    X("Error: Cannot connect: Incompatible device", kEnds | kClosed)       \
    X("Error: Communication error", kFails)                                \
    X("Error: Already connected", kRefuses | kOpen)                        \
    X("Error: Not connected yet", kFails)                                  \
    X("Error: The connected Brask is too old. Use Vorlant 1.0.", kInforms) \
    X("Error: The connected Brask does not support parking", kFails)       \
    X("Ready", kInforms)                                                   \
    X("Fast movement", kInforms)                                           \
    X("Slow movement", kInforms)                                           \
    X("Manual movement", kInforms)                                         \
    X("Positioning...", kInforms)                                          \
    X("Park position set.", kInforms)                                      \
    X("Parameters stored...", kInforms)                                    \
    X("Default settings reloaded...", kInforms)                            \
    X("Settings done.", kInforms)

#define VORLANT_WIDE(text, meaning) L"" text,
#define VORLANT_NARROW(text, meaning) text,
#define VORLANT_MEANING(text, meaning) meaning,

// One list, two spellings and the meanings: the wide table feeds the
// window, the narrow one the command-line tools, and they can never drift
// apart.
const wchar_t* const kWide[] = {VORLANT_STATUS_TABLE(VORLANT_WIDE)};
const char* const kNarrow[] = {VORLANT_STATUS_TABLE(VORLANT_NARROW)};
const uint32_t kMeaning[] = {VORLANT_STATUS_TABLE(VORLANT_MEANING)};

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

uint32_t statusMeaning(int code) {
    if (code < 0 || code >= StatusCode::Count) return 0;
    return kMeaning[code];
}

}  // namespace vorlant
