#include "wildcard.h"

#include <cctype>

namespace setup {
namespace {

bool same(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

} // namespace

bool MatchWildcard(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    while (p < pattern.size()) {
        const char c = pattern[p];
        if (c == '?') {
            if (n >= name.size()) {
                return false;
            }
            ++p;
            ++n;
        } else if (c == '*') {
            ++p;
            if (p == pattern.size()) {
                while (n < name.size() && name[n] != '.') {
                    ++n;
                }
                break;
            }
            std::size_t end = p;
            while (end < pattern.size() && pattern[end] != '*' && pattern[end] != '?') {
                ++end;
            }
            const std::string_view literal = pattern.substr(p, end - p);
            for (;; ++n) {
                if (n + literal.size() > name.size()) {
                    return false;
                }
                bool match = true;
                for (std::size_t i = 0; i < literal.size() && match; ++i) {
                    match = same(name[n + i], literal[i]);
                }
                if (match) {
                    break;
                }
            }
            n += literal.size();
            p = end;
        } else {
            if (n >= name.size() || !same(c, name[n])) {
                return false;
            }
            ++p;
            ++n;
        }
    }
    return n == name.size();
}

} // namespace setup
