// Objects behind file-like handles: ReadFile, WriteFile and FlushFileBuffers call these, so a
// device handle of the kernel stand-in works with them as a file handle does.
#pragma once

#include "platform/handles.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <functional>
#include <string_view>

namespace platform {

class IoObject : public KernelObject {
public:
    // Each answers a Win32 error code (ERROR_SUCCESS, ERROR_IO_PENDING, ...) and sets `done`
    // to the bytes transferred.
    virtual DWORD read(void* buffer, DWORD size, DWORD& done, OVERLAPPED* overlapped) = 0;
    virtual DWORD write(const void* buffer, DWORD size, DWORD& done, OVERLAPPED* overlapped) = 0;
    virtual DWORD flush() { return ERROR_INVALID_FUNCTION; }
};

// Opens a device: `name` is what follows "\\.\" in the CreateFileA name; `access` and `flags`
// are CreateFileA's. Answers a handle, or INVALID_HANDLE_VALUE with the last error set.
using DeviceOpener = std::function<HANDLE(std::string_view name, DWORD access, DWORD flags)>;

// Installs the device opener for the process (an empty function removes it). Without one,
// CreateFileA on a device name fails with ERROR_FILE_NOT_FOUND.
void set_device_opener(DeviceOpener opener);

} // namespace platform
