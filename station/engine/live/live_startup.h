// The second start-up stage's step of the live engine: the chips whose drivers connected are
// the present ones.
#pragma once

#include "live_station.h"

namespace station {

// ChipPresent := DriverConnected for every chip. True when any chip is present.
bool TakePresentChips(LiveStation& live);

} // namespace station
