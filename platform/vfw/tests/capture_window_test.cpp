// Capture windows: connecting to registered drivers, formats, status, set-up and dialogs.
#include "capture_fixture.h"

#include "platform/window_table.h"
#include "vfw.h"
#include "win32/modules.h"
#include "win32/errors.h"
#include "win32/registry.h"

#include <cstring>

namespace vfw_test {
namespace {

HWND new_window() {
    return capCreateCaptureWindowA("", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, nullptr, 0);
}

TEST_F(CaptureTest, ConnectsByIndexAndReadsAndSetsTheFormat) {
    const auto file = install(2, 2);
    HWND w = new_window();
    ASSERT_TRUE(capDriverConnect(w, 2));
    {
        std::lock_guard l(vfw_probe::lock());
        const auto& d = vfw_probe::device(2);
        EXPECT_EQ(d.module_at_load, GetModuleHandleA(file.string().c_str()))
            << "the driver finds its module from its handle during DRV_LOAD";
        ASSERT_GE(d.messages.size(), 5u);
        const UINT expected[] = {DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_OPEN, DRV_OPEN};
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(d.messages[i].msg, expected[i]) << i;
        }
    }

    ASSERT_EQ(capGetVideoFormatSize(w), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h{};
    ASSERT_EQ(capGetVideoFormat(w, &h, sizeof(h)), sizeof(h));
    EXPECT_EQ(h.biWidth, 16);
    EXPECT_EQ(h.biHeight, 4);
    EXPECT_EQ(h.biBitCount, 24);
    BYTE part[8] = {};
    EXPECT_EQ(capGetVideoFormat(w, part, sizeof(part)), 8u) << "a short buffer gets what fits";

    h.biWidth = 8;
    h.biHeight = 2;
    h.biBitCount = 32;
    ASSERT_TRUE(capSetVideoFormat(w, &h, sizeof(h)));
    BITMAPINFOHEADER now{};
    capGetVideoFormat(w, &now, sizeof(now));
    EXPECT_EQ(now.biWidth, 8);
    EXPECT_EQ(now.biBitCount, 32);
    EXPECT_EQ(now.biSizeImage, 64u) << "the driver's own header is reported";
    CAPSTATUS s{};
    ASSERT_TRUE(capGetStatus(w, &s, sizeof(s)));
    EXPECT_EQ(s.uiImageWidth, 8u);
    EXPECT_EQ(s.uiImageHeight, 2u);
    EXPECT_FALSE(s.fCapturingNow);

    h.biBitCount = 8; // refused by the driver
    EXPECT_FALSE(capSetVideoFormat(w, &h, sizeof(h)));
    capGetVideoFormat(w, &now, sizeof(now));
    EXPECT_EQ(now.biBitCount, 32);

    CAPDRIVERCAPS caps{};
    ASSERT_TRUE(capDriverGetCaps(w, &caps, sizeof(caps)));
    EXPECT_EQ(caps.wDeviceIndex, 2u);
    EXPECT_FALSE(caps.fHasOverlay);
    EXPECT_TRUE(caps.fHasDlgVideoSource);
    EXPECT_TRUE(caps.fHasDlgVideoFormat);
    EXPECT_TRUE(caps.fCaptureInitialized);
    EXPECT_NE(caps.hVideoIn, nullptr);
    EXPECT_NE(caps.hVideoExtIn, nullptr);

    EXPECT_TRUE(capDlgVideoSource(w));
    EXPECT_TRUE(capDlgVideoFormat(w));
    {
        std::lock_guard l(vfw_probe::lock());
        EXPECT_EQ(vfw_probe::device(2).dialogs_shown, 2);
    }
    EXPECT_FALSE(capOverlay(w, TRUE)) << "the driver has no overlay";
    EXPECT_TRUE(capOverlay(w, FALSE));
    EXPECT_TRUE(capPreview(w, FALSE));

    ASSERT_TRUE(capDriverDisconnect(w));
    EXPECT_EQ(GetModuleHandleA(file.string().c_str()), nullptr);
    EXPECT_FALSE(capDriverDisconnect(w));
    EXPECT_EQ(capGetVideoFormatSize(w), 0u);
    EXPECT_FALSE(capGetStatus(w, &s, sizeof(s)));
    EXPECT_TRUE(DestroyWindow(w));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(SendMessageA(w, WM_CAP_GET_VIDEOFORMAT, 0, 0), 0);
}

TEST_F(CaptureTest, ConnectFailsWithoutAUsableDriver) {
    install(0, 0);
    register_slot(3, "missing.dll");
    register_slot(4, "");
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0, nullptr, 0,
                    KEY_SET_VALUE, nullptr, &key, nullptr);
    const DWORD number = 1;
    RegSetValueExA(key, "MSVIDEO5", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof(number));
    RegCloseKey(key);

