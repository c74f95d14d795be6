// Run-time library: counted strings, memory comparison, debug output, raising exceptions.
#include "nt/mm.h"
#include "nt/rtl.h"
#include "nt/seh.h"

#include "kernel.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tolm_nt {
NtException::~NtException() = default;
} // namespace tolm_nt

using namespace tolm_nt;

namespace {

bool is_upper(WCHAR c) {
    return c >= u'A' && c <= u'Z';
}
WCHAR fold(WCHAR c) {
    return is_upper(c) ? static_cast<WCHAR>(c - u'A' + u'a') : c;
}

} // namespace

extern "C" {

VOID NTAPI RtlInitUnicodeString(PUNICODE_STRING d, PCWSTR s) {
    std::size_t n = 0;
    if (s != nullptr) {
        while (s[n] != 0) {
            ++n;
        }
    }
    d->Buffer = const_cast<PWSTR>(s);
    d->Length = static_cast<USHORT>(n * sizeof(WCHAR));
    d->MaximumLength = static_cast<USHORT>(s != nullptr ? d->Length + sizeof(WCHAR) : 0);
}

VOID NTAPI RtlInitAnsiString(PANSI_STRING d, PCSZ s) {
    const std::size_t n = s != nullptr ? std::strlen(s) : 0;
    d->Buffer = const_cast<PCHAR>(s);
    d->Length = static_cast<USHORT>(n);
    d->MaximumLength = static_cast<USHORT>(s != nullptr ? n + 1 : 0);
}

VOID NTAPI RtlCopyUnicodeString(PUNICODE_STRING d, PCUNICODE_STRING s) {
    if (s == nullptr || s->Buffer == nullptr) {
        d->Length = 0;
        return;
    }
    const USHORT n = s->Length < d->MaximumLength ? s->Length : d->MaximumLength;
    std::memcpy(d->Buffer, s->Buffer, n);
    d->Length = n;
    if (d->Length + sizeof(WCHAR) <= d->MaximumLength) {
        d->Buffer[d->Length / sizeof(WCHAR)] = 0;
    }
}

NTSTATUS NTAPI RtlAppendUnicodeStringToString(PUNICODE_STRING d, PCUNICODE_STRING s) {
    if (s == nullptr || s->Length == 0) {
        return STATUS_SUCCESS;
    }
    if (d->Length + s->Length > d->MaximumLength) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memmove(reinterpret_cast<char*>(d->Buffer) + d->Length, s->Buffer, s->Length);
    d->Length = static_cast<USHORT>(d->Length + s->Length);
    if (d->Length + sizeof(WCHAR) <= d->MaximumLength) {
        d->Buffer[d->Length / sizeof(WCHAR)] = 0;
    }
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI RtlAppendUnicodeToString(PUNICODE_STRING d, PCWSTR s) {
    UNICODE_STRING u;
    RtlInitUnicodeString(&u, s);
    return RtlAppendUnicodeStringToString(d, &u);
}

NTSTATUS NTAPI RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING s) {
    if (base == 0) {
        base = 10;
    }
    if (base != 2 && base != 8 && base != 10 && base != 16) {
        return STATUS_INVALID_PARAMETER;
    }
    char digits[33];
    int n = 0;
    do {
        const ULONG d = value % base;
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
        value /= base;
    } while (value != 0);
    if (static_cast<std::size_t>(n) * sizeof(WCHAR) > s->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    for (int i = 0; i < n; ++i) {
        s->Buffer[i] = static_cast<WCHAR>(digits[n - 1 - i]);
    }
    s->Length = static_cast<USHORT>(n * sizeof(WCHAR));
    if (s->Length + sizeof(WCHAR) <= s->MaximumLength) {
        s->Buffer[n] = 0;
    }
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI RtlUnicodeStringToInteger(PCUNICODE_STRING s, ULONG base, PULONG value) {
    const std::string text = narrow(s);
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (base == 0) {
        base = 10;
        if (i + 1 < text.size() && text[i] == '0') {
            const char p = text[i + 1];
            base = p == 'x' ? 16 : p == 'o' ? 8 : p == 'b' ? 2 : 10;
            if (base != 10) {
                i += 2;
            }
        }
    } else if (base != 2 && base != 8 && base != 10 && base != 16) {
        return STATUS_INVALID_PARAMETER;
    }
    ULONG v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        ULONG d;
        if (c >= '0' && c <= '9') {
            d = static_cast<ULONG>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            d = static_cast<ULONG>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            d = static_cast<ULONG>(c - 'A' + 10);
        } else {
            break;
        }
        if (d >= base) {
            break;
        }
        v = v * base + d;
    }
    *value = negative ? 0u - v : v;
    return STATUS_SUCCESS;
}

LONG NTAPI RtlCompareUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN ci) {
    const std::size_t na = a->Length / sizeof(WCHAR);
    const std::size_t nb = b->Length / sizeof(WCHAR);
    for (std::size_t i = 0; i < na && i < nb; ++i) {
        const WCHAR x = ci ? fold(a->Buffer[i]) : a->Buffer[i];
        const WCHAR y = ci ? fold(b->Buffer[i]) : b->Buffer[i];
        if (x != y) {
            return static_cast<LONG>(x) - static_cast<LONG>(y);
        }
    }
    return static_cast<LONG>(na) - static_cast<LONG>(nb);
}

BOOLEAN NTAPI RtlEqualUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN ci) {
    return a->Length == b->Length && RtlCompareUnicodeString(a, b, ci) == 0;
}

