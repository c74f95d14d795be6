#include "capture_formats.h"

#include "device_requests.h"
#include "stream_engine.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace tarvovfw {
namespace {

struct BuiltFormat {
    WORD bits;
    DWORD compression;
    LONG marker;
};

constexpr BuiltFormat kBuilt[] = {
    {32, BI_RGB, 0}, {24, BI_RGB, 0}, {16, BI_RGB, 0},   {16, BI_RGB, 0},
    {16, BI_RGB, 1}, {16, BI_RGB, 2}, {8, kFourccY8, 0},
};

DWORD frame_size(WORD bits, LONG width, LONG height) {
    return (static_cast<DWORD>(bits) * static_cast<DWORD>(width) + 31) / 32 * 4 *
           static_cast<DWORD>(height);
}

// The format code a header asks for, with the header as it is stored; false when refused.
bool choose_code(BITMAPINFOHEADER& h, DWORD& code) {
    switch (h.biCompression) {
    case BI_RGB:
        switch (h.biBitCount) {
        case 8:
            code = 6;
            return true;
        case 16:
            if (h.biXPelsPerMeter < 0 || h.biXPelsPerMeter > 2) {
                return false;
            }
            code = static_cast<DWORD>(3 + h.biXPelsPerMeter);
            return true;
        case 24:
            code = 1;
            h.biXPelsPerMeter = 0;
            return true;
        case 32:
            code = 0;
            h.biXPelsPerMeter = 0;
            return true;
        default:
            return false;
        }
    case BI_BITFIELDS:
        if (h.biBitCount != 16) {
            return false;
        }
        code = 2;
        h.biCompression = BI_RGB;
        return true;
    case kFourccY8:
        code = 6;
        h.biCompression = BI_RGB;
        h.biXPelsPerMeter = 0;
        return true;
    case kFourccYuy2:
        code = 4;
        h.biCompression = BI_RGB;
        h.biXPelsPerMeter = 1;
        return true;
    case kFourccYvu9:
        code = 5;
        h.biCompression = BI_RGB;
        h.biXPelsPerMeter = 2;
        return true;
    default:
        return false;
    }
}

// The entry of the palette nearest to a colour (least squared distance, first of equals).
BYTE nearest_index(const DevicePalette& p, int red, int green, int blue) {
    int best = 0;
    long best_distance = LONG_MAX;
    for (int i = 0; i < p.entries; ++i) {
        const int dr = p.entry[i].peRed - red;
        const int dg = p.entry[i].peGreen - green;
        const int db = p.entry[i].peBlue - blue;
        const long d = long(dr) * dr + long(dg) * dg + long(db) * db;
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
    }
    return static_cast<BYTE>(best);
}

// What a configure message's flag word asks for; the word is matched as a whole.
enum class Request { Size, Set, Get, QuerySet, QueryGet, Other };

Request request_of(DWORD flags) {
    switch (flags) {
    case VIDEO_CONFIGURE_QUERYSIZE:
    case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE:
        return Request::Size;
    case VIDEO_CONFIGURE_SET:
    case VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT:
        return Request::Set;
    case VIDEO_CONFIGURE_GET:
    case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT:
        return Request::Get;
    case VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_SET:
        return Request::QuerySet;
    case VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_GET:
        return Request::QueryGet;
    default:
        return Request::Other;
    }
}

DWORD palette_bytes(const DevicePalette& p) {
    return 4u * p.entries + 4u;
}

// The size of what a get of this message answers.
DWORD data_size(const DeviceInstance& in, UINT message) {
    return message == DVM_FORMAT ? sizeof(BITMAPINFOHEADER) : palette_bytes(in.palette);
}

LRESULT get_data(const DeviceInstance& in, UINT message, const VIDEOCONFIGPARMS& c) {
    if (c.dwSize1 < data_size(in, message) || c.lpData1 == nullptr) {
        return DV_ERR_SIZEFIELD;
    }
    auto* out = static_cast<BYTE*>(c.lpData1);
    if (message == DVM_FORMAT) {
        std::memcpy(out, &in.current, sizeof in.current);
    } else {
        std::memcpy(out, &in.palette.version, 2);
        std::memcpy(out + 2, &in.palette.entries, 2);
        std::memcpy(out + 4, in.palette.entry, 4u * in.palette.entries);
    }
    return DV_ERR_OK;
}

LRESULT set_data(DeviceInstance& in, UINT message, const VIDEOCONFIGPARMS& c) {
    if (message == DVM_FORMAT) {
        return set_capture_format(in, static_cast<BITMAPINFOHEADER*>(c.lpData1), c.dwSize1);
    }
    if (c.lpData1 == nullptr) {
        return DV_ERR_PARAM1;
    }
    const BYTE* table = nullptr;
    if (message == DVM_PALETTERGB555) {
        if (c.lpData2 == nullptr || c.dwSize2 != kTranslationTableSize) {
            return DV_ERR_PARAM2;
        }
        table = static_cast<const BYTE*>(c.lpData2);
    }
    return set_palette(in, static_cast<const LOGPALETTE*>(c.lpData1), table);
}

bool fixed_rectangle_flags(LPARAM flags) {
    return flags == (VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT) ||
           flags == (VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_MAX);
}

LRESULT fixed_rectangle(RECT& r, LPARAM flags) {
    if (!fixed_rectangle_flags(flags)) {
        return DV_ERR_NOTSUPPORTED;
    }
    r = RECT{0, 0, 640, 480};
    return DV_ERR_OK;
}

} // namespace

