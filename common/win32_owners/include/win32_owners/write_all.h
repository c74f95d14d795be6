// Writing a whole buffer to a file handle.
#pragma once

#include <win32/errors.h>
#include <win32/files.h>

#include <cstddef>

namespace win32_owners {

// WriteFile until all `size` bytes are written; false when a write fails or writes nothing
// (GetLastError tells why; ERROR_DISK_FULL when nothing was written without an error).
inline bool write_all(HANDLE file, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

} // namespace win32_owners
