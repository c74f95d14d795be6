// MultiByteToWideChar / WideCharToMultiByte over the platform's code page 1251 tables.
#include "platform/cp1251.h"
#include "win32/codepage.h"
#include "win32/errors.h"

#include <cstring>
#include <string>

namespace {

bool known_code_page(UINT code_page) {
    return code_page == CP_ACP || code_page == CP_1251;
}

int fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// Copies `text` (of `count` units) out, or answers the units needed when `capacity` is 0.
template <typename Char>
int hand_out(const Char* text, std::size_t count, Char* out, int capacity) {
    if (count > 0x7FFFFFFFu) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (capacity == 0) {
        return int(count);
    }
    if (std::size_t(capacity) < count) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(out, text, count * sizeof(Char));
    return int(count);
}

} // namespace

extern "C" {

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    if (!known_code_page(CodePage) || lpMultiByteStr == nullptr || cbMultiByte == 0 ||
        cbMultiByte < -1 || cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const std::size_t size =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : std::size_t(cbMultiByte);
    const std::u16string wide = platform::cp1251::to_utf16(std::string_view(lpMultiByteStr, size));
    return hand_out(wide.data(), wide.size(), lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
    if (!known_code_page(CodePage) || lpWideCharStr == nullptr || cchWideChar == 0 ||
        cchWideChar < -1 || cbMultiByte < 0 || (cbMultiByte > 0 && lpMultiByteStr == nullptr)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    std::size_t size = 0;
    if (cchWideChar == -1) {
        while (lpWideCharStr[size] != 0) {
            ++size;
        }
        ++size;
    } else {
        size = std::size_t(cchWideChar);
    }
    const std::u16string_view wide(lpWideCharStr, size);
    // A zero byte stands for "no byte" while converting: no character maps to it but U+0000.
    const std::string marked = platform::cp1251::from_utf16(wide, '\0');
    const char fallback = lpDefaultChar != nullptr ? *lpDefaultChar : '?';
    bool used_default = false;
    std::string bytes = marked;
    if (bytes.size() == wide.size()) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\0' && wide[i] != 0) {
                bytes[i] = fallback;
                used_default = true;
            }
        }
    } else {
        // Broken surrogates merged or split units; convert again with the plain default.
        bytes = platform::cp1251::from_utf16(wide, fallback);
        used_default = true;
    }
    if (lpUsedDefaultChar != nullptr) {
        *lpUsedDefaultChar = used_default ? TRUE : FALSE;
    }
    return hand_out(bytes.data(), bytes.size(), lpMultiByteStr, cbMultiByte);
}
}
