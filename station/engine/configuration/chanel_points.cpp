#include "chanel_points.h"

#include "settings/station_settings.h"

namespace station {

std::vector<std::uint8_t> EncodeChanelPoints(const ChanelPoints& points) {
    SettingsStream s;
    for (int k = 0; k < kMaxDetectionPoints; ++k) {
        StreamWriteInt(s, points.X[k]);
        StreamWriteInt(s, points.Y[k]);
    }
    return s.bytes();
}

ChanelPoints DecodeChanelPoints(std::span<const std::uint8_t> bytes) {
    ChanelPoints points;
    SettingsStream s({bytes.begin(), bytes.end()});
    for (int k = 0; k < kMaxDetectionPoints; ++k) {
        if (!StreamReadInt(s, points.X[k]) || !StreamReadInt(s, points.Y[k])) {
            break;
        }
    }
    return points;
}

} // namespace station