NTSTATUS NTAPI RtlAnsiStringToUnicodeString(PUNICODE_STRING d, PANSI_STRING s, BOOLEAN allocate) {
    const std::size_t bytes = std::size_t(s->Length) * sizeof(WCHAR);
    if (bytes + sizeof(WCHAR) > 0xFFFF) {
        return STATUS_INVALID_PARAMETER_2;
    }
    if (allocate) {
        d->Buffer = static_cast<PWSTR>(
            ExAllocatePoolWithTag(PagedPool, bytes + sizeof(WCHAR), 0x72747355 /* "Ustr" */));
        if (d->Buffer == nullptr) {
            return STATUS_NO_MEMORY;
        }
        d->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
    } else if (bytes > d->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    for (USHORT i = 0; i < s->Length; ++i) {
        d->Buffer[i] = static_cast<unsigned char>(s->Buffer[i]);
    }
    d->Length = static_cast<USHORT>(bytes);
    if (bytes + sizeof(WCHAR) <= d->MaximumLength) {
        d->Buffer[s->Length] = 0;
    }
    return STATUS_SUCCESS;
}

VOID NTAPI RtlFreeUnicodeString(PUNICODE_STRING s) {
    if (s->Buffer != nullptr) {
        ExFreePool(s->Buffer);
    }
    s->Buffer = nullptr;
    s->Length = s->MaximumLength = 0;
}

SIZE_T NTAPI RtlCompareMemory(const VOID* a, const VOID* b, SIZE_T length) {
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    SIZE_T i = 0;
    while (i < length && x[i] == y[i]) {
        ++i;
    }
    return i;
}

ULONG DbgPrint(PCSTR format, ...) {
    static const bool enabled = std::getenv("TOLM_KDPRINT") != nullptr;
    if (!enabled) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    return 0;
}

VOID NTAPI DbgBreakPoint() {}

VOID NTAPI RtlAssert(PVOID assertion, PVOID file, ULONG line, PCHAR message) {
    bug_check(KMODE_EXCEPTION_NOT_HANDLED, 0x80000003, line, 0, 0,
              std::string("assertion failed: ") + static_cast<const char*>(assertion) + " at " +
                  static_cast<const char*>(file) + ":" + std::to_string(line) +
                  (message != nullptr ? std::string(" ") + message : std::string()));
}

VOID NTAPI ExRaiseStatus(NTSTATUS status) {
    throw NtException(status);
}

} // extern "C"
