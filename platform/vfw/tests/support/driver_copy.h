// Test support for the capture layer: a fresh system root, patched copies of a capture driver in
// its system directory, and capture-layer slots pointing at them.
#pragma once

#include <filesystem>
#include <string>

namespace vfw_test {

// Makes an empty folder under the temporary directory, unique per process and call, named
// "<prefix>-<pid>-<serial>", and makes it the system root.
std::filesystem::path make_system_root(const std::string& prefix);
// Copies the capture driver at `source` into the system directory as `file`, with the digit that
// ends its FileDescription ("...Driver Device0", UTF-16LE in the file) patched to `digit`.
std::filesystem::path install_driver_copy(const std::filesystem::path& source,
                                          const std::string& file, int digit);
// Sets Drivers32 value "MSVIDEO" (slot 0) or "MSVIDEO<slot>" to `value`.
void register_slot(unsigned slot, const std::string& value);

} // namespace vfw_test
