// The one binary encoding of the station's ".pdt" settings files, on an in-memory stream.
// All values little-endian: int32 as four bytes; a boolean as one byte (1 true, 0 false; only
// 1 reads as true); a string as an int32 count n and then n int32, each carrying one CP1251
// byte in its low byte; a 16-bit value as its sign-extended int32, read back truncated.
// A read past the end, or a string count that is negative or runs past the end, fails and
// ends the data: every later read fails too, so a loader takes its defaults from that field on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace station {

// The version word every saver writes at the start of a versioned file.
inline constexpr std::int32_t kSettingsVersion = 26;

class SettingsStream {
public:
    SettingsStream() = default;
    explicit SettingsStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return failed_ ? 0 : bytes_.size() - pos_; }
    // A read has failed; the rest of the data counts as absent.
    bool failed() const { return failed_; }
    // Marks the rest of the data as absent.
    void fail() { failed_ = true; }

    void append(const void* data, std::size_t n);
    // Takes `n` bytes from the read position, or fails the stream when fewer are left.
    const std::uint8_t* take(std::size_t n);

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

void StreamWriteInt(SettingsStream& s, std::int32_t value);
void StreamWriteBool(SettingsStream& s, bool value);
void StreamWriteStr(SettingsStream& s, std::string_view text);

// Each read sets `value` and answers true, or leaves it and answers false.
bool StreamReadInt(SettingsStream& s, std::int32_t& value);
bool StreamReadInt16(SettingsStream& s, std::int16_t& value);
bool StreamReadBool(SettingsStream& s, bool& value);
bool StreamReadStr(SettingsStream& s, std::string& value);

} // namespace station
