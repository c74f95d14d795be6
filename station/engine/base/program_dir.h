// The program folder: where the language file, the settings files, the crash marker and the
// work log live. Every file of the station is reached by an absolute path built from it; the
// current folder of the process is never changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace station {

// The folder of the program file, without a trailing separator (set on first use).
std::string ProgramDir();
// Replaces the program folder for this process (tests use a temporary folder).
void SetProgramDir(std::string dir);

// The path of `name` in the program folder, for the file calls (which match an existing name
// case-insensitively).
std::string ProgramFile(std::string_view name);

// The whole content of a file of the program folder; empty when it is missing or unreadable.
std::optional<std::vector<std::uint8_t>> ReadProgramFile(std::string_view name);
// The whole content of the file at `path` (any folder); empty when it is missing or unreadable.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

// Replaces a file of the program folder with `bytes`: they go to a temporary file beside it,
// which then takes the file's name, so a failed or short write leaves the old file untouched.
bool ReplaceProgramFile(std::string_view name, const std::vector<std::uint8_t>& bytes);

} // namespace station
