// Installable-driver services: opening, messages, closing, the default procedure and callbacks.
#include "capture_fixture.h"

#include "platform/sync.h"
#include "platform/window_table.h"
#include "vfw.h"
#include "win32/handleapi.h"
#include "win32/modules.h"
#include "win32/synch.h"

namespace vfw_test {
namespace {

VIDEO_OPEN_PARMS open_parms(DWORD channel, FOURCC type = mmioFOURCC('v', 'c', 'a', 'p')) {
    VIDEO_OPEN_PARMS p{};
    p.dwSize = sizeof(p);
    p.fccType = type;
    p.dwVersion = VIDEOAPIVERSION;
    p.dwFlags = channel;
    return p;
}

std::vector<vfw_probe::Message> messages(int digit) {
    std::lock_guard l(vfw_probe::lock());
    return vfw_probe::device(digit).messages;
}

TEST_F(CaptureTest, OpenDriverLoadsOnceAndUnloadsAfterTheLastClose) {
    const auto file = install(0, 0);
    auto in = open_parms(VIDEO_IN);
    auto ext = open_parms(VIDEO_EXTERNALIN);
    HDRVR a = OpenDriver(u"msvideo", nullptr, reinterpret_cast<LPARAM>(&in));
    ASSERT_NE(a, nullptr) << "by its Drivers32 name";
    HDRVR b = OpenDriver(u"TESTCAP0.DLL", u"Drivers32", reinterpret_cast<LPARAM>(&ext));
    ASSERT_NE(b, nullptr) << "by its file name, in another case";
    EXPECT_NE(a, b);
    HMODULE module = GetModuleHandleA(file.string().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetDriverModuleHandle(a), module);
    EXPECT_EQ(GetDriverModuleHandle(b), module);

    CHANNEL_CAPS caps{};
    EXPECT_EQ(
        SendDriverMessage(a, DVM_GET_CHANNEL_CAPS, reinterpret_cast<LPARAM>(&caps), sizeof(caps)),
        DV_ERR_OK);
    EXPECT_EQ(caps.dwDstRectWidthMod, 40u);
    auto msgs = messages(0);
    ASSERT_EQ(msgs.size(), 5u);
    const UINT opened[] = {DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_OPEN, DVM_GET_CHANNEL_CAPS};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(msgs[i].msg, opened[i]);
    }
    EXPECT_EQ(msgs[0].id, 0u);
    EXPECT_EQ(msgs[2].param2, reinterpret_cast<LPARAM>(&in));
    EXPECT_EQ(msgs[4].id, static_cast<DWORD_PTR>(VIDEO_IN)) << "the identifier DRV_OPEN gave";

    EXPECT_EQ(CloseDriver(a, 0, 0), 1);
    EXPECT_EQ(messages(0).back().msg, static_cast<UINT>(DRV_CLOSE));
    EXPECT_NE(GetModuleHandleA(file.string().c_str()), nullptr) << "still open through b";
    EXPECT_EQ(GetDriverModuleHandle(a), nullptr);
    EXPECT_EQ(SendDriverMessage(a, DVM_GET_CHANNEL_CAPS, 0, 0), 0);
    EXPECT_EQ(CloseDriver(a, 0, 0), 0);

