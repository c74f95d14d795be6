// The change and motion detector of one camera window, run once for every frame the window is
// given. It samples the frame at the window's detection points, compares each with its value in
// the previous frame against a threshold scaled by a running noise estimate, drops changes on
// horizontal edges, looks for an object among the changed points and counts the consecutive
// frames with one. The results land in the window's detection fields.
#pragma once

#include "detection_fields.h"
#include "detector_object.h"
#include "base/frame_pixels.h"

#include <cstdint>
#include <span>

namespace station {

// Runs the detector on one frame. `pixels` is the frame as received; a frame whose format is not
// known (depth, 16-bit marker) or whose bytes do not hold it is not examined: it counts as a
// frame without changes. `search` is working memory and may be shared between windows.
void Find(DetectionFields& fields, const FrameFormat& format, std::span<const std::uint8_t> pixels,
          ObjectSearch& search);

} // namespace station
