// GDI drawing as far as the system paints: solid brushes, selecting them into a device context,
// pattern fills, memory device contexts with 32-bit device-independent bitmaps selected. Nothing
// is drawn on a screen; a device context of the platform records what is painted into it
// (platform/gdi_recorder.h), so tests can check it, and fills reach the pixels of a bitmap
// selected into a memory context.
#pragma once

#include "win32/gdi_types.h"
#include "win32/types.h"

TOLM_DECLARE_HANDLE(HBRUSH);
TOLM_DECLARE_HANDLE(HBITMAP);
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

// Colour tables of CreateDIBSection.
#define DIB_RGB_COLORS 0u

extern "C" {
// Null only when the platform's object table is exhausted.
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
// FALSE with ERROR_INVALID_HANDLE for an unknown object; stock objects are not deleted, nor is a
// bitmap selected into a context (FALSE).
BOOL WINAPI DeleteObject(HGDIOBJ object);
// Selects a brush, or a bitmap into a memory context, and answers the object of that kind
// selected before (a context starts with the white stock brush, a memory context with a stock
// bitmap); null for an unknown context or object, a bitmap into a context that is not a memory
// one, or a bitmap selected into another context.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
// A memory device context (`dc` null or a known context); null with ERROR_INVALID_HANDLE
// otherwise. Free it with DeleteDC.
HDC WINAPI CreateCompatibleDC(HDC dc);
// Frees a memory context (its bitmap is selected out); FALSE for an unknown one.
BOOL WINAPI DeleteDC(HDC dc);
// A device-independent bitmap of the header's size, its pixels zeroed, their address in `*bits`.
// Only 32-bit BI_RGB bitmaps with DIB_RGB_COLORS and no section; null with
// ERROR_INVALID_PARAMETER otherwise.
HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                HANDLE section, DWORD offset);
// PATCOPY fills the rectangle with the selected brush; other operations give FALSE with
// ERROR_INVALID_PARAMETER. A negative width or height extends left or up.
BOOL WINAPI PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
// Fills the rectangle (right and bottom edges excluded) with `brush`; 0 on failure.
int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush);
}
