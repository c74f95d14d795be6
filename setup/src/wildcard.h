// File-name patterns of the INF scan, compared ignoring case: "?" takes any one character; "*"
// followed by literal text skips name characters until that text matches there; a "*" that ends
// the pattern takes the name up to its first "."; the name must be used up at the end. So
// "*.inf" matches OEM12.INF and not a.inf.bak.
#pragma once

#include <string_view>

namespace setup {

bool MatchWildcard(std::string_view pattern, std::string_view name);

} // namespace setup
