// IPv4 addresses as the socket components take and report them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// An IPv4 address in host order: 127.0.0.1 is 0x7F000001.
using Ipv4 = std::uint32_t;

// The host lookup of the components: a dotted address of four decimal parts 0..255 (no
// name service). Anything else gives nothing.
std::optional<Ipv4> ParseDottedAddress(std::string_view text);

// "a.b.c.d".
std::string FormatAddress(Ipv4 address);

} // namespace net
