// The entry point of a windowed program. The platform's start-up code (platform/qtui's
// tolm_qt_winmain) starts the window system, then calls the program's WinMain; the program
// ends with its result.
#pragma once

#include "win32/types.h"
#include "win32/window.h"

// Defined by the program. `command_line` holds the arguments after the program name, joined by
// blanks; `previous` is always null.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);
