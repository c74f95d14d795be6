// The watchdog's snapshots of the decoder registers and of the DMA program, and their
// comparisons.
#include "board_chips.h"
#include "chip_registers.h"
#include "export.h"

#include "tarvovfw/tarvovfw.h"

#include <array>
#include <vector>

namespace boardctl {
namespace {

constexpr std::size_t kRegisterEntries = 16;
constexpr std::size_t kProgramEntries = 4096;

// The snapshot takes `words` when they were read, and holds nothing otherwise.
void take_or_forget(WordSnapshot& snapshot, bool read, std::span<const std::uint32_t> words) {
    if (read) {
        snapshot.take(words);
    } else {
        snapshot.forget();
    }
}

SHORT report(std::span<const WordDifference> found, LONG* addresses, LONG* old_values,
             LONG* new_values) {
    for (std::size_t i = 0; i < found.size(); ++i) {
        addresses[i] = static_cast<LONG>(found[i].address);
        old_values[i] = static_cast<LONG>(found[i].old_value);
        new_values[i] = static_cast<LONG>(found[i].new_value);
    }
    return static_cast<SHORT>(found.size());
}

} // namespace
} // namespace boardctl

using namespace boardctl;

TARVO_EXPORT void WINAPI TarvoReadAllRegs(LONG chip) {
    on_chip(chip, 0, [](Chip& c) {
        std::uint32_t r[kAllRegisterWords];
        const bool read = c.device.read_all_registers(r);
        take_or_forget(c.registers, read, std::span<const std::uint32_t>(r, kDecoderRegisters));
        return 0;
    });
}

TARVO_EXPORT SHORT WINAPI TarvoCompareRegs(LONG* addresses, LONG* old_values, LONG* new_values,
                                           LONG chip) {
    if (addresses == nullptr || old_values == nullptr || new_values == nullptr) {
        return 0;
    }
    return on_chip(chip, SHORT(0), [&](Chip& c) -> SHORT {
        std::uint32_t r[kAllRegisterWords];
        if (!c.registers.taken() || !c.device.read_all_registers(r)) {
            return 0;
        }
        std::array<WordDifference, kRegisterEntries> found{};
        const std::size_t n =
            c.registers.compare(std::span<const std::uint32_t>(r, kDecoderRegisters), found);
        return report(std::span(found.data(), n), addresses, old_values, new_values);
    });
}

TARVO_EXPORT void WINAPI TarvoReadRisc(LONG chip) {
    on_chip(chip, 0, [](Chip& c) {
        std::vector<std::uint32_t> words(kRiscWords);
        const bool read = c.device.read_risc(words);
        take_or_forget(c.program, read, words);
        return 0;
    });
}

TARVO_EXPORT SHORT WINAPI TarvoCompareRisc(LONG* addresses, LONG* old_values, LONG* new_values,
                                           LONG chip) {
    if (addresses == nullptr || old_values == nullptr || new_values == nullptr) {
        return 0;
    }
    return on_chip(chip, SHORT(0), [&](Chip& c) -> SHORT {
        std::vector<std::uint32_t> words(kRiscWords);
        if (!c.program.taken() || !c.device.read_risc(words)) {
            return 0;
        }
        std::vector<WordDifference> found(kProgramEntries);
        const std::size_t n = c.program.compare(words, found);
        return report(std::span(found.data(), n), addresses, old_values, new_values);
    });
}