BITMAPINFOHEADER build_format_header(DWORD code, LONG width, LONG height) {
    const BuiltFormat f = kBuilt[code < 7 ? code : 1];
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = f.bits;
    h.biCompression = f.compression;
    h.biXPelsPerMeter = f.marker;
    h.biSizeImage = frame_size(f.bits, width, height);
    return h;
}

void set_initial_palette(DeviceInstance& in) {
    in.palette.version = 0x300;
    in.palette.entries = 64;
    for (int k = 0; k < 64; ++k) {
        const BYTE v = static_cast<BYTE>(255 * k / 63);
        in.palette.entry[k] = PALETTEENTRY{v, v, v, 0};
    }
}

void free_translation_table(DeviceInstance& in) {
    std::free(reinterpret_cast<void*>(in.format.paletteTable));
    in.format.paletteTable = 0;
    in.format.paletteTableSize = 0;
}

LRESULT set_capture_format(DeviceInstance& in, BITMAPINFOHEADER* header, DWORD size) {
    if (size != sizeof(BITMAPINFOHEADER) || header == nullptr) {
        return DV_ERR_SIZEFIELD;
    }
    if (header->biSize != sizeof(BITMAPINFOHEADER)) {
        return DV_ERR_PARAM2;
    }
    if (header->biPlanes != 1) {
        return DV_ERR_BADFORMAT;
    }
    // Everything is checked on a copy: a refused header changes nothing.
    BITMAPINFOHEADER h = *header;
    // An uncompressed format may leave the image size 0: it is the frame size then.
    if (h.biSizeImage == 0 && (h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS) &&
        h.biWidth > 0 && h.biHeight > 0) {
        h.biSizeImage = frame_size(h.biBitCount, h.biWidth, h.biHeight);
    }
    DWORD code = 0;
    if (!choose_code(h, code) || h.biWidth < 1 || h.biWidth > kMaxWidth || h.biHeight < 1 ||
        h.biHeight > kMaxHeight ||
        h.biSizeImage < frame_size(h.biBitCount, h.biWidth, h.biHeight)) {
        return DV_ERR_BADFORMAT;
    }
    *header = h;
    in.current = h;
    in.format.colorFormat = code;
    in.format.width = static_cast<DWORD>(h.biWidth);
    in.format.height = static_cast<DWORD>(h.biHeight);
    return send_format(in.stream->device, in.format) ? DV_ERR_OK : DV_ERR_BADFORMAT;
}

