#include "ansi_code_page.h"
#include "platform/modules.h"
#include "resource_format.h"
#include "win32/errors.h"
#include "win32/resources.h"

#include <cstring>

extern "C" {

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (lpBuffer == nullptr || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpBuffer[0] = '\0';
    const auto path = platform::module_file(hInstance);
    if (path.empty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto block = platform::resources::read_block(path);
    if (!block) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    const auto records = platform::resources::records(*block); // read_block checked them
    for (const auto& r : *records) {
        const auto entry = platform::resources::string_at(*block, r);
        if (!entry || entry->id != uID) {
            continue;
        }
        const std::string text = platform::detail::utf16_to_ansi(entry->text);
        const std::size_t n = std::min(text.size(), std::size_t(cchBufferMax - 1));
        std::memcpy(lpBuffer, text.data(), n);
        lpBuffer[n] = '\0';
        return int(n);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
}
}
