// A version number as people read it, for the places that build their
// text as std::string (the device line, the tools' listings).
#pragma once

#include <cstdint>
#include <string>

#include "text/TextBuild.h"

namespace vorlant {

// "0.1.0.4": four bytes, most significant first.
inline std::string dottedVersion(std::uint32_t value) {
    char text[16];
    appendDottedVersion(text, sizeof text, 0, value);
    return text;
}

}  // namespace vorlant
