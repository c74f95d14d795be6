// A second process for the service-manager tests: "create <name> <image path>" installs a
// demand-start kernel-driver service; "status <name>" prints its state. Exit code 0 on success,
// else the Win32 error.
#include "win32/errors.h"
#include "win32/winsvc.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        return 87;
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        return static_cast<int>(GetLastError());
    }
    int result = 0;
    if (std::strcmp(argv[1], "create") == 0 && argc >= 4) {
        SC_HANDLE s =
            CreateServiceA(manager, argv[2], argv[2], SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, argv[3], nullptr, nullptr,
                           nullptr, nullptr, nullptr);
        result = s != nullptr ? 0 : static_cast<int>(GetLastError());
        if (s != nullptr) {
            CloseServiceHandle(s);
        }
    } else if (std::strcmp(argv[1], "status") == 0) {
        SC_HANDLE s = OpenServiceA(manager, argv[2], SERVICE_ALL_ACCESS);
        SERVICE_STATUS status{};
        if (s == nullptr || !QueryServiceStatus(s, &status)) {
            result = static_cast<int>(GetLastError());
        } else {
            std::printf("%lu\n", static_cast<unsigned long>(status.dwCurrentState));
        }
        if (s != nullptr) {
            CloseServiceHandle(s);
        }
    } else {
        result = 87;
    }
    CloseServiceHandle(manager);
    return result;
}
