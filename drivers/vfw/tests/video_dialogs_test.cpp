// The Video Source, Video Format and BOARD dialogs on the virtual board with the real kernel
// driver, opened through a capture window as the station opens them, with scripted operators.
#include "board_fixture.h"
#include "driver_dialogs.h"

#include "platform/dialog_script.h"
#include "win32/dialog_box.h"
#include "win32/dialogs.h"
#include "win32/files.h"

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace capdrv_test {
namespace {

using tarvovfw::kBoardTemplate;
using tarvovfw::kHelpTemplate;
using tarvovfw::kVideoFormatTemplate;
using tarvovfw::kVideoSourceTemplate;

constexpr DWORD kDStatus = 0x000;
constexpr DWORD kIForm = 0x004;
constexpr DWORD kBright = 0x028;
constexpr DWORD kEControl = 0x02C;
constexpr DWORD kContrastLo = 0x030;
constexpr DWORD kSatULo = 0x034;
constexpr DWORD kAdc = 0x068;
constexpr DWORD kColorFmt = 0x0D4;

std::vector<std::string> texts(const platform::DialogControl* list) {
    std::vector<std::string> out;
    for (const auto& item : list->items()) {
        out.push_back(item.text);
    }
    return out;
}

class VideoDialogs : public OnBoard {
protected:
    DWORD reg(DWORD offset) { return hw().read_register(1, offset); }
    int connector() { return static_cast<int>((reg(kIForm) >> 5) & 3); }
    int standard() { return static_cast<int>(reg(kIForm) & 7); }
    bool svideo() { return (reg(kEControl) & 0xC0) == 0x40 && (reg(kAdc) & 2) == 0; }
    // Whether the chip's connector carries a signal, after the next field start.
    bool signal() {
        hw().step();
        return (reg(kDStatus) & 0x80) != 0;
    }
    std::vector<platform::HeadlessDialogHost::Run> runs() { return host_->runs(); }

    std::shared_ptr<platform::HeadlessDialogHost> host_ =
        std::make_shared<platform::HeadlessDialogHost>();
    platform::ScopedDialogHost scope_{host_};
};

TEST_F(VideoDialogs, SourceMovesReachTheChipAtOnceAndCancelRestoresChipRecordsAndValues) {
    route_camera(5);
    connect();
    start_capture();
    const int black = step_frames(3);
    ASSERT_GE(black, 0);
    ASSERT_TRUE(signal());

    host_->on(kVideoSourceTemplate, [&](platform::Dialog& d) {
        EXPECT_EQ(d.caption(), "Video Source Driver 1") << "the index plus 1";
        EXPECT_TRUE(d.control(310)->checked()) << "connector 2";
        EXPECT_FALSE(d.control(1011)->enabled());
        EXPECT_FALSE(d.control(521)->visible()) << "Help hidden without the setting";
        EXPECT_EQ(d.control(314)->selection(), 0);
        EXPECT_EQ(d.control(301)->scroll_pos(), 128);
        EXPECT_EQ(d.control(306)->text(), "128");

        // Picture controls reach the registers at once, and the picture.
        d.scroll(301, SB_THUMBTRACK, 200);
        EXPECT_EQ(reg(kBright), 72u);
        EXPECT_EQ(d.control(306)->text(), "200");
        EXPECT_GT(step_frames(3), black + 40) << "the black cell brightens";
        d.scroll(302, SB_PAGERIGHT); // 128 + 255 / 10 + 1
        EXPECT_EQ(d.control(307)->text(), "154");
        EXPECT_EQ(reg(kContrastLo), (2u * 154) & 0xFF);
        EXPECT_NE(reg(kEControl) & 4, 0u);
        const DWORD sat = reg(kSatULo);
        d.scroll(303, SB_LINELEFT);
        EXPECT_NE(reg(kSatULo), sat);
        d.scroll(301, SB_PAGELEFT);
        EXPECT_EQ(d.control(301)->scroll_pos(), 174);
        d.type(306, "300"); // clamped when the edit loses focus
        d.leave(306);
        EXPECT_EQ(d.control(306)->text(), "255");
        EXPECT_EQ(reg(kBright), 127u);

        // S-Video on input 1: connector and format bits; there is no signal there.
        d.click(312);
        EXPECT_TRUE(d.control(1011)->enabled());
        d.click(1011);
        EXPECT_EQ(connector(), 1);
        EXPECT_TRUE(svideo());
        EXPECT_FALSE(signal());
        // Any other connector: composite again, the box cleared and disabled.
        d.click(311);
        EXPECT_EQ(connector(), 3);
        EXPECT_FALSE(svideo());
        EXPECT_FALSE(d.control(1011)->checked());
        EXPECT_FALSE(d.control(1011)->enabled());
        EXPECT_FALSE(signal());
        d.click(IDCANCEL);
    });
    EXPECT_TRUE(capDlgVideoSource(window_));
    ASSERT_EQ(runs().size(), 1u);
    EXPECT_EQ(runs()[0].result, IDCANCEL);

    // The chip as it was, and the picture with it.
    EXPECT_EQ(reg(kBright), 0u);
    EXPECT_EQ(reg(kContrastLo), 0u);
    EXPECT_EQ(connector(), 2);
    EXPECT_FALSE(svideo());
    EXPECT_TRUE(signal());
    EXPECT_NEAR(step_frames(3), black, 2);
    // The stored values too (the refreshes had stored the moves).
    EXPECT_EQ(user_value(0, "Brightness"), 128);
    EXPECT_EQ(user_value(0, "Contrast"), 128);
    EXPECT_EQ(user_value(0, "Connector"), 2);
    EXPECT_EQ(user_value(0, "CableFormat"), 0);

    // And the instance's records: an OK right after sends the source record, which must not
    // carry the cancelled connector.
    host_->on(kVideoSourceTemplate, [](platform::Dialog& d) { d.click(IDOK); });
    EXPECT_TRUE(capDlgVideoSource(window_));
    EXPECT_EQ(connector(), 2);
    EXPECT_FALSE(svideo());
    EXPECT_TRUE(signal());
}

TEST_F(VideoDialogs, SourceOkStoresTheValuesTheNextDriverStartApplies) {
    connect();
    host_->on(kVideoSourceTemplate, [](platform::Dialog& d) {
        d.scroll(301, SB_THUMBTRACK, 200);
        d.scroll(304, SB_LINERIGHT);
        d.click(312);
        d.click(1011);
        d.click(IDOK);
    });
    EXPECT_TRUE(capDlgVideoSource(window_));
    EXPECT_EQ(runs().at(0).result, IDOK);
    EXPECT_EQ(user_value(0, "Brightness"), 200);
    EXPECT_EQ(user_value(0, "Hue"), 1);
    EXPECT_EQ(user_value(0, "Connector"), 1);
    EXPECT_EQ(user_value(0, "CableFormat"), 1);
    EXPECT_EQ(user_value(0, "VideoStd"), 3);

    ASSERT_TRUE(capDriverDisconnect(window_));
    hw().write_register(1, kBright, 0);
    ASSERT_TRUE(capDriverConnect(window_, 0));
    EXPECT_EQ(reg(kBright), 72u);
    EXPECT_EQ(connector(), 1);
    EXPECT_TRUE(svideo());

    // Opened on input 1 with S-Video: the box is enabled and checked.
    host_->on(kVideoSourceTemplate, [](platform::Dialog& d) {
        EXPECT_TRUE(d.control(312)->checked());
        EXPECT_TRUE(d.control(1011)->enabled());
        EXPECT_TRUE(d.control(1011)->checked());
        d.click(520); // Default
        EXPECT_EQ(d.control(306)->text(), "128");
        d.click(IDOK);
    });
    EXPECT_TRUE(capDlgVideoSource(window_));
    EXPECT_EQ(reg(kBright), 0u);
    EXPECT_EQ(user_value(0, "Brightness"), 128);
}

TEST_F(VideoDialogs, FormatReachesTheChipTheWindowAndTheStoredValues) {
    connect();
    host_->on(kVideoFormatTemplate, [](platform::Dialog& d) {
        EXPECT_EQ(d.caption(), "Video Format Driver 1");
        EXPECT_EQ(texts(d.control(206)),
                  (std::vector<std::string>{"192 x 144", "384 x 288", "768 x 576", "768 x 288"}));
        EXPECT_EQ(d.control(206)->selection(), 0) << "the stored 192 x 144";
        EXPECT_EQ(d.control(201)->items().at(1).text, "24 bit RGB");
        EXPECT_EQ(d.control(201)->selection(), 1);
        EXPECT_TRUE(d.control(IDCANCEL)->enabled());
        d.select(201, 3); // YUY2
        d.click(203);     // 1/2
        d.click(IDOK);
    });
    EXPECT_TRUE(capDlgVideoFormat(window_));
    EXPECT_EQ(reg(kColorFmt), 0x44u);
    BITMAPINFOHEADER format{};
    ASSERT_EQ(capGetVideoFormat(window_, &format, sizeof format), sizeof format);
    EXPECT_EQ(format.biWidth, 384);
    EXPECT_EQ(format.biHeight, 288);
    EXPECT_EQ(format.biBitCount, 16);
    CAPSTATUS status{};
    ASSERT_TRUE(capGetStatus(window_, &status, sizeof status));
    EXPECT_EQ(status.uiImageWidth, 384u);
    EXPECT_EQ(status.uiImageHeight, 288u);
    EXPECT_EQ(user_value(0, "Format"), 4);
    EXPECT_EQ(user_value(0, "Width"), 384);
    EXPECT_EQ(user_value(0, "Height"), 288);

    // Sizes follow the chip's standard; a stored size not in the set selects size 1.
    struct Case {
        int standard;
        const char* first;
        int selected;
    };
    for (const Case c : {Case{1, "160 x 120", 1}, Case{6, "192 x 144", 1}}) {
        SCOPED_TRACE(c.standard);
        hw().write_register(1, kIForm, (reg(kIForm) & ~7u) | static_cast<DWORD>(c.standard));
        set_user_value(0, "Width", 320);
        set_user_value(0, "Height", 200);
        ASSERT_TRUE(capDriverDisconnect(window_));
        ASSERT_TRUE(capDriverConnect(window_, 0));
        hw().write_register(1, kIForm, (reg(kIForm) & ~7u) | static_cast<DWORD>(c.standard));
        host_->on(kVideoFormatTemplate, [&](platform::Dialog& d) {
            EXPECT_EQ(d.control(206)->items().at(0).text, c.first);
            EXPECT_EQ(d.control(206)->selection(), c.selected);
            d.click(IDCANCEL);
        });
        EXPECT_TRUE(capDlgVideoFormat(window_));
    }
}

TEST_F(VideoDialogs, ChoosingSecamOpensFormatWith625LineSizesAndTheStandardChangesAtOk) {
    connect();
    int format_runs = 0;
    host_->on(kVideoFormatTemplate, [&](platform::Dialog& d) {
        ++format_runs;
        EXPECT_EQ(d.control(206)->items().at(0).text, "192 x 144");
        EXPECT_FALSE(d.control(IDCANCEL)->enabled()) << "while Video Source is open";
        EXPECT_EQ(standard(), 3) << "not yet";
        d.click(IDOK);
    });
    for (const int result : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(result);
        host_->on(kVideoSourceTemplate, [&](platform::Dialog& d) {
            EXPECT_EQ(texts(d.control(314)), (std::vector<std::string>{"PAL-B,D,G,H,I", "SECAM"}));
            d.select(314, 1);
            EXPECT_FALSE(d.control(304)->enabled()) << "hue only for standards 1 and 2";
            EXPECT_EQ(standard(), 3);
            d.click(result);
        });
        EXPECT_TRUE(capDlgVideoSource(window_));
        EXPECT_EQ(standard(), result == IDOK ? 6 : 3);
    }
    EXPECT_EQ(format_runs, 2);
    EXPECT_EQ(user_value(0, "VideoStd"), 6);
    const auto all = runs();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].template_id, static_cast<std::uint32_t>(kVideoFormatTemplate));
    EXPECT_NE(all[0].owner, nullptr) << "owned by the Video Source dialog";
}

