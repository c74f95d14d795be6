#include "archive_encode.h"

#include "archive_io.h"
#include "ijl/ijl.h"
#include "jpeg_picture.h"
#include "pixaro/colorspace.h"

#include <cstring>
#include <memory>

namespace archive {
namespace {

// The station's one core-properties record; used on the GUI thread only, never by two
// encodings at once.
IJL_CORE_PROPERTIES JpegEncoderProps;
// The encoder's output room, grown to the largest frame seen; GUI thread only as above.
std::unique_ptr<std::uint8_t[]> JpegScratch;
std::size_t JpegScratchSize = 0;

class IjlSession {
public:
    IjlSession() {
        if (ijlInit(&JpegEncoderProps) != IJL_OK) {
            throw ArchiveError("cannot initialise the JPEG encoder");
        }
    }
    IjlSession(const IjlSession&) = delete;
    IjlSession& operator=(const IjlSession&) = delete;
    ~IjlSession() { ijlFree(&JpegEncoderProps); }
};

std::vector<std::uint8_t> convert(std::span<const std::uint8_t> src, int w, int h, int dst_fmt,
                                  int src_fmt, std::size_t dst_bytes) {
    std::vector<std::uint8_t> out(dst_bytes);
    if (ColorspaceConv(out.data(), src.data(), std::uint32_t(w), std::uint32_t(h), dst_fmt,
                       src_fmt) != 1) {
        throw ArchiveError("colour conversion refused the frame");
    }
    return out;
}

// A 16-bit YUV frame as 24-bit BGR rows in the frame's own row order.
std::vector<std::uint8_t> yuv_to_bgr24(std::span<const std::uint8_t> pixels, int w, int h,
                                       int marker) {
    const std::size_t n = std::size_t(w) * std::size_t(h);
    std::vector<std::uint8_t> yuy2;
    std::span<const std::uint8_t> src = pixels;
    if (marker == kMarkerYuv411) {
        yuy2 = convert(pixels, w, h, pixaro::YUY2, pixaro::BTYUV, n * 2);
        src = yuy2;
    }
    const std::vector<std::uint8_t> bgrx = convert(src, w, h, pixaro::BGRX, pixaro::YUY2, n * 4);
    std::vector<std::uint8_t> bgr(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(&bgr[3 * i], &bgrx[4 * i], 3);
    }
    return bgr;
}

void encode_ijl(std::vector<std::uint8_t>& stream, std::span<const std::uint8_t> pixels, int w,
                int h, int quality, int marker, int bpp) {
    std::vector<std::uint8_t> yuy2;
    const std::uint8_t* dib = pixels.data();
    if (bpp == 16 && marker == kMarkerYuv411) {
        yuy2 =
            convert(pixels, w, h, pixaro::YUY2, pixaro::BTYUV, std::size_t(w) * std::size_t(h) * 2);
        dib = yuy2.data();
    }
    const std::size_t room = std::size_t(w) * std::size_t(h) * 3 + kJpegHeaderRoom;
    // The encoder writes into a scratch buffer kept between frames (neither allocated nor
    // cleared per frame); only the bytes it produced are copied into the stream.
    if (JpegScratchSize < room) {
        JpegScratch = std::make_unique_for_overwrite<std::uint8_t[]>(room);
        JpegScratchSize = room;
    }
    IjlSession session;
    IJL_CORE_PROPERTIES& p = JpegEncoderProps;
    p.DIBWidth = DWORD(w);
    p.DIBHeight = -LONG(h);
    p.DIBPadBytes = 0;
    p.DIBBytes = const_cast<BYTE*>(dib);
    if (bpp == 8) {
        p.DIBChannels = 1;
        p.DIBColor = IJL_G;
    } else if (bpp == 16) {
        p.DIBChannels = 3;
        p.DIBColor = IJL_YCBCR;
        p.DIBSubsampling = IJL_422;
    } else {
        p.DIBChannels = 3;
        p.DIBColor = IJL_BGR;
    }
    p.JPGFile = nullptr;
    p.JPGBytes = JpegScratch.get();
    p.JPGSizeBytes = DWORD(room);
    p.JPGWidth = DWORD(w);
    p.JPGHeight = DWORD(h);
    p.JPGChannels = 3;
    p.JPGColor = IJL_YCBCR;
    if (bpp == 24) {
        p.JPGSubsampling = IJL_411;
    } else if (bpp == 16) {
        p.JPGSubsampling = IJL_422;
    }
    p.jquality = quality;
    const int rc = ijlWrite(&p, IJL_JBUFF_WRITEWHOLEIMAGE);
    if (rc != IJL_OK || p.JPGSizeBytes == 0 || p.JPGSizeBytes > room) {
        stream.clear();
        throw ArchiveError("the JPEG encoder failed on the frame");
    }
    stream.assign(JpegScratch.get(), JpegScratch.get() + p.JPGSizeBytes);
}

// The bitmap of the frame as top-down 24-bit picture (for libjpeg).
Picture to_picture(std::span<const std::uint8_t> rows, int w, int h, int bpp) {
    Picture pic;
    pic.width = w;
    pic.height = h;
    pic.bgr.resize(std::size_t(w) * std::size_t(h) * 3);
    const std::size_t row_bytes = std::size_t(w) * std::size_t(bpp) / 8;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = rows.data() + row_bytes * std::size_t(h - 1 - y);
        std::uint8_t* dst = pic.bgr.data() + std::size_t(y) * std::size_t(w) * 3;
        for (int x = 0; x < w; ++x, dst += 3) {
            switch (bpp) {
            case 8:
                dst[0] = dst[1] = dst[2] = src[x];
                break;
            case 16:
                rgb555_to_bgr(src + 2 * x, dst);
                break;
            default:
                std::memcpy(dst, src + std::size_t(x) * std::size_t(bpp / 8), 3);
                break;
            }
        }
    }
    return pic;
}

} // namespace

