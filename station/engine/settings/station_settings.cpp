#include "station_settings.h"

namespace station {
namespace {

void put_u32(SettingsStream& s, std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 24)};
    s.append(b, 4);
}

std::uint32_t get_u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

} // namespace

void SettingsStream::append(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
}

const std::uint8_t* SettingsStream::take(std::size_t n) {
    if (failed_ || bytes_.size() - pos_ < n) {
        failed_ = true;
        return nullptr;
    }
    const std::uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
}

void StreamWriteInt(SettingsStream& s, std::int32_t value) {
    put_u32(s, static_cast<std::uint32_t>(value));
}

void StreamWriteBool(SettingsStream& s, bool value) {
    const std::uint8_t b = value ? 1 : 0;
    s.append(&b, 1);
}

void StreamWriteStr(SettingsStream& s, std::string_view text) {
    StreamWriteInt(s, static_cast<std::int32_t>(text.size()));
    for (const char c : text) {
        put_u32(s, static_cast<unsigned char>(c));
    }
}

bool StreamReadInt(SettingsStream& s, std::int32_t& value) {
    const std::uint8_t* p = s.take(4);
    if (!p) {
        return false;
    }
    value = static_cast<std::int32_t>(get_u32(p));
    return true;
}

bool StreamReadInt16(SettingsStream& s, std::int16_t& value) {
    std::int32_t wide = 0;
    if (!StreamReadInt(s, wide)) {
        return false;
    }
    value = static_cast<std::int16_t>(static_cast<std::uint16_t>(wide & 0xFFFF));
    return true;
}

bool StreamReadBool(SettingsStream& s, bool& value) {
    const std::uint8_t* p = s.take(1);
    if (!p) {
        return false;
    }
    value = *p == 1;
    return true;
}

bool StreamReadStr(SettingsStream& s, std::string& value) {
    std::int32_t count = 0;
    if (!StreamReadInt(s, count)) {
        return false;
    }
    // A count that is negative or promises more characters than are left ends the data.
    if (count < 0 || static_cast<std::size_t>(count) > s.remaining() / 4) {
        s.fail();
        return false;
    }
    std::string text(static_cast<std::size_t>(count), '\0');
    for (char& c : text) {
        c = static_cast<char>(s.take(4)[0]);
    }
    value = std::move(text);
    return true;
}

} // namespace station
