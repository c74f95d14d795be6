// The hive file parser takes whatever is on disk: damaged files must be refused, never crash.
#include "registry_hive.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace reg = platform::registry;

namespace {

reg::KeyNode sample_tree() {
    reg::KeyNode root;
    reg::KeyNode& services = root.add_subkey("SYSTEM").add_subkey("Services");
    reg::KeyNode& tarvo = services.add_subkey("Tarvo");
    tarvo.values.push_back({"Start", 4, {2, 0, 0, 0}});
    tarvo.values.push_back({"ImagePath", 2, {'x', 0}});
    tarvo.add_subkey("Parameters").values.push_back({"", 1, {0}});
    services.add_subkey("Beep");
    return root;
}

// Puts a valid checksum over a (mutated) payload, so the parser itself sees the damage.
void reseal(std::vector<BYTE>& file) {
    const std::uint32_t size = std::uint32_t(file.size() - reg::kHeaderSize);
    const std::uint32_t crc = reg::crc32(file.data() + reg::kHeaderSize, size);
    for (int i = 0; i < 4; ++i) {
        file[20 + i] = BYTE(size >> (8 * i));
        file[24 + i] = BYTE(crc >> (8 * i));
    }
}

} // namespace

TEST(RegistryHive, ChecksumIsTheStandardCrc32) {
    const char* check = "123456789";
    EXPECT_EQ(reg::crc32(reinterpret_cast<const BYTE*>(check), 9), 0xCBF43926u);
}

TEST(RegistryHive, RoundTripKeepsOrderAndCase) {
    const auto bytes = reg::serialize(sample_tree(), 7);
    std::string error;
    const auto parsed = reg::parse(bytes, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->generation, 7u);
    const reg::KeyNode* services = parsed->root.subkey("system")->subkey("SERVICES");
    ASSERT_NE(services, nullptr);
    ASSERT_EQ(services->subkeys.size(), 2u);
    EXPECT_EQ(services->subkeys[0]->name, "Beep"); // sorted ignoring case
    reg::KeyNode* tarvo = services->subkey("tarvo");
    ASSERT_NE(tarvo, nullptr);
    EXPECT_EQ(tarvo->values[0].name, "Start");
    EXPECT_EQ(tarvo->values[1].name, "ImagePath");
    EXPECT_EQ(tarvo->value("imagepath")->type, 2u);
    EXPECT_EQ(reg::serialize(parsed->root, 7), bytes);
}

TEST(RegistryHive, DamagedPayloadsAreRefusedSafely) {
    const auto good = reg::serialize(sample_tree(), 1);
    struct Case {
        const char* what;
        std::size_t offset; // into the payload
        std::vector<BYTE> bytes;
    } cases[] = {
        {"root name length past the end", 0, {0xFF, 0xFF}},
        {"huge value count", 2, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"huge subkey count", 6, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"subkey with an empty name", 10, {0x00, 0x00}},
    };
    for (const Case& c : cases) {
        auto file = good;
        std::memcpy(file.data() + reg::kHeaderSize + c.offset, c.bytes.data(), c.bytes.size());
        reseal(file);
        std::string error;
        EXPECT_FALSE(reg::parse(file, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    // Two subkeys that differ only in case.
    reg::KeyNode twice;
    twice.add_subkey("Run");
    twice.subkeys.push_back(std::make_unique<reg::KeyNode>());
    twice.subkeys.back()->name = "RUN";
    std::string error;
    EXPECT_FALSE(reg::parse(reg::serialize(twice, 1), error));
    // Nesting deeper than allowed.
    reg::KeyNode deep;
    reg::KeyNode* at = &deep;
    for (std::size_t i = 0; i <= reg::kMaxDepth; ++i) {
        at = &at->add_subkey("k");
    }
    EXPECT_FALSE(reg::parse(reg::serialize(deep, 1), error));
    EXPECT_EQ(error, "keys nested too deep");

    // Random damage (fixed seed): refused or read, never out of bounds (the sanitizer build
    // checks that).
    std::mt19937 random(1251);
    for (int round = 0; round < 4000; ++round) {
        auto file = good;
        const int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at_byte =
                reg::kHeaderSize + random() % (file.size() - reg::kHeaderSize);
            file[at_byte] = BYTE(random());
        }
        if (random() % 4 == 0) {
            file.resize(reg::kHeaderSize + random() % (file.size() - reg::kHeaderSize));
        }
        reseal(file);
        std::string why;
        (void)reg::parse(file, why);
    }
}
