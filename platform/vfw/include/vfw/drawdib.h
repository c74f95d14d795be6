// DrawDib: draws device-independent bitmaps, scaled, into a device context. Here a device
// context is a Qt paint target (platform/paint_dc.h); the implementation is the library
// tolm_drawdib.
#pragma once

#include "win32/gdi_types.h"
#include "win32/types.h"

#ifndef VFWAPI
#define VFWAPI WINAPI
#define VFWAPIV
#endif

typedef HANDLE HDRAWDIB;

// DrawDibDraw flags. Accepted; drawing is the same with every flag.
#define DDF_UPDATE 0x0002u
#define DDF_SAME_HDC 0x0004u
#define DDF_SAME_DRAW 0x0008u
#define DDF_DONTDRAW 0x0010u
#define DDF_ANIMATE 0x0020u
#define DDF_BUFFER 0x0040u
#define DDF_JUSTDRAWIT 0x0080u
#define DDF_FULLSCREEN 0x0100u
#define DDF_BACKGROUNDPAL 0x0200u
#define DDF_NOTKEYFRAME 0x0400u
#define DDF_HURRYUP 0x0800u
#define DDF_HALFTONE 0x1000u

extern "C" {
HDRAWDIB VFWAPI DrawDibOpen(void);
BOOL VFWAPI DrawDibClose(HDRAWDIB hdd);
// Draws the source rectangle (xSrc, ySrc, dxSrc, dySrc; y counted from the top of the picture
// as shown) of the bitmap lpbi / lpBits into (xDst, yDst, dxDst, dyDst) of hdc, scaled by
// nearest neighbour. dxDst or dyDst -1: the source width or height. lpbi: BI_RGB with 8 bits
// (colour table after the header, biClrUsed entries or 256), 16 (5:5:5), 24 or 32 bits per
// pixel; rows padded to 4 bytes, bottom-up for a positive biHeight. The source rectangle is
// cut to the bitmap. FALSE for an unknown handle or device context, another format, or
// nothing left to draw.
BOOL VFWAPI DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst,
                        LPBITMAPINFOHEADER lpbi, LPVOID lpBits, int xSrc, int ySrc, int dxSrc,
                        int dySrc, UINT wFlags);
}
