// Opening and closing the three capture channels of a copy, and the device instance they share.
#pragma once

#include "driver_state.h"

namespace tarvovfw {

// The channel identifier, or 0 with the open parameters' error field set.
LRESULT open_capture_channel(DriverNameRecord& name, VIDEO_OPEN_PARMS& parms, int device);
// 1 when the channel was open, else 0 (nothing is released then).
LRESULT release_channel(DWORD channel);

} // namespace tarvovfw
