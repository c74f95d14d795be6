// The frame archive over files held in memory: the archive target reads it, the seed tool
// writes it with the archive writer. The input form is a list of (file number, piece) pairs;
// the file numbers name the index files of the program folder and two archive directories
// and the four files of their groups 1 to 3.
#pragma once

#include "archive/archive_context.h"
#include "archive/archive_io.h"

#include <map>
#include <string>
#include <vector>

namespace fuzz {

class MemoryArchiveIo final : public archive::ArchiveIo {
public:
    std::map<std::string, std::vector<std::uint8_t>> files;

    std::optional<std::vector<std::uint8_t>> read_file(const archive::Path& p) override;
    std::optional<std::uint64_t> file_size(const archive::Path& p) override;
    bool read_at(const archive::Path& p, std::uint64_t offset,
                 std::span<std::uint8_t> out) override;
    bool usable_directory(const archive::Path& p) override;
    void write_file(const archive::Path& p, std::span<const std::uint8_t> bytes) override;
    void write_at(const archive::Path& p, std::uint64_t offset, std::span<const std::uint8_t> bytes,
                  archive::DataWrite mode) override;
    void write_and_cut(const archive::Path& p, std::uint64_t offset,
                       std::span<const std::uint8_t> bytes) override;
    bool remove_file(const archive::Path& p) override;
    void rename_file(const archive::Path& from, const archive::Path& to) override;
    bool create_directories(const archive::Path& p) override;
    bool remove_empty_directory(const archive::Path& p) override;
};

// A context over `io` with the encoder of `state`: the program folder and archive directories 1 and
// 2 in memory, the given layout, plenty of free space and a fixed clock.
archive::ArchiveContext memory_context(archive::ArchiveState& state, MemoryArchiveIo& io,
                                       bool cyclic);

// The paths file numbers stand for (file number % count).
const std::vector<std::string>& archive_file_names();

// The files of `io` in input form.
std::vector<std::uint8_t> pack_archive(const MemoryArchiveIo& io);
// Fills `io` from an input in that form.
void unpack_archive(std::span<const std::uint8_t> input, MemoryArchiveIo& io);

} // namespace fuzz
