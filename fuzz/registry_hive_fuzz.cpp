// The registry hive file: a hive that parses must serialise and parse back to the same tree.
#include "fuzz_target.h"
#include "registry_hive.h"

#include <string>

namespace {

using platform::registry::KeyNode;

bool same_tree(const KeyNode& a, const KeyNode& b) {
    if (a.name != b.name || a.values.size() != b.values.size() ||
        a.subkeys.size() != b.subkeys.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.values.size(); ++i) {
        const auto& x = a.values[i];
        const auto& y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.subkeys.size(); ++i) {
        if (!same_tree(*a.subkeys[i], *b.subkeys[i])) {
            return false;
        }
    }
    return true;
}

void check(const std::vector<BYTE>& bytes) {
    std::string error;
    const auto parsed = platform::registry::parse(bytes, error);
    if (!parsed) {
        if (error.empty()) {
            fuzz::fail("a refused hive without a reason");
        }
        return;
    }
    const auto again = platform::registry::parse(
        platform::registry::serialize(parsed->root, parsed->generation), error);
    if (!again || again->generation != parsed->generation ||
        !same_tree(again->root, parsed->root)) {
        fuzz::fail("a parsed hive does not serialise back");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<BYTE> bytes(data, data + size);
    check(bytes);
    // Once more with the payload size and checksum made to fit, so that mutations reach the
    // key and value parser behind the checksum.
    constexpr std::size_t kSizeAt = 20;
    constexpr std::size_t kCrcAt = 24;
    if (bytes.size() >= platform::registry::kHeaderSize) {
        const std::size_t n = bytes.size() - platform::registry::kHeaderSize;
        const std::uint32_t crc =
            platform::registry::crc32(bytes.data() + platform::registry::kHeaderSize, n);
        for (int i = 0; i < 4; ++i) {
            bytes[kSizeAt + std::size_t(i)] = BYTE(n >> (8 * i));
            bytes[kCrcAt + std::size_t(i)] = BYTE(crc >> (8 * i));
        }
        check(bytes);
    }
    return 0;
}