std::size_t frame_bytes(int width, int height, int bpp, int marker) {
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        std::int64_t(width) * height > kMaxPicturePixels) {
        return 0;
    }
    const std::size_t n = std::size_t(width) * std::size_t(height);
    switch (bpp) {
    case 8:
        return n;
    case 16:
        if (marker == kMarkerRgb555 || marker == kMarkerYuy2) {
            return (marker == kMarkerYuy2 && width % 2 != 0) ? 0 : n * 2;
        }
        if (marker == kMarkerYuv411) {
            return width % 8 == 0 ? n * 12 / 8 : 0;
        }
        return 0;
    case 24:
        return n * 3;
    case 32:
        return n * 4;
    default:
        return 0;
    }
}

void EncodeFrame(std::vector<std::uint8_t>& stream, std::span<const std::uint8_t> pixels, int width,
                 int quality, bool jpeg, int marker, int bpp, int height) {
    stream.clear();
    const std::size_t need = frame_bytes(width, height, bpp, marker);
    if (need == 0) {
        throw ArchiveError("frame format not stored by the archive");
    }
    if (pixels.size() < need) {
        throw ArchiveError("frame shorter than its format");
    }
    pixels = pixels.first(need);
    if (jpeg && (bpp == 8 || bpp == 24 || (bpp == 16 && marker != kMarkerRgb555))) {
        encode_ijl(stream, pixels, width, height, quality, marker, bpp);
        return;
    }
    // Bitmap path. A 16-bit YUV frame becomes a true-colour bitmap.
    std::vector<std::uint8_t> converted;
    int bitmap_bpp = bpp;
    std::span<const std::uint8_t> rows = pixels;
    if (bpp == 16 && marker != kMarkerRgb555) {
        converted = yuv_to_bgr24(pixels, width, height, marker);
        rows = converted;
        bitmap_bpp = 24;
    }
    if (jpeg) {
        auto encoded = encode_jpeg(to_picture(rows, width, height, bitmap_bpp), quality);
        if (!encoded) {
            throw ArchiveError("the JPEG encoder failed on the frame");
        }
        stream = std::move(*encoded);
        return;
    }
    stream = bmp_file_image(width, height, bitmap_bpp, rows);
}

} // namespace archive
