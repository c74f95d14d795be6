// The rights check every protected operation asks before it runs or enables its control.
#pragma once

#include "access_state.h"
#include "base/base_state.h"

namespace station {

// The rights of the limited level read again from "net1.pdt"; a missing file clears them all.
void Status2Refresh(const BaseState& base, AccessState& access);

// Right n (1..20): always at full access; at limited access from "net1.pdt" as it is now;
// never while locked. A number outside 1..20 is never granted.
bool QuerryStatus(const BaseState& base, AccessState& access, int n);

} // namespace station
