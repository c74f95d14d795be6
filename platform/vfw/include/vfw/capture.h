// The capture layer: capture windows, their messages, records and callbacks, and the
// description of registered capture drivers.
// 64-bit rule: CAPSTATUS and CAPDRIVERCAPS hold handles, so they are wider than their 32-bit
// layouts (76 and 44 bytes); CAPTUREPARMS holds none and keeps its 96 bytes.
#pragma once

#include "msvideo.h"
#include "win32/gdi_types.h"
#include "win32/window.h"
#include "win32/types.h"

#ifndef VFWAPI
#define VFWAPI WINAPI
#define VFWAPIV
#endif

// Capture-window messages.
#define WM_CAP_START WM_USER
#define WM_CAP_SET_CALLBACK_ERRORA (WM_CAP_START + 2)
#define WM_CAP_SET_CALLBACK_ERROR WM_CAP_SET_CALLBACK_ERRORA
#define WM_CAP_SET_CALLBACK_YIELD (WM_CAP_START + 4)
#define WM_CAP_SET_CALLBACK_VIDEOSTREAM (WM_CAP_START + 6)
#define WM_CAP_DRIVER_CONNECT (WM_CAP_START + 10)
#define WM_CAP_DRIVER_DISCONNECT (WM_CAP_START + 11)
#define WM_CAP_DRIVER_GET_CAPS (WM_CAP_START + 14)
#define WM_CAP_DLG_VIDEOFORMAT (WM_CAP_START + 41)
#define WM_CAP_DLG_VIDEOSOURCE (WM_CAP_START + 42)
#define WM_CAP_DLG_VIDEODISPLAY (WM_CAP_START + 43)
#define WM_CAP_GET_VIDEOFORMAT (WM_CAP_START + 44)
#define WM_CAP_SET_VIDEOFORMAT (WM_CAP_START + 45)
#define WM_CAP_SET_PREVIEW (WM_CAP_START + 50)
#define WM_CAP_SET_OVERLAY (WM_CAP_START + 51)
#define WM_CAP_GET_STATUS (WM_CAP_START + 54)
#define WM_CAP_SEQUENCE_NOFILE (WM_CAP_START + 63)
#define WM_CAP_SET_SEQUENCE_SETUP (WM_CAP_START + 64)
#define WM_CAP_GET_SEQUENCE_SETUP (WM_CAP_START + 65)
#define WM_CAP_STOP (WM_CAP_START + 68)

// Error numbers given to the error callback.
#define IDS_CAP_OUTOFMEM 402
#define IDS_CAP_DRIVER_ERROR 418
#define IDS_CAP_VIDEO_OPEN_ERROR 424
#define IDS_CAP_VIDEO_ALLOC_ERROR 425
#define IDS_CAP_VIDEO_PREPARE_ERROR 426
#define IDS_CAP_VIDEO_ADD_ERROR 427

// WM_CAP_GET_STATUS. 80 bytes (32-bit: 76).
typedef struct tagCapStatus {
    UINT uiImageWidth;
    UINT uiImageHeight;
    BOOL fLiveWindow;
    BOOL fOverlayWindow;
    BOOL fScale;
    POINT ptScroll;
    BOOL fUsingDefaultPalette;
    BOOL fAudioHardware;
    BOOL fCapFileExists;
    DWORD dwCurrentVideoFrame;
    DWORD dwCurrentVideoFramesDropped;
    DWORD dwCurrentWaveSamples;
    DWORD dwCurrentTimeElapsedMS;
    HPALETTE hPalCurrent;
    BOOL fCapturingNow;
    DWORD dwReturn;
    UINT wNumVideoAllocated;
    UINT wNumAudioAllocated;
} CAPSTATUS, *PCAPSTATUS, *LPCAPSTATUS;

// WM_CAP_GET_SEQUENCE_SETUP / WM_CAP_SET_SEQUENCE_SETUP. 96 bytes.
typedef struct tagCaptureParms {
    DWORD dwRequestMicroSecPerFrame;
    BOOL fMakeUserHitOKToCapture;
    UINT wPercentDropForError;
    BOOL fYield;
    DWORD dwIndexSize;
    UINT wChunkGranularity;
    BOOL fUsingDOSMemory;
    UINT wNumVideoRequested;
    BOOL fCaptureAudio;
    UINT wNumAudioRequested;
    UINT vKeyAbort;
    BOOL fAbortLeftMouse;
    BOOL fAbortRightMouse;
    BOOL fLimitEnabled;
    UINT wTimeLimit;
    BOOL fMCIControl;
    BOOL fStepMCIDevice;
    DWORD dwMCIStartTime;
    DWORD dwMCIStopTime;
    BOOL fStepCaptureAt2x;
    UINT wStepCaptureAverageFrames;
    DWORD dwAudioBufferSize;
    BOOL fDisableWriteCache;
    UINT AVStreamMaster;
} CAPTUREPARMS, *PCAPTUREPARMS, *LPCAPTUREPARMS;

// WM_CAP_DRIVER_GET_CAPS. 64 bytes (32-bit: 44).
typedef struct tagCapDriverCaps {
    UINT wDeviceIndex;
    BOOL fHasOverlay;
    BOOL fHasDlgVideoSource;
    BOOL fHasDlgVideoFormat;
    BOOL fHasDlgVideoDisplay;
    BOOL fCaptureInitialized;
    BOOL fDriverSuppliesPalettes;
    HANDLE hVideoIn;
    HANDLE hVideoOut;
    HANDLE hVideoExtIn;
    HANDLE hVideoExtOut;
} CAPDRIVERCAPS, *PCAPDRIVERCAPS, *LPCAPDRIVERCAPS;

