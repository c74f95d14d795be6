#include "conio.h"
#include "platform/ports.h"

#include <atomic>
#include <cstdio>

namespace platform {
namespace {

std::atomic<PortHandler*> g_handler{nullptr};
std::atomic<std::uint64_t> g_refused{0};
std::atomic<bool> g_reported{false};

void refuse(std::uint16_t port) {
    g_refused.fetch_add(1, std::memory_order_relaxed);
    if (!g_reported.exchange(true, std::memory_order_acq_rel)) {
        std::fprintf(stderr,
                     "port I/O refused (port 0x%X): the process has no port access; further "
                     "refused accesses are only counted\n",
                     static_cast<unsigned>(port));
    }
}

} // namespace

void set_port_handler(PortHandler* handler) {
    g_handler.store(handler, std::memory_order_release);
}

std::uint64_t refused_port_accesses() {
    return g_refused.load(std::memory_order_relaxed);
}

} // namespace platform

extern "C" {

int _outp(unsigned short port, int value) {
    if (platform::PortHandler* h = platform::g_handler.load(std::memory_order_acquire)) {
        h->out(port, static_cast<std::uint8_t>(value));
    } else {
        platform::refuse(port);
    }
    return value;
}

int _inp(unsigned short port) {
    if (platform::PortHandler* h = platform::g_handler.load(std::memory_order_acquire)) {
        return h->in(port);
    }
    platform::refuse(port);
    return 0xFF;
}
}