TEST_F(VideoDialogs, BoardShowsPciAndRegistersChangesAndResetsAndOpensHelp) {
    set_user_value(0, "Help", 1);
    char directory[MAX_PATH] = {};
    GetSystemDirectoryA(directory, MAX_PATH);
    std::filesystem::copy_file(BT878_HELP_PATH, std::filesystem::path(directory) / "bt878.txt",
                               std::filesystem::copy_options::overwrite_existing);
    connect();
    std::vector<std::string> help;
    host_->on(kHelpTemplate, [&](platform::Dialog& d) {
        help = texts(d.control(1000));
        d.click(IDOK);
    });
    host_->on(kBoardTemplate, [&](platform::Dialog& d) {
        EXPECT_EQ(d.caption(), "Board Driver 1");
        const auto pci = texts(d.control(1000));
        ASSERT_EQ(pci.size(), 8u);
        EXPECT_EQ(pci[0], "PCI Information");
        EXPECT_EQ(pci[1], "VendorID=0x109e (Bt878)");
        EXPECT_EQ(pci[6], "Latency timer=0") << "written and read back";
        const auto* list = d.control(1001);
        ASSERT_EQ(list->items().size(), 73u);
        EXPECT_EQ(list->items()[0].text.rfind("0x000 DSTATUS\t\t0x", 0), 0u);
        EXPECT_EQ(list->items()[10].text, "0x028 BRIGHT\t\t0x0");
        EXPECT_EQ(list->items()[72].text.rfind("0x120 RISC_COUNT\t0x", 0), 0u);
        EXPECT_FALSE(d.control(1004)->enabled());

        d.select(1001, 10);
        EXPECT_EQ(d.control(1006)->text(), "0x028 BRIGHT");
        EXPECT_EQ(d.control(1004)->text(), "0");
        EXPECT_FALSE(d.control(1005)->enabled()) << "a single click only shows";
        d.double_click(1001, 10);
        EXPECT_TRUE(d.control(1005)->enabled());
        d.type(1004, "5a");
        d.click(1005);
        EXPECT_EQ(reg(kBright), 0x5Au);
        EXPECT_EQ(list->items()[10].text, "0x028 BRIGHT\t\t0x5a");
        EXPECT_FALSE(d.control(1004)->enabled());

        d.click(1003); // Reset: the chip's power-up values
        EXPECT_EQ(reg(kBright), 0u);
        EXPECT_EQ(list->items()[10].text, "0x028 BRIGHT\t\t0x0");
        ASSERT_EQ(list->items().size(), 73u);

        d.select(1001, 10);
        d.click(1007);
        d.click(IDOK);
    });
    host_->on(kVideoSourceTemplate, [](platform::Dialog& d) {
        ASSERT_TRUE(d.control(521)->visible());
        d.click(521);
        d.click(IDCANCEL);
    });
    EXPECT_TRUE(capDlgVideoSource(window_));
    ASSERT_FALSE(help.empty());
    EXPECT_EQ(help[0].rfind("Register 0x028", 0), 0u) << help[0];
}

