// Code page 1251 <-> Unicode. User texts stay CP1251 bytes inside the system; they are converted
// where they meet Qt, the terminal or UTF-16 data. Every one of the 256 bytes has its own code
// point (the one unassigned byte, 0x98, maps to U+0098), so CP1251 -> Unicode -> CP1251 is exact.
#pragma once

#include <string>
#include <string_view>

namespace platform::cp1251 {

std::string to_utf8(std::string_view cp1251);
std::u16string to_utf16(std::string_view cp1251);

// Characters without a CP1251 byte, and bytes that are not valid UTF-8 / UTF-16, become
// `replacement`.
std::string from_utf8(std::string_view utf8, char replacement = '?');
std::string from_utf16(std::u16string_view utf16, char replacement = '?');

} // namespace platform::cp1251
