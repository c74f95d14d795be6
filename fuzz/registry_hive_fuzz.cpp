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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<BYTE> bytes(data, data + size);
    std::string error;
    const auto parsed = platform::registry::parse(bytes, error);
    if (!parsed) {
        if (error.empty()) {
            fuzz::fail("a refused hive without a reason");
        }
        return 0;
    }
    const auto again = platform::registry::parse(
        platform::registry::serialize(parsed->root, parsed->generation), error);
    if (!again || again->generation != parsed->generation ||
        !same_tree(again->root, parsed->root)) {
        fuzz::fail("a parsed hive does not serialise back");
    }
    return 0;
}
