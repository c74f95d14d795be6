// The capture-driver slots of the Drivers32 section: "MSVIDEO" for slot 0, "MSVIDEO1" to
// "MSVIDEO9" for slots 1 to 9.
#pragma once

#include <filesystem>
#include <string>

namespace vfw_impl {

inline constexpr unsigned kDriverSlots = 10;

// The value name of `slot`; empty past the last slot.
std::string driver_slot_name(unsigned slot);
// The module file registered in `slot`, when one is registered and exists.
std::filesystem::path driver_slot_file(unsigned slot);

} // namespace vfw_impl
