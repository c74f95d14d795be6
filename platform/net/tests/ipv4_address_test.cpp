#include "net/ipv4_address.h"

#include <gtest/gtest.h>

namespace {

TEST(Ipv4Address, OnlyDottedAddressesParse) {
    const struct {
        const char* text;
        std::optional<net::Ipv4> address;
    } cases[] = {
        {"127.0.0.1", 0x7F000001u},
        {"0.0.0.0", 0u},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"192.168.1.20", 0xC0A80114u},
        {"", std::nullopt},
        {"localhost", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"256.1.1.1", std::nullopt},
        {"1.2.3.-4", std::nullopt},
        {"1.2.3.4 ", std::nullopt},
        {"0x7f.0.0.1", std::nullopt},
        {"127.000000000000000000.0.1", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(net::ParseDottedAddress(c.text), c.address) << c.text;
    }
    EXPECT_EQ(net::FormatAddress(0xC0A80114u), "192.168.1.20");
    EXPECT_EQ(net::FormatAddress(0u), "0.0.0.0");
}

} // namespace
