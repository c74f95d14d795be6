// The ANSI code page of the platform (1251) for the "A" calls that hand out texts stored in
// UTF-16: one byte per UTF-16 unit, '?' for what the code page cannot show.
#pragma once

#include <string>
#include <string_view>

namespace platform::detail {

std::string utf16_to_ansi(std::u16string_view text);

} // namespace platform::detail
