// What every fuzz target defines, and small helpers the targets share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace station {
struct BaseState;
}

namespace fuzz {

// A folder of this process under the temporary folder, removed at exit.
const std::filesystem::path& scratch_dir();
// The station's base values with the scratch folder as the program folder (no language texts).
station::BaseState& scratch_base();

// Replaces `path` with `bytes`.
void write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Takes an input apart: single bytes and length-prefixed pieces; reads past the end give
// zeros and empty pieces.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte();
    std::uint16_t u16();
    // A piece of at most `limit` bytes: a 16-bit little-endian length, then that many bytes
    // (fewer when the input ends).
    std::span<const std::uint8_t> piece(std::size_t limit = 0xFFFF);
    // Everything not read yet.
    std::span<const std::uint8_t> rest();

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Writes a piece in the layout InputReader::piece reads (seed tool).
void append_piece(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes);

// Ends the process with a message: a property of the parser does not hold.
[[noreturn]] void fail(std::string_view what);

} // namespace fuzz
