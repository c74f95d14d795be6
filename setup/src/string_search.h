// Searches of a text in a file image: as UTF-16LE (each character followed by a zero byte, at
// even offsets) and as 8-bit text (at every offset). Every occurrence can be found: a failed
// match at one start is followed by a try at the very next start.
#pragma once

#include <cstddef>
#include <string_view>

namespace setup {

struct SearchResult {
    bool found = false;
    std::size_t position = 0; // offset of the last character's (low) byte
};

SearchResult FindWideString(const unsigned char* image, std::size_t length, std::string_view text);
SearchResult FindNarrowString(const unsigned char* image, std::size_t length,
                              std::string_view text);

} // namespace setup
