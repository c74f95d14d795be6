// Conversion between the station's CP1251 texts and UTF-8, for the user-interface boundary.
#pragma once

#include <string>
#include <string_view>

namespace station {

// Every CP1251 byte has a character; a byte the code page leaves undefined becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view text);
// A character CP1251 lacks, or a broken UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1251(std::string_view text);

} // namespace station
