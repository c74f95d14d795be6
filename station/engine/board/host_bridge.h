// The PCI host bridge seen through the board-control library: read at start, reported (and
// with `PciFix` its bits 1 and 2 set) by the second start-up stage, restored at shut-down.
#pragma once

#include "board_library.h"

#include <cstdint>

namespace station {

struct BaseState;

struct HostBridge {
    bool BridgePresent = false;
    DWORD BridgeValue = 0;

    // With board control on: BridgePresent := TarvoIsBridge, and when present the value.
    void Read(const BoardLibrary& library);
    // Logs the bridge value (category 5); with `pci_fix` and bits 1 and 2 not both set, writes
    // the value with them set and logs that. Without a bridge only the "no bridge" line.
    void ReportAndFix(const BaseState& base, const BoardLibrary& library, bool pci_fix);
    // Writes the start value back when the bridge now holds another, and logs it.
    void Restore(const BaseState& base, const BoardLibrary& library);
};

} // namespace station
