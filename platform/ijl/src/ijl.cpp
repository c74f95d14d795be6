// The JPEG encoder library over libjpeg: baseline, Huffman-optimised tables off, one scan.
#include "ijl/ijl.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

constexpr unsigned kStateMagic = 0x4a504547u;

struct State {
    unsigned magic = kStateMagic;
};

struct ErrorJump {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    int code;
};

void on_error(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorJump*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void on_message(j_common_ptr) {}

// Destination: the caller's buffer, never more than its room.
struct BufferDest {
    jpeg_destination_mgr mgr;
    JOCTET* bytes;
    std::size_t room;
    std::size_t written;
};

void dest_init(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<BufferDest*>(cinfo->dest);
    d->mgr.next_output_byte = d->bytes;
    d->mgr.free_in_buffer = d->room;
}

boolean dest_full(j_compress_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorJump*>(cinfo->err);
    err->code = IJL_BUFFER_TOO_SMALL;
    std::longjmp(err->jump, 1);
}

void dest_term(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<BufferDest*>(cinfo->dest);
    d->written = d->room - d->mgr.free_in_buffer;
}

bool valid_state(const IJL_CORE_PROPERTIES* p) {
    return p && p->internal && static_cast<const State*>(p->internal)->magic == kStateMagic;
}

// Bytes a source pixel occupies.
int dib_pixel_bytes(const IJL_CORE_PROPERTIES& p) {
    if (p.DIBChannels == 1 && p.DIBColor == IJL_G) {
        return 1;
    }
    if (p.DIBChannels == 3 && p.DIBColor == IJL_YCBCR && p.DIBSubsampling == IJL_422) {
        return 2;
    }
    if (p.DIBChannels == 3 && (p.DIBColor == IJL_BGR || p.DIBColor == IJL_RGB) &&
        p.DIBSubsampling == IJL_NONE) {
        return 3;
    }
    if (p.DIBChannels == 4 && (p.DIBColor == IJL_BGR || p.DIBColor == IJL_RGB) &&
        p.DIBSubsampling == IJL_NONE) {
        return 4;
    }
    return 0;
}

// Leading pairs (Y0 U Y1 V) of a 4:2:2 row as YCbCr triplets, 4 pairs per byte shuffle on
// processors that have one; the count done (never reading or writing past the row's pairs).
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("ssse3"))) DWORD pairs_422_ssse3(const BYTE* src, JSAMPLE* out, DWORD pairs) {
    const __m128i first = _mm_setr_epi8(0, 1, 3, 2, 1, 3, 4, 5, 7, 6, 5, 7, 8, 9, 11, 10);
    const __m128i second =
        _mm_setr_epi8(9, 11, 12, 13, 15, 14, 13, 15, -1, -1, -1, -1, -1, -1, -1, -1);
    DWORD i = 0;
    for (; i + 4 <= pairs; i += 4) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 6 * i), _mm_shuffle_epi8(x, first));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 6 * i + 16), _mm_shuffle_epi8(x, second));
    }
    return i;
}
#endif

DWORD pairs_422(const BYTE* src, JSAMPLE* out, DWORD pairs) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        return pairs_422_ssse3(src, out, pairs);
    }
#endif
    return 0;
}

// Converts one source row to interleaved samples of the libjpeg input space: YCbCr (3) for
// grey and 4:2:2 sources, RGB (3) for BGR/RGB sources; grey (1) when the JPEG is grey.
void convert_row(const IJL_CORE_PROPERTIES& p, const BYTE* src, JSAMPLE* out, bool grey_out) {
    const DWORD w = p.DIBWidth;
    const int px = dib_pixel_bytes(p);
    if (px == 1) {
        for (DWORD x = 0; x < w; ++x) {
            if (grey_out) {
                out[x] = src[x];
            } else {
                out[3 * x] = src[x];
                out[3 * x + 1] = 128;
                out[3 * x + 2] = 128;
            }
        }
        return;
    }
    if (px == 2) {
        if (grey_out) {
            for (DWORD x = 0; x < w; ++x) {
                out[x] = src[2 * x];
            }
            return;
        }
        // Whole pairs (Y0 U Y1 V) first, each giving two pixels with the pair's chroma; a last
        // odd pixel has no V and takes 128.
        const DWORD pairs = w / 2;
        DWORD i = pairs_422(src, out, pairs);
        src += 4 * std::size_t(i);
        out += 6 * std::size_t(i);
        for (; i < pairs; ++i, src += 4, out += 6) {
            out[0] = src[0];
            out[1] = src[1];
            out[2] = src[3];
            out[3] = src[2];
            out[4] = src[1];
            out[5] = src[3];
        }
        if (w % 2 != 0) {
            out[0] = src[0];
            out[1] = src[1];
            out[2] = 128;
        }
        return;
    }
    const bool bgr = p.DIBColor == IJL_BGR;
    for (DWORD x = 0; x < w; ++x) {
        const BYTE* s = src + x * DWORD(px);
        const BYTE r = bgr ? s[2] : s[0];
        const BYTE g = s[1];
        const BYTE b = bgr ? s[0] : s[2];
        if (grey_out) {
            out[x] = JSAMPLE((r * 77 + g * 150 + b * 29) >> 8);
        } else {
            out[3 * x] = r;
            out[3 * x + 1] = g;
            out[3 * x + 2] = b;
        }
    }
}

