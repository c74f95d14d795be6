#include "memory_archive.h"

#include "archive/archive_files.h"
#include "fuzz_target.h"

#include <algorithm>

namespace fuzz {
namespace {

constexpr char kProgramDir[] = "/tolm-fuzz-archive";
constexpr int kDirs = 2;
constexpr int kGroups = 3;

std::string dir_name(int d) {
    return std::string(kProgramDir) + "/d" + std::to_string(d);
}

std::string key(const archive::Path& p) {
    return p.lexically_normal().string();
}

} // namespace

std::optional<std::vector<std::uint8_t>> MemoryArchiveIo::read_file(const archive::Path& p) {
    const auto it = files.find(key(p));
    if (it == files.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::uint64_t> MemoryArchiveIo::file_size(const archive::Path& p) {
    const auto it = files.find(key(p));
    if (it == files.end()) {
        return std::nullopt;
    }
    return it->second.size();
}

bool MemoryArchiveIo::read_at(const archive::Path& p, std::uint64_t offset,
                              std::span<std::uint8_t> out) {
    const auto it = files.find(key(p));
    if (it == files.end() || offset > it->second.size() ||
        out.size() > it->second.size() - offset) {
        return false;
    }
    std::copy_n(it->second.begin() + std::ptrdiff_t(offset), out.size(), out.begin());
    return true;
}

bool MemoryArchiveIo::usable_directory(const archive::Path& p) {
    const std::string k = key(p);
    if (k == kProgramDir) {
        return true;
    }
    for (int d = 1; d <= kDirs; ++d) {
        if (k == dir_name(d)) {
            return true;
        }
    }
    return false;
}

void MemoryArchiveIo::write_file(const archive::Path& p, std::span<const std::uint8_t> bytes) {
    files[key(p)].assign(bytes.begin(), bytes.end());
}

void MemoryArchiveIo::write_at(const archive::Path& p, std::uint64_t offset,
                               std::span<const std::uint8_t> bytes, archive::DataWrite) {
    auto& f = files[key(p)];
    if (f.size() < offset + bytes.size()) {
        f.resize(offset + bytes.size());
    }
    std::copy(bytes.begin(), bytes.end(), f.begin() + std::ptrdiff_t(offset));
}

void MemoryArchiveIo::write_and_cut(const archive::Path& p, std::uint64_t offset,
                                    std::span<const std::uint8_t> bytes) {
    auto& f = files[key(p)];
    f.resize(offset + bytes.size());
    std::copy(bytes.begin(), bytes.end(), f.begin() + std::ptrdiff_t(offset));
}

bool MemoryArchiveIo::remove_file(const archive::Path& p) {
    return files.erase(key(p)) > 0;
}

void MemoryArchiveIo::rename_file(const archive::Path& from, const archive::Path& to) {
    auto node = files.extract(key(from));
    if (node.empty()) {
        throw archive::ArchiveError("no file to rename");
    }
    node.key() = key(to);
    files.insert_or_assign(node.key(), std::move(node.mapped()));
}

bool MemoryArchiveIo::create_directories(const archive::Path& p) {
    return usable_directory(p);
}

bool MemoryArchiveIo::remove_empty_directory(const archive::Path&) {
    return false;
}

archive::ArchiveContext memory_context(archive::ArchiveState& state, MemoryArchiveIo& io,
                                       bool cyclic) {
    archive::ArchiveContext ctx(state);
    ctx.program_dir = kProgramDir;
    for (int d = 1; d <= kDirs; ++d) {
        ctx.settings.dirs[std::size_t(d - 1)] = dir_name(d);
    }
    ctx.settings.cyclic = cyclic;
    ctx.io = &io;
    ctx.free_space = [](const archive::Path&) {
        return std::optional<archive::DiskSpace>(archive::DiskSpace{1ull << 40, 1ull << 41});
    };
    ctx.local_time = [] { return 46000.5; };
    return ctx;
}

const std::vector<std::string>& archive_file_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n{std::string(kProgramDir) + "/" + archive::kArchIndexName};
        for (int d = 1; d <= kDirs; ++d) {
            n.push_back(dir_name(d) + "/" + archive::kDirIndexName);
            for (int g = 1; g <= kGroups; ++g) {
                for (const char* ext : {".in0", ".in1", ".in2", ".dat"}) {
                    n.push_back(dir_name(d) + "/" + archive::group_file_name(g, ext));
                }
            }
        }
        return n;
    }();
    return names;
}

std::vector<std::uint8_t> pack_archive(const MemoryArchiveIo& io) {
    std::vector<std::uint8_t> out;
    const auto& names = archive_file_names();
    for (const auto& [name, bytes] : io.files) {
        const auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end()) {
            fail("the archive holds a file without a number: " + name);
        }
        out.push_back(std::uint8_t(it - names.begin()));
        append_piece(out, bytes);
    }
    return out;
}

void unpack_archive(std::span<const std::uint8_t> input, MemoryArchiveIo& io) {
    const auto& names = archive_file_names();
    InputReader in(input.data(), input.size());
    while (!in.empty()) {
        const std::string& name = names[in.byte() % names.size()];
        const auto bytes = in.piece();
        io.files[name].assign(bytes.begin(), bytes.end());
    }
}

} // namespace fuzz
