// The resource block a module carries in its ELF section ".tolm_rsrc": version information,
// a string table and dialog templates, with every text in UTF-16LE so that one character can be
// patched in a copy of the file. All numbers little-endian; every record starts at a multiple of 4,
// so every text sits at an even offset of the file.
//
//   block header (16 bytes)
//     0  "TOLMRSRC"                 marker
//     8  u32 block length           bytes, header included, a multiple of 4
//     12 u32 record count
//   record (each)
//     0  u16 kind                   1 fixed info, 2 translations, 3 version text, 4 string,
//                                   5 dialog
//     2  u16 0
//     4  u32 record length          bytes, this header included, a multiple of 4
//     8  payload, zero-padded to the record length
//   payloads
//     1  fixed info: 13 x u32, the VS_FIXEDFILEINFO fields in their order
//     2  translations: n x (u16 language, u16 code page)
//     3  version text: u16 language, u16 code page, u16 name length, u16 text length (in
//        characters, without terminating zero), then name and text in UTF-16LE, each followed
//        by a zero character
//     4  string: u32 identifier, u16 length (characters, without terminating zero), u16 0, then
//        the text in UTF-16LE and a zero character
//     5  dialog template: u32 identifier, i16 x, y, width, height (dialog units), u16 font
//        point size, u16 caption length, u16 font-name length, u16 control count, u16 0, then
//        caption and font name in UTF-16LE each with a zero character, padded to 4; then per
//        control: u32 identifier, u16 kind (DialogControl::Kind), u16 text length, u32 style
//        (Win32 style bits), i16 x, y, width, height, the text and a zero character, padded
//        to 4
//
// A module carries at most one block (the first one in the section counts).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::resources {

inline constexpr char kSectionName[] = ".tolm_rsrc";
inline constexpr char kMarker[8] = {'T', 'O', 'L', 'M', 'R', 'S', 'R', 'C'};
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kMaxBlockSize = 1u << 20;

enum Kind : std::uint16_t {
    kFixedInfo = 1,
    kTranslations = 2,
    kVersionText = 3,
    kString = 4,
    kDialog = 5,
};

struct Translation {
    std::uint16_t language = 0;
    std::uint16_t code_page = 0;
};

struct VersionText {
    Translation table;
    std::u16string name;
    std::u16string text;
};

struct StringEntry {
    std::uint32_t id = 0;
    std::u16string text;
};

struct DialogControl {
    enum Kind : std::uint16_t {
        kPushButton = 1,
        kDefaultButton = 2,
        kCheckBox = 3,
        kRadioButton = 4,
        kGroupBox = 5,
        kStatic = 6,
        kEdit = 7,
        kListBox = 8,
        kComboBox = 9,   // drop-down list
        kScrollBar = 10, // horizontal
    };
    std::uint32_t id = 0;
    std::uint16_t kind = kStatic;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, width = 0, height = 0;
    std::u16string text;
};

struct DialogTemplate {
    std::uint32_t id = 0;
    std::int16_t x = 0, y = 0, width = 0, height = 0;
    std::uint16_t point_size = 8;
    std::u16string caption;
    std::u16string font;
    std::vector<DialogControl> controls;
};

struct Block {
    std::optional<std::array<std::uint32_t, 13>> fixed_info;
    std::vector<Translation> translations;
    std::vector<VersionText> version_texts;
    std::vector<StringEntry> strings;
    std::vector<DialogTemplate> dialogs;
};

std::vector<std::uint8_t> serialise(const Block& block);

// One record of a block, as offsets into it.
struct Record {
    std::uint16_t kind = 0;
    std::size_t payload = 0; // offset of the payload in the block
    std::size_t size = 0;    // payload bytes (padding included)
};

// The records of `bytes`, which must start with a block header; nullopt when the header or
// any record length is out of bounds. Payloads are not checked here.
std::optional<std::vector<Record>> records(std::span<const std::uint8_t> bytes);
// The block length its header states, or 0 when the header is no valid block header.
std::size_t stated_length(std::span<const std::uint8_t> bytes);

// Decodes a whole block; nullopt for any malformed record.
std::optional<Block> parse(std::span<const std::uint8_t> bytes);

// Views into payloads, checked against their record. Text views are UTF-16LE code units.
std::optional<VersionText> version_text_at(std::span<const std::uint8_t> bytes, const Record& r);
std::optional<StringEntry> string_at(std::span<const std::uint8_t> bytes, const Record& r);
std::optional<DialogTemplate> dialog_at(std::span<const std::uint8_t> bytes, const Record& r);

// The raw block of the ELF file at `path` (its ".tolm_rsrc" section, checked), or nullopt.
std::optional<std::vector<std::uint8_t>> read_block(const std::filesystem::path& path);

} // namespace platform::resources
