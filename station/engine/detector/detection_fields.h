// The detection fields of a camera window: the detector's settings, the state it keeps between
// frames and the results of the last frame. The camera window holds one of these; the settings
// dialog edits the settings in place, the overlays and the alarm actions read the results.
// Arrays are indexed from 0 (point 1 is entry 0). Coordinates are per mille, 0 to 999.
#pragma once

#include <array>
#include <cstdint>

namespace station {

inline constexpr std::int32_t kMaxDetectionPoints = 10000;
inline constexpr int kGridSampleCount = 100; // 10 x 10 samples of the brightness grid
inline constexpr std::int32_t kMaxFrameCount = 100;

struct DetectionFields {
    // Settings.
    std::int32_t PointCount = 0; // 0 to kMaxDetectionPoints
    std::array<std::int32_t, kMaxDetectionPoints> PointX{};
    std::array<std::int32_t, kMaxDetectionPoints> PointY{};
    std::uint8_t SigmaMode = 1; // threshold from the noise estimate (1) or fixed (0)
    double SigmaFactor = 5.0;   // threshold in units of the noise sigma
    std::int32_t Threshold = 44;
    std::uint8_t EdgeFilter = 1;
    std::int32_t ObjectPoints = 6;
    std::int32_t ObjectSize = 55; // per mille
    std::int32_t FindFrames = 1;

    // State kept between frames.
    std::array<std::int32_t, kMaxDetectionPoints> PrevLuma{};
    std::array<std::int32_t, kGridSampleCount> GridLuma{};
    double NoiseSigma = 0.0;
    std::uint8_t DropFirst = 1;
    std::int32_t FrameCount = 0; // 0 to kMaxFrameCount

    // Results of the last frame.
    std::uint8_t ChangesFound = 0;
    std::int32_t ChangedCount = 0;
    std::array<std::int32_t, kMaxDetectionPoints> ChangedX{};
    std::array<std::int32_t, kMaxDetectionPoints> ChangedY{};
    std::int32_t ZoneMinX = 0;
    std::int32_t ZoneMaxX = 0;
    std::int32_t ZoneMinY = 0;
    std::int32_t ZoneMaxY = 0;
    std::uint8_t ObjectFound = 0;
    std::int32_t ObjectX = 0;
    std::int32_t ObjectY = 0;
};

// The detection alarm every alarm action uses: changes with an object in at least FindFrames
// consecutive frames.
inline bool DetectionAlarm(const DetectionFields& fields) {
    return fields.ChangesFound != 0 && fields.ObjectFound != 0 &&
           fields.FrameCount >= fields.FindFrames;
}

} // namespace station
