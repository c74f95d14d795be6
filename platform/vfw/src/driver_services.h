// Driver loading for the capture layer, with names as narrow text.
#pragma once

#include "mmsystem.h"

#include <filesystem>
#include <string>

namespace vfw_impl {

// The host path of the module a driver name stands for: the value `name` of the driver section
// `section` in HKLM, else (when `name_is_file`) the name itself; a bare file name lies in the
// system directory. Empty when the name is empty, or the value is missing (and the name may not
// stand for the file) or is not a usable text.
std::filesystem::path driver_file(const std::string& name, const std::string& section,
                                  bool name_is_file);

// OpenDriver for a module file.
HDRVR open_driver_file(const std::filesystem::path& file, LPARAM lparam2);

} // namespace vfw_impl
