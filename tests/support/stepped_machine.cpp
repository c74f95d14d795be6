#include "stepped_machine.h"

#include "platform/nt_kernel.h"

#include <memory>

namespace tolm_test {

SteppedMachine::SteppedMachine(const machine::MachineConfig& config, std::uint32_t start_ms)
    : clock_(start_ms) {
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Manual);
    platform::nt::throw_on_bugcheck();
    platform::nt::clear_unload_reports();
    platform::nt::clear_injected_faults();
    machine::install_machine(std::make_unique<machine::Machine>(config));
}

SteppedMachine::~SteppedMachine() {
    platform::nt::reset();
    platform::nt::drain_deferred();
    platform::nt::clear_injected_faults();
    platform::nt::set_bugcheck_handler({});
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Auto);
    machine::install_machine(nullptr);
}

machine::MachineConfig BoardsOf(const std::vector<int>& chips_per_board, bool bridge) {
    machine::MachineConfig config;
    config.boards.clear();
    for (const int chips : chips_per_board) {
        machine::BoardConfig board;
        board.chips.assign(static_cast<std::size_t>(chips), machine::ChipConfig{});
        config.boards.push_back(board);
    }
    config.bridge_fitted = bridge;
    return config;
}

} // namespace tolm_test
