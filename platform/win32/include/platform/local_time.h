// The local date and time GetLocalTime answers: the host's, or one a test fixes.
#pragma once

#include "win32/sysinfo.h"

namespace platform::local_time {

// GetLocalTime answers `time` from now on (wDayOfWeek is taken as given).
void set_fixed(const SYSTEMTIME& time);
// Back to the host's local time.
void use_real();

} // namespace platform::local_time
