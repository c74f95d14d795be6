// The process's x86 port I/O (_outp/_inp of conio.h) goes to one registered handler. The
// machine library registers one when it is loaded (the machine then serves the ports only while
// the kernel grants them and records every other access as a fault). Without a handler (a
// process without the machine) every access is refused: counted, reported once on stderr, with
// no effect, and a read gives 0xFF.
#pragma once

#include <cstdint>

namespace platform {

class PortHandler {
public:
    virtual ~PortHandler() = default;
    virtual void out(std::uint16_t port, std::uint8_t value) = 0;
    virtual std::uint8_t in(std::uint16_t port) = 0;
};

// Installs `handler` (null removes it). The handler must outlive its registration.
void set_port_handler(PortHandler* handler);

// Port accesses refused since the process started.
std::uint64_t refused_port_accesses();

} // namespace platform
