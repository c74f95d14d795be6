#include "user_settings.h"

#include "capture_formats.h"
#include "device_requests.h"
#include "stream_engine.h"

#include "win32/files.h"
#include "win32/handleapi.h"
#include "win32/errors.h"
#include "win32/registry.h"
#include "win32_owners/reg_key.h"
#include "win32_owners/unique_handle.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tarvovfw {
namespace {

std::string key_path(const DriverNameRecord& name, int index) {
    char path[160];
    std::snprintf(path, sizeof path,
                  "Software\\Microsoft\\Multimedia\\Video Capture\\%s\\Driver%ld", name.name,
                  static_cast<long>(index));
    return path;
}

// Field ranges of the three records, in file order after each size word.
struct Range {
    DWORD low;
    DWORD high;
};
constexpr Range kFormatRanges[] = {{0, 6}, {1, kMaxWidth}, {1, kMaxHeight}};
constexpr Range kSourceRanges[] = {{0, 255}, {0, 7}, {0, 3}, {0, 1}};
constexpr Range kColourRanges[] = {{0, 255}, {0, 255}, {0, 255}, {0, 0xFFFFFFFFu}};

void put(BYTE* at, DWORD v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<BYTE>(v >> (8 * i));
    }
}

DWORD get(const BYTE* at) {
    return DWORD(at[0]) | DWORD(at[1]) << 8 | DWORD(at[2]) << 16 | DWORD(at[3]) << 24;
}

void take(const BYTE* at, const Range& range, DWORD& field) {
    const DWORD v = get(at);
    if (v >= range.low && v <= range.high) {
        field = v;
    }
}

} // namespace

DWORD read_driver_setting(const DriverNameRecord& name, const char* value, DWORD fallback,
                          int index, DWORD low, DWORD high) {
    win32_owners::RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path(name, index).c_str(), 0, KEY_QUERY_VALUE,
                      key.out()) != ERROR_SUCCESS) {
        return fallback;
    }
    DWORD type = 0, data = 0, size = sizeof data;
    const LONG e =
        RegQueryValueExA(key.get(), value, nullptr, &type, reinterpret_cast<LPBYTE>(&data), &size);
    if (e != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data || data < low ||
        data > high) {
        return fallback;
    }
    return data;
}

bool write_driver_setting(const DriverNameRecord& name, const char* value, DWORD data, int index) {
    win32_owners::RegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path(name, index).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.out(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExA(key.get(), value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

void apply_device_settings(DeviceInstance& in) {
    const DriverNameRecord& n = *in.name;
    const int i = in.index;
    const auto read = [&](const char* value, DWORD fallback, const Range& r) {
        return read_driver_setting(n, value, fallback, i, r.low, r.high);
    };
    in.format.colorFormat = read("Format", 1, kFormatRanges[0]);
    in.format.width = read("Width", 192, kFormatRanges[1]);
    in.format.height = read("Height", 144, kFormatRanges[2]);
    in.current = build_format_header(in.format.colorFormat, static_cast<LONG>(in.format.width),
                                     static_cast<LONG>(in.format.height));
    send_format(in.stream->device, in.format);

    in.source_record.hue = read("Hue", 0, kSourceRanges[0]);
    in.source_record.videoFormat = read("VideoStd", 3, kSourceRanges[1]);
    in.source_record.mux = read("Connector", 2, kSourceRanges[2]);
    in.source_record.svideo = read("CableFormat", 0, kSourceRanges[3]);
    send_source(in.stream->device, in.source_record);

    in.colour.saturation = read("Saturation", 128, kColourRanges[0]);
    in.colour.brightness = read("Brightness", 128, kColourRanges[0]);
    in.colour.contrast = read("Contrast", 128, kColourRanges[0]);
    copy().help = read("Help", 0, {0, 0xFFFFFFFFu}) != 0;
    send_colour(in.stream->device, in.colour);
}

std::array<BYTE, kStorageBytes> encode_storage(const DeviceInstance& in) {
    std::array<BYTE, kStorageBytes> b{};
    const TARVO_FORMAT& f = in.format;
    const DWORD format[6] = {24,
                             f.colorFormat,
                             f.width,
                             f.height,
                             static_cast<DWORD>(f.paletteTable),
                             f.paletteTableSize};
    const TARVO_SOURCE& s = in.source_record;
    const DWORD source[5] = {20, s.hue, s.videoFormat, s.mux, s.svideo};
    const TARVO_COLOR& c = in.colour;
    const DWORD colour[5] = {20, c.brightness, c.saturation, c.contrast, c.flag};
    BYTE* at = b.data();
    for (DWORD v : format) {
        put(at, v), at += 4;
    }
    for (DWORD v : source) {
        put(at, v), at += 4;
    }
    for (DWORD v : colour) {
        put(at, v), at += 4;
    }
    return b;
}

void decode_storage(const std::array<BYTE, kStorageBytes>& bytes, DeviceInstance& in) {
    const BYTE* f = bytes.data();
    take(f + 4, kFormatRanges[0], in.format.colorFormat);
    take(f + 8, kFormatRanges[1], in.format.width);
    take(f + 12, kFormatRanges[2], in.format.height);
    const BYTE* s = f + 24;
    take(s + 4, kSourceRanges[0], in.source_record.hue);
    take(s + 8, kSourceRanges[1], in.source_record.videoFormat);
    take(s + 12, kSourceRanges[2], in.source_record.mux);
    take(s + 16, kSourceRanges[3], in.source_record.svideo);
    const BYTE* c = s + 20;
    take(c + 4, kColourRanges[0], in.colour.brightness);
    take(c + 8, kColourRanges[1], in.colour.saturation);
    take(c + 12, kColourRanges[2], in.colour.contrast);
    take(c + 16, kColourRanges[3], in.colour.flag);
}

LRESULT configure_storage(DeviceInstance& in, LPCSTR path, DWORD flags) {
    const bool get_flag = (flags & VIDEO_CONFIGURE_GET) != 0;
    if (!get_flag && (flags & VIDEO_CONFIGURE_SET) == 0) {
        return DV_ERR_FLAGS;
    }
    if (path == nullptr) {
        return DV_ERR_OK;
    }
    const win32_owners::UniqueHandle file(CreateFileA(path, get_flag ? GENERIC_READ : GENERIC_WRITE,
                                                      0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return DV_ERR_OK;
    }
    if (get_flag) {
        std::array<BYTE, kStorageBytes> bytes{};
        DWORD done = 0;
        if (ReadFile(file.get(), bytes.data(), kStorageBytes, &done, nullptr) &&
            done == kStorageBytes) {
            decode_storage(bytes, in);
        }
    } else {
        const auto bytes = encode_storage(in);
        DWORD done = 0;
        WriteFile(file.get(), bytes.data(), kStorageBytes, &done, nullptr);
    }
    return DV_ERR_OK;
}

} // namespace tarvovfw
