// Device contexts over Qt paint targets, for DrawDibDraw. A PaintDC lends its handle for as long
// as it lives; drawing goes through the painter with its transform and clipping.
#pragma once

#include "win32/types.h"

class QImage;
class QPainter;

namespace platform {

class PaintDC {
public:
    // Draws with a painter the caller keeps active.
    explicit PaintDC(QPainter& painter);
    // Opens a painter of its own on `image` and ends it on destruction.
    explicit PaintDC(QImage& image);
    ~PaintDC();
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC hdc() const { return hdc_; }

private:
    QPainter* own_ = nullptr;
    HDC hdc_ = nullptr;
};

// The painter behind a device context, or null.
QPainter* painter_of(HDC hdc);

} // namespace platform
