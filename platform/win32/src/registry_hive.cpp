#include "registry_hive.h"

#include "platform/paths.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace platform::registry {
namespace {

constexpr char kMagic[8] = {'T', 'O', 'L', 'M', 'H', 'I', 'V', 'E'};
constexpr std::uint32_t kFormat = 1;

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool name_less(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(upper(x)) < static_cast<unsigned char>(upper(y));
    });
}

class Writer {
public:
    std::vector<BYTE> bytes;
    void u16(std::uint16_t v) { put(v, 2); }
    void u32(std::uint32_t v) { put(v, 4); }
    void u64(std::uint64_t v) { put(v, 8); }
    void raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const BYTE*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    void name(std::string_view s) {
        u16(static_cast<std::uint16_t>(s.size()));
        raw(s.data(), s.size());
    }

private:
    void put(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) {
            bytes.push_back(static_cast<BYTE>(v >> (8 * i)));
        }
    }
};

class Reader {
public:
    Reader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t left() const { return size_ - at_; }
    bool u16(std::uint16_t& v) { return get(v, 2); }
    bool u32(std::uint32_t& v) { return get(v, 4); }
    bool u64(std::uint64_t& v) { return get(v, 8); }
    bool raw(void* p, std::size_t n) {
        if (n > left()) {
            return false;
        }
        if (n == 0) {
            return true; // `p` may be the null data of an empty value
        }
        std::memcpy(p, data_ + at_, n);
        at_ += n;
        return true;
    }
    bool text(std::string& s, std::size_t max) {
        std::uint16_t n = 0;
        if (!u16(n) || n > max || n > left()) {
            return false;
        }
        s.assign(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return true;
    }

private:
    template <typename T> bool get(T& v, int n) {
        if (std::size_t(n) > left()) {
            return false;
        }
        std::uint64_t x = 0;
        for (int i = 0; i < n; ++i) {
            x |= std::uint64_t(data_[at_ + i]) << (8 * i);
        }
        at_ += n;
        v = static_cast<T>(x);
        return true;
    }
    const BYTE* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void write_key(Writer& w, const KeyNode& key) {
    w.name(key.name);
    w.u32(static_cast<std::uint32_t>(key.values.size()));
    for (const ValueNode& v : key.values) {
        w.name(v.name);
        w.u32(v.type);
        w.u32(static_cast<std::uint32_t>(v.data.size()));
        w.raw(v.data.data(), v.data.size());
    }
    w.u32(static_cast<std::uint32_t>(key.subkeys.size()));
    for (const auto& sub : key.subkeys) {
        write_key(w, *sub);
    }
}

bool read_key(Reader& r, KeyNode& key, std::size_t depth, std::string& error) {
    if (depth > kMaxDepth) {
        error = "keys nested too deep";
        return false;
    }
    std::uint32_t count = 0;
    if (!r.text(key.name, kMaxKeyName) || (depth > 0 && key.name.empty()) || !r.u32(count)) {
        error = "bad key record";
        return false;
    }
    // A value record takes at least 10 bytes, a key record at least 10.
    if (count > r.left() / 10) {
        error = "value count beyond the file";
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        ValueNode v;
        std::uint32_t size = 0;
        if (!r.text(v.name, kMaxValueName) || !r.u32(v.type) || !r.u32(size) || size > r.left()) {
            error = "bad value record";
            return false;
        }
        v.data.resize(size);
        r.raw(v.data.data(), size);
        if (key.value(v.name) != nullptr) {
            error = "value \"" + v.name + "\" twice in one key";
            return false;
        }
        key.values.push_back(std::move(v));
    }
    if (!r.u32(count) || count > r.left() / 10) {
        error = "subkey count beyond the file";
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        auto sub = std::make_unique<KeyNode>();
        if (!read_key(r, *sub, depth + 1, error)) {
            return false;
        }
        if (!key.subkeys.empty() && !name_less(key.subkeys.back()->name, sub->name)) {
            error = "subkeys out of order or twice: \"" + sub->name + "\"";
            return false;
        }
        key.subkeys.push_back(std::move(sub));
    }
    return true;
}

} // namespace

std::uint32_t crc32(const BYTE* data, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

KeyNode* KeyNode::subkey(std::string_view n) const {
    const auto it = std::lower_bound(subkeys.begin(), subkeys.end(), n,
                                     [](const std::unique_ptr<KeyNode>& k, std::string_view x) {
                                         return name_less(k->name, x);
                                     });
    return (it != subkeys.end() && iequals((*it)->name, n)) ? it->get() : nullptr;
}

KeyNode& KeyNode::add_subkey(std::string n) {
    const auto it = std::lower_bound(subkeys.begin(), subkeys.end(), std::string_view(n),
                                     [](const std::unique_ptr<KeyNode>& k, std::string_view x) {
                                         return name_less(k->name, x);
                                     });
    auto node = std::make_unique<KeyNode>();
    node->name = std::move(n);
    return **subkeys.insert(it, std::move(node));
}

bool KeyNode::remove_subkey(std::string_view n) {
    for (auto it = subkeys.begin(); it != subkeys.end(); ++it) {
        if (iequals((*it)->name, n)) {
            subkeys.erase(it);
            return true;
        }
    }
    return false;
}

ValueNode* KeyNode::value(std::string_view n) {
    for (ValueNode& v : values) {
        if (iequals(v.name, n)) {
            return &v;
        }
    }
    return nullptr;
}

bool KeyNode::remove_value(std::string_view n) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (iequals(it->name, n)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<BYTE> serialize(const KeyNode& root, std::uint64_t generation) {
    Writer payload;
    write_key(payload, root);
    Writer w;
    w.raw(kMagic, sizeof kMagic);
    w.u32(kFormat);
    w.u64(generation);
    w.u32(static_cast<std::uint32_t>(payload.bytes.size()));
    w.u32(crc32(payload.bytes.data(), payload.bytes.size()));
    w.raw(payload.bytes.data(), payload.bytes.size());
    return std::move(w.bytes);
}

std::optional<Parsed> parse(const std::vector<BYTE>& bytes, std::string& error) {
    Reader r(bytes.data(), bytes.size());
    char magic[8] = {};
    std::uint32_t format = 0;
    std::uint32_t size = 0;
    std::uint32_t crc = 0;
    Parsed out;
    if (!r.raw(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0) {
        error = "not a hive file";
        return std::nullopt;
    }
    if (!r.u32(format) || format != kFormat) {
        error = "unknown hive format " + std::to_string(format);
        return std::nullopt;
    }
    if (!r.u64(out.generation) || !r.u32(size) || !r.u32(crc) || size != r.left()) {
        error = "truncated or oversized hive file";
        return std::nullopt;
    }
    if (crc32(bytes.data() + kHeaderSize, size) != crc) {
        error = "checksum mismatch";
        return std::nullopt;
    }
    Reader body(bytes.data() + kHeaderSize, size);
    if (!read_key(body, out.root, 0, error)) {
        return std::nullopt;
    }
    if (body.left() != 0) {
        error = "bytes after the root key";
        return std::nullopt;
    }
    return out;
}

std::vector<std::string_view> split_path(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t cut = path.find('\\');
        const std::string_view part = path.substr(0, cut);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (cut == std::string_view::npos) {
            break;
        }
        path.remove_prefix(cut + 1);
    }
    return parts;
}

} // namespace platform::registry
