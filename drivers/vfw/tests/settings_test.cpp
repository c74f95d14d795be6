// Per-user settings at the first open, and the settings file of DVM_CONFIGURESTORAGE.
#include "fake_device_fixture.h"

#include "win32/dialogs.h"
#include "win32/errors.h"
#include "win32/registry.h"

#include <fstream>
#include <iterator>

namespace capdrv_test {
namespace {

class Settings : public FakeDeviceTest {
protected:
    std::vector<std::uint8_t> read_file(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void write_file(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<std::uint8_t> words(std::initializer_list<DWORD> values) {
        std::vector<std::uint8_t> out;
        for (DWORD v : values) {
            for (int i = 0; i < 4; ++i) {
                out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
            }
        }
        return out;
    }
};

TEST_F(Settings, StoredValuesAreSentAndBadOnesTakeTheirDefaults) {
    struct Case {
        const char* name;
        DWORD stored;
        std::uint32_t code;
        std::size_t offset;
        DWORD expected;
    };
    const Case cases[] = {
        {"Format", 4, IOCTL_TARVO_SET_FORMAT, 4, 4},
        {"Width", 384, IOCTL_TARVO_SET_FORMAT, 8, 384},
        {"Height", 288, IOCTL_TARVO_SET_FORMAT, 12, 288},
        {"Hue", 10, IOCTL_TARVO_SET_SOURCE, 4, 10},
        {"VideoStd", 6, IOCTL_TARVO_SET_SOURCE, 8, 6},
        {"Connector", 1, IOCTL_TARVO_SET_SOURCE, 12, 1},
        {"CableFormat", 1, IOCTL_TARVO_SET_SOURCE, 16, 1},
        {"Brightness", 90, IOCTL_TARVO_SET_COLOR, 4, 90},
        {"Saturation", 100, IOCTL_TARVO_SET_COLOR, 8, 100},
        {"Contrast", 80, IOCTL_TARVO_SET_COLOR, 12, 80},
        // Out of range: the default.
        {"Format", 7, IOCTL_TARVO_SET_FORMAT, 4, 1},
        {"Width", 0, IOCTL_TARVO_SET_FORMAT, 8, 192},
        {"Height", 100000, IOCTL_TARVO_SET_FORMAT, 12, 144},
        {"Hue", 256, IOCTL_TARVO_SET_SOURCE, 4, 0},
        {"VideoStd", 9, IOCTL_TARVO_SET_SOURCE, 8, 3},
        {"Connector", 4, IOCTL_TARVO_SET_SOURCE, 12, 2},
        {"CableFormat", 2, IOCTL_TARVO_SET_SOURCE, 16, 0},
        {"Brightness", 0xFFFFFFFF, IOCTL_TARVO_SET_COLOR, 4, 128},
        {"Saturation", 300, IOCTL_TARVO_SET_COLOR, 8, 128},
        {"Contrast", 256, IOCTL_TARVO_SET_COLOR, 12, 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.stored));
        set_user_value(0, c.name, c.stored);
        fake_device::clear_requests();
        {
            Channel video(u"MSVIDEO", VIDEO_IN);
            ASSERT_TRUE(video.ok());
        }
        EXPECT_EQ(word(last_input(c.code), c.offset), c.expected);
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER,
                                "Software\\Microsoft\\Multimedia\\Video Capture\\Tarvo\\Driver0", 0,
                                KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        RegDeleteValueA(key, c.name);
        RegCloseKey(key);
    }
}

TEST_F(Settings, AValueOfAnotherTypeReadsAsTheDefault) {
    set_user_value(0, "Width", 320);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                              "Software\\Microsoft\\Multimedia\\Video Capture\\Tarvo\\Driver0", 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Format", 0, REG_SZ, reinterpret_cast<const BYTE*>("4"), 2);
    RegCloseKey(key);
    Channel video(u"MSVIDEO", VIDEO_IN);
    ASSERT_TRUE(video.ok());
    const auto format = last_input(IOCTL_TARVO_SET_FORMAT);
    EXPECT_EQ(word(format, 4), 1u);
    EXPECT_EQ(word(format, 8), 320u);
}

TEST_F(Settings, FormatHeadersBuiltFromTheSettings) {
    struct Case {
        DWORD code, width, height;
        WORD bits;
        DWORD compression;
        LONG marker;
        DWORD size_image;
    };
    const Case cases[] = {
        {5, 768, 576, 16, BI_RGB, 2, 884736},
        {6, 192, 144, 8, mmioFOURCC('Y', '8', ' ', ' '), 0, 27648},
        {0, 193, 10, 32, BI_RGB, 0, 193 * 4 * 10},
        {1, 193, 10, 24, BI_RGB, 0, 580 * 10},
        {2, 192, 144, 16, BI_RGB, 0, 192 * 2 * 144},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        set_user_value(0, "Format", c.code);
        set_user_value(0, "Width", c.width);
        set_user_value(0, "Height", c.height);
        Channel video(u"MSVIDEO", VIDEO_IN);
        ASSERT_TRUE(video.ok());
        BITMAPINFOHEADER h{};
        ASSERT_EQ(video.configure(DVM_FORMAT, 0x2000, &h, sizeof h), 0);
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biWidth, static_cast<LONG>(c.width));
        EXPECT_EQ(h.biHeight, static_cast<LONG>(c.height));
        EXPECT_EQ(h.biBitCount, c.bits);
        EXPECT_EQ(h.biCompression, c.compression);
        EXPECT_EQ(h.biXPelsPerMeter, c.marker);
        EXPECT_EQ(h.biSizeImage, c.size_image);
        EXPECT_EQ(h.biClrUsed, 0u);
    }
}

TEST_F(Settings, StorageFileSavesAndLoadsTheThreeRecords) {
    Channel video(u"MSVIDEO", VIDEO_IN);
    ASSERT_TRUE(video.ok());
    const auto path = root_ / "settings.bin";
    const std::string name = path.string();
    const LPARAM file = reinterpret_cast<LPARAM>(name.c_str());
    // The file must exist: a missing one is neither made nor read.
    EXPECT_EQ(video.send(DVM_CONFIGURESTORAGE, file, VIDEO_CONFIGURE_SET), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    write_file(path, {});
    EXPECT_EQ(video.send(DVM_CONFIGURESTORAGE, file, VIDEO_CONFIGURE_SET), 0);
    EXPECT_EQ(read_file(path),
              words({24, 1, 192, 144, 0, 0, 20, 0, 3, 2, 0, 20, 128, 128, 128, 0}));

    // Loading takes the values, but not the size words or the palette table; a value out of
    // range keeps what the instance had. Both flags: the file is read, not written.
    const auto loaded = words({99, 4, 320, 240, 0x1234, 77, 55, 9, 6, 1, 1, 7, 90, 100, 80, 0});
    write_file(path, loaded);
    fake_device::clear_requests();
    EXPECT_EQ(video.send(DVM_CONFIGURESTORAGE, file, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_SET), 0);
    EXPECT_TRUE(codes().empty()); // nothing goes to the kernel device
    EXPECT_EQ(read_file(path), loaded);
    write_file(path, {});
    EXPECT_EQ(video.send(DVM_CONFIGURESTORAGE, file, VIDEO_CONFIGURE_SET), 0);
    EXPECT_EQ(read_file(path), words({24, 4, 320, 240, 0, 0, 20, 9, 6, 1, 1, 20, 90, 100, 80, 0}));
    // The next format set sends the loaded record with its own size word.
    BITMAPINFOHEADER h{};
    ASSERT_EQ(video.configure(DVM_FORMAT, 0x2000, &h, sizeof h), 0);
    ASSERT_EQ(video.configure(DVM_FORMAT, 0x1000, &h, sizeof h), 0);
    EXPECT_EQ(word(last_input(IOCTL_TARVO_SET_FORMAT), 0), sizeof(TARVO_FORMAT));

    // A short file changes nothing.
    write_file(path, words({24, 3, 100, 100}));
    EXPECT_EQ(video.send(DVM_CONFIGURESTORAGE, file, VIDEO_CONFIGURE_GET), 0);
    write_file(path, {});
    EXPECT_EQ(video.send(DVM_CONFIGURESTORAGE, file, VIDEO_CONFIGURE_SET), 0);
    EXPECT_EQ(word(read_file(path), 4), 1u); // the format code of the last format set
    EXPECT_EQ(video.send(DVM_CONFIGURESTORAGE, file, 0), DV_ERR_FLAGS);
}

} // namespace
} // namespace capdrv_test
