#include "fuzz_target.h"

#include "base/base_state.h"
#include "base/program_dir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace fuzz {
namespace {

struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolm-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            fail("cannot create a temporary folder");
        }
        path = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

const std::filesystem::path& scratch_dir() {
    static ScratchDir dir;
    return dir.path;
}

station::BaseState& scratch_base() {
    static station::BaseState base = [] {
        station::BaseState b;
        station::SetProgramDir(b, scratch_dir().string());
        return b;
    }();
    return base;
}

void write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f) {
        fail("cannot write " + path.string());
    }
}

std::uint8_t InputReader::byte() {
    return pos_ < size_ ? data_[pos_++] : 0;
}

std::uint16_t InputReader::u16() {
    const std::uint16_t lo = byte();
    return std::uint16_t(lo | (byte() << 8));
}

std::span<const std::uint8_t> InputReader::piece(std::size_t limit) {
    std::size_t n = u16();
    n = std::min({n, limit, size_ - std::min(pos_, size_)});
    const std::span<const std::uint8_t> out(data_ + pos_, n);
    pos_ += n;
    return out;
}

std::span<const std::uint8_t> InputReader::rest() {
    const std::size_t at = std::min(pos_, size_);
    pos_ = size_;
    return {data_ + at, size_ - at};
}

void append_piece(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    const std::size_t n = std::min<std::size_t>(bytes.size(), 0xFFFF);
    out.push_back(std::uint8_t(n));
    out.push_back(std::uint8_t(n >> 8));
    out.insert(out.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
}

void fail(std::string_view what) {
    std::fprintf(stderr, "fuzz property failed: %.*s\n", int(what.size()), what.data());
    std::abort();
}

} // namespace fuzz
