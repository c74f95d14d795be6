// Code page 1251 <-> Unicode. User texts stay CP1251 bytes inside the system; they are converted
// where they meet Qt, the terminal or UTF-16 data, with glibc iconv's table: every byte but
// 0x98 has its own character and converts back exactly; 0x98, which code page 1251 leaves
// undefined, becomes U+FFFD (and so '?' on the way back). System code converts through
// MultiByteToWideChar / WideCharToMultiByte (win32/codepage.h), which use these.
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
