// A fresh virtual PC for one test, stepped by the test: installed as the process's machine on
// the manual clock, with the kernel's deferred calls run only when the test drains them and
// bug checks thrown as exceptions. At the end the kernel stand-in is reset (every driver
// unloaded), the machine dropped and the real clock back.
#pragma once

#include "manual_clock.h"

#include "machine/machine.h"

#include <cstdint>

namespace tolm_test {

class SteppedMachine {
public:
    explicit SteppedMachine(const machine::MachineConfig& config = {},
                            std::uint32_t start_ms = 100000);
    ~SteppedMachine();
    SteppedMachine(const SteppedMachine&) = delete;
    SteppedMachine& operator=(const SteppedMachine&) = delete;

    machine::Machine& hw() const { return machine::the_machine(); }
    const ScopedManualClock& clock() const { return clock_; }

private:
    ScopedManualClock clock_;
};

// A machine of boards with the given number of chips each, with or without the PCI bridge.
machine::MachineConfig BoardsOf(const std::vector<int>& chips_per_board, bool bridge = true);

} // namespace tolm_test
