// The kernel service: made and started on the first open, checked and removed for the
// installable-driver messages.
#include "fake_device_fixture.h"

#include "platform/paths.h"
#include "win32/dialogs.h"
#include "win32/errors.h"
#include "win32/registry.h"

namespace capdrv_test {
namespace {

class Service : public FakeDeviceTest {};

TEST_F(Service, APresentButStoppedServiceIsStarted) {
    create_service(SERVICE_DEMAND_START);
    ASSERT_EQ(service_state(), static_cast<DWORD>(SERVICE_STOPPED));
    Channel video(u"MSVIDEO", VIDEO_IN);
    EXPECT_TRUE(video.ok());
    EXPECT_EQ(service_state(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(service_start_type(), static_cast<DWORD>(SERVICE_DEMAND_START)); // left alone
    EXPECT_TRUE(ui_->boxes().empty());
}

TEST_F(Service, AServiceThatCannotStartFailsTheOpenWithABox) {
    std::filesystem::remove(platform::system_directory() / "drivers" / "Tarvo.sys");
    Channel video(u"MSVIDEO", VIDEO_IN);
    EXPECT_FALSE(video.ok());
    EXPECT_EQ(video.error(), 0u);
    const auto boxes = ui_->boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
    const std::string prefix = "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE7\xE0\xEF\xF3\xF1\xF2"
                               "\xE8\xF2\xFC \xE4\xF0\xE0\xE9\xE2\xE5\xF0 Tarvo.sys , Error=";
    EXPECT_EQ(boxes[0].text.substr(0, prefix.size()), prefix);
    EXPECT_GT(boxes[0].text.size(), prefix.size());
    // The service was registered; the next open starts it once the image is there.
    install_kernel_image(FAKE_KERNEL_PATH);
    Channel again(u"MSVIDEO", VIDEO_IN);
    EXPECT_TRUE(again.ok());
}

TEST_F(Service, QueryConfigureAndRemove) {
    DRIVERPROC proc = driver_proc();
    EXPECT_EQ(proc(9999, nullptr, DRV_QUERYCONFIGURE, 0, 0), 1); // no service: 1
    // Run the service through a channel open, then remove it.
    ASSERT_EQ(open_direct(VIDEO_IN), 4);
    ASSERT_EQ(proc(4, nullptr, DRV_CLOSE, 0, 0), 1);
    ASSERT_EQ(service_state(), static_cast<DWORD>(SERVICE_RUNNING));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "SYSTEM\\CurrentControlSet\\Services\\Tarvo\\Parameters", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(proc(9999, nullptr, DRV_QUERYCONFIGURE, 0, 0), 1);
    EXPECT_EQ(proc(9999, nullptr, DRV_REMOVE, 0, 0), 1);
    EXPECT_EQ(service_state(), 0u);
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "SYSTEM\\CurrentControlSet\\Services\\Tarvo\\Parameters", 0,
                            KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    // Removing what is gone counts as done.
    EXPECT_EQ(proc(9999, nullptr, DRV_REMOVE, 0, 0), 1);
    EXPECT_TRUE(ui_->boxes().empty());
}

} // namespace
} // namespace capdrv_test
