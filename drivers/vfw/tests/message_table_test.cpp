// DriverProc messages and their results on each channel, with the kernel requests each one
// sends to the fake device.
#include "fake_device_fixture.h"

#include "platform/gdi_recorder.h"
#include "platform/modules.h"
#include "platform/window_table.h"
#include "win32/modules.h"

#include <memory>

namespace capdrv_test {
namespace {

enum class Arg { None, Dword, Rect, Caps, Config, ErrorText, Time, Header };

struct Row {
    const char* what;
    DWORD channel;
    UINT message;
    Arg arg;
    LPARAM param; // the flags of a configure message, else parameter 2
    LRESULT expected;
    std::vector<std::uint32_t> requests;
};

const Row kRows[] = {
    {"api version, no pointer", 4, DVM_GETVIDEOAPIVER, Arg::None, 0, DV_ERR_PARAM1, {}},
    {"api version", 1, DVM_GETVIDEOAPIVER, Arg::Dword, 0, DV_ERR_OK, {}},
    {"format size on video-in", 4, DVM_FORMAT, Arg::Config, 0x1, DV_ERR_OK, {}},
    {"format size, get form", 4, DVM_FORMAT, Arg::Config, 0x2001, DV_ERR_OK, {}},
    {"format on external-in", 1, DVM_FORMAT, Arg::Config, 0x1, DV_ERR_NOTSUPPORTED, {}},
    {"format on external-out", 2, DVM_FORMAT, Arg::Config, 0x2000, DV_ERR_NOTSUPPORTED, {}},
    {"format get", 4, DVM_FORMAT, Arg::Config, 0x2010, DV_ERR_OK, {}},
    {"format query set", 4, DVM_FORMAT, Arg::Config, 0x9000, DV_ERR_OK, {}},
    {"format other flags", 4, DVM_FORMAT, Arg::Config, 0x2080, DV_ERR_NOTSUPPORTED, {}},
    {"palette size", 4, DVM_PALETTE, Arg::Config, 0x1, DV_ERR_OK, {}},
    {"palette query get", 4, DVM_PALETTE, Arg::Config, 0xA000, DV_ERR_OK, {}},
    {"rgb555 size", 4, DVM_PALETTERGB555, Arg::Config, 0x1, DV_ERR_NOTSUPPORTED, {}},
    {"rgb555 query set", 4, DVM_PALETTERGB555, Arg::Config, 0x9000, DV_ERR_OK, {}},
    {"rgb555 query get", 4, DVM_PALETTERGB555, Arg::Config, 0xA000, DV_ERR_NOTSUPPORTED, {}},
    {"source rect, video-in", 4, DVM_SRC_RECT, Arg::Rect, 0x2010, DV_ERR_OK, {}},
    {"source rect, video-in max", 4, DVM_SRC_RECT, Arg::Rect, 0x2080, DV_ERR_OK, {}},
    {"source rect, other flags", 4, DVM_SRC_RECT, Arg::Rect, 0x1000, DV_ERR_NOTSUPPORTED, {}},
    {"source rect, external-in", 1, DVM_SRC_RECT, Arg::Rect, 0x2010, DV_ERR_NOTSUPPORTED, {}},
    {"dest rect, external-in", 1, DVM_DST_RECT, Arg::Rect, 0x2010, DV_ERR_OK, {}},
    {"dest rect, video-in", 4, DVM_DST_RECT, Arg::Rect, 0x2010, DV_ERR_NOTSUPPORTED, {}},
    {"dest rect, no rect", 1, DVM_DST_RECT, Arg::None, 0x2010, DV_ERR_PARAM1, {}},
    {"dest rect get, external-out", 2, DVM_DST_RECT, Arg::Rect, 0x2010, DV_ERR_NOTSUPPORTED, {}},
    {"dest rect set, external-out",
     2,
     DVM_DST_RECT,
     Arg::Rect,
     0x1000,
     DV_ERR_NONSPECIFIC,
     {IOCTL_TARVO_SET_OVERLAY_RECTS}},
    {"source rect set, external-out",
     2,
     DVM_SRC_RECT,
     Arg::Rect,
     0x1010,
     DV_ERR_NONSPECIFIC,
     {IOCTL_TARVO_SET_OVERLAY_OFFSET}},
    {"caps, external-in", 1, DVM_GET_CHANNEL_CAPS, Arg::Caps, 0, DV_ERR_OK, {}},
    {"caps, external-out without overlay",
     2,
     DVM_GET_CHANNEL_CAPS,
     Arg::Caps,
     0,
     DV_ERR_NOTSUPPORTED,
     {IOCTL_TARVO_GET_OVERLAY_MODE}},
    {"caps, video-in", 4, DVM_GET_CHANNEL_CAPS, Arg::Caps, 0, DV_ERR_OK, {}},
    {"dialog query, external-in", 1, DVM_DIALOG, Arg::None, VIDEO_DLG_QUERY, DV_ERR_OK, {}},
    {"dialog, external-out", 2, DVM_DIALOG, Arg::None, 0, DV_ERR_OK, {}},
    {"dialog, video-in", 4, DVM_DIALOG, Arg::None, 0, DV_ERR_OK, {}},
    {"update, external-out",
     2,
     DVM_UPDATE,
     Arg::None,
     0,
     DV_ERR_OK,
     {IOCTL_TARVO_GET_OVERLAY_MODE, IOCTL_TARVO_SET_KEY_INDEX}},
    {"update, video-in", 4, DVM_UPDATE, Arg::None, 0, DV_ERR_NOTSUPPORTED, {}},
    {"error text 1", 4, DVM_GETERRORTEXT, Arg::ErrorText, 1, DV_ERR_OK, {}},
    {"error text of no string", 1, DVM_GETERRORTEXT, Arg::ErrorText, 5, DV_ERR_PARAM1, {}},
    {"storage, no flags", 1, DVM_CONFIGURESTORAGE, Arg::None, 0, DV_ERR_FLAGS, {}},
    {"frame, external-in", 1, DVM_FRAME, Arg::Header, 0, DV_ERR_NOTSUPPORTED, {}},
    {"stream init, external-in",
     1,
     DVM_STREAM_INIT,
     Arg::None,
     0,
     DV_ERR_OK,
     {IOCTL_TARVO_EXTIN_ON}},
    {"stream fini, external-in",
     1,
     DVM_STREAM_FINI,
     Arg::None,
     0,
     DV_ERR_OK,
     {IOCTL_TARVO_EXTIN_OFF}},
    {"stream start, external-in", 1, DVM_STREAM_START, Arg::None, 0, DV_ERR_NOTSUPPORTED, {}},
    {"stream init, external-out",
     2,
     DVM_STREAM_INIT,
     Arg::None,
     0,
     DV_ERR_OK,
     {IOCTL_TARVO_OVERLAY_ON}},
    {"stream fini, external-out",
     2,
     DVM_STREAM_FINI,
     Arg::None,
     0,
     DV_ERR_OK,
     {IOCTL_TARVO_OVERLAY_OFF}},
    {"add buffer, no stream", 4, DVM_STREAM_ADDBUFFER, Arg::Header, 0, DV_ERR_NONSPECIFIC, {}},
    {"start, no stream", 4, DVM_STREAM_START, Arg::None, 0, DV_ERR_NONSPECIFIC, {}},
    {"stop, no stream", 4, DVM_STREAM_STOP, Arg::None, 0, DV_ERR_NONSPECIFIC, {}},
    {"reset, no stream", 4, DVM_STREAM_RESET, Arg::None, 0, DV_ERR_NONSPECIFIC, {}},
    {"fini, no stream", 4, DVM_STREAM_FINI, Arg::None, 0, DV_ERR_NONSPECIFIC, {}},
    {"get error, no stream", 4, DVM_STREAM_GETERROR, Arg::Dword, 0, DV_ERR_OK, {}},
    {"position, wrong size", 4, DVM_STREAM_GETPOSITION, Arg::Time, 8, DV_ERR_NOTSUPPORTED, {}},
    {"position, no stream",
     4,
     DVM_STREAM_GETPOSITION,
     Arg::Time,
     sizeof(MMTIME),
     DV_ERR_NONSPECIFIC,
     {}},
    {"prepare header",
     4,
     DVM_STREAM_PREPAREHEADER,
     Arg::Header,
     sizeof(VIDEOHDR),
     DV_ERR_NOTSUPPORTED,
     {}},
    {"unprepare header",
     4,
     DVM_STREAM_UNPREPAREHEADER,
     Arg::Header,
     sizeof(VIDEOHDR),
     DV_ERR_NOTSUPPORTED,
     {}},
    {"unknown message", 4, DRV_USER + 0x999, Arg::None, 0, DV_ERR_NOTSUPPORTED, {}},
};

class MessageTable : public FakeDeviceTest {};

TEST_F(MessageTable, EveryRowAnswersAndSendsWhatItShould) {
    DRIVERPROC proc = driver_proc();
    for (DWORD channel : {1u, 2u, 4u}) {
        ASSERT_EQ(open_direct(channel), static_cast<LRESULT>(channel));
    }
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.what);
        fake_device::clear_requests();
        DWORD value = 0xDEAD;
        RECT rect{1, 2, 3, 4};
        CHANNEL_CAPS caps{};
        caps.dwFlags = 0xFFFF;
        DWORD ret = 0;
        BYTE data[1100] = {};
        VIDEOCONFIGPARMS config{&ret, data, sizeof data, nullptr, 0};
        char text[64] = {};
        VIDEO_GETERRORTEXT_PARMS error{static_cast<DWORD>(row.param), text, sizeof text};
        MMTIME time{};
        BYTE frame[64];
        VIDEOHDR header{frame, sizeof frame, 0, 0, 0, 0, {}};
        LPARAM p1 = 0, p2 = row.param;
        switch (row.arg) {
        case Arg::None:
            break;
        case Arg::Dword:
            p1 = reinterpret_cast<LPARAM>(&value);
            break;
        case Arg::Rect:
            p1 = reinterpret_cast<LPARAM>(&rect);
            break;
        case Arg::Caps:
            p1 = reinterpret_cast<LPARAM>(&caps);
            break;
        case Arg::Config:
            p1 = row.param;
            p2 = reinterpret_cast<LPARAM>(&config);
            break;
        case Arg::ErrorText:
            p1 = reinterpret_cast<LPARAM>(&error);
            p2 = 0;
            break;
        case Arg::Time:
            p1 = reinterpret_cast<LPARAM>(&time);
            break;
        case Arg::Header:
            p1 = reinterpret_cast<LPARAM>(&header);
            break;
        }
        EXPECT_EQ(proc(row.channel, nullptr, row.message, p1, p2), row.expected);
        EXPECT_EQ(codes(), row.requests);
        // What the answers carry.
        if (row.message == DVM_GETVIDEOAPIVER && row.arg == Arg::Dword) {
            EXPECT_EQ(value, 4u);
        }
        if (row.message == DVM_FORMAT && (row.param & 0xF) == 1 && row.expected == DV_ERR_OK) {
            EXPECT_EQ(ret, 40u);
        }
        if (row.message == DVM_PALETTE && row.param == 1 && row.expected == DV_ERR_OK) {
            EXPECT_EQ(ret, 4u * 64 + 4);
        }
        if (row.arg == Arg::Rect && row.expected == DV_ERR_OK) {
            EXPECT_EQ(rect.left, 0);
            EXPECT_EQ(rect.top, 0);
            EXPECT_EQ(rect.right, 640);
            EXPECT_EQ(rect.bottom, 480);
        }
        if (row.message == DVM_GETERRORTEXT && row.expected == DV_ERR_OK) {
            EXPECT_STREQ(text, "Tarvo.hlp");
        }
        if (row.message == DVM_STREAM_GETERROR) {
            EXPECT_EQ(value, 0u);
        }
        if (row.arg == Arg::Caps) {
            if (row.channel == 2) {
                EXPECT_EQ(caps.dwFlags, 0u); // cleared even when refused
            } else {
                const DWORD moduli = row.channel == 1 ? 1 : 4;
                EXPECT_EQ(caps.dwFlags, row.channel == 1 ? VCAPS_CAN_SCALE : 0u);
                EXPECT_EQ(caps.dwSrcRectXMod, moduli);
                EXPECT_EQ(caps.dwSrcRectHeightMod, row.channel == 1 ? 1u : 30u);
                EXPECT_EQ(caps.dwDstRectXMod, 4u);
                EXPECT_EQ(caps.dwDstRectYMod, 2u);
                EXPECT_EQ(caps.dwDstRectWidthMod, 40u);
                EXPECT_EQ(caps.dwDstRectHeightMod, 30u);
            }
        }
    }
    for (DWORD channel : {1u, 2u, 4u}) {
        EXPECT_EQ(proc(channel, nullptr, DRV_CLOSE, 0, 0), 1);
    }
}

