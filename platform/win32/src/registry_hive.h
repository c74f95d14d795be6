// One registry hive in memory and its file form.
//
// File layout (little-endian):
//   header  "TOLMHIVE" | u32 format (1) | u64 generation | u32 payload size | u32 payload CRC-32
//   payload the root key:
//   key     u16 name size | name | u32 value count | values | u32 subkey count | keys
//   value   u16 name size | name | u32 type | u32 data size | data
// The generation grows by one with every write, so a process notices another one's change.
#pragma once

#include "win32/types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;
constexpr std::size_t kMaxDepth = 512;
constexpr std::size_t kHeaderSize = 28;

struct ValueNode {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct KeyNode {
    std::string name;
    std::vector<ValueNode> values;                 // in the order they were first set
    std::vector<std::unique_ptr<KeyNode>> subkeys; // sorted by name, ignoring case

    KeyNode* subkey(std::string_view name) const;
    // Adds a subkey in its sorted place (the name must not exist yet).
    KeyNode& add_subkey(std::string name);
    bool remove_subkey(std::string_view name);
    ValueNode* value(std::string_view name);
    bool remove_value(std::string_view name);
};

std::vector<BYTE> serialize(const KeyNode& root, std::uint64_t generation);

// CRC-32 (IEEE 802.3, reflected, as zlib computes it) of the payload.
std::uint32_t crc32(const BYTE* data, std::size_t size);

struct Parsed {
    std::uint64_t generation = 0;
    KeyNode root;
};
// The hive in `bytes`, or nothing with `error` set to why the file is corrupt.
std::optional<Parsed> parse(const std::vector<BYTE>& bytes, std::string& error);

// Splits a key path at '\' (empty components are skipped).
std::vector<std::string_view> split_path(std::string_view path);

} // namespace platform::registry
