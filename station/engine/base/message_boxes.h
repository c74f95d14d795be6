// The station's message boxes. Each runs its own message loop, so the station's timers go on
// while one is open; the station counts the boxes it has open so that a timer can hold back
// what must not happen under one (a scheduled configuration load).
#pragma once

#include <win32/dialogs.h>

namespace station {

// MessageBoxA, counted while it is open.
int StationMessageBox(HWND owner, const char* text, const char* caption, UINT type);

// The station's message boxes open now.
int OpenMessageBoxes();

} // namespace station