// The libjpeg part. Only plain data lives in this frame, so the error jump skips no destructor.
int encode(IJL_CORE_PROPERTIES* p, JSAMPLE* row, std::size_t* written) {
    jpeg_compress_struct cinfo;
    ErrorJump err;
    BufferDest dest;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = on_error;
    err.mgr.output_message = on_message;
    err.code = IJL_ENCODER_ERROR;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return err.code;
    }
    jpeg_create_compress(&cinfo);
    dest.mgr.init_destination = dest_init;
    dest.mgr.empty_output_buffer = dest_full;
    dest.mgr.term_destination = dest_term;
    dest.bytes = p->JPGBytes;
    dest.room = p->JPGSizeBytes;
    dest.written = 0;
    cinfo.dest = &dest.mgr;

    const bool grey_out = p->JPGChannels == 1;
    const int px = dib_pixel_bytes(*p);
    cinfo.image_width = p->JPGWidth;
    cinfo.image_height = p->JPGHeight;
    cinfo.input_components = grey_out ? 1 : 3;
    cinfo.in_color_space = grey_out ? JCS_GRAYSCALE : (px <= 2 ? JCS_YCbCr : JCS_RGB);
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, grey_out ? JCS_GRAYSCALE : JCS_YCbCr);
    int q = p->jquality;
    q = q < 1 ? 1 : (q > 100 ? 100 : q);
    jpeg_set_quality(&cinfo, q, TRUE);
    if (!grey_out) {
        const int h = p->JPGSubsampling == IJL_NONE ? 1 : 2;
        const int v = p->JPGSubsampling == IJL_411 ? 2 : 1;
        cinfo.comp_info[0].h_samp_factor = h;
        cinfo.comp_info[0].v_samp_factor = v;
        for (int c = 1; c < 3; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(&cinfo, TRUE);
    const bool bottom_up = p->DIBHeight < 0;
    const std::size_t stride = std::size_t(p->DIBWidth) * px + p->DIBPadBytes;
    const DWORD h = p->JPGHeight;
    while (cinfo.next_scanline < h) {
        const DWORD y = cinfo.next_scanline;
        const BYTE* src = p->DIBBytes + stride * (bottom_up ? h - 1 - y : y);
        convert_row(*p, src, row, grey_out);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    *written = dest.written;
    return IJL_OK;
}

} // namespace

extern "C" int ijlInit(IJL_CORE_PROPERTIES* props) {
    if (!props) {
        return IJL_INVALID_ARGUMENT;
    }
    std::memset(props, 0, sizeof *props);
    props->DIBChannels = 3;
    props->DIBColor = IJL_BGR;
    props->DIBSubsampling = IJL_NONE;
    props->JPGChannels = 3;
    props->JPGColor = IJL_YCBCR;
    props->JPGSubsampling = IJL_411;
    props->jquality = 75;
    props->internal = new State;
    return IJL_OK;
}

extern "C" int ijlFree(IJL_CORE_PROPERTIES* props) {
    if (!valid_state(props)) {
        return IJL_NOT_INITIALISED;
    }
    delete static_cast<State*>(props->internal);
    props->internal = nullptr;
    return IJL_OK;
}

extern "C" int ijlWrite(IJL_CORE_PROPERTIES* props, int iotype) {
    if (!valid_state(props)) {
        return IJL_NOT_INITIALISED;
    }
    if (iotype != IJL_JBUFF_WRITEWHOLEIMAGE) {
        return IJL_UNSUPPORTED_IOTYPE;
    }
    IJL_CORE_PROPERTIES& p = *props;
    const DWORD abs_h = p.DIBHeight < 0 ? DWORD(-(long long)p.DIBHeight) : DWORD(p.DIBHeight);
    if (p.JPGFile || !p.DIBBytes || !p.JPGBytes || p.DIBWidth == 0 || abs_h == 0 ||
        p.JPGWidth != p.DIBWidth || p.JPGHeight != abs_h || p.JPGWidth > 65500 ||
        p.JPGHeight > 65500) {
        return IJL_INVALID_ARGUMENT;
    }
    if (dib_pixel_bytes(p) == 0 || !((p.JPGChannels == 3 && p.JPGColor == IJL_YCBCR) ||
                                     (p.JPGChannels == 1 && p.JPGColor == IJL_G))) {
        return IJL_UNSUPPORTED_FORMAT;
    }
    std::vector<JSAMPLE> row(std::size_t(p.JPGWidth) * 3);
    std::size_t written = 0;
    const int rc = encode(props, row.data(), &written);
    if (rc != IJL_OK) {
        return rc;
    }
    p.JPGSizeBytes = DWORD(written);
    return IJL_OK;
}
