#include "ansi_code_page.h"
#include "module_search.h"
#include "platform/paths.h"
#include "resource_format.h"
#include "win32/errors.h"
#include "win32/version.h"

#include <cstring>
#include <string>
#include <vector>

// The buffer GetFileVersionInfoA fills: the file's resource block as it is, followed by the
// ANSI form of every version text, zero-terminated, in the order of their records.

namespace {

namespace res = platform::resources;

// The resource block of the file, or nullopt with the last error set.
std::optional<std::vector<std::uint8_t>> file_block(LPCSTR name) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const auto path = platform::detail::find_file_for_version(name);
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    auto block = res::read_block(path);
    if (!block) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    return block;
}

// The ANSI texts that follow the block, in record order.
std::string ansi_area(std::span<const std::uint8_t> block, const std::vector<res::Record>& recs) {
    std::string area;
    for (const res::Record& r : recs) {
        if (const auto v = res::version_text_at(block, r)) {
            area += platform::detail::utf16_to_ansi(v->text);
            area += '\0';
        }
    }
    return area;
}

std::vector<std::string> split_path(const char* path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = path;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (!part.empty()) {
                parts.push_back(std::move(part));
                part.clear();
            }
            if (*p == '\0') {
                return parts;
            }
        } else {
            part += *p;
        }
    }
}

// "040904E4" -> language 0x0409, code page 0x04E4.
bool parse_table(const std::string& s, res::Translation& out) {
    if (s.size() != 8) {
        return false;
    }
    std::uint32_t value = 0;
    for (char c : s) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        value = value * 16 + std::uint32_t(digit);
    }
    out = res::Translation{std::uint16_t(value >> 16), std::uint16_t(value)};
    return true;
}

BOOL answer(LPVOID* out, PUINT len, const void* data, std::size_t size) {
    *out = const_cast<void*>(data);
    *len = UINT(size);
    return TRUE;
}

} // namespace

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) {
        *lpdwHandle = 0;
    }
    const auto block = file_block(lptstrFilename);
    if (!block) {
        return 0;
    }
    const auto recs = res::records(*block);
    return DWORD(block->size() + ansi_area(*block, *recs).size());
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (lpData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto block = file_block(lptstrFilename);
    if (!block) {
        return FALSE;
    }
    const auto recs = res::records(*block);
    const std::string area = ansi_area(*block, *recs);
    if (dwLen < block->size() + area.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER); // a cut block could not be read safely
        return FALSE;
    }
    auto* out = static_cast<std::uint8_t*>(lpData);
    std::memcpy(out, block->data(), block->size());
    std::memcpy(out + block->size(), area.data(), area.size());
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    if (pBlock == nullptr || lpSubBlock == nullptr || lplpBuffer == nullptr || puLen == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lplpBuffer = nullptr;
    *puLen = 0;
    const auto* base = static_cast<const std::uint8_t*>(pBlock);
    const std::size_t length = res::stated_length({base, res::kHeaderSize});
    const std::span<const std::uint8_t> block(base, length);
    const auto recs = length ? res::records(block) : std::nullopt;
    if (!recs) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    const auto parts = split_path(lpSubBlock);
    const char* ansi = reinterpret_cast<const char*>(base + length);
    res::Translation wanted;
    const bool texts = parts.size() == 3 && platform::iequals(parts[0], "StringFileInfo") &&
                       parse_table(parts[1], wanted);
    for (const res::Record& r : *recs) {
        if (parts.empty() && r.kind == res::kFixedInfo && r.size >= sizeof(VS_FIXEDFILEINFO)) {
            return answer(lplpBuffer, puLen, base + r.payload, sizeof(VS_FIXEDFILEINFO));
        }
        if (parts.size() == 2 && r.kind == res::kTranslations &&
            platform::iequals(parts[0], "VarFileInfo") &&
            platform::iequals(parts[1], "Translation")) {
            return answer(lplpBuffer, puLen, base + r.payload, r.size);
        }
        if (r.kind != res::kVersionText) {
            continue;
        }
        const auto v = res::version_text_at(block, r);
        if (!v) {
            continue;
        }
        const char* text = ansi;
        ansi += v->text.size() + 1;
        if (texts && v->table.language == wanted.language &&
            v->table.code_page == wanted.code_page &&
            platform::iequals(platform::detail::utf16_to_ansi(v->name), parts[2])) {
            return answer(lplpBuffer, puLen, text, v->text.size() + 1);
        }
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}
}
