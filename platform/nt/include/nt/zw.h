// Object manager, kernel registry calls and the physical-memory section.
#pragma once

#include "nt/io.h"

// Registry.
#ifndef KEY_QUERY_VALUE
#define KEY_QUERY_VALUE 0x0001
#endif
#ifndef KEY_SET_VALUE
#define KEY_SET_VALUE 0x0002
#endif
#ifndef KEY_CREATE_SUB_KEY
#define KEY_CREATE_SUB_KEY 0x0004
#endif
#ifndef KEY_ENUMERATE_SUB_KEYS
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#endif
#ifndef KEY_NOTIFY
#define KEY_NOTIFY 0x0010
#endif
#ifndef KEY_CREATE_LINK
#define KEY_CREATE_LINK 0x0020
#endif
#ifndef KEY_READ
#define KEY_READ 0x20019
#endif
#ifndef KEY_WRITE
#define KEY_WRITE 0x20006
#endif
#ifndef KEY_ALL_ACCESS
#define KEY_ALL_ACCESS 0xF003F
#endif

#ifndef REG_OPTION_NON_VOLATILE
#define REG_OPTION_NON_VOLATILE 0x00000000L
#endif
#ifndef REG_OPTION_VOLATILE
#define REG_OPTION_VOLATILE 0x00000001L
#endif
#ifndef REG_CREATED_NEW_KEY
#define REG_CREATED_NEW_KEY 0x00000001L
#endif
#ifndef REG_OPENED_EXISTING_KEY
#define REG_OPENED_EXISTING_KEY 0x00000002L
#endif

#ifndef REG_NONE
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_RESOURCE_LIST 8
#define REG_FULL_RESOURCE_DESCRIPTOR 9
#define REG_RESOURCE_REQUIREMENTS_LIST 10
#endif

typedef enum _KEY_INFORMATION_CLASS {
    KeyBasicInformation,
    KeyNodeInformation,
    KeyFullInformation
} KEY_INFORMATION_CLASS;

typedef struct _KEY_BASIC_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG NameLength; // bytes
    WCHAR Name[1];
} KEY_BASIC_INFORMATION, *PKEY_BASIC_INFORMATION;

typedef struct _KEY_NODE_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG ClassOffset;
    ULONG ClassLength;
    ULONG NameLength;
    WCHAR Name[1];
} KEY_NODE_INFORMATION, *PKEY_NODE_INFORMATION;

typedef struct _KEY_FULL_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG ClassOffset;
    ULONG ClassLength;
    ULONG SubKeys;
    ULONG MaxNameLen;
    ULONG MaxClassLen;
    ULONG Values;
    ULONG MaxValueNameLen;
    ULONG MaxValueDataLen;
    WCHAR Class[1];
} KEY_FULL_INFORMATION, *PKEY_FULL_INFORMATION;

typedef enum _KEY_VALUE_INFORMATION_CLASS {
    KeyValueBasicInformation,
    KeyValueFullInformation,
    KeyValuePartialInformation
} KEY_VALUE_INFORMATION_CLASS;

typedef struct _KEY_VALUE_BASIC_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG NameLength;
    WCHAR Name[1];
} KEY_VALUE_BASIC_INFORMATION, *PKEY_VALUE_BASIC_INFORMATION;

typedef struct _KEY_VALUE_FULL_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataOffset;
    ULONG DataLength;
    ULONG NameLength;
    WCHAR Name[1];
} KEY_VALUE_FULL_INFORMATION, *PKEY_VALUE_FULL_INFORMATION;

typedef struct _KEY_VALUE_PARTIAL_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataLength;
    UCHAR Data[1];
} KEY_VALUE_PARTIAL_INFORMATION, *PKEY_VALUE_PARTIAL_INFORMATION;

// Sections.
#define SECTION_QUERY 0x0001
#define SECTION_MAP_WRITE 0x0002
#define SECTION_MAP_READ 0x0004
#define SECTION_MAP_EXECUTE 0x0008
#define SECTION_EXTEND_SIZE 0x0010
#define SECTION_ALL_ACCESS 0xF001F

#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define PAGE_NOCACHE 0x200
#define MEM_COMMIT 0x1000
#define MEM_RESERVE 0x2000

typedef enum _SECTION_INHERIT { ViewShare = 1, ViewUnmap = 2 } SECTION_INHERIT;

typedef PVOID POBJECT_TYPE;

extern "C" {

NTSYSAPI NTSTATUS NTAPI ZwClose(HANDLE Handle);

// Keys: "\Registry\Machine\..." names, or names relative to RootDirectory.
NTSYSAPI NTSTATUS NTAPI ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                                    POBJECT_ATTRIBUTES ObjectAttributes, ULONG TitleIndex,
                                    PUNICODE_STRING Class, ULONG CreateOptions, PULONG Disposition);
NTSYSAPI NTSTATUS NTAPI ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                                  POBJECT_ATTRIBUTES ObjectAttributes);
NTSYSAPI NTSTATUS NTAPI ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                                        KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass,
                                        PVOID KeyValueInformation, ULONG Length,
                                        PULONG ResultLength);
NTSYSAPI NTSTATUS NTAPI ZwSetValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName, ULONG TitleIndex,
                                      ULONG Type, PVOID Data, ULONG DataSize);
NTSYSAPI NTSTATUS NTAPI ZwEnumerateKey(HANDLE KeyHandle, ULONG Index,
                                       KEY_INFORMATION_CLASS KeyInformationClass,
                                       PVOID KeyInformation, ULONG Length, PULONG ResultLength);
NTSYSAPI NTSTATUS NTAPI ZwDeleteKey(HANDLE KeyHandle);
NTSYSAPI NTSTATUS NTAPI ZwFlushKey(HANDLE KeyHandle);

// "\Device\PhysicalMemory".
NTSYSAPI NTSTATUS NTAPI ZwOpenSection(PHANDLE SectionHandle, ACCESS_MASK DesiredAccess,
                                      POBJECT_ATTRIBUTES ObjectAttributes);
NTSYSAPI NTSTATUS NTAPI ZwMapViewOfSection(HANDLE SectionHandle, HANDLE ProcessHandle,
                                           PVOID* BaseAddress, ULONG_PTR ZeroBits,
                                           SIZE_T CommitSize, PLARGE_INTEGER SectionOffset,
                                           PSIZE_T ViewSize, SECTION_INHERIT InheritDisposition,
                                           ULONG AllocationType, ULONG Win32Protect);
NTSYSAPI NTSTATUS NTAPI ZwUnmapViewOfSection(HANDLE ProcessHandle, PVOID BaseAddress);

// Object types for ObReferenceObjectByHandle (the stand-in checks the handle's object itself).
extern NTKERNELAPI POBJECT_TYPE* MmSectionObjectType;
extern NTKERNELAPI POBJECT_TYPE* IoFileObjectType;

// Object references.
NTKERNELAPI NTSTATUS NTAPI ObReferenceObjectByHandle(HANDLE Handle, ACCESS_MASK DesiredAccess,
                                                     POBJECT_TYPE ObjectType,
                                                     KPROCESSOR_MODE AccessMode, PVOID* Object,
                                                     PVOID HandleInformation);
NTKERNELAPI VOID NTAPI ObReferenceObject(PVOID Object);
NTKERNELAPI VOID NTAPI ObDereferenceObject(PVOID Object);

} // extern "C"
