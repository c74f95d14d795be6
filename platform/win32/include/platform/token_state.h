// Controls and records of the process token and of session-end requests, for tests and tools.
#pragma once

#include "win32/types.h"

#include <string>
#include <vector>

namespace platform::token {

// Whether the process holds a privilege (by name, e.g. "SeShutdownPrivilege"); a privilege that
// is not held cannot be enabled. Taking one away also disables it.
void set_privilege_held(const std::string& name, bool held);
bool privilege_enabled(const std::string& name);
// Every privilege held again, none enabled, the restart record emptied.
void reset();

// One accepted ExitWindowsEx call.
struct SessionEndRequest {
    UINT flags = 0;
    DWORD reason = 0;
    DWORD tick = 0; // the platform clock when it was asked for
};
std::vector<SessionEndRequest> session_end_requests();
void clear_session_end_requests();

} // namespace platform::token
