#include "win32/errors.h"

namespace {
thread_local DWORD last_error = 0;
}

extern "C" {
DWORD WINAPI GetLastError() {
    return last_error;
}
void WINAPI SetLastError(DWORD code) {
    last_error = code;
}
}
