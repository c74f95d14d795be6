// Session-end requests are recorded, never carried out.
#include "win32/restart.h"

#include "platform/clock.h"
#include "platform/token_state.h"
#include "win32/errors.h"
#include "win32/sysinfo.h"
#include "win32/token.h"

#include <mutex>

namespace {

struct Record {
    std::mutex mutex;
    std::vector<platform::token::SessionEndRequest> requests;
};

Record& record() {
    static Record r;
    return r;
}

} // namespace

namespace platform::token {

std::vector<SessionEndRequest> session_end_requests() {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    return r.requests;
}

void clear_session_end_requests() {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    r.requests.clear();
}

} // namespace platform::token

extern "C" {

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reason) {
    const UINT action = flags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF);
    if (action != 0 && !platform::token::privilege_enabled(SE_SHUTDOWN_NAME)) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    Record& r = record();
    std::lock_guard lock(r.mutex);
    r.requests.push_back({flags, reason, GetTickCount()});
    return TRUE;
}
}
