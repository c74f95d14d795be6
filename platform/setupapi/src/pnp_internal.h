// Shared between the device records and the SetupAPI calls.
#pragma once

namespace platform::pnp {

constexpr const char* kEnumPci = "SYSTEM\\CurrentControlSet\\Enum\\PCI";

// Enumerates the bus unless this process did so already for the current system root.
void enumerate_bus_once();

} // namespace platform::pnp
