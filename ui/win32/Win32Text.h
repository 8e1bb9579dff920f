// UTF-8 <-> UTF-16 for the wide-character Win32 calls. Texts inside the
// program are UTF-8 (DialogControls); the dialog items take UTF-16.
#pragma once

#include <string>

namespace vorlant {

std::wstring toWide(const std::string& text);
std::string toUtf8(const wchar_t* text, int length);

}  // namespace vorlant
