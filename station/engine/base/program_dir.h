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

struct BaseState;

// The folder of the program file, without a trailing separator: the station's `ProgramDir`
// unless it is replaced.
std::string ProgramFileFolder();
// Replaces the station's program folder (tests use a temporary folder).
void SetProgramDir(BaseState& base, std::string dir);

// The path of `name` in the program folder, for the file calls (which match an existing name
// case-insensitively).
std::string ProgramFile(const BaseState& base, std::string_view name);

// The whole content of a file of the program folder; empty when it is missing or unreadable.
std::optional<std::vector<std::uint8_t>> ReadProgramFile(const BaseState& base,
                                                         std::string_view name);
// The whole content of the file at `path` (any folder); empty when it is missing or unreadable.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

// Replaces a file of the program folder with `bytes`: they go to a temporary file beside it,
// which then takes the file's name, so a failed or short write leaves the old file untouched.
bool ReplaceProgramFile(const BaseState& base, std::string_view name,
                        const std::vector<std::uint8_t>& bytes);

} // namespace station
