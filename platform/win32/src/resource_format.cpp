#include "resource_format.h"

#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform::resources {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, std::uint16_t(v));
    put16(out, std::uint16_t(v >> 16));
}

void put_text(std::vector<std::uint8_t>& out, const std::u16string& s) {
    for (char16_t c : s) {
        put16(out, std::uint16_t(c));
    }
    put16(out, 0);
}

std::uint16_t get16(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(get16(b, at)) | (std::uint32_t(get16(b, at + 2)) << 16);
}

void pad4(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

// Appends one record: header, then whatever `payload` writes, then padding.
template <typename F> void record(std::vector<std::uint8_t>& out, Kind kind, F&& payload) {
    const std::size_t start = out.size();
    put16(out, kind);
    put16(out, 0);
    put32(out, 0); // length, filled in below
    payload();
    pad4(out);
    const std::uint32_t length = std::uint32_t(out.size() - start);
    for (int i = 0; i < 4; ++i) {
        out[start + 4 + i] = std::uint8_t(length >> (8 * i));
    }
}

// Reads `count` UTF-16LE units at `at` followed by a zero unit, all within [.., end).
std::optional<std::u16string> text_at(std::span<const std::uint8_t> b, std::size_t at,
                                      std::size_t count, std::size_t end) {
    if (at > end || (end - at) / 2 < count + 1 || get16(b, at + 2 * count) != 0) {
        return std::nullopt;
    }
    std::u16string s(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) {
        s[i] = char16_t(get16(b, at + 2 * i));
    }
    return s;
}

} // namespace

std::vector<std::uint8_t> serialise(const Block& block) {
    std::vector<std::uint8_t> out(kMarker, kMarker + 8);
    put32(out, 0);
    put32(out, 0);
    std::uint32_t count = 0;
    if (block.fixed_info) {
        record(out, kFixedInfo, [&] {
            for (std::uint32_t v : *block.fixed_info) {
                put32(out, v);
            }
        });
        ++count;
    }
    if (!block.translations.empty()) {
        record(out, kTranslations, [&] {
            for (const Translation& t : block.translations) {
                put16(out, t.language);
                put16(out, t.code_page);
            }
        });
        ++count;
    }
    for (const VersionText& v : block.version_texts) {
        record(out, kVersionText, [&] {
            put16(out, v.table.language);
            put16(out, v.table.code_page);
            put16(out, std::uint16_t(v.name.size()));
            put16(out, std::uint16_t(v.text.size()));
            put_text(out, v.name);
            put_text(out, v.text);
        });
        ++count;
    }
    for (const StringEntry& s : block.strings) {
        record(out, kString, [&] {
            put32(out, s.id);
            put16(out, std::uint16_t(s.text.size()));
            put16(out, 0);
            put_text(out, s.text);
        });
        ++count;
    }
    for (const DialogTemplate& d : block.dialogs) {
        record(out, kDialog, [&] {
            put32(out, d.id);
            for (std::int16_t v : {d.x, d.y, d.width, d.height}) {
                put16(out, std::uint16_t(v));
            }
            put16(out, d.point_size);
            put16(out, std::uint16_t(d.caption.size()));
            put16(out, std::uint16_t(d.font.size()));
            put16(out, std::uint16_t(d.controls.size()));
            put16(out, 0);
            put_text(out, d.caption);
            put_text(out, d.font);
            pad4(out);
            for (const DialogControl& c : d.controls) {
                put32(out, c.id);
                put16(out, c.kind);
                put16(out, std::uint16_t(c.text.size()));
                put32(out, c.style);
                for (std::int16_t v : {c.x, c.y, c.width, c.height}) {
                    put16(out, std::uint16_t(v));
                }
                put_text(out, c.text);
                pad4(out);
            }
        });
        ++count;
    }
    const std::uint32_t length = std::uint32_t(out.size());
    for (int i = 0; i < 4; ++i) {
        out[8 + i] = std::uint8_t(length >> (8 * i));
        out[12 + i] = std::uint8_t(count >> (8 * i));
    }
    return out;
}

