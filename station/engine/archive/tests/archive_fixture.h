// Shared test support for the frame archive: a temporary program folder, a context with a
// manual clock and an injected disk, frames that carry their number, a model disk that fills
// up, a file layer that cuts a write at any change, and the archive's invariant check.
#pragma once

#include "temp_dir.h"
#include "archive/archive_context.h"
#include "archive/archive_files.h"
#include "archive/archive_reader.h"
#include "archive/archive_writer.h"
#include "archive/jpeg_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace archive::test {

using TempDir = tolm_test::TempDir;

std::vector<std::uint8_t> file_bytes(const Path& p);
void put_file(const Path& p, std::span<const std::uint8_t> bytes);
// Every regular file below `root` with its bytes, by path relative to `root`.
std::map<std::string, std::vector<std::uint8_t>> snapshot(const Path& root);

// 8-bit pixels of a w x h frame that carry `id`; the picture they decode to.
std::vector<std::uint8_t> id_pixels(int id, int w, int h);
Picture id_picture(int id, int w, int h);

// Thrown by CuttingIo where it cuts a write: the process "ends" there.
struct Cut {};

// Passes every call to the host; the change numbered `cut_at` (0-based) is cut: large writes
// are left half done, everything else is not done. A negative `cut_at` never cuts.
class CuttingIo final : public ArchiveIo {
public:
    int cut_at = -1;
    int changes = 0;

    std::optional<std::vector<std::uint8_t>> read_file(const Path& p) override;
    std::optional<std::uint64_t> file_size(const Path& p) override;
    bool read_at(const Path& p, std::uint64_t offset, std::span<std::uint8_t> out) override;
    bool usable_directory(const Path& p) override;
    void write_file(const Path& p, std::span<const std::uint8_t> bytes) override;
    void write_at(const Path& p, std::uint64_t offset, std::span<const std::uint8_t> bytes,
                  DataWrite mode) override;
    void write_and_cut(const Path& p, std::uint64_t offset,
                       std::span<const std::uint8_t> bytes) override;
    bool remove_file(const Path& p) override;
    void rename_file(const Path& from, const Path& to) override;
    bool create_directories(const Path& p) override;
    bool remove_empty_directory(const Path& p) override;

private:
    bool cut_now();
};

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Archive directory d (1..10) as the settings name it; set_dir makes it a subfolder.
    Path dir_path(int d) const { return host_dir(ctx.settings.dirs[std::size_t(d - 1)]); }
    void set_dir(int d, const std::string& sub);

    // A disk per archive directory that is full once its data files hold more than `cap`
    // bytes (with BufMinFree 10).
    void use_filling_disk(std::int64_t cap);

    ArchFrame frame(int id) const;
    std::int32_t write(int id);
    // Reads every position with the reader of the layout; checks each picture against its
    // number and returns the numbers in position order (-1 for a position not read).
    std::vector<int> read_all();
    // Checks every invariant of the archive's files. With `allow_record_tails`, a ".in1" may hold
    // bytes after its counted records (left by a cut write in a group not written since).
    void expect_invariants();
    bool allow_record_tails = false;

    int width = 16;
    int height = 8;
    TempDir tmp;
    Path program;
    ArchiveContext ctx;
    double clock = 45000.25;
    std::optional<DiskSpace> fixed_space = DiskSpace{900'000'000'000, 1'000'000'000'000};
    std::map<int, std::vector<std::uint8_t>> pixels; // kept alive while frames refer to them
    std::map<int, std::pair<int, int>> sizes;        // width and height of each frame written
};

} // namespace archive::test
