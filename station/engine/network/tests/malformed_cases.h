// Records with each fault the reader guards against, for the packet table and the link tests:
// one malformed record between two good subscriptions (board 1, cameras 1 and 2), and what of
// the three takes effect.
#pragma once

#include "network_fakes.h"

#include "archive/jpeg_picture.h"
#include "live_fakes.h"
#include "network/packet_bytes.h"

#include <string>
#include <vector>

namespace network_test {

using live_test::BitmapHeader;

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Bytes Le32(std::int32_t v) {
    Bytes b;
    AppendLe(b, v);
    return b;
}

inline Bytes Le16(std::int16_t v) {
    Bytes b;
    AppendLe(b, v);
    return b;
}

inline Bytes Sub(int board, int camera) {
    return EncodeSubscription(
        {static_cast<std::int16_t>(camera), static_cast<std::int16_t>(board), 1, 0, 100});
}

// A camera frame record with its lengths written as given.
inline Bytes RawFrame(std::int16_t nameLen, const Bytes& name, std::int32_t headerLen,
                      const Bytes& header, std::int32_t pictureLen, const Bytes& picture,
                      std::int16_t jpeg = 0) {
    return Cat({Hex("02 00 01 00 01 00 00 00"), Le16(jpeg), Hex("32 00"), Le16(nameLen), name,
                Le32(headerLen), header, Le32(pictureLen), picture});
}

inline Bytes Frame(const Bytes& header, const Bytes& picture, std::int16_t jpeg = 0) {
    return RawFrame(2, Hex("41 42"), static_cast<std::int32_t>(header.size()), header,
                    static_cast<std::int32_t>(picture.size()), picture, jpeg);
}

inline Bytes Jpeg(int w, int h) {
    archive::Picture p;
    p.width = w;
    p.height = h;
    p.bgr.assign(static_cast<std::size_t>(w * h * 3), 0x80);
    return *archive::encode_jpeg(p, 75);
}

// One malformed record between two good subscriptions: what took effect.
struct MalformedCase {
    const char* what;
    Bytes record;
    std::vector<std::string> effect;
};

inline std::vector<MalformedCase> MalformedCases() {
    const Bytes h8 = BitmapHeader(4, 2, 8);
    const Bytes yuv411 = BitmapHeader(8, 2, 16, 2); // 12 bits a pixel when stored
    const std::vector<std::string> both{"sub 1/1", "sub 1/2"};
    const std::vector<std::string> first{"sub 1/1"};
    auto with = [](const char* middle) {
        return std::vector<std::string>{"sub 1/1", middle, "sub 1/2"};
    };
    return {
        {"good raw frame", Frame(h8, Bytes(8, 1)), with("frame 1/1")},
        {"raw frame larger than its format", Frame(h8, Bytes(9, 1)), with("frame 1/1")},
        {"raw frame one byte short", Frame(h8, Bytes(7, 1)), both},
        {"packed 4:1:1 at 12 bits", Frame(yuv411, Bytes(24, 1)), with("frame 1/1")},
        {"packed 4:1:1 short of 12 bits", Frame(yuv411, Bytes(23, 1)), both},
        {"unknown depth", Frame(BitmapHeader(4, 2, 7), Bytes(64, 1)), both},
        {"header under 40 bytes", Frame(Bytes(h8.begin(), h8.begin() + 39), Bytes(8, 1)), both},
        {"negative name length", RawFrame(-1, {}, 40, h8, 8, Bytes(8, 1)), first},
        {"name past the packet", RawFrame(200, Hex("41"), 40, h8, 8, Bytes(8, 1)), first},
        {"negative header length", RawFrame(0, {}, -40, h8, 8, Bytes(8, 1)), first},
        {"header past the packet", RawFrame(0, {}, 4000, h8, 8, Bytes(8, 1)), first},
        {"negative picture length", RawFrame(0, {}, 40, h8, -8, Bytes(8, 1)), first},
        {"picture past the packet", RawFrame(0, {}, 40, h8, 0x7FFFFFFF, Bytes(8, 1)), first},
        {"JPEG of the header's size", Frame(BitmapHeader(16, 8, 16, 2), Jpeg(16, 8), 1),
         with("frame 1/1")},
        {"JPEG of another size", Frame(BitmapHeader(16, 8, 16, 2), Jpeg(8, 8), 1), both},
        {"JPEG without a frame header", Frame(h8, Hex("FF D8 FF D9"), 1), both},
        {"not a JPEG", Frame(h8, Bytes(8, 1), 1), both},
        {"subscription board 0", Sub(0, 3), both},
        {"subscription board 5", Sub(5, 3), both},
        {"subscription camera 0", Sub(1, 0), both},
        {"subscription camera 17", Sub(1, 17), both},
        {"switch camera 17", EncodeMonitorSwitch({17, 1}), both},
        {"switch monitor 0", EncodeMonitorSwitch({1, 0}), both},
        {"switch monitor 5", EncodeMonitorSwitch({1, 5}), both},
        {"switch in range", EncodeMonitorSwitch({16, 4}), with("mon 4/16")},
        {"unknown record type", Hex("06 00 01 00 02 00"), first},
        {"negative record type", Hex("FF FF"), first},
        {"answer with negative picture length",
         EncodeArchAnswer(Cat({Hex("00 00 07 00 00 00 00 00 00 00 00 00 00 00 00 00 49 40"),
                               Bytes(57, 0), Le32(-1)})),
         first},
        {"answer with picture past the packet",
         EncodeArchAnswer(Cat({Hex("00 00 07 00 00 00 00 00 00 00 00 00 00 00 00 00 49 40"),
                               Bytes(57, 0), Le32(100000)})),
         first},
    };
}

} // namespace network_test
