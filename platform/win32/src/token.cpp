// The process token: a fixed table of privileges, each held or not and enabled or not.
#include "win32/token.h"

#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/token_state.h"
#include "win32/errors.h"
#include "win32/threads.h"

#include <cstring>
#include <iterator>
#include <mutex>

namespace {

struct Privilege {
    const char* name;
    DWORD luid;
    bool held;
    bool enabled;
};

// Identifiers as the local system numbers them.
constexpr Privilege kTable[] = {
    {"SeLoadDriverPrivilege", 10, true, false},
    {"SeSystemtimePrivilege", 12, true, false},
    {"SeBackupPrivilege", 17, true, false},
    {"SeRestorePrivilege", 18, true, false},
    {"SeShutdownPrivilege", 19, true, false},
    {"SeDebugPrivilege", 20, true, false},
    {"SeSystemEnvironmentPrivilege", 22, true, false},
    {"SeChangeNotifyPrivilege", 23, true, false},
    {"SeRemoteShutdownPrivilege", 24, true, false},
};

struct TokenState {
    std::mutex mutex;
    Privilege privileges[std::size(kTable)];
    TokenState() { reset(); }
    void reset() { std::copy(std::begin(kTable), std::end(kTable), privileges); }
    Privilege* by_name(const std::string& name) {
        for (Privilege& p : privileges) {
            if (platform::iequals(p.name, name)) {
                return &p;
            }
        }
        return nullptr;
    }
    Privilege* by_luid(const LUID& luid) {
        for (Privilege& p : privileges) {
            if (luid.HighPart == 0 && p.luid == luid.LowPart) {
                return &p;
            }
        }
        return nullptr;
    }
};

TokenState& state() {
    static TokenState s;
    return s;
}

class TokenObject : public platform::KernelObject {
public:
    explicit TokenObject(DWORD a) : access(a) {}
    const DWORD access;
};

DWORD attributes_of(const Privilege& p) {
    return p.enabled ? SE_PRIVILEGE_ENABLED : 0;
}

} // namespace

namespace platform::token {

void set_privilege_held(const std::string& name, bool held) {
    TokenState& s = state();
    std::lock_guard lock(s.mutex);
    if (Privilege* p = s.by_name(name)) {
        p->held = held;
        p->enabled = p->enabled && held;
    }
}

bool privilege_enabled(const std::string& name) {
    TokenState& s = state();
    std::lock_guard lock(s.mutex);
    const Privilege* p = s.by_name(name);
    return p != nullptr && p->enabled;
}

void reset() {
    {
        TokenState& s = state();
        std::lock_guard lock(s.mutex);
        s.reset();
    }
    clear_session_end_requests();
}

} // namespace platform::token

extern "C" {

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    if (token == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *token = platform::make_handle(std::make_shared<TokenObject>(access));
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    if (name == nullptr || luid == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (system != nullptr && system[0] != '\0') {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    for (const Privilege& p : kTable) {
        if (platform::iequals(p.name, name)) {
            luid->LowPart = p.luid;
            luid->HighPart = 0;
            return TRUE;
        }
    }
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE handle, BOOL disable_all, PTOKEN_PRIVILEGES new_state,
                                  DWORD buffer_length, PTOKEN_PRIVILEGES previous,
                                  PDWORD return_length) {
    const auto token = platform::lookup_handle_as<TokenObject>(handle);
    if (!token) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((token->access & TOKEN_ADJUST_PRIVILEGES) == 0 ||
        (previous != nullptr && (token->access & TOKEN_QUERY) == 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!disable_all && new_state == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TokenState& s = state();
    std::lock_guard lock(s.mutex);

    // Which privileges change, and to what.
    struct Change {
        Privilege* privilege;
        bool enable;
    };
    Change changes[std::size(kTable)];
    DWORD count = 0;
    bool all_assigned = true;
    if (disable_all) {
        for (Privilege& p : s.privileges) {
            if (p.enabled) {
                changes[count++] = {&p, false};
            }
        }
    } else {
        const LUID_AND_ATTRIBUTES* entries = new_state->Privileges;
        for (DWORD i = 0; i < new_state->PrivilegeCount; ++i) {
            Privilege* p = s.by_luid(entries[i].Luid);
            if (p == nullptr || !p->held) {
                all_assigned = false;
                continue;
            }
            const bool enable = (entries[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
            if (p->enabled == enable) {
                continue;
            }
            bool listed = false;
            for (DWORD c = 0; c < count; ++c) {
                listed = listed || changes[c].privilege == p;
            }
            if (!listed) {
                changes[count++] = {p, enable};
            }
        }
    }

    if (previous != nullptr) {
        const DWORD needed = static_cast<DWORD>(sizeof(DWORD) + (count > 0 ? count : 1) *
                                                                    sizeof(LUID_AND_ATTRIBUTES));
        if (return_length != nullptr) {
            *return_length = needed;
        }
        if (buffer_length < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        previous->PrivilegeCount = count;
        LUID_AND_ATTRIBUTES* out = previous->Privileges;
        for (DWORD c = 0; c < count; ++c) {
            out[c].Luid = LUID{changes[c].privilege->luid, 0};
            out[c].Attributes = attributes_of(*changes[c].privilege);
        }
    }
    for (DWORD c = 0; c < count; ++c) {
        changes[c].privilege->enabled = changes[c].enable;
    }
    SetLastError(all_assigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
}
