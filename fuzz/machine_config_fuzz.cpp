// The machine description: any text either parses or is refused with a ConfigError.
#include "fuzz_target.h"
#include "machine/config.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const machine::MachineConfig cfg =
            machine::parse_config(std::string_view(reinterpret_cast<const char*>(data), size));
        (void)cfg;
    } catch (const machine::ConfigError&) {
    }
    return 0;
}
