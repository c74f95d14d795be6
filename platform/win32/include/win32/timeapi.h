// The multimedia timer service: the platform clock's millisecond tick.
#pragma once

#include "win32/types.h"

typedef UINT MMRESULT;

#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u

extern "C" {
DWORD WINAPI timeGetTime();
// Periods 1 to 1000000 ms are accepted; the platform clock always has 1 ms resolution, so the
// request changes nothing. Other periods give TIMERR_NOCANDO.
MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
MMRESULT WINAPI timeEndPeriod(UINT uPeriod);
}