LRESULT set_palette(DeviceInstance& in, const LOGPALETTE* palette, const BYTE* table) {
    if (palette->palNumEntries > 256) {
        return DV_ERR_PARAM2;
    }
    if (in.format.paletteTable == 0) {
        void* block = std::calloc(kTranslationTableSize, 1);
        if (block == nullptr) {
            return DV_ERR_CREATEPALETTE;
        }
        in.format.paletteTable = reinterpret_cast<std::uintptr_t>(block);
        in.format.paletteTableSize = kTranslationTableSize;
    }
    // Nothing below can fail: the palette is taken only now.
    in.palette.version = palette->palVersion;
    in.palette.entries = palette->palNumEntries;
    std::memcpy(in.palette.entry, palette->palPalEntry, 4u * palette->palNumEntries);
    auto* out = reinterpret_cast<BYTE*>(in.format.paletteTable);
    if (table != nullptr) {
        std::memcpy(out, table, kTranslationTableSize);
    } else {
        for (int r = 0; r < 256; r += 8) {
            for (int g = 0; g < 256; g += 8) {
                for (int b = 0; b < 256; b += 8) {
                    *out++ = nearest_index(in.palette, r, g, b);
                }
            }
        }
    }
    send_format(in.stream->device, in.format);
    return DV_ERR_OK;
}

LRESULT configure_message(DeviceInstance& in, UINT message, LPARAM flags, LPARAM parms) {
    if (parms == 0) {
        return DV_ERR_PARAM2;
    }
    const auto& c = *reinterpret_cast<const VIDEOCONFIGPARMS*>(parms);
    // The RGB 5:5:5 palette can only be set.
    const bool set_only = message == DVM_PALETTERGB555;
    switch (request_of(static_cast<DWORD>(flags))) {
    case Request::Size:
        if (set_only) {
            return DV_ERR_NOTSUPPORTED;
        }
        if (c.lpdwReturn == nullptr) {
            return DV_ERR_PARAM2;
        }
        *c.lpdwReturn = data_size(in, message);
        return DV_ERR_OK;
    case Request::Set:
        return set_data(in, message, c);
    case Request::Get:
        return set_only ? DV_ERR_NOTSUPPORTED : get_data(in, message, c);
    case Request::QuerySet:
        return DV_ERR_OK;
    case Request::QueryGet:
        return set_only ? DV_ERR_NOTSUPPORTED : DV_ERR_OK;
    default:
        return DV_ERR_NOTSUPPORTED;
    }
}

LRESULT rectangle_message(DeviceInstance& in, DWORD channel, UINT message, LPARAM rect,
                          LPARAM flags) {
    if (rect == 0) {
        return DV_ERR_PARAM1;
    }
    RECT& r = *reinterpret_cast<RECT*>(rect);
    const bool source = message == DVM_SRC_RECT;
    switch (channel) {
    case kExternalIn:
        return source ? DV_ERR_NOTSUPPORTED : fixed_rectangle(r, flags);
    case kVideoIn:
        return source ? fixed_rectangle(r, flags) : DV_ERR_NOTSUPPORTED;
    case kExternalOut:
        if ((flags & VIDEO_CONFIGURE_SET) == 0) {
            return DV_ERR_NOTSUPPORTED;
        }
        if (source) {
            if (!set_overlay_offset(in.stream->device, r)) {
                return DV_ERR_NONSPECIFIC;
            }
            in.source = r;
        } else {
            if (!set_overlay_rects(in.stream->device, 1, &r)) {
                return DV_ERR_NONSPECIFIC;
            }
            in.destination = r;
        }
        return DV_ERR_OK;
    default:
        return DV_ERR_NOTSUPPORTED;
    }
}

} // namespace tarvovfw
