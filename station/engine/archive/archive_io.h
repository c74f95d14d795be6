// The file layer the archive works through. Every change the archive makes to the disk is one
// call of this interface, so tests can fail or cut any of them. Paths go to the file calls as
// they are (either separator; existing names match case-insensitively).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace archive {

using Path = std::filesystem::path;

// A failure of the file layer that the writer passes to its caller (the program folder cannot
// be entered, a file cannot be opened or written, a rename fails, a frame cannot be encoded).
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class DataWrite {
    Buffered,     // buffered stream
    WriteThrough, // exclusive, write-through, sequential-scan, one unbuffered write
};

class ArchiveIo {
public:
    virtual ~ArchiveIo() = default;

    // Reads. A missing file gives nullopt / false; nothing here throws for a missing file.
    virtual std::optional<std::vector<std::uint8_t>> read_file(const Path& p) = 0;
    virtual std::optional<std::uint64_t> file_size(const Path& p) = 0;
    // Reads exactly out.size() bytes at `offset`; false when the file is missing or too short.
    virtual bool read_at(const Path& p, std::uint64_t offset, std::span<std::uint8_t> out) = 0;
    // The folder exists and can be listed, entered and written.
    virtual bool usable_directory(const Path& p) = 0;

    // Changes; each throws ArchiveError on failure.
    // Creates or replaces the whole file with `bytes` (index files, written in one piece).
    virtual void write_file(const Path& p, std::span<const std::uint8_t> bytes) = 0;
    // Writes `bytes` at `offset`, creating the file when missing; the file never shrinks.
    virtual void write_at(const Path& p, std::uint64_t offset, std::span<const std::uint8_t> bytes,
                          DataWrite mode) = 0;
    // Writes `bytes` at `offset` and cuts the file right after them (record files).
    virtual void write_and_cut(const Path& p, std::uint64_t offset,
                               std::span<const std::uint8_t> bytes) = 0;
    // Removes a file; false when it was not there.
    virtual bool remove_file(const Path& p) = 0;
    virtual void rename_file(const Path& from, const Path& to) = 0;
    // Creates the folder with all missing parents; false when it cannot.
    virtual bool create_directories(const Path& p) = 0;
    // Removes the folder when it is empty; false otherwise.
    virtual bool remove_empty_directory(const Path& p) = 0;
};

// The host's file system.
ArchiveIo& host_io();

// Free and total bytes of the disk that holds a folder; nullopt when it cannot be told.
struct DiskSpace {
    std::uint64_t free_bytes = 0;
    std::uint64_t total_bytes = 0;
};
using FreeSpaceFn = std::function<std::optional<DiskSpace>(const Path&)>;
std::optional<DiskSpace> host_free_space(const Path& folder);

} // namespace archive
