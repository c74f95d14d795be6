#include "archive_locate.h"

namespace archive {

Path enter_program_folder(const ArchiveContext& ctx) {
    Path p = host_dir(ctx.program_dir);
    if (ctx.program_dir.empty() || !ctx.io->usable_directory(p)) {
        throw ArchiveError("cannot enter the program folder " + ctx.program_dir);
    }
    return p;
}

std::optional<ArchIndex> read_arch_index(const ArchiveContext& ctx) {
    const Path program = enter_program_folder(ctx);
    const auto bytes = ctx.io->read_file(program / kArchIndexName);
    if (!bytes || bytes->size() < kArchIndexSize) {
        return std::nullopt;
    }
    const ArchIndex a = parse_arch_index(*bytes);
    if (!valid_for_reading(a)) {
        return std::nullopt;
    }
    return a;
}

} // namespace archive
