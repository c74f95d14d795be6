#include "machine/machine.h"
#include "platform/paths.h"
#include "platform/pnp_devices.h"
#include "stepped_machine.h"
#include "system_root.h"
#include "win32/errors.h"
#include "win32/registry.h"
#include "win32/setupapi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr GUID kMediaClass = {
    0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

class SetupApiTest : public ::testing::Test {
protected:
    // The first hardware ID of every device in the set, growing the buffer as a caller must.
    static std::vector<std::string> first_ids(HDEVINFO set) {
        std::vector<std::string> ids;
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
            DWORD type = 0, needed = 0;
            EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, &type,
                                                           nullptr, 0, &needed));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
            std::vector<BYTE> buffer(needed);
            EXPECT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, &type,
                                                          buffer.data(), needed, &needed));
            EXPECT_EQ(type, REG_MULTI_SZ);
            ids.emplace_back(reinterpret_cast<const char*>(buffer.data()));
        }
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
        return ids;
    }

    tolm_test::TempSystemRoot root_{"tolm-setupapi"};
    tolm_test::SteppedMachine machine_;
};

TEST_F(SetupApiTest, BusEnumerationGivesEveryFunctionARecordWithItsIds) {
    HDEVINFO all =
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    ASSERT_NE(all, INVALID_HANDLE_VALUE);
    const std::vector<std::string> ids = first_ids(all);
    // Host bridge, four chips of the board, the tuned bridge.
    ASSERT_EQ(ids.size(), 6u);
    int chips = 0;
    for (const std::string& id : ids) {
        chips += id == "PCI\\VEN_109E&DEV_036E&SUBSYS_00000000&REV_11" ? 1 : 0;
    }
    EXPECT_EQ(chips, 4);

    // The whole hardware-ID list and the location of the first chip record.
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    HDEVINFO media = SetupDiGetClassDevsA(&kMediaClass, "PCI", nullptr, DIGCF_PRESENT);
    ASSERT_TRUE(SetupDiEnumDeviceInfo(media, 0, &data));
    char buffer[512];
    DWORD needed = 0;
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(media, &data, SPDRP_HARDWAREID, nullptr,
                                                  reinterpret_cast<PBYTE>(buffer), sizeof buffer,
                                                  &needed));
    const std::string list(buffer, needed);
    EXPECT_EQ(list, std::string("PCI\\VEN_109E&DEV_036E&SUBSYS_00000000&REV_11\0"
                                "PCI\\VEN_109E&DEV_036E&SUBSYS_00000000\0"
                                "PCI\\VEN_109E&DEV_036E&REV_11\0"
                                "PCI\\VEN_109E&DEV_036E\0\0",
                                needed));
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(media, &data, SPDRP_LOCATION_INFORMATION, nullptr,
                                                  reinterpret_cast<PBYTE>(buffer), sizeof buffer,
                                                  nullptr));
    EXPECT_STREQ(buffer, "PCI bus 0, device 8, function 0");
    EXPECT_EQ(first_ids(media).size(), 4u);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(media));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(all));
}

TEST_F(SetupApiTest, PresentSetLeavesOutRecordsWithoutHardware) {
    platform::pnp::DeviceRecord stale;
    stale.device_id = "VEN_109E&DEV_0350&SUBSYS_00000000&REV_02";
    stale.instance = "3&61AAA01&0&A0";
    stale.hardware_ids = {"PCI\\VEN_109E&DEV_0350&SUBSYS_00000000&REV_02"};
    stale.service = "othervid";
    stale.bus = 0;
    stale.device = 20; // nothing there
    platform::pnp::add_device_record(stale);
    platform::pnp::DeviceRecord moved = stale; // a chip of another id at a chip's place
    moved.instance = "3&61AAA01&0&40";
    moved.device = 8;
    platform::pnp::add_device_record(moved);
    platform::pnp::DeviceRecord nowhere = stale; // no location at all
    nowhere.instance = "1";
    nowhere.bus = -1;
    platform::pnp::add_device_record(nowhere);

    HDEVINFO present =
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    HDEVINFO all = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    EXPECT_EQ(first_ids(present).size(), 6u);
    EXPECT_EQ(first_ids(all).size(), 9u);
    SetupDiDestroyDeviceInfoList(present);
    SetupDiDestroyDeviceInfoList(all);
}

TEST_F(SetupApiTest, RemovalDeletesTheRecordUntilTheBusIsEnumeratedAgain) {
    HDEVINFO media = SetupDiGetClassDevsA(&kMediaClass, nullptr, nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(media, 1, &data));
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, media, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, media, &data));
    EXPECT_EQ(platform::pnp::device_record_keys().size(), 5u);
    // The member is gone: its properties and a second removal fail.
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, media, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(media, &data, SPDRP_HARDWAREID, nullptr, nullptr,
                                                   0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
    SetupDiDestroyDeviceInfoList(media);

    // A new set in this process does not bring it back; a new enumeration does.
    media = SetupDiGetClassDevsA(&kMediaClass, nullptr, nullptr, DIGCF_PRESENT);
    EXPECT_EQ(first_ids(media).size(), 3u);
    SetupDiDestroyDeviceInfoList(media);
    platform::pnp::enumerate_bus();
    EXPECT_EQ(platform::pnp::device_record_keys().size(), 6u);
}

TEST_F(SetupApiTest, BadArgumentsAndMissingProperties) {
    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, "ROOT", nullptr, DIGCF_ALLCLASSES);
    EXPECT_TRUE(first_ids(set).empty());
    SetupDiDestroyDeviceInfoList(set);

    set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA data{};
    data.cbSize = 8;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data));
    struct Case {
        DWORD property;
        DWORD error;
    };
    for (const Case c : {Case{SPDRP_SERVICE, static_cast<DWORD>(ERROR_INVALID_DATA)},
                         Case{0x77, static_cast<DWORD>(ERROR_INVALID_REG_PROPERTY)}}) {
        DWORD needed = 0;
        EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, c.property, nullptr, nullptr, 0,
                                                       &needed));
        EXPECT_EQ(GetLastError(), c.error) << c.property;
    }
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace
