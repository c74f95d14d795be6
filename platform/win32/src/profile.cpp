// Ini file reading.
#include "platform/paths.h"
#include "win32/profile.h"

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Files beyond this are not read (an ini file is a few kilobytes).
constexpr std::uintmax_t kMaxIniBytes = 16u << 20;

struct Entry {
    std::string key;
    std::string value;
};
struct Section {
    std::string name;
    std::vector<Entry> entries;
};

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::filesystem::path ini_path(const char* file) {
    const std::string_view name(file);
    if (name.find_first_of("\\/") == std::string_view::npos) {
        return platform::resolve_path((platform::windows_directory() / file).string());
    }
    return platform::resolve_path(name);
}

// The sections of `file` in file order; nothing when it cannot be read.
std::optional<std::vector<Section>> load(const char* file) {
    if (file == nullptr || *file == '\0') {
        return std::nullopt;
    }
    const auto path = ini_path(file);
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    if (ec || bytes > kMaxIniBytes) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<Section> sections;
    std::string raw;
    while (std::getline(in, raw)) {
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            sections.push_back(Section{
                std::string(trim(line.substr(1, close == line.npos ? line.npos : close - 1))), {}});
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == line.npos || sections.empty()) {
            continue;
        }
        sections.back().entries.push_back(
            Entry{std::string(trim(line.substr(0, eq))), std::string(trim(line.substr(eq + 1)))});
    }
    return sections;
}

const Section* find_section(const std::vector<Section>& sections, std::string_view name) {
    for (const Section& s : sections) {
        if (platform::iequals(s.name, name)) {
            return &s;
        }
    }
    return nullptr;
}

const std::string* find_value(const std::vector<Section>& sections, const char* section,
                              const char* key) {
    const Section* s = find_section(sections, section);
    if (s == nullptr) {
        return nullptr;
    }
    for (const Entry& e : s->entries) {
        if (platform::iequals(e.key, key)) {
            return &e.value;
        }
    }
    return nullptr;
}

DWORD copy_text(std::string_view text, LPSTR buffer, DWORD size) {
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return DWORD(n);
}

// Zero-terminated names, then one more zero; cut to fit with both zeros kept.
DWORD copy_list(const std::vector<std::string_view>& names, LPSTR buffer, DWORD size) {
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::size_t at = 0;
    for (const std::string_view name : names) {
        if (at + name.size() + 1 > size - 1) {
            const std::size_t room = size - 2 > at ? size - 2 - at : 0;
            std::memcpy(buffer + at, name.data(), room);
            buffer[size - 2] = '\0';
            buffer[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buffer + at, name.data(), name.size());
        at += name.size();
        buffer[at++] = '\0';
    }
    buffer[at] = '\0';
    return DWORD(at == 0 ? 0 : at);
}

} // namespace

extern "C" {

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR file) {
    if (section == nullptr || key == nullptr) {
        return UINT(default_value);
    }
    const auto sections = load(file);
    const std::string* value = sections ? find_value(*sections, section, key) : nullptr;
    if (value == nullptr) {
        return UINT(default_value);
    }
    std::string_view digits(*value);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative || (!digits.empty() && digits.front() == '+')) {
        digits.remove_prefix(1);
    }
    UINT result = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            break;
        }
        result = result * 10u + UINT(c - '0'); // wraps like the 32-bit original
    }
    return negative ? UINT(0u - result) : result;
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                      LPSTR buffer, DWORD size, LPCSTR file) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    const auto sections = load(file);
    if (section == nullptr || key == nullptr) {
        std::vector<std::string_view> names;
        if (sections && section == nullptr) {
            for (const Section& s : *sections) {
                names.push_back(s.name);
            }
        } else if (sections) {
            if (const Section* s = find_section(*sections, section)) {
                for (const Entry& e : s->entries) {
                    names.push_back(e.key);
                }
            }
        }
        return copy_list(names, buffer, size);
    }
    if (const std::string* value = sections ? find_value(*sections, section, key) : nullptr) {
        std::string_view text(*value);
        if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
            text.back() == text.front()) {
            text = text.substr(1, text.size() - 2);
        }
        return copy_text(text, buffer, size);
    }
    std::string_view fallback = default_value ? default_value : "";
    while (!fallback.empty() && fallback.back() == ' ') {
        fallback.remove_suffix(1);
    }
    return copy_text(fallback, buffer, size);
}
}
