// Shared by the readers and the position steps: entering the program folder and reading
// "cbufer.ind".
#pragma once

#include "archive_context.h"
#include "archive_files.h"

#include <optional>

namespace archive {

// The program folder as a host path; throws ArchiveError when it cannot be entered.
Path enter_program_folder(const ArchiveContext& ctx);

// "cbufer.ind" when present and consistent, else nullopt.
std::optional<ArchIndex> read_arch_index(const ArchiveContext& ctx);

} // namespace archive
