// Version information of a module file, read from the resource block embedded in the file
// (cmake/TolmResources.cmake puts it there), so a copy of the file whose text was patched reads
// back its own text.
#pragma once

#include "win32/types.h"

#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VOS_NT_WINDOWS32 0x00040004u
#define VFT_UNKNOWN 0u
#define VFT_APP 1u
#define VFT_DLL 2u
#define VFT_DRV 3u

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

extern "C" {
// Bytes needed for GetFileVersionInfoA; 0 with ERROR_FILE_NOT_FOUND for a missing file or
// ERROR_RESOURCE_TYPE_NOT_FOUND for a file without version information. *lpdwHandle := 0.
DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle);
// Fills lpData with the version information. A buffer smaller than the size
// GetFileVersionInfoSizeA gave fails with ERROR_INSUFFICIENT_BUFFER.
BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
// lpSubBlock: "\" gives the VS_FIXEDFILEINFO (length 52); "\VarFileInfo\Translation" the
// array of language and code-page word pairs (length in bytes);
// "\StringFileInfo\<language><code page as 8 hex digits>\<name>" the text in the ANSI code
// page (length in characters with the terminating zero). The pointer is into lpBlock.
BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);
}
