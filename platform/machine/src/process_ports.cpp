// The process's x86 port I/O (_outp/_inp) belongs to the PC: from the moment the machine library
// is loaded every access reaches the process's machine, which serves it only while the kernel
// has granted the process port access and records any other access as a PortNotGranted fault.
#include "machine/machine.h"
#include "platform/ports.h"

namespace machine {
namespace {

class ProcessPorts final : public platform::PortHandler {
public:
    void out(std::uint16_t port, std::uint8_t value) override {
        the_machine().port_out(port, value);
    }
    std::uint8_t in(std::uint16_t port) override { return the_machine().port_in(port); }
};

struct Registration {
    Registration() {
        static ProcessPorts* ports = new ProcessPorts; // may still be reached during process end
        platform::set_port_handler(ports);
    }
};

const Registration registration;

} // namespace
} // namespace machine
