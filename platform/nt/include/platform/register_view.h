// Access to a device's register window through a kernel mapping (MmMapIoSpace) or a view of
// "\Device\PhysicalMemory" mapped into the process. Such a window is the machine's guarded
// view: a plain load or store through it also runs the device's register handlers (trapped and
// carried out by the machine); these accessors reach the handlers directly. On any other
// address they read or write memory.
#pragma once

#include <cstdint>

namespace platform::nt {

std::uint32_t read_register32(const volatile void* address);
std::uint16_t read_register16(const volatile void* address);
std::uint8_t read_register8(const volatile void* address);
void write_register32(volatile void* address, std::uint32_t value);
void write_register16(volatile void* address, std::uint16_t value);
void write_register8(volatile void* address, std::uint8_t value);
// True when `address` lies in a register window mapped for the kernel or the process.
bool is_register_window(const volatile void* address);

} // namespace platform::nt