TEST_F(MessageTable, ExternalOutWithOverlayReportsTheOverlayCapability) {
    fake_device::state().overlay_mode = 6;
    DRIVERPROC proc = driver_proc();
    ASSERT_EQ(open_direct(2), 2);
    CHANNEL_CAPS caps{};
    EXPECT_EQ(proc(2, nullptr, DVM_GET_CHANNEL_CAPS, reinterpret_cast<LPARAM>(&caps), 0), 0);
    EXPECT_EQ(caps.dwFlags, VCAPS_OVERLAY);
    EXPECT_EQ(caps.dwSrcRectWidthMod, 40u);
    // Mode bits 1 and 2: the key colour is read, and nothing is set.
    fake_device::clear_requests();
    EXPECT_EQ(proc(2, nullptr, DVM_UPDATE, 0, 0), 0);
    EXPECT_EQ(codes(),
              (std::vector<std::uint32_t>{IOCTL_TARVO_GET_OVERLAY_MODE, IOCTL_TARVO_GET_KEY}));
    // The key is chosen once.
    fake_device::clear_requests();
    EXPECT_EQ(proc(2, nullptr, DVM_UPDATE, 0, 0), 0);
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(proc(2, nullptr, DRV_CLOSE, 0, 0), 1);
}

// DVM_UPDATE fills the destination rectangle, in the window's client coordinates, with a brush
// of the key colour the overlay mode asks for, into the context it is given, and puts the
// context's brush back. The brush lives as long as the device instance.
TEST_F(MessageTable, UpdatePaintsTheKeyColourIntoTheContext) {
    struct Plain : platform::Window {
        LRESULT send(UINT, WPARAM, LPARAM) override { return 0; }
    };
    const HWND window =
        platform::register_window(std::make_shared<Plain>(), {true, 100, 50, 640, 480});
    const struct {
        DWORD mode;
        COLORREF key;
        std::vector<std::uint32_t> requests;
    } rows[] = {
        {6, RGB(0, 0, 0), {IOCTL_TARVO_GET_OVERLAY_MODE, IOCTL_TARVO_GET_KEY}},
        {2, PALETTEINDEX(0), {IOCTL_TARVO_GET_OVERLAY_MODE, IOCTL_TARVO_GET_KEY}},
        {4, RGB(127, 0, 127), {IOCTL_TARVO_GET_OVERLAY_MODE, IOCTL_TARVO_SET_KEY_RGB}},
        {0, PALETTEINDEX(5), {IOCTL_TARVO_GET_OVERLAY_MODE, IOCTL_TARVO_SET_KEY_INDEX}},
    };
    DRIVERPROC proc = driver_proc();
    const std::size_t objects = platform::gdi::live_objects();
    // The kernel driver serves no overlay rectangles; this device takes them.
    fake_device::state().failing.erase(IOCTL_TARVO_SET_OVERLAY_RECTS);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        fake_device::state().overlay_mode = row.mode;
        ASSERT_EQ(open_direct(2), 2);
        RECT destination{120, 60, 440, 300}; // screen coordinates
        EXPECT_EQ(proc(2, nullptr, DVM_DST_RECT, reinterpret_cast<LPARAM>(&destination), 0x1000),
                  0);
        const HDC dc = platform::gdi::create_dc();
        const HGDIOBJ before = platform::gdi::selected_brush(dc);
        fake_device::clear_requests();
        EXPECT_EQ(proc(2, nullptr, DVM_UPDATE, reinterpret_cast<LPARAM>(window),
                       reinterpret_cast<LPARAM>(dc)),
                  0);
        EXPECT_EQ(codes(), row.requests);
        EXPECT_EQ(proc(2, nullptr, DVM_UPDATE, reinterpret_cast<LPARAM>(window),
                       reinterpret_cast<LPARAM>(dc)),
                  0);
        const auto fills = platform::gdi::fills(dc);
        ASSERT_EQ(fills.size(), 2u);
        for (const auto& fill : fills) {
            EXPECT_EQ(fill.rect.left, 20);
            EXPECT_EQ(fill.rect.top, 10);
            EXPECT_EQ(fill.rect.right, 340);
            EXPECT_EQ(fill.rect.bottom, 250);
            EXPECT_EQ(fill.colour, row.key);
        }
        EXPECT_EQ(platform::gdi::selected_brush(dc), before) << "the old brush is put back";
        EXPECT_EQ(platform::gdi::live_objects(), objects + 1) << "one brush, made once";
        platform::gdi::delete_dc(dc);
        EXPECT_EQ(proc(2, nullptr, DRV_CLOSE, 0, 0), 1);
        EXPECT_EQ(platform::gdi::live_objects(), objects) << "freed with the instance";
    }
    DestroyWindow(window);
}

