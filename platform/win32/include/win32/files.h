// Files and folders: the system folders under the system root, file handles, copying,
// deleting and listing. Paths may use '\' or '/'; existing names match case-insensitively.
// A name "\\.\Name" opens a device through the opener the kernel stand-in registers
// (platform/io_object.h).
#pragma once

#include "win32/security.h"
#include "win32/types.h"

// Access rights.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u
#define FILE_READ_DATA 0x0001u
#define FILE_WRITE_DATA 0x0002u
#define FILE_APPEND_DATA 0x0004u

// Sharing (accepted; files are not locked against other openers).
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

// Creation dispositions.
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

// Attributes and flags.
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_OVERLAPPED 0x40000000u
#define FILE_FLAG_NO_BUFFERING 0x20000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

// SetFilePointer.
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu

// MoveFileExA.
#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

// 100-ns intervals since 1 January 1601 (UTC).
typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

// Asynchronous I/O record. On files every transfer completes before the call returns; the
// record only supplies the file position (Offset, OffsetHigh) and receives the status and
// byte count (Internal, InternalHigh).
typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

static_assert(sizeof(FILETIME) == 8);
static_assert(sizeof(OVERLAPPED) == 2 * sizeof(void*) + 8 + sizeof(void*));
static_assert(sizeof(WIN32_FIND_DATAA) == 44 + MAX_PATH + 14 + 2);

extern "C" {

// The system directory (<root>/system32) and the Windows directory (<root>/windows), without
// a trailing separator. Both answer the length without the terminating zero, or the size
// needed including it when `size` is too small.
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size);
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE template_file);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read,
                     LPOVERLAPPED overlapped);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written,
                      LPOVERLAPPED overlapped);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD size_high);
DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method);
BOOL WINAPI FlushFileBuffers(HANDLE file);
// Cuts or extends the file at its current position.
BOOL WINAPI SetEndOfFile(HANDLE file);

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR new_name, BOOL fail_if_exists);
BOOL WINAPI DeleteFileA(LPCSTR name);
BOOL WINAPI CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES security);
DWORD WINAPI GetFileAttributesA(LPCSTR name);
// Only an empty folder: ERROR_DIR_NOT_EMPTY otherwise, ERROR_DIRECTORY for a file.
BOOL WINAPI RemoveDirectoryA(LPCSTR name);

// Renames a file or folder in one step. An existing target fails with ERROR_ALREADY_EXISTS
// unless MOVEFILE_REPLACE_EXISTING (a folder is never replaced: ERROR_ACCESS_DENIED). Across
// file systems only with MOVEFILE_COPY_ALLOWED (copy, then delete), else
// ERROR_NOT_SAME_DEVICE. MOVEFILE_WRITE_THROUGH returns once the new name is on disk.
BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR new_name, DWORD flags);

// The space of the file system holding `directory` (null: the current folder). Each output
// may be null.
BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER free_to_caller,
                                PULARGE_INTEGER total, PULARGE_INTEGER total_free);

// The process's current folder, against which relative names resolve. GetCurrentDirectoryA
// answers the length without the terminating zero, or the size needed including it when
// `size` is too small.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR name);

// Wildcards '*' and '?' in the last component, matched case-insensitively; a pattern ending
// in ".*" also matches names without a dot. "." and ".." are listed like on Windows.
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindClose(HANDLE find);
}
