// NT base definitions for kernel drivers: status type, large integers, counted strings, list
// heads, object attributes. The Win32 base types (ULONG, PVOID, HANDLE, LARGE_INTEGER...) are
// shared with the user-mode side. 64-bit rule: address and handle fields are pointer-sized.
#pragma once

#include "win32/types.h"

#define NTAPI
#define NTSYSAPI
#define NTKERNELAPI
#define NTHALAPI
#define FASTCALL
#define DDKAPI
#define STDCALL

typedef LONG NTSTATUS;
typedef NTSTATUS* PNTSTATUS;
typedef char CCHAR;
typedef short CSHORT;
typedef CCHAR* PCCHAR;
typedef ULONG CLONG;
typedef BOOLEAN* PBOOLEAN;
typedef WCHAR* PWSTR;
typedef WCHAR* PWCH;
typedef const WCHAR* PCWSTR;
typedef const WCHAR* PCWCH;
typedef CHAR* PCHAR;
typedef const CHAR* PCSZ;
typedef SIZE_T* PSIZE_T;
typedef ULONG_PTR* PULONG_PTR;
typedef LONGLONG* PLONGLONG;
typedef ULONGLONG* PULONGLONG;
typedef void* PVOID64;
typedef ULONG ACCESS_MASK;
typedef ACCESS_MASK* PACCESS_MASK;

#define NT_SUCCESS(Status) (static_cast<NTSTATUS>(Status) >= 0)
#define NT_INFORMATION(Status) ((static_cast<ULONG>(Status) >> 30) == 1)
#define NT_WARNING(Status) ((static_cast<ULONG>(Status) >> 30) == 2)
#define NT_ERROR(Status) ((static_cast<ULONG>(Status) >> 30) == 3)

typedef LARGE_INTEGER PHYSICAL_ADDRESS, *PPHYSICAL_ADDRESS;

typedef struct _UNICODE_STRING {
    USHORT Length;        // bytes, without a terminating zero
    USHORT MaximumLength; // bytes
    PWSTR Buffer;
} UNICODE_STRING, *PUNICODE_STRING;
typedef const UNICODE_STRING* PCUNICODE_STRING;

typedef struct _STRING {
    USHORT Length;
    USHORT MaximumLength;
    PCHAR Buffer;
} STRING, *PSTRING, ANSI_STRING, *PANSI_STRING;

typedef struct _LIST_ENTRY {
    struct _LIST_ENTRY* Flink;
    struct _LIST_ENTRY* Blink;
} LIST_ENTRY, *PLIST_ENTRY;

typedef struct _SINGLE_LIST_ENTRY {
    struct _SINGLE_LIST_ENTRY* Next;
} SINGLE_LIST_ENTRY, *PSINGLE_LIST_ENTRY;

#define FIELD_OFFSET(type, field) (static_cast<LONG>(offsetof(type, field)))
#define CONTAINING_RECORD(address, type, field)                                                    \
    (reinterpret_cast<type*>(reinterpret_cast<PCHAR>(address) - offsetof(type, field)))
#define ARGUMENT_PRESENT(p) ((p) != nullptr)
#define UNREFERENCED_PARAMETER(p) ((void)(p))

inline void InitializeListHead(PLIST_ENTRY head) {
    head->Flink = head->Blink = head;
}
inline BOOLEAN IsListEmpty(const LIST_ENTRY* head) {
    return head->Flink == head;
}
inline BOOLEAN RemoveEntryList(PLIST_ENTRY entry) {
    PLIST_ENTRY const flink = entry->Flink;
    PLIST_ENTRY const blink = entry->Blink;
    blink->Flink = flink;
    flink->Blink = blink;
    return flink == blink;
}
inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY head) {
    PLIST_ENTRY const entry = head->Flink;
    RemoveEntryList(entry);
    return entry;
}
inline PLIST_ENTRY RemoveTailList(PLIST_ENTRY head) {
    PLIST_ENTRY const entry = head->Blink;
    RemoveEntryList(entry);
    return entry;
}
inline void InsertTailList(PLIST_ENTRY head, PLIST_ENTRY entry) {
    PLIST_ENTRY const blink = head->Blink;
    entry->Flink = head;
    entry->Blink = blink;
    blink->Flink = entry;
    head->Blink = entry;
}
inline void InsertHeadList(PLIST_ENTRY head, PLIST_ENTRY entry) {
    PLIST_ENTRY const flink = head->Flink;
    entry->Flink = flink;
    entry->Blink = head;
    flink->Blink = entry;
    head->Flink = entry;
}

// Object attributes: a name, optionally relative to an open key or directory.
#define OBJ_INHERIT 0x00000002L
#define OBJ_PERMANENT 0x00000010L
#define OBJ_EXCLUSIVE 0x00000020L
#define OBJ_CASE_INSENSITIVE 0x00000040L
#define OBJ_OPENIF 0x00000080L
#define OBJ_OPENLINK 0x00000100L
#define OBJ_KERNEL_HANDLE 0x00000200L

typedef struct _OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    PUNICODE_STRING ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
} OBJECT_ATTRIBUTES, *POBJECT_ATTRIBUTES;

#define InitializeObjectAttributes(p, n, a, r, s)                                                  \
    do {                                                                                           \
        (p)->Length = sizeof(OBJECT_ATTRIBUTES);                                                   \
        (p)->RootDirectory = (r);                                                                  \
        (p)->Attributes = (a);                                                                     \
        (p)->ObjectName = (n);                                                                     \
        (p)->SecurityDescriptor = (s);                                                             \
        (p)->SecurityQualityOfService = nullptr;                                                   \
    } while (0)

// Access rights.
#ifndef DELETE
#define DELETE 0x00010000L
#endif
#ifndef READ_CONTROL
#define READ_CONTROL 0x00020000L
#endif
#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000L
#endif
#ifndef STANDARD_RIGHTS_REQUIRED
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#endif
#ifndef STANDARD_RIGHTS_READ
#define STANDARD_RIGHTS_READ READ_CONTROL
#endif
#ifndef STANDARD_RIGHTS_WRITE
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#endif
#ifndef STANDARD_RIGHTS_ALL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#endif
#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000L
#endif
#ifndef GENERIC_WRITE
#define GENERIC_WRITE 0x40000000L
#endif
#ifndef GENERIC_EXECUTE
#define GENERIC_EXECUTE 0x20000000L
#endif
#ifndef GENERIC_ALL
#define GENERIC_ALL 0x10000000L
#endif
#ifndef MAXIMUM_ALLOWED
#define MAXIMUM_ALLOWED 0x02000000L
#endif

#define PAGE_SIZE 0x1000
#define PAGE_SHIFT 12
#define PAGE_ALIGN(va) (reinterpret_cast<PVOID>(reinterpret_cast<ULONG_PTR>(va) & ~(PAGE_SIZE - 1)))
#define BYTE_OFFSET(va) (static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(va) & (PAGE_SIZE - 1)))
#define ROUND_TO_PAGES(size) ((static_cast<ULONG_PTR>(size) + PAGE_SIZE - 1) & ~(PAGE_SIZE - 1))
#define ADDRESS_AND_SIZE_TO_SPAN_PAGES(va, size)                                                   \
    (static_cast<ULONG>((BYTE_OFFSET(va) + static_cast<ULONG_PTR>(size) + PAGE_SIZE - 1) >>        \
                        PAGE_SHIFT))

#define NtCurrentProcess() (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))
#define ZwCurrentProcess() NtCurrentProcess()
