#include "detector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace station {

namespace {

constexpr int kGridSide = 10;

// Differences of dark pixels (below t1) are divided by 3, of mid-dark ones (below t2) by 2.
struct BrightnessRange {
    int t1 = 0;
    int t2 = 0;
};

// The 10 x 10 grid samples at (W * k / 11, H * j / 11), rows j outer, columns k inner.
void ReadGrid(const FrameFormat& format, const std::uint8_t* pixels,
              std::array<int, kGridSampleCount>& samples) {
    int c = 0;
    for (int j = 1; j <= kGridSide; ++j) {
        const int y = static_cast<int>(static_cast<std::int64_t>(format.Height) * j / 11);
        for (int k = 1; k <= kGridSide; ++k) {
            const int x = static_cast<int>(static_cast<std::int64_t>(format.Width) * k / 11);
            samples[c++] = FramePixelLuma(x, y, format, pixels);
        }
    }
}

// t1 = min + (max - min) / 10 and t2 = min + 4 (max - min) / 10, truncated: integer division
// gives exactly the truncation of the real-valued bounds.
BrightnessRange RangeOf(const std::array<int, kGridSampleCount>& samples) {
    const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
    const int spread = *high - *low;
    return {*low + spread / 10, *low + spread * 4 / 10};
}

// Running noise estimate: the root mean square of the grid differences to the previous frame,
// dark ones reduced as above, leaving out differences of 3 sigma + 2 or more.
void UpdateNoise(DetectionFields& f, const std::array<int, kGridSampleCount>& samples,
                 BrightnessRange range) {
    const double limit = 3.0 * f.NoiseSigma + 2.0;
    double sum = 0.0;
    int count = 0;
    for (int c = 0; c < kGridSampleCount; ++c) {
        const int luma = samples[c];
        double d = static_cast<double>(f.GridLuma[c]) - luma;
        if (luma < range.t1) {
            d /= 3.0;
        } else if (luma < range.t2) {
            d /= 2.0;
        }
        if (std::fabs(d) < limit) {
            sum += d * d;
            ++count;
        }
        f.GridLuma[c] = luma;
    }
    if (count > 0) {
        f.NoiseSigma = std::sqrt(sum / count);
    }
}

// Steps through the points: samples each, keeps the changed ones that pass the edge filter.
void SamplePoints(DetectionFields& f, std::int32_t pointCount, const FrameFormat& format,
                  const std::uint8_t* pixels, BrightnessRange range, double g) {
    const double edge = g / 1.5;
    const int w = format.Width;
    const int h = format.Height;
    const bool fullHeight = w == 768 && h == 576; // read points on odd rows
    const int step = h >= 576 ? 2 : 1;

    f.ZoneMinX = 999;
    f.ZoneMinY = 999;
    f.ZoneMaxX = 0;
    f.ZoneMaxY = 0;
    for (std::int32_t i = 0; i < pointCount; ++i) {
        // Coordinates may come from a settings file: keep them on the picture.
        const std::int32_t px = std::clamp(f.PointX[i], 0, 999);
        const std::int32_t py = std::clamp(f.PointY[i], 0, 999);
        const int x = PerMilleToPixel(w, px);
        int y = PerMilleToPixel(h, py);
        if (fullHeight && y > 0 && y % 2 == 0) {
            --y;
        }
        const int luma = FramePixelLuma(x, y, format, pixels);
        std::int64_t a = std::llabs(static_cast<std::int64_t>(f.PrevLuma[i]) - luma);
        if (luma < range.t1) {
            a /= 3;
        } else if (luma < range.t2) {
            a /= 2;
        }
        f.PrevLuma[i] = luma;
        if (!(static_cast<double>(a) > g)) {
            continue;
        }
        if (f.EdgeFilter != 0 && y - step > 0 && y + step < h - 1) {
            const int above = FramePixelLuma(x, y - step, format, pixels);
            const int below = FramePixelLuma(x, y + step, format, pixels);
            if (std::abs(luma - above) > edge || std::abs(luma - below) > edge) {
                continue;
            }
        }
        f.ChangesFound = 1;
        f.ChangedX[f.ChangedCount] = px;
        f.ChangedY[f.ChangedCount] = py;
        ++f.ChangedCount;
        f.ZoneMinX = std::min(f.ZoneMinX, px);
        f.ZoneMaxX = std::max(f.ZoneMaxX, px);
        f.ZoneMinY = std::min(f.ZoneMinY, py);
        f.ZoneMaxY = std::max(f.ZoneMaxY, py);
    }
}

} // namespace

void Find(DetectionFields& f, const FrameFormat& format, std::span<const std::uint8_t> pixels,
          ObjectSearch& search) {
    f.ChangesFound = 0;
    f.ChangedCount = 0;

    // A count from a settings file is kept within the arrays.
    const std::int32_t pointCount = std::clamp(f.PointCount, 0, kMaxDetectionPoints);
    if (pointCount > 0 && FrameFits(format, pixels.size())) {
        std::array<int, kGridSampleCount> samples;
        ReadGrid(format, pixels.data(), samples);
        const BrightnessRange range = RangeOf(samples);
        double g = f.Threshold;
        if (f.SigmaMode != 0) {
            UpdateNoise(f, samples, range);
            g = f.NoiseSigma * f.SigmaFactor;
            if (f.Threshold > g) {
                g = f.Threshold;
            }
        }
        SamplePoints(f, pointCount, format, pixels.data(), range, g);
    }

    f.ObjectFound = 0;
    if (f.ChangedCount >= f.ObjectPoints && f.ChangedCount > 0) {
        const std::int32_t winner = search.Run(f.ChangedX.data(), f.ChangedY.data(), f.ChangedCount,
                                               f.ObjectPoints, f.ObjectSize);
        if (winner >= 0) {
            f.ObjectFound = 1;
            f.ObjectX = f.ChangedX[winner];
            f.ObjectY = f.ChangedY[winner];
        }
    }

    // The first detection with an object in the window's life is dropped.
    if (f.ChangesFound != 0 && f.ObjectFound != 0 && f.DropFirst != 0) {
        f.DropFirst = 0;
        f.ChangesFound = 0;
    }

    if (f.ChangesFound != 0 && f.ObjectFound != 0) {
        f.FrameCount = f.FrameCount >= kMaxFrameCount ? kMaxFrameCount : f.FrameCount + 1;
    } else {
        f.FrameCount = 0;
    }
}

} // namespace station
