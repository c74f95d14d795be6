#include "setup_fixture.h"

#include "installer_support.h"
#include "texts.h"

#include "platform/nt_kernel.h"
#include "platform/paths.h"
#include "platform/pnp_devices.h"
#include "platform/registry_store.h"

#include <windows.h>
#include <win32/winsvc.h>

namespace setup_test {
namespace {

using platform::registry::Root;

constexpr char kMsvideo[] = "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\msvideo";
constexpr char kUserCapture[] = "Software\\Microsoft\\Multimedia\\Video Capture";

bool service_exists() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "Tarvo", SERVICE_QUERY_STATUS);
    const DWORD error = GetLastError();
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    EXPECT_TRUE(service != nullptr || error == ERROR_SERVICE_DOES_NOT_EXIST);
    return service != nullptr;
}

TEST_F(InstallerTest, RemoveAfterInstallFromSlotThreeTakesExactlyOurs) {
    installer().settings.device_count = 2;
    installer().settings.first_slot = 3;
    installer().OnInstall();
    ASSERT_EQ(controls.statuses.back(), setup::text::kStatusInstallDone);

    // Around our install: other drivers' registrations, files and settings.
    set_string(kDrivers32, "MSVIDEO", "msyuv.dll");
    set_string(kDrivers32, "MSVIDEO5", "othercap.dll");
    set_string(kDrivers32, "MSVIDEO6", "TARVOVFW6.DLL"); // a copy of ours from an older install
    set_string(kDriversDesc, "vfwwdm32.dll", "WDM Video Capture Driver (Win32)");
    set_string(kDriversDesc, "othercap.dll", "Other capture");
    set_string(kMsvideo, "MSVIDEO.VFWWDM", "x");
    platform::registry::create_key(Root::LocalMachine,
                                   std::string(kMsvideo) + "\\MSVIDEO.VFWWDM\\x");
    platform::registry::create_key(Root::CurrentUser,
                                   std::string(kUserCapture) + "\\tarvo\\Driver0");
    platform::registry::create_key(Root::CurrentUser, std::string(kUserCapture) + "\\other");
    for (const char* name : {"tarvovfw5.dll", "tarvovfw6.dll", "tarvovfw7.dll", "other.dll"}) {
        write_file(system_dir() / name, {1, 2, 3});
    }
    controls.statuses.clear();
    ui->clear();

    installer().OnRemove();

    EXPECT_EQ(controls.statuses, (std::vector<std::string>{setup::text::kStatusRemovingFiles,
                                                           setup::text::kStatusRemovingKeys,
                                                           setup::text::kStatusRemovingDriver,
                                                           setup::text::kStatusRemoveDone}));
    EXPECT_TRUE(controls.buttons[0]);
    EXPECT_FALSE(controls.buttons[1]);
    EXPECT_TRUE(controls.buttons[2]);
    EXPECT_EQ(ui->beeps().back().frequency, 1000u);

    // First slot 3, count 7: copies 0 to 6 go, 7 stays.
    for (int i = 0; i < 7; ++i) {
        EXPECT_FALSE(
            std::filesystem::exists(system_dir() / ("tarvovfw" + std::to_string(i) + ".dll")))
            << i;
    }
    EXPECT_TRUE(std::filesystem::exists(system_dir() / "tarvovfw7.dll"));
    EXPECT_TRUE(std::filesystem::exists(system_dir() / "other.dll"));
    EXPECT_FALSE(std::filesystem::exists(system_dir() / "tarvovfw.dll"));
    EXPECT_FALSE(std::filesystem::exists(system_dir() / "drivers" / "tarvo.sys"));

    // Only the slot values naming our copies go.
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO"), "msyuv.dll");
    EXPECT_FALSE(value_exists(kDrivers32, "MSVIDEO3"));
    EXPECT_FALSE(value_exists(kDrivers32, "MSVIDEO4"));
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO5"), "othercap.dll");
    EXPECT_FALSE(value_exists(kDrivers32, "MSVIDEO6"));
    EXPECT_FALSE(value_exists(kDriversDesc, "tarvovfw0.dll"));
    EXPECT_FALSE(value_exists(kDriversDesc, "tarvovfw1.dll"));
    EXPECT_FALSE(value_exists(kDriversDesc, "vfwwdm32.dll"));
    EXPECT_EQ(string_value(kDriversDesc, "othercap.dll"), "Other capture");
    EXPECT_FALSE(value_exists(kMsvideo, "MSVIDEO.VFWWDM"));
    EXPECT_FALSE(key_exists(std::string(kMsvideo) + "\\MSVIDEO.VFWWDM"));
    EXPECT_FALSE(key_exists(std::string(kUserCapture) + "\\tarvo", true));
    EXPECT_TRUE(key_exists(std::string(kUserCapture) + "\\other", true));

    EXPECT_FALSE(service_exists());
    EXPECT_FALSE(key_exists(kService));
    ASSERT_EQ(platform::nt::unload_reports().size(), 1u);
    EXPECT_TRUE(platform::nt::unload_reports()[0].clean());
}

TEST_F(InstallerTest, RemoveOnACleanSystemFinishes) {
    installer().OnRemove();
    EXPECT_EQ(controls.statuses.back(), setup::text::kStatusRemoveDone);
    EXPECT_TRUE(controls.buttons[0]);
    EXPECT_FALSE(controls.buttons[1]);
    EXPECT_TRUE(ui->boxes().empty());
}

TEST_F(InstallerTest, ADriverThatCannotStopLeavesTheRemovalUnfinished) {
    installer().OnInstall();
    ASSERT_EQ(controls.statuses.back(), setup::text::kStatusInstallDone);
    // A process holds device 0 open, so the driver cannot be stopped.
    const HANDLE device = CreateFileA("\\\\.\\TarvoDevice0", GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    controls.statuses.clear();
    controls.ticked = true;
    installer().settings.windows_major = 5;

    installer().OnRemove();

    const std::vector<std::string> tail(controls.statuses.end() - 3, controls.statuses.end());
    EXPECT_EQ(tail, (std::vector<std::string>{setup::text::kStatusRemovingDriver,
                                              setup::text::kStopFailedRemovingDevices,
                                              setup::text::kServiceStopErrorRemove}));
    // The devices were removed once before the service step and the retry found none left.
    EXPECT_TRUE(installer().devices_removed());
    EXPECT_FALSE(controls.buttons[0]);
    EXPECT_FALSE(controls.buttons[1]);
    EXPECT_TRUE(controls.buttons[2]);
    EXPECT_TRUE(service_exists());
    CloseHandle(device);
}

} // namespace
} // namespace setup_test
