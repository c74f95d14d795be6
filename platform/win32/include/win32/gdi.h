// GDI drawing as far as the system paints: solid brushes, selecting them into a device context,
// pattern fills. Nothing is drawn on a screen; a device context of the platform records what is
// painted into it (platform/gdi_recorder.h), so tests can check it.
#pragma once

#include "win32/gdi_types.h"
#include "win32/types.h"

TOLM_DECLARE_HANDLE(HBRUSH);
typedef void* HGDIOBJ;

#define RGB(r, g, b)                                                                               \
    (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                           (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define PALETTEINDEX(i) (static_cast<COLORREF>(0x01000000u | static_cast<WORD>(i)))
#define GetRValue(c) (static_cast<BYTE>(c))
#define GetGValue(c) (static_cast<BYTE>(static_cast<WORD>(c) >> 8))
#define GetBValue(c) (static_cast<BYTE>((c) >> 16))

// Raster operations of PatBlt.
#define PATCOPY 0x00F00021u

extern "C" {
// Null only when the platform's object table is exhausted.
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
// FALSE with ERROR_INVALID_HANDLE for an unknown object; stock objects are not deleted.
BOOL WINAPI DeleteObject(HGDIOBJ object);
// Selects a brush into the context and answers the one selected before (a context starts with
// the white stock brush); null for an unknown context or brush.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
// PATCOPY fills the rectangle with the selected brush; other operations give FALSE with
// ERROR_INVALID_PARAMETER. A negative width or height extends left or up.
BOOL WINAPI PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
// Fills the rectangle (right and bottom edges excluded) with `brush`; 0 on failure.
int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush);
}
