// Win32 base types and constants, declared here from what the system uses.
// 64-bit rule: a type that holds an address or a handle is pointer-sized; every other type
// keeps its Win32 width (LONG and DWORD are 32 bits).
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define CDECL
#define FAR
#define NEAR
#define IN
#define OUT
#define OPTIONAL
#define CONST const

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned char UCHAR;
typedef unsigned char BOOLEAN;
typedef char CHAR;
typedef std::int16_t SHORT;
typedef std::uint16_t USHORT;
typedef std::uint16_t WORD;
typedef std::int32_t INT;
typedef std::uint32_t UINT;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef std::uint32_t DWORD;
typedef std::int64_t LONGLONG;
typedef std::uint64_t ULONGLONG;
typedef std::uint64_t DWORDLONG;
typedef float FLOAT;
typedef void VOID;
typedef char16_t WCHAR;

typedef std::intptr_t INT_PTR;
typedef std::uintptr_t UINT_PTR;
typedef std::intptr_t LONG_PTR;
typedef std::uintptr_t ULONG_PTR;
typedef std::uintptr_t DWORD_PTR;
typedef std::size_t SIZE_T;

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* PBYTE;
typedef BYTE* LPBYTE;
typedef BOOL* LPBOOL;
typedef WORD* LPWORD;
typedef UINT* PUINT;
typedef DWORD* PDWORD;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef LONG* LPLONG;
typedef ULONG* PULONG;
typedef UCHAR* PUCHAR;
typedef USHORT* PUSHORT;
typedef char* LPSTR;
typedef char* PSTR;
typedef const char* LPCSTR;
typedef const char* PCSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef HANDLE* LPHANDLE;

// Handle kinds are distinct pointer types, as with STRICT.
#define TOLM_DECLARE_HANDLE(name)                                                                  \
    struct name##__ {                                                                              \
        int unused;                                                                                \
    };                                                                                             \
    typedef struct name##__* name
TOLM_DECLARE_HANDLE(HWND);
TOLM_DECLARE_HANDLE(HINSTANCE);
TOLM_DECLARE_HANDLE(HKEY);
TOLM_DECLARE_HANDLE(HDC);
TOLM_DECLARE_HANDLE(HICON);
TOLM_DECLARE_HANDLE(HMENU);
TOLM_DECLARE_HANDLE(HDRVR);
TOLM_DECLARE_HANDLE(HRSRC);
TOLM_DECLARE_HANDLE(HGLOBAL_);
typedef HINSTANCE HMODULE;
typedef HANDLE HGLOBAL;
typedef HKEY* PHKEY;

// 64-bit values as two 32-bit halves (also named directly, as the compilers allow).
typedef union _LARGE_INTEGER {
    __extension__ struct {
        ULONG LowPart;
        LONG HighPart;
    };
    struct {
        ULONG LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef union _ULARGE_INTEGER {
    __extension__ struct {
        ULONG LowPart;
        ULONG HighPart;
    };
    struct {
        ULONG LowPart;
        ULONG HighPart;
    } u;
    ULONGLONG QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;

typedef LONG HRESULT;
typedef DWORD COLORREF;
// Returns nothing, so a cast to the real function type draws no cast-function-type warning.
typedef void (*FARPROC)();

#define TRUE 1
#define FALSE 0
#ifndef NULL
#define NULL nullptr
#endif
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

#define LOBYTE(w) (static_cast<BYTE>(static_cast<DWORD_PTR>(w) & 0xff))
#define HIBYTE(w) (static_cast<BYTE>((static_cast<DWORD_PTR>(w) >> 8) & 0xff))
#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xffff))
#define MAKEWORD(a, b)                                                                             \
    (static_cast<WORD>((static_cast<BYTE>(a)) | (static_cast<WORD>(static_cast<BYTE>(b)) << 8)))
#define MAKELONG(a, b)                                                                             \
    (static_cast<LONG>((static_cast<WORD>(a)) | (static_cast<DWORD>(static_cast<WORD>(b)) << 16)))

static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(WORD) == 2);
static_assert(sizeof(ULARGE_INTEGER) == 8 && sizeof(LARGE_INTEGER) == 8);
static_assert(sizeof(DWORD_PTR) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*));
