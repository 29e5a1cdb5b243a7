#pragma once
// Windows-1252, the 8-bit text of the file lists, without a host conversion library.
#include <string>

namespace Cp1252 {

// UTF-16 unit of one byte; false for the five bytes the code page leaves undefined.
bool ToUnit(unsigned char byte, char16_t* unit);
// Whole text; false at the first undefined byte, whose index goes to *badIndex.
bool ToUtf16(const std::string& bytes, std::u16string* text, size_t* badIndex);
// UTF-16 as UTF-8 for the host (names on screen, host file names). Unpaired surrogates
// become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);
// Windows-1252 bytes as UTF-8; undefined bytes become U+FFFD.
std::string ToUtf8(const std::string& bytes);

} // namespace Cp1252
