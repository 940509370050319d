// Conversion between the program's UTF-8 text and the Windows-1252 bytes of
// the files other programs and earlier versions wrote (language files, the
// recipient history, address books, post files).
#pragma once

#include <string>
#include <string_view>

namespace brisa {

// Every byte maps to one character; the five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same
// value, so any byte string survives a round trip.
std::string Cp1252ToUtf8(std::string_view pBytes);

// Characters without a Windows-1252 byte become '?'. Invalid UTF-8 bytes are
// taken as Windows-1252 bytes already and copied unchanged.
std::string Utf8ToCp1252(std::string_view pText);

} // namespace brisa
