// Capture formats and the palette of the video-in channel.
#include "fake_device_fixture.h"

namespace capdrv_test {
namespace {

class Formats : public FakeDeviceTest {
protected:
    Formats() {
        proc_ = driver_proc();
        EXPECT_EQ(open_direct(VIDEO_IN), 4);
    }
    ~Formats() override { proc_(4, nullptr, DRV_CLOSE, 0, 0); }
    LRESULT configure(UINT msg, DWORD flags, void* data1, DWORD size1, void* data2 = nullptr,
                      DWORD size2 = 0, DWORD* ret = nullptr) {
        DWORD dummy = 0;
        VIDEOCONFIGPARMS c{ret != nullptr ? ret : &dummy, data1, size1, data2, size2};
        return proc_(4, nullptr, msg, flags, reinterpret_cast<LPARAM>(&c));
    }
    BITMAPINFOHEADER current() {
        BITMAPINFOHEADER h{};
        EXPECT_EQ(configure(DVM_FORMAT, 0x2000, &h, sizeof h), 0);
        return h;
    }
};

struct FormatRow {
    const char* what;
    DWORD compression;
    WORD bits;
    LONG marker;
    LONG width, height;
    LRESULT expected;
    int code;             // sent to the kernel device; -1: nothing sent
    LONG stored_marker;   // of the accepted header
    DWORD size_image = 0; // 0: the frame size
    WORD planes = 1;
    DWORD bi_size = 40;
    DWORD size = 40;
};

constexpr DWORD kYuy2 = mmioFOURCC('Y', 'U', 'Y', '2');
constexpr DWORD kYvu9 = mmioFOURCC('Y', 'V', 'U', '9');
constexpr DWORD kY8 = mmioFOURCC('Y', '8', ' ', ' ');

const FormatRow kFormatRows[] = {
    {"16-bit marker 2", BI_RGB, 16, 2, 192, 144, DV_ERR_OK, 5, 2},
    {"16-bit marker 0", BI_RGB, 16, 0, 192, 144, DV_ERR_OK, 3, 0},
    {"YUY2", kYuy2, 16, 0, 384, 288, DV_ERR_OK, 4, 1},
    {"YVU9", kYvu9, 16, 0, 192, 144, DV_ERR_OK, 5, 2},
    {"24-bit marker 7", BI_RGB, 24, 7, 192, 144, DV_ERR_OK, 1, 0},
    {"32-bit", BI_RGB, 32, 3, 768, 576, DV_ERR_OK, 0, 0},
    {"8-bit", BI_RGB, 8, 0, 192, 144, DV_ERR_OK, 6, 0},
    {"Y8", kY8, 8, 4, 192, 144, DV_ERR_OK, 6, 0},
    {"bit fields", BI_BITFIELDS, 16, 0, 192, 144, DV_ERR_OK, 2, 0},
    {"largest", BI_RGB, 16, 0, 924, 576, DV_ERR_OK, 3, 0},
    {"bit fields of 24 bits", BI_BITFIELDS, 24, 0, 192, 144, DV_ERR_BADFORMAT, -1, 0},
    {"16-bit marker 3", BI_RGB, 16, 3, 192, 144, DV_ERR_BADFORMAT, -1, 0},
    {"16-bit marker -1", BI_RGB, 16, -1, 192, 144, DV_ERR_BADFORMAT, -1, 0},
    {"12 bits", BI_RGB, 12, 0, 192, 144, DV_ERR_BADFORMAT, -1, 0},
    {"other compression", mmioFOURCC('M', 'J', 'P', 'G'), 24, 0, 192, 144, DV_ERR_BADFORMAT, -1, 0},
    {"width 0", BI_RGB, 24, 0, 0, 144, DV_ERR_BADFORMAT, -1, 0},
    {"too wide", BI_RGB, 24, 0, 925, 144, DV_ERR_BADFORMAT, -1, 0},
    {"too high", BI_RGB, 24, 0, 192, 577, DV_ERR_BADFORMAT, -1, 0},
    {"top-down", BI_RGB, 24, 0, 192, -144, DV_ERR_BADFORMAT, -1, 0},
    {"buffer below the frame", BI_RGB, 24, 0, 192, 144, DV_ERR_BADFORMAT, -1, 0, 192 * 144 * 3 - 1},
    {"two planes", BI_RGB, 24, 0, 192, 144, DV_ERR_BADFORMAT, -1, 0, 0, 2},
    {"header size", BI_RGB, 24, 0, 192, 144, DV_ERR_PARAM2, -1, 0, 0, 1, 44},
    {"message size", BI_RGB, 24, 0, 192, 144, DV_ERR_SIZEFIELD, -1, 0, 0, 1, 40, 44},
};

TEST_F(Formats, SetFormatAcceptsOrRefusesAsAWhole) {
    for (const FormatRow& row : kFormatRows) {
        SCOPED_TRACE(row.what);
        const BITMAPINFOHEADER before = current();
        BITMAPINFOHEADER h{};
        h.biSize = row.bi_size;
        h.biWidth = row.width;
        h.biHeight = row.height;
        h.biPlanes = row.planes;
        h.biBitCount = row.bits;
        h.biCompression = row.compression;
        h.biXPelsPerMeter = row.marker;
        const LONG rows = row.height < 0 ? -row.height : row.height;
        h.biSizeImage = row.size_image != 0
                            ? row.size_image
                            : (static_cast<DWORD>(row.bits) * row.width + 31) / 32 * 4 * rows;
        const BITMAPINFOHEADER sent = h;
        fake_device::clear_requests();
        EXPECT_EQ(configure(DVM_FORMAT, 0x1000, &h, row.size), row.expected);
        if (row.code < 0) {
            EXPECT_TRUE(codes().empty());
            EXPECT_EQ(std::memcmp(&h, &sent, sizeof h), 0); // the caller's header untouched
            const BITMAPINFOHEADER after = current();
            EXPECT_EQ(std::memcmp(&before, &after, sizeof after), 0);
            continue;
        }
        ASSERT_EQ(codes(), std::vector<std::uint32_t>{IOCTL_TARVO_SET_FORMAT});
        const auto in = last_input(IOCTL_TARVO_SET_FORMAT);
        EXPECT_EQ(word(in, 4), static_cast<DWORD>(row.code));
        EXPECT_EQ(word(in, 8), static_cast<DWORD>(row.width));
        EXPECT_EQ(word(in, 12), static_cast<DWORD>(row.height));
        const BITMAPINFOHEADER now = current();
        EXPECT_EQ(now.biCompression, BI_RGB);
        EXPECT_EQ(now.biXPelsPerMeter, row.stored_marker);
        EXPECT_EQ(now.biBitCount, row.bits);
        EXPECT_EQ(std::memcmp(&h, &now, sizeof h), 0); // the caller's header as stored
    }
}

// An uncompressed format may give its image size as 0: the driver stores the frame size. A
// compressed one must give it.
TEST_F(Formats, ImageSizeZeroMeansTheFrameSizeForUncompressedFormats) {
    struct Case {
        DWORD compression;
        WORD bits;
        LRESULT expected;
        DWORD stored;
    };
    for (const Case c : {Case{BI_RGB, 24, DV_ERR_OK, 384u * 288 * 3},
                         Case{BI_BITFIELDS, 16, DV_ERR_OK, 384u * 288 * 2},
                         Case{kYuy2, 16, DV_ERR_BADFORMAT, 0}}) {
        SCOPED_TRACE(c.bits);
        BITMAPINFOHEADER h{};
        h.biSize = sizeof h;
        h.biWidth = 384;
        h.biHeight = 288;
        h.biPlanes = 1;
        h.biBitCount = c.bits;
        h.biCompression = c.compression;
        EXPECT_EQ(configure(DVM_FORMAT, 0x1000, &h, sizeof h), c.expected);
        if (c.expected == DV_ERR_OK) {
            EXPECT_EQ(h.biSizeImage, c.stored);
            EXPECT_EQ(current().biSizeImage, c.stored);
        }
    }
}

TEST_F(Formats, AFormatTheKernelDeviceRefusesAnswersBadFormat) {
    fake_device::state().failing.insert(IOCTL_TARVO_SET_FORMAT);
    BITMAPINFOHEADER h = current();
    h.biBitCount = 32;
    h.biSizeImage = 4u * h.biWidth * h.biHeight;
    EXPECT_EQ(configure(DVM_FORMAT, 0x1010, &h, sizeof h), DV_ERR_BADFORMAT);
    BITMAPINFOHEADER small{};
    EXPECT_EQ(configure(DVM_FORMAT, 0x2010, &small, 39), DV_ERR_SIZEFIELD);
}

TEST_F(Formats, InitialPaletteIsSixtyFourGreys) {
    DWORD size = 0;
    EXPECT_EQ(configure(DVM_PALETTE, 0x2001, nullptr, 0, nullptr, 0, &size), 0);
    EXPECT_EQ(size, 260u);
    BYTE data[260];
    EXPECT_EQ(configure(DVM_PALETTE, 0x2000, data, 259), DV_ERR_SIZEFIELD);
    EXPECT_EQ(configure(DVM_PALETTE, 0x2000, data, sizeof data), 0);
    EXPECT_EQ(data[0] | data[1] << 8, 0x300);
    EXPECT_EQ(data[2] | data[3] << 8, 64);
    EXPECT_EQ(std::vector<BYTE>(data + 4, data + 8), (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<BYTE>(data + 4 + 63 * 4, data + 260),
              (std::vector<BYTE>{255, 255, 255, 0}));
    EXPECT_EQ(data[4 + 32 * 4], 255 * 32 / 63);
}

TEST_F(Formats, SettingAPaletteBuildsTheTranslationTable) {
    struct {
        WORD version = 0x300, count = 2;
        PALETTEENTRY entries[257] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    } palette;
    ASSERT_EQ(configure(DVM_PALETTE, 0x1000, &palette, sizeof palette), 0);
    const auto in = last_input(IOCTL_TARVO_SET_FORMAT);
    std::uintptr_t table = 0;
    ASSERT_EQ(in.size(), sizeof(TARVO_FORMAT));
    std::memcpy(&table, in.data() + offsetof(TARVO_FORMAT, paletteTable), sizeof table);
    EXPECT_EQ(word(in, offsetof(TARVO_FORMAT, paletteTableSize)), 32768u);
    ASSERT_NE(table, 0u);
    const auto* t = reinterpret_cast<const BYTE*>(table);
    const auto at = [&](int r, int g, int b) {
        return t[(r >> 3) * 1024 + (g >> 3) * 32 + (b >> 3)];
    };
    EXPECT_EQ(at(0, 0, 0), 0);
    EXPECT_EQ(at(248, 248, 248), 1);
    EXPECT_EQ(at(120, 120, 120), 0);
    EXPECT_EQ(at(128, 128, 128), 1);
    DWORD size = 0;
    EXPECT_EQ(configure(DVM_PALETTE, 0x1, nullptr, 0, nullptr, 0, &size), 0);
    EXPECT_EQ(size, 12u);

    // More entries than the instance holds: refused, nothing changes.
    palette.count = 257;
    fake_device::clear_requests();
    EXPECT_EQ(configure(DVM_PALETTE, 0x1000, &palette, sizeof palette), DV_ERR_PARAM2);
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(configure(DVM_PALETTE, 0x1, nullptr, 0, nullptr, 0, &size), 0);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(configure(DVM_PALETTE, 0x1000, nullptr, 0), DV_ERR_PARAM1);

    // A table of the caller's.
    palette.count = 2;
    std::vector<BYTE> own(32768, 1);
    own[5] = 0;
    EXPECT_EQ(configure(DVM_PALETTERGB555, 0x1000, &palette, sizeof palette, own.data(), 32767),
              DV_ERR_PARAM2);
    EXPECT_EQ(configure(DVM_PALETTERGB555, 0x1000, nullptr, 0, own.data(), 32768), DV_ERR_PARAM1);
    EXPECT_EQ(configure(DVM_PALETTERGB555, 0x1010, &palette, sizeof palette, own.data(), 32768), 0);
    EXPECT_EQ(std::memcmp(t, own.data(), own.size()), 0); // the same table, refilled
}

} // namespace
} // namespace capdrv_test
