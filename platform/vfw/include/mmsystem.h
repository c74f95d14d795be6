// The multimedia system's installable-driver services: loading a driver module and talking to
// its DriverProc, the driver's callback to its client, and the time record of stream positions.
#pragma once

#include "win32/types.h"

// Messages every installable driver answers in its DriverProc.
#define DRV_LOAD 0x0001u
#define DRV_ENABLE 0x0002u
#define DRV_OPEN 0x0003u
#define DRV_CLOSE 0x0004u
#define DRV_DISABLE 0x0005u
#define DRV_FREE 0x0006u
#define DRV_CONFIGURE 0x0007u
#define DRV_QUERYCONFIGURE 0x0008u
#define DRV_INSTALL 0x0009u
#define DRV_REMOVE 0x000Au
#define DRV_EXITSESSION 0x000Bu
#define DRV_POWER 0x000Fu
#define DRV_RESERVED 0x0800u
#define DRV_USER 0x4000u

// Answers of DRV_CONFIGURE, DRV_INSTALL and DRV_REMOVE.
#define DRVCNF_CANCEL 0x0000
#define DRVCNF_OK 0x0001
#define DRVCNF_RESTART 0x0002

// Callback kinds of DriverCallback (low bits of its flags) ...
#define DCB_NULL 0x0000u
#define DCB_WINDOW 0x0001u
#define DCB_TASK 0x0002u
#define DCB_FUNCTION 0x0003u
#define DCB_EVENT 0x0005u
#define DCB_TYPEMASK 0x0007u
#define DCB_NOSWITCH 0x0008u
// ... and the same kinds as clients pass them in open and stream-init flags (high word).
#define CALLBACK_TYPEMASK 0x00070000u
#define CALLBACK_NULL 0x00000000u
#define CALLBACK_WINDOW 0x00010000u
#define CALLBACK_TASK 0x00020000u
#define CALLBACK_THREAD CALLBACK_TASK
#define CALLBACK_FUNCTION 0x00030000u
#define CALLBACK_EVENT 0x00050000u

// Messages a driver sends its client through DriverCallback.
#define MM_DRVM_OPEN 0x03D0u
#define MM_DRVM_CLOSE 0x03D1u
#define MM_DRVM_DATA 0x03D2u
#define MM_DRVM_ERROR 0x03D3u

// Time formats of MMTIME.
#define TIME_MS 0x0001u
#define TIME_SAMPLES 0x0002u
#define TIME_BYTES 0x0004u
#define TIME_SMPTE 0x0008u
#define TIME_MIDI 0x0010u
#define TIME_TICKS 0x0020u

typedef struct mmtime_tag {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
        struct {
            BYTE hour;
            BYTE min;
            BYTE sec;
            BYTE frame;
            BYTE fps;
            BYTE dummy;
            BYTE pad[2];
        } smpte;
        struct {
            DWORD songptrpos;
        } midi;
    } u;
} MMTIME, *PMMTIME, *LPMMTIME;

static_assert(sizeof(MMTIME) == 12);

// A driver module's entry. The driver identifier is what DRV_OPEN answered (0 before it);
// pointer-sized, as a driver may answer an address.
typedef LRESULT(CALLBACK* DRIVERPROC)(DWORD_PTR dwDriverId, HDRVR hDriver, UINT uMsg,
                                      LPARAM lParam1, LPARAM lParam2);
// A function callback of DriverCallback (DCB_FUNCTION).
typedef void(CALLBACK* DRVCALLBACK)(HDRVR hdrvr, UINT uMsg, DWORD_PTR dwUser, DWORD_PTR dw1,
                                    DWORD_PTR dw2);

extern "C" {
// Opens a driver: szDriverName is a value of the registry key
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\<szSectionName> (default "Drivers32")
// naming the module file, or else the file name itself. A bare file name is loaded from the
// system directory. The first open of a module sends DRV_LOAD and DRV_ENABLE; every open sends
// DRV_OPEN(lParam1 0, lParam2) and fails when it answers 0. Each open has its own handle.
HDRVR WINAPI OpenDriver(LPCWSTR szDriverName, LPCWSTR szSectionName, LPARAM lParam2);
// DRV_CLOSE; after the module's last open DRV_DISABLE and DRV_FREE, then the module is unloaded.
// Answers what DRV_CLOSE answered (0 for an unknown handle).
LRESULT WINAPI CloseDriver(HDRVR hDriver, LPARAM lParam1, LPARAM lParam2);
// The driver's DriverProc with the identifier its DRV_OPEN gave; 0 for an unknown handle.
LRESULT WINAPI SendDriverMessage(HDRVR hDriver, UINT message, LPARAM lParam1, LPARAM lParam2);
// The default answers: 1 for DRV_LOAD, DRV_FREE, DRV_ENABLE and DRV_DISABLE, DRVCNF_OK for
// DRV_INSTALL and DRV_REMOVE, 0 for everything else (DRV_QUERYCONFIGURE: no configuration).
LRESULT WINAPI DefDriverProc(DWORD_PTR dwDriverIdentifier, HDRVR hdrvr, UINT uMsg, LPARAM lParam1,
                             LPARAM lParam2);
// The module a driver handle was opened from; also valid during the driver's DRV_LOAD.
HMODULE WINAPI GetDriverModuleHandle(HDRVR hDriver);
// Tells a client about an event. dwFlags (DCB_*): DCB_FUNCTION calls dwCallback as a
// DRVCALLBACK(hDevice, dwMsg, dwUser, dwParam1, dwParam2) on the calling thread; DCB_WINDOW
// posts dwMsg to the window dwCallback with wParam hDevice and lParam dwParam1; DCB_EVENT sets
// the event dwCallback. FALSE for a null callback, DCB_NULL, DCB_TASK (no thread queues here)
// or a window or event that does not exist.
BOOL WINAPI DriverCallback(DWORD_PTR dwCallback, DWORD dwFlags, HDRVR hDevice, DWORD dwMsg,
                           DWORD_PTR dwUser, DWORD_PTR dwParam1, DWORD_PTR dwParam2);
}
