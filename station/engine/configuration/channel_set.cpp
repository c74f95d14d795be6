#include "channel_set.h"

#include "conf_fields.h"
#include "settings/station_settings.h"

namespace station {

std::vector<std::uint8_t> EncodeChannelSet(const ChannelSet& set) {
    SettingsStream s;
    StreamWriteInt(s, kSettingsVersion);
    WriteFlags(s, set.Present);
    return s.bytes();
}

ChannelSet DecodeChannelSet(std::span<const std::uint8_t> bytes) {
    ChannelSet set;
    SettingsStream s({bytes.begin(), bytes.end()});
    std::int32_t version = 0;
    if (StreamReadInt(s, version)) {
        ReadFlags(s, set.Present);
    }
    return set;
}

} // namespace station
