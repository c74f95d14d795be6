// Run-time library: counted strings, memory helpers, debug output and assertions.
#pragma once

#include "nt/ntstatus.h"

#include <cstring>

#define RtlCopyMemory(Destination, Source, Length) std::memcpy((Destination), (Source), (Length))
#define RtlMoveMemory(Destination, Source, Length) std::memmove((Destination), (Source), (Length))
#define RtlFillMemory(Destination, Length, Fill) std::memset((Destination), (Fill), (Length))
#define RtlZeroMemory(Destination, Length) std::memset((Destination), 0, (Length))
#define RtlEqualMemory(Destination, Source, Length)                                                \
    (!std::memcmp((Destination), (Source), (Length)))

extern "C" {

NTSYSAPI VOID NTAPI RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString);
NTSYSAPI VOID NTAPI RtlInitAnsiString(PANSI_STRING DestinationString, PCSZ SourceString);
NTSYSAPI VOID NTAPI RtlCopyUnicodeString(PUNICODE_STRING DestinationString,
                                         PCUNICODE_STRING SourceString);
NTSYSAPI NTSTATUS NTAPI RtlAppendUnicodeToString(PUNICODE_STRING Destination, PCWSTR Source);
NTSYSAPI NTSTATUS NTAPI RtlAppendUnicodeStringToString(PUNICODE_STRING Destination,
                                                       PCUNICODE_STRING Source);
NTSYSAPI NTSTATUS NTAPI RtlIntegerToUnicodeString(ULONG Value, ULONG Base, PUNICODE_STRING String);
NTSYSAPI NTSTATUS NTAPI RtlUnicodeStringToInteger(PCUNICODE_STRING String, ULONG Base,
                                                  PULONG Value);
NTSYSAPI LONG NTAPI RtlCompareUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2,
                                            BOOLEAN CaseInSensitive);
NTSYSAPI BOOLEAN NTAPI RtlEqualUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2,
                                             BOOLEAN CaseInSensitive);
NTSYSAPI NTSTATUS NTAPI RtlAnsiStringToUnicodeString(PUNICODE_STRING DestinationString,
                                                     PANSI_STRING SourceString,
                                                     BOOLEAN AllocateDestinationString);
NTSYSAPI VOID NTAPI RtlFreeUnicodeString(PUNICODE_STRING UnicodeString);
NTSYSAPI ULONG NTAPI RtlNtStatusToDosError(NTSTATUS Status);
NTSYSAPI SIZE_T NTAPI RtlCompareMemory(const VOID* Source1, const VOID* Source2, SIZE_T Length);

// Debug output goes to standard error when TOLM_KDPRINT is set in the environment.
NTSYSAPI ULONG DbgPrint(PCSTR Format, ...) __attribute__((format(printf, 1, 2)));
NTSYSAPI VOID NTAPI DbgBreakPoint();
NTSYSAPI VOID NTAPI RtlAssert(PVOID FailedAssertion, PVOID FileName, ULONG LineNumber,
                              PCHAR Message);

} // extern "C"

#define KdPrint(args) DbgPrint args
#define ASSERT(exp)                                                                                \
    ((!(exp))                                                                                      \
         ? (RtlAssert(const_cast<char*>(#exp), const_cast<char*>(__FILE__), __LINE__, nullptr),    \
            FALSE)                                                                                 \
         : TRUE)
#define RTL_CONSTANT_STRING(s)                                                                     \
    {                                                                                              \
        static_cast<USHORT>(sizeof(s) - sizeof((s)[0])), static_cast<USHORT>(sizeof(s)),           \
            const_cast<PWSTR>(s)                                                                   \
    }
