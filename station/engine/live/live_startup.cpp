#include "live_startup.h"

namespace station {

bool TakePresentChips(LiveStation& live) {
    bool any = false;
    for (int k = 1; k <= kChipCount; ++k) {
        ChipCapture& chip = live.Handoff.Chip(k);
        chip.ChipPresent = chip.DriverConnected;
        any = any || chip.ChipPresent;
    }
    return any;
}

} // namespace station
