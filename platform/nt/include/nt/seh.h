// Structured exception handling for drivers. A kernel routine that "raises" (for example
// MmProbeAndLockPages on a bad range, or ExRaiseStatus) throws an NtException; the driver catches
// it with the usual
//     __try { ... } __except (EXCEPTION_EXECUTE_HANDLER) { status = GetExceptionCode(); }
// The filter expression is not evaluated: every handler here executes.
#pragma once

#include "nt/ntstatus.h"

namespace tolm_nt {

class __attribute__((visibility("default"))) NtException {
public:
    explicit NtException(NTSTATUS code) : code_(code) {}
    virtual ~NtException();
    NTSTATUS code() const { return code_; }

private:
    NTSTATUS code_;
};

} // namespace tolm_nt

#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_CONTINUE_EXECUTION (-1)

// clang-format off
#ifndef __try
#define __try try
#endif
#define __except(filter) catch (const ::tolm_nt::NtException& tolm_nt_exception_)
// clang-format on
#define GetExceptionCode() (tolm_nt_exception_.code())

extern "C" {
[[noreturn]] NTKERNELAPI VOID NTAPI ExRaiseStatus(NTSTATUS Status);
}
