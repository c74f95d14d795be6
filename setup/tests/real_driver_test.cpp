// The installer with the project's own kernel driver image in place of the stand-in.
#include "setup_fixture.h"

#include "texts.h"

#include "platform/nt_kernel.h"

#include <windows.h>
#include <win32/winsvc.h>

namespace setup_test {
namespace {

class RealDriverTest : public InstallerTest {
protected:
    RealDriverTest() {
        std::filesystem::copy_file(SETUP_REAL_KERNEL_DRIVER, source() / "tarvo.sys",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    static DWORD install_error(int device) {
        HKEY key = nullptr;
        DWORD value = 0xFFFFFFFF;
        const std::string path =
            std::string(kService) + "\\Devices\\TarvoDevice\\" + std::to_string(device);
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) ==
            ERROR_SUCCESS) {
            DWORD size = sizeof value;
            RegQueryValueExA(key, "InstallError", nullptr, nullptr,
                             reinterpret_cast<LPBYTE>(&value), &size);
            RegCloseKey(key);
        }
        return value;
    }
};

TEST_F(RealDriverTest, InstallStartsTheDriverOnEveryChipAndRemoveTakesItAway) {
    installer().OnInstall();
    EXPECT_EQ(controls.statuses.back(), setup::text::kStatusInstallDone);
    EXPECT_TRUE(ui->boxes().empty());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(install_error(i), 0u) << i;
    }
    const HANDLE device = CreateFileA("\\\\.\\TarvoDevice3", GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);

    installer().OnRemove();
    EXPECT_EQ(controls.statuses.back(), setup::text::kStatusRemoveDone);
    EXPECT_FALSE(key_exists(kService));
    ASSERT_EQ(platform::nt::unload_reports().size(), 1u);
    EXPECT_TRUE(platform::nt::unload_reports()[0].clean());
}

TEST_F(RealDriverTest, MachineWithoutChipsIsTold) {
    machine::MachineConfig none;
    none.boards.clear();
    use_machine(none);
    installer().OnInstall();
    EXPECT_EQ(controls.statuses.back(), setup::text::kStatusInstallDone);
    ASSERT_EQ(ui->boxes().size(), 1u);
    EXPECT_EQ(ui->boxes()[0].text, setup::text::kNoCaptureDevices);
}

TEST_F(RealDriverTest, InterruptFailureOnDeviceOneStopsTheStartAndIsTold) {
    platform::nt::inject_fault(platform::nt::Fault::ConnectInterrupt,
                               static_cast<NTSTATUS>(0xC000009A), 1);
    installer().OnInstall();
    ASSERT_EQ(ui->boxes().size(), 1u);
    EXPECT_EQ(ui->boxes()[0].text,
              cp("Нет свободного прерывания для устройства 1, системой выделено прерывание 11"));
    EXPECT_EQ(install_error(1), 1004u);
    EXPECT_NE(controls.statuses.back().find("Tarvo.sys"), std::string::npos);
    EXPECT_FALSE(controls.buttons[0]);
    EXPECT_TRUE(controls.buttons[1]);
}

} // namespace
} // namespace setup_test