TEST_F(VideoDialogs, ReentryOtherThreadsAndTheEndOfTheSession) {
    connect();
    // Off the owner window's thread nothing is shown.
    BOOL answered = FALSE;
    std::thread([&] { answered = capDlgVideoSource(window_); }).join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(runs().empty());

    // Connection messages re-entered inside the window's own dialog are refused; the end of
    // the session ends the dialog as Cancel does.
    host_->on(kVideoSourceTemplate, [&](platform::Dialog& d) {
        d.click(311);
        EXPECT_FALSE(capDriverDisconnect(window_));
        EXPECT_FALSE(capDriverConnect(window_, 0));
        EXPECT_FALSE(capDlgVideoFormat(window_));
        SendMessageA(HWND_BROADCAST, WM_ENDSESSION, TRUE, 0);
        EXPECT_TRUE(d.ended());
    });
    EXPECT_TRUE(capDlgVideoSource(window_));
    EXPECT_EQ(runs().at(0).result, IDCANCEL);
    EXPECT_EQ(connector(), 2);
    EXPECT_EQ(user_value(0, "Connector"), 2);

    // DestroyWindow from inside the dialog disconnects once the dialog has returned.
    host_->on(kVideoSourceTemplate, [&](platform::Dialog& d) {
        EXPECT_TRUE(DestroyWindow(window_));
        EXPECT_GT(user_value(0, "BoardInfo"), 0) << "still connected";
        d.click(IDOK);
    });
    EXPECT_TRUE(capDlgVideoSource(window_));
    EXPECT_EQ(user_value(0, "BoardInfo"), 0);
    window_ = nullptr;
}

} // namespace
} // namespace capdrv_test
