// The kernel driver installed and started as a service on a stepped machine, in a fresh system
// root: the image is registered with the service manager as a demand-start kernel driver and
// started as the installer and the system would. The service is stopped at the end, before the
// machine goes.
#pragma once

#include "stepped_machine.h"
#include "system_root.h"

#include <string>

namespace tolm_test {

class KernelDriverService {
public:
    // `image` is the driver file (its path as the service's image path).
    KernelDriverService(const std::string& image, const machine::MachineConfig& config = {},
                        const std::string& service = "Tarvo");
    ~KernelDriverService();
    KernelDriverService(const KernelDriverService&) = delete;
    KernelDriverService& operator=(const KernelDriverService&) = delete;

    // Whether StartService succeeded, and its error when it did not.
    bool started() const { return started_; }
    unsigned long start_error() const { return start_error_; }
    // Stops the service (SERVICE_CONTROL_STOP); true when the manager accepted it.
    bool stop();

    const TempSystemRoot& root() const { return root_; }
    SteppedMachine& machine() { return machine_; }

private:
    TempSystemRoot root_;
    SteppedMachine machine_;
    std::string service_;
    bool started_ = false;
    unsigned long start_error_ = 0;
};

} // namespace tolm_test
