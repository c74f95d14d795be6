#include "setup_fixture.h"

#include "registry_tree.h"

#include "platform/registry_store.h"

#include <windows.h>

namespace setup_test {
namespace {

using platform::registry::Root;

TEST_F(InstallerTest, ReadDeviceValueFallsBackAsTheInstallerExpects) {
    const std::string key = std::string(kService) + "\\Devices\\TarvoDevice\\3";
    platform::registry::create_key(Root::LocalMachine, key);
    const DWORD code = 1004;
    platform::registry::set_value(Root::LocalMachine, key, "InstallError", REG_DWORD, &code, 4);
    platform::registry::set_value(Root::LocalMachine, key, "ErrorStatus", REG_SZ, "12", 3);
    const std::uint16_t short_value = 7;
    platform::registry::set_value(Root::LocalMachine, key, "InstallInterrupt", REG_DWORD,
                                  &short_value, 2);
    struct Case {
        long device;
        const char* name;
        std::int32_t fallback;
        std::int32_t expected;
    };
    const Case cases[] = {
        {3, "InstallError", 0, 1004},    {3, "Missing", 55, 55},    {3, "ErrorStatus", 0, 0},
        {3, "InstallInterrupt", -1, -1}, {4, "InstallError", 0, 1}, {4, "ErrorStatus", 99, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(setup::ReadDeviceValue(c.device, c.name, c.fallback), c.expected)
            << c.device << " " << c.name;
    }
}

} // namespace
} // namespace setup_test
