#include "setup_fixture.h"

#include "installer_support.h"
#include "names.h"
#include "privilege.h"
#include "texts.h"

#include "platform/nt_kernel.h"
#include "platform/paths.h"
#include "platform/pnp_devices.h"
#include "platform/token_state.h"

#include <windows.h>
#include <win32/restart.h>
#include <win32/winsvc.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace setup_test {
namespace {

using platform::UiRecorder;

machine::MachineConfig chips(int count) {
    machine::MachineConfig config;
    if (count == 0) {
        config.boards.clear();
    } else {
        config.boards[0].chips.resize(static_cast<std::size_t>(count));
    }
    return config;
}

std::string slot_name(int slot) {
    return slot == 0 ? "MSVIDEO" : "MSVIDEO" + std::to_string(slot);
}

std::string copy_name(int i) {
    return "tarvovfw" + std::to_string(i) + ".dll";
}

// The service's state as the service manager reports it; 0 when it does not exist.
DWORD service_state() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "Tarvo", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    const bool ok = service != nullptr && QueryServiceStatus(service, &status);
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return ok ? status.dwCurrentState : 0;
}

DWORD dword_value(const std::string& key, const char* name) {
    HKEY k = nullptr;
    DWORD value = 0xFFFFFFFF;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &k) == ERROR_SUCCESS) {
        DWORD size = sizeof value;
        RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
        RegCloseKey(k);
    }
    return value;
}

// The file description a copy's version information reports.
std::string description_of(const std::filesystem::path& file) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.string().c_str(), &handle);
    std::vector<BYTE> block(size);
    LPVOID text = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoA(file.string().c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\FileDescription", &text,
                        &length)) {
        return {};
    }
    return static_cast<const char*>(text);
}

std::vector<std::string> box_texts(const UiRecorder& ui) {
    std::vector<std::string> out;
    for (const auto& box : ui.boxes()) {
        out.push_back(box.text);
    }
    return out;
}

struct InstallCase {
    int chips;
    int count;
    int first;
    std::vector<std::string> boxes; // UTF-8
};

class InstallLayout : public InstallerTest, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallLayout, CopiesRegistersStartsAndReportsDevices) {
    const InstallCase& c = GetParam();
    use_machine(chips(c.chips));
    installer().settings.device_count = c.count;
    installer().settings.first_slot = c.first;
    installer().OnInstall();

    EXPECT_EQ(controls.statuses, (std::vector<std::string>{setup::text::kStatusCopyingFiles,
                                                           setup::text::kStatusRegistry,
                                                           setup::text::kStatusInstallingDriver,
                                                           setup::text::kStatusInstallDone}));
    EXPECT_FALSE(controls.buttons[0]);
    EXPECT_TRUE(controls.buttons[1]);
    EXPECT_TRUE(controls.buttons[2]);

    // Each copy differs from the source in exactly its digit, the last character of its file
    // description.
    const auto source_bytes = file_bytes(source() / "tarvovfw0.dll");
    for (int i = 0; i < c.count; ++i) {
        const auto copy = system_dir() / copy_name(i);
        const auto bytes = file_bytes(copy);
        ASSERT_EQ(bytes.size(), source_bytes.size()) << i;
        std::vector<std::size_t> differing;
        for (std::size_t b = 0; b < bytes.size(); ++b) {
            if (bytes[b] != source_bytes[b]) {
                differing.push_back(b);
            }
        }
        if (i == 0) {
            EXPECT_TRUE(differing.empty());
        } else {
            ASSERT_EQ(differing.size(), 1u) << i;
            EXPECT_EQ(bytes[differing[0]], '0' + i);
        }
        EXPECT_EQ(description_of(copy),
                  "MSVIDEO: Orvik Video Capture Driver Device" + std::to_string(i));
    }
    EXPECT_FALSE(std::filesystem::exists(system_dir() / copy_name(c.count)));
    EXPECT_EQ(file_bytes(system_dir() / "tarvovfw.dll"), file_bytes(source() / "tarvovfw.dll"));
    EXPECT_EQ(file_bytes(system_dir() / "drivers" / "tarvo.sys"),
              file_bytes(source() / "tarvo.sys"));

    // Slot values exactly in slots first .. first + count - 1, and their descriptions.
    for (int slot = 0; slot < 10; ++slot) {
        const bool ours = slot >= c.first && slot < c.first + c.count;
        EXPECT_EQ(string_value(kDrivers32, slot_name(slot)), ours ? copy_name(slot - c.first) : "")
            << slot;
    }
    for (int i = 0; i < c.count; ++i) {
        EXPECT_EQ(string_value(kDriversDesc, copy_name(i)),
                  "Orvik NT VFW Driver " + std::to_string(c.first + i));
    }

    // The service: an automatic-start kernel driver from the system directory, running.
    EXPECT_EQ(dword_value(kService, "Type"), static_cast<DWORD>(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(dword_value(kService, "Start"), static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(dword_value(kService, "ErrorControl"), static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(string_value(kService, "ImagePath"),
              platform::system_directory().string() + "\\drivers\\Tarvo.sys");
    EXPECT_EQ(service_state(), static_cast<DWORD>(SERVICE_RUNNING));
    for (int i = 0; i < c.chips; ++i) {
        EXPECT_EQ(
            dword_value(std::string(kService) + "\\Devices\\TarvoDevice\\" + std::to_string(i),
                        "InstallError"),
            0u);
    }

    std::vector<std::string> expected;
    for (const std::string& b : c.boxes) {
        expected.push_back(cp(b.c_str()));
    }
    EXPECT_EQ(box_texts(*ui), expected);
    const auto beeps = ui->beeps();
    ASSERT_FALSE(beeps.empty());
    EXPECT_EQ(beeps.back().frequency, 1000u);
    EXPECT_EQ(beeps.back().duration, 100u);
    EXPECT_TRUE(platform::token::session_end_requests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, InstallLayout,
    ::testing::Values(InstallCase{4, 4, 0, {}},
                      InstallCase{1, 2, 3, {"Не обнаружено устройство видеозахвата 1"}},
                      InstallCase{0, 4, 0, {"Устройств видеозахвата не обнаружено"}},
                      // Ten copies on a board of four chips: devices 4 to 9 are missing.
                      InstallCase{4,
                                  10,
                                  0,
                                  {"Не обнаружено устройство видеозахвата 4",
                                   "Не обнаружено устройство видеозахвата 5",
                                   "Не обнаружено устройство видеозахвата 6",
                                   "Не обнаружено устройство видеозахвата 7",
                                   "Не обнаружено устройство видеозахвата 8",
                                   "Не обнаружено устройство видеозахвата 9"}}));

// Failed starts: the first device with a result other than 0 is told by its code.
struct StartFailure {
    platform::nt::Fault fault;
    NTSTATUS status;
    unsigned skip;
    const char* box; // UTF-8
};

class InstallStartFailure : public InstallerTest,
                            public ::testing::WithParamInterface<StartFailure> {};

TEST_P(InstallStartFailure, IsReportedByTheDeviceResult) {
    const StartFailure& f = GetParam();
    platform::nt::inject_fault(f.fault, f.status, f.skip);
    installer().OnInstall();

    ASSERT_EQ(box_texts(*ui), std::vector<std::string>{cp(f.box)});
    EXPECT_EQ(ui->boxes()[0].caption, setup::text::kCaptionAttention);
    const std::string& last = controls.statuses.back();
    int code = 0;
    char tail[128] = {};
    ASSERT_EQ(std::sscanf(last.c_str(), "\316\370\350\341\352\340 %d %127[^\n]", &code, tail), 2);
    EXPECT_NE(code, 0);
    EXPECT_EQ(last, setup::format(setup::text::kServiceStartError, code));
    EXPECT_FALSE(controls.buttons[0]);
    EXPECT_TRUE(controls.buttons[1]);
    EXPECT_TRUE(controls.buttons[2]);
    EXPECT_EQ(ui->beeps().back().frequency, 100u);
}

INSTANTIATE_TEST_SUITE_P(
    Results, InstallStartFailure,
    ::testing::Values(
        StartFailure{platform::nt::Fault::AssignSlotResources, static_cast<NTSTATUS>(0xC0000018), 0,
                     "Конфликт устройствa 0 Status=c0000018"},
        StartFailure{platform::nt::Fault::MapIoSpace, STATUS_INSUFFICIENT_RESOURCES, 1,
                     "Не выделена память для регистров устройства 1 Status=c000009a"},
        StartFailure{platform::nt::Fault::InterruptVector, STATUS_UNSUCCESSFUL, 2,
                     "Нет свободного прерывания для устройства 2, системой выделено прерывание 11"},
        StartFailure{platform::nt::Fault::PoolAllocation, STATUS_INSUFFICIENT_RESOURCES, 1,
                     "Ошибка при инициализации устройства 0(недостaточно памяти) Status=0"}));

TEST_F(InstallerTest, KernelImageThatDoesNotLoadReportsDeviceZero) {
    write_file(source() / "tarvo.sys", std::vector<unsigned char>(2000, 0x11));
    installer().OnInstall();
    // No device key at all: the result reads 1 and its status 1.
    EXPECT_EQ(box_texts(*ui),
              std::vector<std::string>{cp("Ошибка при создании устройства 0 Status=1")});
    EXPECT_NE(controls.statuses.back().find("Tarvo.sys"), std::string::npos);
}

// Source and copy failures end the install with their status and an error beep.
struct SourceCase {
    const char* what;
    std::function<void(InstallerTest&)> arrange;
    std::string status; // CP1251
};

class InstallSourceFailure : public InstallerTest {
protected:
    void run(const SourceCase& c) {
        SCOPED_TRACE(c.what);
        c.arrange(*this);
        installer().OnInstall();
        ASSERT_FALSE(controls.statuses.empty());
        EXPECT_EQ(controls.statuses.back(), c.status);
        EXPECT_EQ(ui->beeps().back().frequency, 100u);
        EXPECT_EQ(ui->beeps().back().duration, 200u);
        EXPECT_FALSE(controls.buttons[0]);
        EXPECT_TRUE(controls.buttons[1]);
        EXPECT_TRUE(controls.buttons[2]);
        EXPECT_EQ(string_value(kDrivers32, "MSVIDEO"), "");
        EXPECT_FALSE(key_exists(kService));
    }
};

TEST_F(InstallSourceFailure, EachSourceProblemHasItsText) {
    const auto cut = [](std::size_t size) {
        return [size](InstallerTest& t) {
            auto bytes = t.file_bytes(t.source() / "tarvovfw0.dll");
            bytes.resize(size);
            t.write_file(t.source() / "tarvovfw0.dll", bytes);
        };
    };
    const SourceCase cases[] = {
        {"missing library",
         [](InstallerTest& t) { std::filesystem::remove(t.source() / "tarvovfw0.dll"); },
         setup::text::kSourceNotFound},
        {"999 bytes", cut(999), setup::text::kSourceDamaged},
        {"1000 bytes without the description", cut(1000), setup::text::kSourceNoDescription},
        {"missing board-control library",
         [](InstallerTest& t) { std::filesystem::remove(t.source() / "tarvovfw.dll"); },
         setup::format(setup::text::kFileNotFound, "tarvovfw.dll")},
        {"missing kernel driver",
         [](InstallerTest& t) { std::filesystem::remove(t.source() / "tarvo.sys"); },
         setup::format(setup::text::kFileNotFound, "tarvo.sys")},
    };
    for (const SourceCase& each : cases) {
        // Each case on a clean system directory and source folder.
        for (const auto& entry : std::filesystem::directory_iterator(system_dir())) {
            if (entry.is_regular_file()) {
                std::filesystem::remove(entry.path());
            }
        }
        std::filesystem::remove(system_dir() / "drivers" / "tarvo.sys");
        std::filesystem::copy_file(std::filesystem::path(SETUP_SOURCE_DIR) / "tarvovfw0.dll",
                                   source() / "tarvovfw0.dll",
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(std::filesystem::path(SETUP_SOURCE_DIR) / "tarvo.sys",
                                   source() / "tarvo.sys",
                                   std::filesystem::copy_options::overwrite_existing);
        write_file(source() / "tarvovfw.dll", std::vector<unsigned char>(3000, 0x5A));
        controls.statuses.clear();
        ui->clear();
        run(each);
    }
}

TEST_F(InstallerTest, FailedWriteOfACopyEndsTheInstall) {
    // A folder in the place of copy 1: it "exists", the operator agrees to replace it, and the
    // create fails.
    std::filesystem::create_directories(system_dir() / "tarvovfw1.dll");
    ui->answer(IDYES);
    installer().OnInstall();
    EXPECT_EQ(controls.statuses.back(), setup::text::kSourceDamaged);
    EXPECT_TRUE(std::filesystem::exists(system_dir() / "tarvovfw0.dll"));
    EXPECT_FALSE(std::filesystem::exists(system_dir() / "tarvovfw2.dll"));
    EXPECT_FALSE(std::filesystem::exists(system_dir() / "tarvovfw.dll"));
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO"), "");
}

TEST_F(InstallerTest, ExistingFilesAreReplacedOnlyWhenTheOperatorAgrees) {
    const std::vector<unsigned char> old(1500, 0x77);
    write_file(system_dir() / "tarvovfw0.dll", old);
    write_file(system_dir() / "tarvovfw2.dll", old);
    write_file(system_dir() / "tarvovfw.dll", old);
    write_file(system_dir() / "drivers" / "tarvo.sys", old);
    ui->answer(IDNO);  // copy 0 kept
    ui->answer(IDYES); // copy 2 replaced
    ui->answer(IDNO);  // board-control library kept
    ui->answer(IDYES); // kernel driver replaced
    installer().OnInstall();

    const auto boxes = ui->boxes();
    ASSERT_EQ(boxes.size(), 4u);
    const std::string dir = platform::system_directory().string() + "\\";
    EXPECT_EQ(boxes[0].text,
              setup::format(setup::text::kCopyExistsReplace, (dir + "tarvovfw0.dll").c_str()));
    EXPECT_EQ(boxes[1].text,
              setup::format(setup::text::kCopyExistsReplace, (dir + "tarvovfw2.dll").c_str()));
    EXPECT_EQ(boxes[2].text, setup::format(setup::text::kSystemFileExistsReplace, "tarvovfw.dll"));
    EXPECT_EQ(boxes[3].text, setup::format(setup::text::kSystemFileExistsReplace, "tarvo.sys"));
    for (const auto& box : boxes) {
        EXPECT_EQ(box.caption, setup::text::kCaptionAttention);
        EXPECT_EQ(box.type & MB_TYPEMASK, MB_YESNO);
    }
    // Every question follows a 200 Hz beep.
    const auto calls = ui->calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].kind == UiRecorder::Kind::MessageBox) {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(calls[i - 1].kind, UiRecorder::Kind::Beep);
            EXPECT_EQ(calls[i - 1].frequency, 200u);
        }
    }
    EXPECT_EQ(file_bytes(system_dir() / "tarvovfw0.dll"), old);
    EXPECT_NE(file_bytes(system_dir() / "tarvovfw2.dll"), old);
    EXPECT_EQ(file_bytes(system_dir() / "tarvovfw.dll"), old);
    EXPECT_EQ(file_bytes(system_dir() / "drivers" / "tarvo.sys"),
              file_bytes(source() / "tarvo.sys"));
    EXPECT_EQ(controls.statuses.back(), setup::text::kStatusInstallDone);
}

TEST_F(InstallerTest, ReinstallReplacesTheRunningService) {
    installer().OnInstall();
    ASSERT_EQ(controls.statuses.back(), setup::text::kStatusInstallDone);
    ui->clear();
    for (int i = 0; i < 3; ++i) {
        ui->answer(IDYES); // the two copies and the board-control library
    }
    ui->answer(IDNO); // the kernel driver image in use stays
    installer().settings.device_count = 2;
    installer().OnInstall();
    EXPECT_EQ(controls.statuses.back(), setup::text::kStatusInstallDone);
    EXPECT_EQ(service_state(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(platform::nt::unload_reports().size(), 1u);
    EXPECT_TRUE(platform::nt::unload_reports()[0].clean());
}

TEST_F(InstallerTest, MatchingDevicesAndInfFilesAreRemovedAndARestartOffered) {
    controls.ticked = true;
    installer().settings.windows_major = 5;
    // A stale record of a chip whose hardware is gone is not a present device.
    platform::pnp::DeviceRecord gone;
    gone.device_id = "VEN_109E&DEV_0350&SUBSYS_00000000&REV_02";
    gone.instance = "3&61AAA01&0&A0";
    gone.hardware_ids = {"PCI\\VEN_109E&DEV_0350&SUBSYS_00000000&REV_02"};
    gone.bus = 0;
    gone.device = 20;
    const std::string gone_key = platform::pnp::add_device_record(gone);

    const auto inf = platform::windows_directory() / "inf";
    std::filesystem::create_directories(inf);
    std::vector<unsigned char> utf16 = {0xFF, 0xFE};
    for (char ch : std::string("[Ids]\r\n%Dev%=Install,PCI\\VEN_109E&DEV_036E&SUBSYS_0\r\n")) {
        utf16.push_back(static_cast<unsigned char>(ch));
        utf16.push_back(0);
    }
    const auto text = [](const std::string& s) {
        return std::vector<unsigned char>(s.begin(), s.end());
    };
    write_file(inf / "oem3.inf", utf16);
    write_file(inf / "oem3.PNF", text("compiled"));
    write_file(inf / "OEM4.INF", text("x=PCI\\VEN_109E&DEV_0878&SUBSYS_12345678"));
    write_file(inf / "oem5.inf", text("x=PCI\\VEN_8086&DEV_244E"));
    write_file(inf / "card.inf.bak", text("x=PCI\\VEN_109E&DEV_036E"));
    std::filesystem::create_directories(system_dir() / "vendor");
    write_file(system_dir() / "vendor" / "board.inf", text("PCI\\VEN_109E&DEV_036F"));
    ui->answer(IDYES); // restart
    ASSERT_EQ(setup::EnableTokenPrivilege("SeShutdownPrivilege", true), 1);

    installer().OnInstall();

    EXPECT_EQ(controls.statuses.front(), setup::text::kStatusRemovingDevices);
    EXPECT_EQ(controls.statuses.back(), setup::text::kStatusInstallDone);
    EXPECT_TRUE(installer().devices_removed());
    // The four chips' records are gone; the host bridges and the stale record stay.
    const auto keys = platform::pnp::device_record_keys();
    EXPECT_EQ(keys.size(), 3u);
    EXPECT_NE(std::find(keys.begin(), keys.end(), gone_key), keys.end());
    for (const auto& k : keys) {
        EXPECT_EQ(k.find("DEV_036E"), std::string::npos) << k;
    }
    EXPECT_FALSE(std::filesystem::exists(inf / "oem3.inf"));
    EXPECT_FALSE(std::filesystem::exists(inf / "oem3.PNF"));
    EXPECT_FALSE(std::filesystem::exists(inf / "OEM4.INF"));
    EXPECT_TRUE(std::filesystem::exists(inf / "oem5.inf"));
    EXPECT_TRUE(std::filesystem::exists(inf / "card.inf.bak"));
    EXPECT_FALSE(std::filesystem::exists(system_dir() / "vendor" / "board.inf"));

    const auto boxes = ui->boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, setup::text::kRestartQuestion);
    const auto restarts = platform::token::session_end_requests();
    ASSERT_EQ(restarts.size(), 1u);
    EXPECT_EQ(restarts[0].flags & EWX_REBOOT, EWX_REBOOT);
}

TEST_F(InstallerTest, NoDeviceRemovalBeforeWindows2000) {
    controls.ticked = true;
    installer().settings.windows_major = 4;
    installer().OnInstall();
    EXPECT_FALSE(installer().devices_removed());
    EXPECT_EQ(controls.statuses.front(), setup::text::kStatusCopyingFiles);
    EXPECT_TRUE(ui->boxes().empty());
}

} // namespace
} // namespace setup_test