// The copy turns off thread notifications when it is loaded.
TEST_F(MessageTable, TheCopyTurnsOffThreadNotificationsAtLoad) {
    driver_proc();
    const HMODULE module = GetModuleHandleA("tarvovfw0.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_FALSE(platform::thread_library_calls_enabled(module));
}

TEST_F(MessageTable, InstallableDriverMessagesWithoutAChannel) {
    DRIVERPROC proc = driver_proc();
    const struct {
        DWORD_PTR id;
        UINT message;
        LRESULT expected;
    } rows[] = {
        {0, DRV_ENABLE, 1},
        {0, DRV_DISABLE, 1},
        {0, DRV_CONFIGURE, 1},
        {0, DRV_INSTALL, 1},
        {9999, DRV_CLOSE, 1},
        {0, DRV_CLOSE, 1},
        {4, DRV_CLOSE, 0}, // no channel is open
        {9999, DRV_OPEN, 9999},
        // Anything else on a configuration open goes to DefDriverProc, which answers 0 where
        // the channel dispatch would answer 17.
        {9999, DVM_FORMAT, 0},
        {0, DRV_USER + 0x999, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        EXPECT_EQ(proc(row.id, nullptr, row.message, 0, 0), row.expected);
    }
    DWORD error = 0;
    EXPECT_EQ(open_direct(4, &error, mmioFOURCC('v', 'i', 'd', 'c')), 0);
    EXPECT_TRUE(codes().empty()); // refused before anything is opened
}

} // namespace
} // namespace capdrv_test