static_assert(sizeof(CAPSTATUS) == (sizeof(void*) == 8 ? 80 : 76));
static_assert(sizeof(CAPTUREPARMS) == 96);
static_assert(sizeof(CAPDRIVERCAPS) == (sizeof(void*) == 8 ? 64 : 44));

// Callbacks, set with WM_CAP_SET_CALLBACK_*; lParam the function, null to remove it.
typedef LRESULT(CALLBACK* CAPYIELDCALLBACK)(HWND hWnd);
typedef LRESULT(CALLBACK* CAPERRORCALLBACKA)(HWND hWnd, int nID, LPCSTR lpsz);
typedef LRESULT(CALLBACK* CAPVIDEOCALLBACK)(HWND hWnd, LPVIDEOHDR lpVHdr);

extern "C" {
// A capture window; no driver is connected yet. It draws nothing (it has no surface of its
// own); WS_VISIBLE and the placement are kept for ShowWindow and SetWindowPos, the title,
// parent and id are not used.
HWND VFWAPI capCreateCaptureWindowA(LPCSTR lpszWindowName, DWORD dwStyle, int x, int y, int nWidth,
                                    int nHeight, HWND hwndParent, int nID);
// The capture driver registered in slot wDriverIndex (0 to 9: the Drivers32 values "MSVIDEO"
// and "MSVIDEO1" to "MSVIDEO9"): its version information's FileDescription as the name, its
// FileVersion text (or the file version as "a.b.c.d") as the version. Texts are cut to the
// buffer sizes (in bytes, terminating zero included). FALSE when nothing usable is registered.
BOOL VFWAPI capGetDriverDescriptionA(UINT wDriverIndex, LPSTR lpszName, int cbName, LPSTR lpszVer,
                                     int cbVer);
}

// The messages as calls.
inline LRESULT capSendMessage(HWND w, UINT m, WPARAM wp, const void* lp) {
    return SendMessageA(w, m, wp, reinterpret_cast<LPARAM>(lp));
}
inline BOOL capSetCallbackOnError(HWND w, CAPERRORCALLBACKA fn) {
    return static_cast<BOOL>(
        SendMessageA(w, WM_CAP_SET_CALLBACK_ERRORA, 0, reinterpret_cast<LPARAM>(fn)));
}
inline BOOL capSetCallbackOnYield(HWND w, CAPYIELDCALLBACK fn) {
    return static_cast<BOOL>(
        SendMessageA(w, WM_CAP_SET_CALLBACK_YIELD, 0, reinterpret_cast<LPARAM>(fn)));
}
inline BOOL capSetCallbackOnVideoStream(HWND w, CAPVIDEOCALLBACK fn) {
    return static_cast<BOOL>(
        SendMessageA(w, WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, reinterpret_cast<LPARAM>(fn)));
}
inline BOOL capDriverConnect(HWND w, WPARAM index) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_DRIVER_CONNECT, index, 0));
}
inline BOOL capDriverDisconnect(HWND w) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_DRIVER_DISCONNECT, 0, 0));
}
inline BOOL capDriverGetCaps(HWND w, CAPDRIVERCAPS* caps, WPARAM size) {
    return static_cast<BOOL>(capSendMessage(w, WM_CAP_DRIVER_GET_CAPS, size, caps));
}
inline BOOL capDlgVideoFormat(HWND w) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_DLG_VIDEOFORMAT, 0, 0));
}
inline BOOL capDlgVideoSource(HWND w) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_DLG_VIDEOSOURCE, 0, 0));
}
inline BOOL capDlgVideoDisplay(HWND w) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_DLG_VIDEODISPLAY, 0, 0));
}
// Bytes of the format; with size 0 and no buffer the size the format needs.
inline DWORD capGetVideoFormatSize(HWND w) {
    return static_cast<DWORD>(SendMessageA(w, WM_CAP_GET_VIDEOFORMAT, 0, 0));
}
inline DWORD capGetVideoFormat(HWND w, void* format, WPARAM size) {
    return static_cast<DWORD>(capSendMessage(w, WM_CAP_GET_VIDEOFORMAT, size, format));
}
inline BOOL capSetVideoFormat(HWND w, const void* format, WPARAM size) {
    return static_cast<BOOL>(capSendMessage(w, WM_CAP_SET_VIDEOFORMAT, size, format));
}
inline BOOL capPreview(HWND w, BOOL on) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_SET_PREVIEW, static_cast<WPARAM>(on), 0));
}
inline BOOL capOverlay(HWND w, BOOL on) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_SET_OVERLAY, static_cast<WPARAM>(on), 0));
}
inline BOOL capGetStatus(HWND w, CAPSTATUS* status, WPARAM size) {
    return static_cast<BOOL>(capSendMessage(w, WM_CAP_GET_STATUS, size, status));
}
inline BOOL capCaptureSequenceNoFile(HWND w) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_SEQUENCE_NOFILE, 0, 0));
}
inline BOOL capCaptureSetSetup(HWND w, const void* parms, WPARAM size) {
    return static_cast<BOOL>(capSendMessage(w, WM_CAP_SET_SEQUENCE_SETUP, size, parms));
}
inline BOOL capCaptureGetSetup(HWND w, void* parms, WPARAM size) {
    return static_cast<BOOL>(capSendMessage(w, WM_CAP_GET_SEQUENCE_SETUP, size, parms));
}
inline BOOL capCaptureStop(HWND w) {
    return static_cast<BOOL>(SendMessageA(w, WM_CAP_STOP, 0, 0));
}
