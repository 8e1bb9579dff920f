// What one step of the connection (a tick, a run of reply bytes, one reply)
// asks the dispatcher to do with the link afterwards.
#pragma once

#include <cstdint>

namespace vorlant {

enum class StepResult : int32_t {
    None = 0,             // nothing: the link stays as it is
    ReadoutComplete = 1,  // the read-out has ended: the link is up, commands go out
    GiveUp = 2,           // the connection failed: close the port without a further report
};

}  // namespace vorlant
