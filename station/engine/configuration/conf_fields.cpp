#include "conf_fields.h"

namespace station {

bool ReadRangedInt(SettingsStream& s, std::int32_t& field, std::int32_t lo, std::int32_t hi,
                   std::int32_t fallback) {
    std::int32_t value = 0;
    if (!StreamReadInt(s, value)) {
        return false;
    }
    field = (value >= lo && value <= hi) ? value : fallback;
    return true;
}

bool ReadWindowPlace(SettingsStream& s, WindowPlace& place) {
    return StreamReadInt(s, place.Left) && StreamReadInt(s, place.Top) &&
           StreamReadInt(s, place.Height) && StreamReadInt(s, place.Width);
}

void WriteWindowPlace(SettingsStream& s, const WindowPlace& place) {
    StreamWriteInt(s, place.Left);
    StreamWriteInt(s, place.Top);
    StreamWriteInt(s, place.Height);
    StreamWriteInt(s, place.Width);
}

} // namespace station