    EXPECT_EQ(CloseDriver(b, 0, 0), 1);
    msgs = messages(0);
    ASSERT_GE(msgs.size(), 3u);
    EXPECT_EQ(msgs[msgs.size() - 3].msg, static_cast<UINT>(DRV_CLOSE));
    EXPECT_EQ(msgs[msgs.size() - 3].id, static_cast<DWORD_PTR>(VIDEO_EXTERNALIN));
    EXPECT_EQ(msgs[msgs.size() - 2].msg, static_cast<UINT>(DRV_DISABLE));
    EXPECT_EQ(msgs[msgs.size() - 1].msg, static_cast<UINT>(DRV_FREE));
    EXPECT_EQ(GetModuleHandleA(file.string().c_str()), nullptr);
}

TEST_F(CaptureTest, ARefusedOpenUnloadsTheDriver) {
    const auto file = install(0, 0);
    auto wrong = open_parms(VIDEO_IN, mmioFOURCC('v', 'i', 'd', 'c'));
    EXPECT_EQ(OpenDriver(u"MSVIDEO", nullptr, reinterpret_cast<LPARAM>(&wrong)), nullptr);
    const auto msgs = messages(0);
    const UINT expected[] = {DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_DISABLE, DRV_FREE};
    ASSERT_EQ(msgs.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(msgs[i].msg, expected[i]);
    }
    EXPECT_EQ(GetModuleHandleA(file.string().c_str()), nullptr);

    // No such file, a library without DriverProc, no name.
    EXPECT_EQ(OpenDriver(u"nothing.dll", nullptr, 0), nullptr);
    std::filesystem::copy_file(TEST_PROBE_PATH, root_ / "system32" / "plain.dll");
    EXPECT_EQ(OpenDriver(u"plain.dll", nullptr, 0), nullptr);
    EXPECT_EQ(OpenDriver(nullptr, nullptr, 0), nullptr);
}

TEST(DefDriverProc, AnswersTheStandardMessages) {
    const struct {
        UINT msg;
        LRESULT result;
    } cases[] = {{DRV_LOAD, 1},
                 {DRV_FREE, 1},
                 {DRV_ENABLE, 1},
                 {DRV_DISABLE, 1},
                 {DRV_INSTALL, DRVCNF_OK},
                 {DRV_REMOVE, DRVCNF_OK},
                 {DRV_QUERYCONFIGURE, 0},
                 {DRV_OPEN, 0},
                 {DVM_FORMAT, 0},
                 {DRV_USER + 7, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(DefDriverProc(9999, nullptr, c.msg, 0, 0), c.result) << c.msg;
    }
}

struct Call {
    HDRVR device;
    UINT msg;
    DWORD_PTR user, p1, p2;
};
std::vector<Call> calls;
void CALLBACK record_call(HDRVR device, UINT msg, DWORD_PTR user, DWORD_PTR p1, DWORD_PTR p2) {
    calls.push_back({device, msg, user, p1, p2});
}

struct PostBox : platform::Window {
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> posted;
    LRESULT send(UINT, WPARAM, LPARAM) override { return 0; }
    bool post(UINT m, WPARAM w, LPARAM l) override {
        posted.emplace_back(m, w, l);
        return true;
    }
};

TEST(DriverCallback, ReachesFunctionsWindowsAndEvents) {
    auto device = reinterpret_cast<HDRVR>(std::uintptr_t{0x1234});
    calls.clear();
    EXPECT_TRUE(DriverCallback(reinterpret_cast<DWORD_PTR>(&record_call), DCB_FUNCTION, device,
                               MM_DRVM_DATA, 7, 8, 9));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].device, device);
    EXPECT_EQ(calls[0].msg, static_cast<UINT>(MM_DRVM_DATA));
    EXPECT_EQ(calls[0].user, 7u);
    EXPECT_EQ(calls[0].p1, 8u);
    EXPECT_EQ(calls[0].p2, 9u);
    // The kind is in the low bits; DCB_NOSWITCH does not change it.
    EXPECT_TRUE(DriverCallback(reinterpret_cast<DWORD_PTR>(&record_call),
                               DCB_FUNCTION | DCB_NOSWITCH, device, MM_DRVM_OPEN, 0, 0, 0));
    EXPECT_EQ(calls.size(), 2u);

    auto box = std::make_shared<PostBox>();
    HWND hwnd = platform::register_window(box);
    EXPECT_TRUE(DriverCallback(reinterpret_cast<DWORD_PTR>(hwnd), DCB_WINDOW, device, MM_DRVM_DATA,
                               7, 8, 9));
    ASSERT_EQ(box->posted.size(), 1u);
    EXPECT_EQ(box->posted[0], std::make_tuple(static_cast<UINT>(MM_DRVM_DATA),
                                              reinterpret_cast<WPARAM>(device), LPARAM{8}));
    platform::unregister_window(hwnd);
    EXPECT_FALSE(DriverCallback(reinterpret_cast<DWORD_PTR>(hwnd), DCB_WINDOW, device, MM_DRVM_DATA,
                                0, 0, 0))
        << "a window that is gone";

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(DriverCallback(reinterpret_cast<DWORD_PTR>(event), DCB_EVENT, device, MM_DRVM_DATA,
                               0, 0, 0));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
    EXPECT_FALSE(DriverCallback(reinterpret_cast<DWORD_PTR>(event), DCB_EVENT, device, MM_DRVM_DATA,
                                0, 0, 0));

    const DWORD_PTR fn = reinterpret_cast<DWORD_PTR>(&record_call);
    EXPECT_FALSE(DriverCallback(0, DCB_FUNCTION, device, MM_DRVM_DATA, 0, 0, 0));
    EXPECT_FALSE(DriverCallback(fn, DCB_NULL, device, MM_DRVM_DATA, 0, 0, 0));
    EXPECT_FALSE(DriverCallback(fn, DCB_TASK, device, MM_DRVM_DATA, 0, 0, 0));
    EXPECT_EQ(calls.size(), 2u);
}

} // namespace
} // namespace vfw_test
