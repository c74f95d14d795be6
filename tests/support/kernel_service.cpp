#include "kernel_service.h"

#include "win32/errors.h"
#include "win32_owners/sc_handle.h"

namespace tolm_test {

using win32_owners::ScHandle;

KernelDriverService::KernelDriverService(const std::string& image,
                                         const machine::MachineConfig& config,
                                         const std::string& service)
    : root_("tolm-kernel"), machine_(config), service_(service) {
    ScHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    if (!manager) {
        start_error_ = GetLastError();
        return;
    }
    ScHandle svc{CreateServiceA(manager.get(), service_.c_str(), service_.c_str(),
                                SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr,
                                nullptr, nullptr)};
    if (!svc || !StartServiceA(svc.get(), 0, nullptr)) {
        start_error_ = GetLastError();
        return;
    }
    started_ = true;
}

KernelDriverService::~KernelDriverService() {
    if (started_) {
        stop();
    }
}

bool KernelDriverService::stop() {
    ScHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    ScHandle svc{manager ? OpenServiceA(manager.get(), service_.c_str(), SERVICE_ALL_ACCESS)
                         : nullptr};
    SERVICE_STATUS status{};
    const bool ok = svc && ControlService(svc.get(), SERVICE_CONTROL_STOP, &status);
    started_ = started_ && !ok;
    return ok;
}

} // namespace tolm_test