std::size_t stated_length(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMarker, 8) != 0) {
        return 0;
    }
    const std::uint32_t length = get32(bytes, 8);
    if (length < kHeaderSize || length % 4 != 0 || length > kMaxBlockSize) {
        return 0;
    }
    return length;
}

std::optional<std::vector<Record>> records(std::span<const std::uint8_t> bytes) {
    const std::size_t length = stated_length(bytes);
    if (length == 0 || length > bytes.size()) {
        return std::nullopt;
    }
    const std::uint32_t count = get32(bytes, 12);
    std::vector<Record> out;
    std::size_t at = kHeaderSize;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (length - at < 8) {
            return std::nullopt;
        }
        const std::uint32_t size = get32(bytes, at + 4);
        if (size < 8 || size % 4 != 0 || size > length - at) {
            return std::nullopt;
        }
        out.push_back(Record{get16(bytes, at), at + 8, size - 8});
        at += size;
    }
    return out;
}

std::optional<VersionText> version_text_at(std::span<const std::uint8_t> b, const Record& r) {
    if (r.kind != kVersionText || r.size < 8) {
        return std::nullopt;
    }
    const std::size_t end = r.payload + r.size;
    VersionText v;
    v.table = Translation{get16(b, r.payload), get16(b, r.payload + 2)};
    const std::size_t name_len = get16(b, r.payload + 4);
    const std::size_t text_len = get16(b, r.payload + 6);
    auto name = text_at(b, r.payload + 8, name_len, end);
    if (!name) {
        return std::nullopt;
    }
    auto text = text_at(b, r.payload + 8 + 2 * (name_len + 1), text_len, end);
    if (!text) {
        return std::nullopt;
    }
    v.name = std::move(*name);
    v.text = std::move(*text);
    return v;
}

std::optional<StringEntry> string_at(std::span<const std::uint8_t> b, const Record& r) {
    if (r.kind != kString || r.size < 8) {
        return std::nullopt;
    }
    auto text = text_at(b, r.payload + 8, get16(b, r.payload + 4), r.payload + r.size);
    if (!text) {
        return std::nullopt;
    }
    return StringEntry{get32(b, r.payload), std::move(*text)};
}

std::optional<DialogTemplate> dialog_at(std::span<const std::uint8_t> b, const Record& r) {
    const std::size_t end = r.payload + r.size;
    if (r.kind != kDialog || r.size < 24) {
        return std::nullopt;
    }
    const std::size_t p = r.payload;
    DialogTemplate d;
    d.id = get32(b, p);
    d.x = std::int16_t(get16(b, p + 4));
    d.y = std::int16_t(get16(b, p + 6));
    d.width = std::int16_t(get16(b, p + 8));
    d.height = std::int16_t(get16(b, p + 10));
    d.point_size = get16(b, p + 12);
    const std::size_t caption_len = get16(b, p + 14);
    const std::size_t font_len = get16(b, p + 16);
    const std::size_t count = get16(b, p + 18);
    std::size_t at = p + 22;
    auto caption = text_at(b, at, caption_len, end);
    if (!caption) {
        return std::nullopt;
    }
    at += 2 * (caption_len + 1);
    auto font = text_at(b, at, font_len, end);
    if (!font) {
        return std::nullopt;
    }
    at += 2 * (font_len + 1);
    at = (at + 3) & ~std::size_t(3);
    d.caption = std::move(*caption);
    d.font = std::move(*font);
    for (std::size_t i = 0; i < count; ++i) {
        if (at > end || end - at < 20) {
            return std::nullopt;
        }
        DialogControl c;
        c.id = get32(b, at);
        c.kind = get16(b, at + 4);
        const std::size_t text_len = get16(b, at + 6);
        c.style = get32(b, at + 8);
        c.x = std::int16_t(get16(b, at + 12));
        c.y = std::int16_t(get16(b, at + 14));
        c.width = std::int16_t(get16(b, at + 16));
        c.height = std::int16_t(get16(b, at + 18));
        auto text = text_at(b, at + 20, text_len, end);
        if (!text) {
            return std::nullopt;
        }
        c.text = std::move(*text);
        at = (at + 20 + 2 * (text_len + 1) + 3) & ~std::size_t(3);
        d.controls.push_back(std::move(c));
    }
    return d;
}

