#include "privilege.h"

#include <windows.h>
#include <win32/token.h>

namespace setup {

int EnableTokenPrivilege(const char* name, bool enable) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return 0;
    }
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    if (!LookupPrivilegeValueA(nullptr, name, &tp.Privileges[0].Luid)) {
        CloseHandle(token);
        return 0;
    }
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    const BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr);
    const bool all_assigned = adjusted && GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return all_assigned ? 1 : 0;
}

} // namespace setup