    HWND w = new_window();
    const struct {
        WPARAM index;
        const char* why;
    } cases[] = {{1, "nothing registered"},  {3, "registered file missing"},
                 {4, "empty value"},         {5, "value of another type"},
                 {10, "past the last slot"}, {0xFFFFFFFFu, "far past the last slot"}};
    for (const auto& c : cases) {
        EXPECT_FALSE(capDriverConnect(w, c.index)) << c.why;
        EXPECT_EQ(capGetVideoFormatSize(w), 0u) << c.why;
    }
    EXPECT_TRUE(capDriverConnect(w, 0));
    EXPECT_FALSE(capDriverConnect(w, 1)) << "a failed connect leaves no driver";
    EXPECT_EQ(capGetVideoFormatSize(w), 0u);
    DestroyWindow(w);
}

TEST_F(CaptureTest, SequenceSetupKeepsWhatIsWritten) {
    HWND w = new_window();
    CAPTUREPARMS p{};
    ASSERT_TRUE(capCaptureGetSetup(w, &p, sizeof(p)));
    EXPECT_EQ(p.dwRequestMicroSecPerFrame, 66667u);
    EXPECT_FALSE(p.fYield);
    EXPECT_FALSE(p.fCaptureAudio);
    p.dwRequestMicroSecPerFrame = 40000;
    p.wNumVideoRequested = 7;
    p.fYield = -1;
    p.AVStreamMaster = 1;
    ASSERT_TRUE(capCaptureSetSetup(w, &p, sizeof(p)));
    CAPTUREPARMS back{};
    ASSERT_TRUE(capCaptureGetSetup(w, &back, sizeof(back)));
    EXPECT_EQ(std::memcmp(&back, &p, sizeof(p)), 0);

    // A short record changes and reads only its own bytes.
    DWORD rate = 10000;
    ASSERT_TRUE(capCaptureSetSetup(w, &rate, sizeof(rate)));
    DWORD two[2] = {0xAAAAAAAAu, 0xAAAAAAAAu};
    ASSERT_TRUE(capCaptureGetSetup(w, two, sizeof(DWORD)));
    EXPECT_EQ(two[0], 10000u);
    EXPECT_EQ(two[1], 0xAAAAAAAAu);
    ASSERT_TRUE(capCaptureGetSetup(w, &back, sizeof(back)));
    EXPECT_EQ(back.wNumVideoRequested, 7u);
    EXPECT_FALSE(capCaptureSetSetup(w, nullptr, sizeof(p)));
    DestroyWindow(w);
}

TEST_F(CaptureTest, ConnectingAgainReplacesTheDriver) {
    const auto file0 = install(0, 0);
    const auto file1 = install(1, 1);
    HWND w = new_window();
    ASSERT_TRUE(capDriverConnect(w, 0));
    ASSERT_TRUE(capDriverConnect(w, 1));
    EXPECT_EQ(GetModuleHandleA(file0.string().c_str()), nullptr);
    EXPECT_NE(GetModuleHandleA(file1.string().c_str()), nullptr);
    DestroyWindow(w);
    EXPECT_EQ(GetModuleHandleA(file1.string().c_str()), nullptr) << "destroying disconnects";
}

TEST(CaptureWindow, KeepsVisibilityAndPlacement) {
    HWND w = capCreateCaptureWindowA("", WS_CHILD | WS_VISIBLE, 4, 5, 6, 7, nullptr, 0);
    HWND hidden = capCreateCaptureWindowA("", WS_CHILD, 0, 0, 0, 0, nullptr, 0);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_TRUE(ShowWindow(w, SW_HIDE)) << "was visible";
    EXPECT_FALSE(IsWindowVisible(w));
    ASSERT_TRUE(SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW));
    platform::WindowPlacement p;
    ASSERT_TRUE(platform::window_placement(w, p));
    EXPECT_TRUE(p.visible);
    EXPECT_EQ(p.x, 4);
    EXPECT_EQ(p.y, 5);
    EXPECT_EQ(p.width, 0);
    EXPECT_EQ(p.height, 0);
    DestroyWindow(w);
    DestroyWindow(hidden);
    EXPECT_FALSE(SetWindowPos(w, nullptr, 0, 0, 0, 0, 0));
    EXPECT_FALSE(ShowWindow(w, SW_SHOW));
}

} // namespace
} // namespace vfw_test