std::optional<Block> parse(std::span<const std::uint8_t> bytes) {
    const auto recs = records(bytes);
    if (!recs) {
        return std::nullopt;
    }
    Block block;
    for (const Record& r : *recs) {
        switch (r.kind) {
        case kFixedInfo: {
            if (r.size < 52) {
                return std::nullopt;
            }
            std::array<std::uint32_t, 13> fixed{};
            for (std::size_t i = 0; i < fixed.size(); ++i) {
                fixed[i] = get32(bytes, r.payload + 4 * i);
            }
            block.fixed_info = fixed;
            break;
        }
        case kTranslations:
            for (std::size_t at = r.payload; at + 4 <= r.payload + r.size; at += 4) {
                block.translations.push_back(Translation{get16(bytes, at), get16(bytes, at + 2)});
            }
            break;
        case kVersionText: {
            auto v = version_text_at(bytes, r);
            if (!v) {
                return std::nullopt;
            }
            block.version_texts.push_back(std::move(*v));
            break;
        }
        case kString: {
            auto s = string_at(bytes, r);
            if (!s) {
                return std::nullopt;
            }
            block.strings.push_back(std::move(*s));
            break;
        }
        case kDialog: {
            auto d = dialog_at(bytes, r);
            if (!d) {
                return std::nullopt;
            }
            block.dialogs.push_back(std::move(*d));
            break;
        }
        default: // unknown kinds are skipped, so later kinds can be added
            break;
        }
    }
    return block;
}

namespace {

class File {
public:
    explicit File(const std::filesystem::path& p) : fd_(::open(p.c_str(), O_RDONLY | O_CLOEXEC)) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool ok() const { return fd_ >= 0; }
    // Reads exactly `size` bytes at `offset`.
    bool read(std::uint64_t offset, void* out, std::size_t size) const {
        auto* p = static_cast<char*>(out);
        while (size > 0) {
            const ssize_t n = ::pread(fd_, p, size, off_t(offset));
            if (n <= 0) {
                return false;
            }
            p += n;
            offset += std::uint64_t(n);
            size -= std::size_t(n);
        }
        return true;
    }

private:
    int fd_;
};

} // namespace

std::optional<std::vector<std::uint8_t>> read_block(const std::filesystem::path& path) {
    File f(path);
    Elf64_Ehdr eh;
    if (!f.ok() || !f.read(0, &eh, sizeof eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
        eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shnum == 0 || eh.e_shnum > 4096 ||
        eh.e_shstrndx >= eh.e_shnum) {
        return std::nullopt;
    }
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    if (!f.read(eh.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr))) {
        return std::nullopt;
    }
    const Elf64_Shdr& names = sections[eh.e_shstrndx];
    if (names.sh_type != SHT_STRTAB || names.sh_size > (1u << 24)) {
        return std::nullopt;
    }
    std::vector<char> strtab(names.sh_size + 1, '\0');
    if (!f.read(names.sh_offset, strtab.data(), names.sh_size)) {
        return std::nullopt;
    }
    for (const Elf64_Shdr& s : sections) {
        if (s.sh_name >= names.sh_size || std::strcmp(&strtab[s.sh_name], kSectionName) != 0) {
            continue;
        }
        if (s.sh_type == SHT_NOBITS || s.sh_size < kHeaderSize) {
            return std::nullopt;
        }
        std::uint8_t header[kHeaderSize];
        if (!f.read(s.sh_offset, header, sizeof header)) {
            return std::nullopt;
        }
        const std::size_t length = stated_length(header);
        if (length == 0 || length > s.sh_size) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> block(length);
        if (!f.read(s.sh_offset, block.data(), length) || !records(block)) {
            return std::nullopt;
        }
        return block;
    }
    return std::nullopt;
}

} // namespace platform::resources
