// Message boxes and beeps. They reach the operator through the installed user-interface sink
// (platform/ui_sink.h): the program installs its window-system one, tests a recorder.
#pragma once

#include "win32/types.h"

// Buttons (MB_TYPEMASK).
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
// Icons (MB_ICONMASK); also the sounds of MessageBeep.
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
// Default button (MB_DEFMASK).
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFBUTTON4 0x00000300u
#define MB_DEFMASK 0x00000F00u
// Modality and placement.
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

// Answers of MessageBoxA.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

extern "C" {
// Texts are CP1251. A null caption reads "Error". Answers the button pressed.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Plays the sound of an icon type (or 0xFFFFFFFF, the simple beep); does not wait.
BOOL WINAPI MessageBeep(UINT type);
// A tone of `frequency` Hz; returns after `duration` ms on the platform clock.
BOOL WINAPI Beep(DWORD frequency, DWORD duration);
}
