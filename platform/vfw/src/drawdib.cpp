// DrawDib over Qt: the source rectangle is converted to 32-bit pixels at the destination size
// (nearest neighbour, so every pixel comes from exactly one source pixel) and drawn 1:1, through
// the painter behind a paint context or into the bitmap of a GDI memory context.
#include "vfw/drawdib.h"

#include "platform/gdi_recorder.h"
#include "platform/handles.h"
#include "platform/paint_dc.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

class DrawDibObject : public platform::KernelObject {};

// The colour of pixel x of a stored row, as 0xFFRRGGBB.
QRgb pixel(const BYTE* row, int x, WORD bits, const RGBQUAD* table, DWORD entries) {
    switch (bits) {
    case 8: {
        const BYTE i = row[x];
        if (i >= entries) {
            return qRgb(0, 0, 0);
        }
        return qRgb(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
    }
    case 16: {
        const unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
        const auto expand = [](unsigned v) { return static_cast<int>((v << 3) | (v >> 2)); };
        return qRgb(expand((w >> 10) & 31), expand((w >> 5) & 31), expand(w & 31));
    }
    case 24:
        return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default:
        return qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
}

// Copies the picture to (x, y) of a memory context's bitmap, cut to the bitmap, as GDI stores
// 32-bit pixels (blue, green, red, a zero byte).
void copy_to(const platform::gdi::Surface& s, int x, int y, const QImage& picture) {
    const int left = std::max(x, 0);
    const int right = std::min(x + picture.width(), s.width);
    const int top = std::max(y, 0);
    const int bottom = std::min(y + picture.height(), s.height);
    for (int row = top; row < bottom; ++row) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(row - y));
        const int stored = s.top_down ? row : s.height - 1 - row;
        BYTE* out = s.bits + static_cast<std::size_t>(stored) * s.stride;
        for (int col = left; col < right; ++col) {
            const QRgb c = in[col - x];
            BYTE* p = out + static_cast<std::size_t>(col) * 4;
            p[0] = static_cast<BYTE>(qBlue(c));
            p[1] = static_cast<BYTE>(qGreen(c));
            p[2] = static_cast<BYTE>(qRed(c));
            p[3] = 0;
        }
    }
}

} // namespace

extern "C" {

HDRAWDIB VFWAPI DrawDibOpen(void) {
    return platform::make_handle(std::make_shared<DrawDibObject>());
}

BOOL VFWAPI DrawDibClose(HDRAWDIB hdd) {
    if (!platform::lookup_handle_as<DrawDibObject>(hdd)) {
        return FALSE;
    }
    return platform::close_handle(hdd) ? TRUE : FALSE;
}

BOOL VFWAPI DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst,
                        LPBITMAPINFOHEADER lpbi, LPVOID lpBits, int xSrc, int ySrc, int dxSrc,
                        int dySrc, UINT) {
    QPainter* painter = platform::painter_of(hdc);
    const std::optional<platform::gdi::Surface> surface =
        painter != nullptr ? std::nullopt : platform::gdi::surface(hdc);
    if (!platform::lookup_handle_as<DrawDibObject>(hdd) || (!painter && !surface) || !lpbi ||
        !lpBits) {
        return FALSE;
    }
    const BITMAPINFOHEADER& h = *lpbi;
    const WORD bits = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32) || h.biWidth <= 0 ||
        h.biWidth > 32768 || h.biHeight == 0 || h.biHeight > 32768 || h.biHeight < -32768) {
        return FALSE;
    }
    const int width = h.biWidth;
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const bool bottom_up = h.biHeight > 0;
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    const auto* table =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(lpbi) + h.biSize);
    const DWORD entries =
        bits == 8 ? (h.biClrUsed == 0 ? 256 : std::min<DWORD>(h.biClrUsed, 256)) : 0;

    // The source rectangle, cut to the bitmap.
    const int x0 = std::max(xSrc, 0);
    const int y0 = std::max(ySrc, 0);
    const int x1 = std::min(xSrc + dxSrc, width);
    const int y1 = std::min(ySrc + dySrc, height);
    if (x1 <= x0 || y1 <= y0) {
        return FALSE;
    }
    const int sw = x1 - x0;
    const int sh = y1 - y0;
    const int dw = dxDst == -1 ? sw : dxDst;
    const int dh = dyDst == -1 ? sh : dyDst;
    if (dw <= 0 || dh <= 0 || dw > 32768 || dh > 32768) {
        return FALSE;
    }

    QImage picture(dw, dh, QImage::Format_RGB32);
    const auto* base = static_cast<const BYTE*>(lpBits);
    for (int dy = 0; dy < dh; ++dy) {
        // Nearest source pixel of the destination pixel's centre.
        const int sy = y0 + static_cast<int>((2LL * dy + 1) * sh / (2LL * dh));
        const int stored = bottom_up ? height - 1 - sy : sy;
        const BYTE* row = base + static_cast<std::size_t>(stored) * stride;
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(dy));
        for (int dx = 0; dx < dw; ++dx) {
            const int sx = x0 + static_cast<int>((2LL * dx + 1) * sw / (2LL * dw));
            out[dx] = pixel(row, sx, bits, table, entries);
        }
    }
    if (painter != nullptr) {
        painter->drawImage(QPoint(xDst, yDst), picture);
    } else {
        copy_to(*surface, xDst, yDst, picture);
    }
    return TRUE;
}
}
