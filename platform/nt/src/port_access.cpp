// The process's port I/O: once the kernel has granted the process port access, the x86 port
// accesses of the console runtime (_outp/_inp) reach the machine's ports; without the grant they
// stay refused by the runtime.
#include "kernel.h"

#include "machine/machine.h"
#include "platform/ports.h"

namespace tolm_nt {
namespace {

// Forwards to the process's machine, which itself refuses the ports while it is not granted.
class MachinePorts final : public platform::PortHandler {
public:
    void out(std::uint16_t port, std::uint8_t value) override { hw().port_out(port, value); }
    std::uint8_t in(std::uint16_t port) override { return hw().port_in(port); }
};

MachinePorts& machine_ports() {
    static MachinePorts* ports = new MachinePorts; // may still be reached during process end
    return *ports;
}

} // namespace

void set_process_port_access(bool granted) {
    platform::set_port_handler(granted ? &machine_ports() : nullptr);
}

} // namespace tolm_nt
