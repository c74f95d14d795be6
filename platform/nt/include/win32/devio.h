// Device I/O from user mode: CreateFileA("\\.\Name") opens the device behind the symbolic link
// (declared in win32/files.h), DeviceIoControl sends it a control request, CloseHandle cleans up
// and closes the open.
#pragma once

#include "win32/files.h"
#include "win32/types.h"
#include "win32/winioctl.h"

extern "C" {

// METHOD_BUFFERED: input and output share one system buffer; the output is copied back up to
// nOutBufferSize only when the request succeeded. With lpOverlapped on a handle opened with
// FILE_FLAG_OVERLAPPED a pended request answers FALSE with ERROR_IO_PENDING; its completion
// fills Internal (status) and InternalHigh (bytes) and sets hEvent.
BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped);

// Waits (bWait) for an overlapped request on a device handle and reports its bytes and status;
// on a file handle (whose transfers complete in their call) it reports the recorded result.
BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                LPDWORD lpNumberOfBytesTransferred, BOOL bWait);

} // extern "C"
