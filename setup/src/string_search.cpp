#include "string_search.h"

namespace setup {

SearchResult FindWideString(const unsigned char* image, std::size_t length, std::string_view text) {
    const std::size_t span = text.size() * 2;
    if (text.empty() || image == nullptr || length < span) {
        return {};
    }
    for (std::size_t start = 0; start + span <= length; start += 2) {
        std::size_t i = 0;
        while (i < text.size() && image[start + 2 * i] == static_cast<unsigned char>(text[i]) &&
               image[start + 2 * i + 1] == 0) {
            ++i;
        }
        if (i == text.size()) {
            return {true, start + span - 2};
        }
    }
    return {};
}

SearchResult FindNarrowString(const unsigned char* image, std::size_t length,
                              std::string_view text) {
    if (text.empty() || image == nullptr || length < text.size()) {
        return {};
    }
    for (std::size_t start = 0; start + text.size() <= length; ++start) {
        std::size_t i = 0;
        while (i < text.size() && image[start + i] == static_cast<unsigned char>(text[i])) {
            ++i;
        }
        if (i == text.size()) {
            return {true, start + text.size() - 1};
        }
    }
    return {};
}

} // namespace setup
