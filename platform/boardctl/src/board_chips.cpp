#include "board_chips.h"

#include "chip_registers.h"

#include <array>
#include <vector>

namespace boardctl {
namespace {

std::vector<bool> watched_decoder_registers() {
    std::vector<bool> watched(kDecoderRegisters, true);
    watched[kDstatus / 4] = false; // follows the video input by itself
    return watched;
}

} // namespace

Chip::Chip(int n) : number(n), registers(4, watched_decoder_registers()), program(4) {}

Chip* chip_at(long index) {
    static std::array<Chip, kChips> chips{Chip(0), Chip(1), Chip(2), Chip(3)};
    if (index < 0 || index >= kChips) {
        return nullptr;
    }
    return &chips[static_cast<std::size_t>(index)];
}

void note_own_writes(Chip& chip, std::initializer_list<std::uint32_t> offsets) {
    if (!chip.registers.taken()) {
        return;
    }
    std::uint32_t words[kAllRegisterWords];
    if (!chip.device.read_all_registers(words)) {
        return;
    }
    for (std::uint32_t offset : offsets) {
        if (offset / 4 < kDecoderRegisters) {
            chip.registers.update(offset / 4, words[offset / 4]);
        }
    }
}

} // namespace boardctl
