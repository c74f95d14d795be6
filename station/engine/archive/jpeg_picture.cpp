#include "jpeg_picture.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace archive {
namespace {

struct ErrorJump {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jump_out(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}

void no_message(j_common_ptr) {}

// The error manager of `err`: a fatal error jumps back to `err.jump`, messages are dropped.
jpeg_error_mgr* quiet_errors(ErrorJump& err) {
    jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jump_out;
    err.mgr.output_message = no_message;
    return &err.mgr;
}

bool size_ok(std::int64_t w, std::int64_t h) {
    return w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide &&
           w * h <= kMaxPicturePixels;
}

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint16_t(b[at] | b[at + 1] << 8);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(std::uint8_t(v >> (8 * i)));
    }
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

// Decoding proper: only plain data in this frame, so the error jump skips no destructor.
// `out` is sized by the caller once the header is known through `sized`.
bool jpeg_decode_into(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>* out,
                      int* w, int* h) {
    jpeg_decompress_struct cinfo;
    ErrorJump err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = quiet_errors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK ||
        !size_ok(cinfo.image_width, cinfo.image_height)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *w = int(cinfo.output_width);
    *h = int(cinfo.output_height);
    const std::size_t stride = std::size_t(*w) * 3;
    if (out->size() < stride * std::size_t(*h)) {
        // Resizing a vector can throw; it is sized before the jump can skip it.
        out->resize(stride * std::size_t(*h));
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool jpeg_encode_into(const Picture& pic, int quality, const std::uint8_t* rgb_rows,
                      unsigned char** mem, unsigned long* mem_size) {
    jpeg_compress_struct cinfo;
    ErrorJump err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = quiet_errors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, mem, mem_size);
    cinfo.image_width = JDIMENSION(pic.width);
    cinfo.image_height = JDIMENSION(pic.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = std::size_t(pic.width) * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(rgb_rows) + stride * cinfo.next_scanline;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

std::optional<Picture> decode_jpeg(std::span<const std::uint8_t> jpeg) {
    if (jpeg.size() < 4) {
        return std::nullopt;
    }
    Picture pic;
    if (!jpeg_decode_into(jpeg.data(), jpeg.size(), &pic.bgr, &pic.width, &pic.height)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i + 2 < pic.bgr.size(); i += 3) {
        std::swap(pic.bgr[i], pic.bgr[i + 2]);
    }
    return pic;
}

std::optional<Picture> load_bmp(std::span<const std::uint8_t> b) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        return std::nullopt;
    }
    const std::uint32_t data_offset = le32(b, 10);
    const std::uint32_t info_size = le32(b, 14);
    const std::int32_t w = std::int32_t(le32(b, 18));
    const std::int32_t raw_h = std::int32_t(le32(b, 22));
    const std::uint16_t planes = le16(b, 26);
    const std::uint16_t bpp = le16(b, 28);
    const std::uint32_t compression = le32(b, 30);
    const std::uint32_t colours_used = le32(b, 46);
    if (info_size < 40 || info_size > b.size() - 14 || planes != 1 || compression != 0 ||
        raw_h == INT32_MIN) {
        return std::nullopt;
    }
    const bool top_down = raw_h < 0;
    const std::int64_t h = top_down ? -std::int64_t(raw_h) : raw_h;
    if (!size_ok(w, h) || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) {
        return std::nullopt;
    }
    const std::size_t stride = (std::size_t(w) * bpp / 8 + 3) & ~std::size_t(3);
    if (data_offset > b.size() || stride * std::size_t(h) > b.size() - data_offset) {
        return std::nullopt;
    }
    std::uint8_t palette[256][3] = {};
    if (bpp == 8) {
        const std::size_t count = colours_used == 0 || colours_used > 256 ? 256 : colours_used;
        const std::size_t pal_at = 14 + info_size;
        if (pal_at > data_offset || count * 4 > data_offset - pal_at) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < count; ++i) {
            palette[i][0] = b[pal_at + 4 * i];
            palette[i][1] = b[pal_at + 4 * i + 1];
            palette[i][2] = b[pal_at + 4 * i + 2];
        }
    }
    Picture pic;
    pic.width = w;
    pic.height = int(h);
    pic.bgr.resize(std::size_t(w) * std::size_t(h) * 3);
    for (std::int64_t y = 0; y < h; ++y) {
        const std::int64_t file_row = top_down ? y : h - 1 - y;
        const std::uint8_t* src = b.data() + data_offset + stride * std::size_t(file_row);
        std::uint8_t* dst = pic.bgr.data() + std::size_t(y) * std::size_t(w) * 3;
        for (std::int32_t x = 0; x < w; ++x, dst += 3) {
            switch (bpp) {
            case 8:
                std::memcpy(dst, palette[src[x]], 3);
                break;
            case 16:
                rgb555_to_bgr(src + 2 * x, dst);
                break;
            default:
                std::memcpy(dst, src + std::size_t(x) * (bpp / 8), 3);
                break;
            }
        }
    }
    return pic;
}

std::optional<Picture> decode_stored_frame(std::span<const std::uint8_t> bytes, bool jpeg) {
    return jpeg ? decode_jpeg(bytes) : load_bmp(bytes);
}

std::optional<std::vector<std::uint8_t>> encode_jpeg(const Picture& pic, int quality) {
    if (!size_ok(pic.width, pic.height) ||
        pic.bgr.size() != std::size_t(pic.width) * std::size_t(pic.height) * 3) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> rgb(pic.bgr);
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        std::swap(rgb[i], rgb[i + 2]);
    }
    unsigned char* mem = nullptr;
    unsigned long mem_size = 0;
    const bool ok = jpeg_encode_into(pic, quality, rgb.data(), &mem, &mem_size);
    std::optional<std::vector<std::uint8_t>> out;
    if (ok && mem) {
        out.emplace(mem, mem + mem_size);
    }
    std::free(mem);
    return out;
}

std::vector<std::uint8_t> bmp_file_image(int width, int height, int bpp,
                                         std::span<const std::uint8_t> rows_bottom_up) {
    const std::size_t row_bytes = std::size_t(width) * std::size_t(bpp) / 8;
    const std::size_t stride = (row_bytes + 3) & ~std::size_t(3);
    const std::size_t palette_bytes = bpp == 8 ? 256 * 4 : 0;
    const std::size_t data_offset = 14 + 40 + palette_bytes;
    const std::size_t image = stride * std::size_t(height);
    std::vector<std::uint8_t> out;
    out.reserve(data_offset + image);
    out.push_back('B');
    out.push_back('M');
    put32(out, std::uint32_t(data_offset + image));
    put32(out, 0);
    put32(out, std::uint32_t(data_offset));
    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height));
    put16(out, 1);
    put16(out, std::uint16_t(bpp));
    put32(out, 0); // no compression
    put32(out, std::uint32_t(image));
    put32(out, 0);
    put32(out, 0);
    put32(out, bpp == 8 ? 256 : 0);
    put32(out, 0);
    if (bpp == 8) {
        for (int i = 0; i < 256; ++i) {
            out.push_back(std::uint8_t(i));
            out.push_back(std::uint8_t(i));
            out.push_back(std::uint8_t(i));
            out.push_back(0);
        }
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = rows_bottom_up.data() + row_bytes * std::size_t(y);
        out.insert(out.end(), src, src + row_bytes);
        out.insert(out.end(), stride - row_bytes, 0);
    }
    return out;
}

} // namespace archive
