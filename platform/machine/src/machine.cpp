// The machine: PCI bus routing, register access by physical address, interrupt delivery, field
// timing (stepped or free-running), the speaker ports and the test controls.
#include "machine/machine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "board.h"
#include "chip.h"
#include "fault_log.h"
#include "physical_memory.h"
#include "platform/clock.h"
#include "register_view.h"
#include "speaker.h"

namespace machine {
namespace {

constexpr unsigned kBoardSlot = 8;
constexpr unsigned kBridgeSlot = 0x1E;
constexpr int kStormLimit = 1000;

std::uint64_t next_serial() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

thread_local bool t_delivering = false;
thread_local bool t_pumping = false;

std::array<std::uint8_t, 256> bridge_header(std::uint16_t device, std::uint32_t dword50) {
    std::array<std::uint8_t, 256> c{};
    c[0x00] = 0x86;
    c[0x01] = 0x80;
    c[0x02] = std::uint8_t(device);
    c[0x03] = std::uint8_t(device >> 8);
    c[0x04] = 0x06;
    c[0x07] = 0x02;
    c[0x0B] = 0x06; // class 0x060000: host bridge
    for (int i = 0; i < 4; ++i) {
        c[0x50 + unsigned(i)] = std::uint8_t(dword50 >> (8 * i));
    }
    return c;
}

std::string hex(const char* what, std::uint32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%08X", what, value);
    return text;
}

} // namespace

struct Machine::Impl {
    explicit Impl(MachineConfig c) : config(std::move(c)) {
        int number = 1;
        for (std::size_t b = 0; b < config.boards.size(); ++b) {
            boards.push_back(std::make_unique<Board>(int(b), config.boards[b], config, log));
            Board& board = *boards.back();
            const auto& chip_configs = config.boards[b].chips;
            for (std::size_t i = 0; i < chip_configs.size() && i < kMaxChipsPerBoard; ++i) {
                chips.push_back(std::make_unique<Chip>(number++, board, int(i), chip_configs[i],
                                                       chip_configs.size() >= 2, config, memory,
                                                       log));
            }
        }
        host = bridge_header(0x7FFF, 0);
        bridge = bridge_header(0x244E, config.bridge_dword50);
        for (const auto& n : config.faults.i2c_nack) {
            if (Chip* c = chip(n.chip)) {
                c->inject_nack(n.count);
            }
        }
        for (int h : config.faults.i2c_hang) {
            if (Chip* c = chip(h)) {
                c->inject_hang();
            }
        }
        for (int b : config.faults.crosspoint_readback) {
            if (Board* bd = board(b)) {
                bd->set_readback_mismatch(true);
            }
        }
        for (const auto& e : config.faults.error_bits) {
            if (Chip* c = chip(e.chip)) {
                c->inject_at_next_field(e.bits);
            }
        }
    }

    Chip* chip(int number) const {
        return number >= 1 && number <= int(chips.size()) ? chips[std::size_t(number - 1)].get()
                                                          : nullptr;
    }
    Board* board(int number) const {
        return number >= 1 && number <= int(boards.size()) ? boards[std::size_t(number - 1)].get()
                                                           : nullptr;
    }
    Chip* chip_at(unsigned device, unsigned function) const {
        if (device < kBoardSlot || device - kBoardSlot >= boards.size()) {
            return nullptr;
        }
        int number = 1;
        for (unsigned b = 0; b < device - kBoardSlot; ++b) {
            number += int(std::min<std::size_t>(config.boards[b].chips.size(), kMaxChipsPerBoard));
        }
        const std::size_t on_board = std::min<std::size_t>(
            config.boards[device - kBoardSlot].chips.size(), kMaxChipsPerBoard);
        return function < on_board ? chip(number + int(function)) : nullptr;
    }
    std::uint8_t* bridge_at(unsigned device, unsigned function) {
        if (function != 0) {
            return nullptr;
        }
        if (device == 0) {
            return host.data();
        }
        if (device == kBridgeSlot && config.bridge_fitted) {
            return bridge.data();
        }
        return nullptr;
    }
    Chip* chip_by_address(PhysAddr phys) const {
        for (const auto& c : chips) {
            if ((phys & 0xFFFFF000u) == c->bar0()) {
                return c.get();
            }
        }
        return nullptr;
    }

    std::uint32_t reg_read(Chip& c, std::uint32_t offset, unsigned width) {
        if (!c.memory_enabled()) {
            log.record(FaultKind::RegisterMemoryOff, c.number(), c.fields(), 0, offset,
                       "register read with memory space off");
            return 0xFFFFFFFF;
        }
        if (width != 4 || (offset & 3)) {
            log.record(FaultKind::RegisterWidth, c.number(), c.fields(), 0, offset,
                       std::to_string(width) + "-byte register read");
            const std::uint32_t v = c.read(offset & ~3u, platform::clock::now());
            const std::uint32_t shifted = v >> (8 * (offset & 3));
            return width >= 4 ? shifted : shifted & ((1u << (8 * width)) - 1);
        }
        return c.read(offset, platform::clock::now());
    }
    void reg_write(Chip& c, std::uint32_t offset, std::uint32_t value, unsigned width) {
        if (!c.memory_enabled()) {
            log.record(FaultKind::RegisterMemoryOff, c.number(), c.fields(), 0, offset,
                       "register write with memory space off");
            return;
        }
        if (width != 4 || (offset & 3)) {
            log.record(FaultKind::RegisterWidth, c.number(), c.fields(), 0, offset,
                       std::to_string(width) + "-byte register write ignored");
            return;
        }
        c.write(offset, value, platform::clock::now());
    }

    // ---- interrupts
    struct Handler {
        int id;
        unsigned line;
        InterruptHandler fn;
    };
    struct Storm {
        int count = 0;
        bool blocked = false;
        std::vector<std::uint32_t> signature;
    };
    std::vector<std::uint32_t> pending_on(unsigned line) const {
        std::vector<std::uint32_t> out;
        for (const auto& c : chips) {
            if (c->interrupt_line() == line) {
                out.push_back(c->pending());
            }
        }
        return out;
    }
    bool asserted(unsigned line) const {
        for (const auto& c : chips) {
            if (c->interrupt_line() == line && c->irq_asserted()) {
                return true;
            }
        }
        return false;
    }

    // Runs the handlers of every asserted line; true when any ran.
    bool deliver() {
        if (t_delivering) {
            return false;
        }
        t_delivering = true;
        bool delivered = false;
        for (;;) {
            std::vector<InterruptHandler> fns;
            unsigned line = 0;
            std::vector<std::uint32_t> before;
            {
                std::lock_guard lock(mutex);
                bool found = false;
                for (const auto& c : chips) {
                    const unsigned l = c->interrupt_line();
                    if (!c->irq_asserted()) {
                        continue;
                    }
                    Storm& s = storms[l];
                    if (s.blocked) {
                        if (pending_on(l) == s.signature) {
                            continue;
                        }
                        s.blocked = false;
                        s.count = 0;
                    }
                    for (const Handler& h : handlers) {
                        if (h.line == l) {
                            fns.push_back(h.fn);
                        }
                    }
                    if (!fns.empty()) {
                        line = l;
                        found = true;
                        break;
                    }
                }
                if (!found) {
                    break;
                }
                before = pending_on(line);
            }
            for (auto& fn : fns) {
                fn();
            }
            delivered = true;
            std::lock_guard lock(mutex);
            const std::vector<std::uint32_t> after = pending_on(line);
            bool progress = false;
            for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
                progress = progress || (before[i] & ~after[i]) != 0;
            }
            Storm& s = storms[line];
            if (progress || !asserted(line)) {
                s.count = 0;
            } else if (++s.count >= kStormLimit) {
                log.record(FaultKind::InterruptStorm, 0, 0, 0, line,
                           "line " + std::to_string(line) + " asserted through 1000 deliveries");
                s.blocked = true;
                s.count = 0;
                s.signature = after;
            }
        }
        if (delivered) {
            std::function<void()> hook;
            {
                std::lock_guard lock(mutex);
                hook = after_interrupts;
            }
            if (hook) {
                hook();
            }
        }
        t_delivering = false;
        return delivered;
    }

    // Runs the engines and delivers interrupts until nothing can make progress.
    void pump() {
        if (t_pumping) {
            return;
        }
        t_pumping = true;
        for (;;) {
            const bool delivered = deliver();
            bool ran = false;
            {
                std::lock_guard lock(mutex);
                for (const auto& c : chips) {
                    if (c->runnable()) {
                        c->run();
                        ran = true;
                    }
                }
            }
            if (!ran && !delivered) {
                break;
            }
        }
        t_pumping = false;
    }

    void after_access() {
        bool free;
        {
            std::lock_guard lock(mutex);
            free = running;
            if (free) {
                kick = true;
            }
        }
        if (free) {
            wake.notify_all();
        } else {
            pump();
        }
    }

    // ---- time
    Units next_due() const {
        Units t = ~Units(0);
        for (const auto& c : chips) {
            t = std::min(t, c->next_field);
        }
        return t;
    }

    void run_field(Units t, bool move_clock) {
        std::vector<Chip*> due;
        Units before = 0;
        {
            std::lock_guard lock(mutex);
            before = now_units;
            now_units = std::max(now_units, t);
        }
        if (move_clock && platform::clock::is_manual()) {
            platform::clock::advance(std::uint32_t(t / kUnitsPerMs - before / kUnitsPerMs));
        }
        {
            std::lock_guard lock(mutex);
            const std::uint32_t now = platform::clock::now();
            for (const auto& c : chips) {
                if (c->next_field <= t) {
                    c->field_start(now);
                    due.push_back(c.get());
                }
            }
        }
        pump();
        {
            std::lock_guard lock(mutex);
            for (Chip* c : due) {
                c->field_end();
                c->next_field += c->period();
            }
        }
        pump();
    }

    void thread_main() {
        using steady = std::chrono::steady_clock;
        bool manual;
        steady::time_point anchor_real;
        std::uint32_t anchor_ms;
        Units anchor_units;
        {
            std::lock_guard lock(mutex);
            manual = start_manual;
            anchor_real = start_real;
            anchor_ms = start_ms;
            anchor_units = now_units;
        }
        for (;;) {
            if (platform::clock::is_manual() != manual) {
                manual = platform::clock::is_manual();
                anchor_real = steady::now();
                anchor_ms = platform::clock::now();
                std::lock_guard lock(mutex);
                anchor_units = now_units;
            }
            Units target;
            if (manual) {
                target = anchor_units +
                         Units(std::uint32_t(platform::clock::now() - anchor_ms)) * kUnitsPerMs;
            } else {
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(steady::now() -
                                                                                     anchor_real)
                                    .count();
                target = anchor_units + Units(ns) * 3 / 1000;
            }
            Units due;
            {
                std::lock_guard lock(mutex);
                if (stop_requested) {
                    return;
                }
                // Far behind (a stalled process): drop the missed fields instead of racing.
                for (const auto& c : chips) {
                    if (c->next_field + 10 * kPalField < target) {
                        c->next_field = target;
                    }
                }
                due = next_due();
            }
            if (due != ~Units(0) && due <= target) {
                run_field(due, false);
                continue;
            }
            std::unique_lock lock(mutex);
            auto wait = std::chrono::milliseconds(2);
            if (!manual && due != ~Units(0)) {
                wait = std::min(std::chrono::milliseconds(20),
                                std::chrono::milliseconds((due - target) / kUnitsPerMs + 1));
            }
            wake.wait_for(lock, wait, [&] { return stop_requested || kick; });
            if (stop_requested) {
                return;
            }
            if (kick) {
                kick = false;
                lock.unlock();
                pump();
            }
        }
    }

    mutable std::mutex mutex;
    std::uint64_t serial = next_serial();
    std::mutex join_mutex; // start and stop of the field thread
    std::atomic<std::thread::id> field_thread_id{};
    MachineConfig config;
    PhysicalMemory memory;
    FaultLog log;
    std::vector<std::unique_ptr<Board>> boards;
    std::vector<std::unique_ptr<Chip>> chips;
    std::array<std::uint8_t, 256> host{}, bridge{};
    Speaker speaker;
    bool granted = false;
    std::vector<Handler> handlers;
    std::function<void()> after_interrupts;
    int next_handler = 1;
    std::map<unsigned, Storm> storms;
    Units now_units = 0;
    std::thread thread;
    // Where free-running time starts, taken when start() is called.
    bool start_manual = false;
    std::chrono::steady_clock::time_point start_real;
    std::uint32_t start_ms = 0;
    bool running = false;
    bool stop_requested = false;
    bool kick = false;
    std::condition_variable wake;
};

Machine::Machine(MachineConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Machine::~Machine() {
    stop();
    remove_register_views(*this);
}

const MachineConfig& Machine::config() const {
    return impl_->config;
}

std::uint64_t Machine::serial() const {
    return impl_->serial;
}

int Machine::chip_count() const {
    return int(impl_->chips.size());
}

int Machine::board_count() const {
    return int(impl_->boards.size());
}

// ---- PCI

unsigned Machine::pci_read(unsigned bus, unsigned device, unsigned function, unsigned offset,
                           void* data, unsigned length) {
    if (bus != 0 || device > 31 || function > 7 || offset >= 256) {
        return 0;
    }
    length = std::min(length, 256 - offset);
    auto* out = static_cast<std::uint8_t*>(data);
    std::lock_guard lock(impl_->mutex);
    Chip* c = impl_->chip_at(device, function);
    const std::uint8_t* b = impl_->bridge_at(device, function);
    for (unsigned i = 0; i < length; ++i) {
        out[i] = c ? c->pci_read(offset + i) : b ? b[offset + i] : 0xFF;
    }
    return length;
}

unsigned Machine::pci_write(unsigned bus, unsigned device, unsigned function, unsigned offset,
                            const void* data, unsigned length) {
    if (bus != 0 || device > 31 || function > 7 || offset >= 256) {
        return 0;
    }
    length = std::min(length, 256 - offset);
    const auto* in = static_cast<const std::uint8_t*>(data);
    {
        std::lock_guard lock(impl_->mutex);
        Chip* c = impl_->chip_at(device, function);
        std::uint8_t* b = impl_->bridge_at(device, function);
        for (unsigned i = 0; i < length; ++i) {
            const unsigned off = offset + i;
            if (c) {
                c->pci_write(off, in[i]);
            } else if (b && off >= 0x50 && off < 0x54) {
                b[off] = in[i];
            }
        }
    }
    impl_->after_access(); // bus mastering may have come back
    return length;
}

PciLocation Machine::chip_location(int chip) const {
    int number = 1;
    for (std::size_t b = 0; b < impl_->config.boards.size(); ++b) {
        const int n = int(std::min<std::size_t>(impl_->config.boards[b].chips.size(), 4));
        if (chip < number + n) {
            return PciLocation{0, kBoardSlot + unsigned(b), unsigned(chip - number)};
        }
        number += n;
    }
    return {};
}

std::optional<PciLocation> Machine::bridge_location() const {
    if (!impl_->config.bridge_fitted) {
        return std::nullopt;
    }
    return PciLocation{0, kBridgeSlot, 0};
}

// ---- memory

MemoryBlock Machine::allocate(std::size_t bytes) {
    std::lock_guard lock(impl_->mutex);
    return impl_->memory.allocate(bytes);
}

MemoryBlock Machine::allocate_scattered(std::size_t bytes) {
    std::lock_guard lock(impl_->mutex);
    return impl_->memory.allocate_scattered(bytes);
}

void Machine::free(PhysAddr phys) {
    std::lock_guard lock(impl_->mutex);
    impl_->memory.free(phys);
}

LockedPages Machine::lock_pages(void* user, std::size_t length) {
    std::lock_guard lock(impl_->mutex);
    return impl_->memory.lock(user, length);
}

void Machine::unlock_pages(std::uint32_t id) {
    std::lock_guard lock(impl_->mutex);
    const std::vector<std::uint32_t> pfns = impl_->memory.lock_pfns(id);
    const std::uint32_t now = platform::clock::now();
    for (const auto& c : impl_->chips) {
        if (c->dma_holds(pfns, now)) {
            impl_->log.record(FaultKind::UnlockWhileDma, c->number(), c->fields(), 0,
                              pfns.empty() ? 0 : pfns.front() << 12,
                              "pages unlocked while the DMA engine writing to them is enabled or "
                              "still finishing its instruction");
        }
    }
    impl_->memory.unlock(id);
}

std::optional<PhysAddr> Machine::physical_address(const void* host) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->memory.physical_address(host);
}

void* Machine::host_address(PhysAddr phys, std::size_t length) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->memory.host_address(phys, length);
}

bool Machine::is_register_space(PhysAddr phys) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->chip_by_address(phys) != nullptr;
}

void* Machine::map_physical(PhysAddr phys, std::size_t length) {
    bool registers;
    {
        std::lock_guard lock(impl_->mutex);
        if (void* host = impl_->memory.host_address(phys, length)) {
            return host;
        }
        Chip* c = impl_->chip_by_address(phys);
        registers = c && (phys - c->bar0()) + length <= kRegisterWindowSize && length > 0;
    }
    if (!registers) {
        return nullptr;
    }
    const PhysAddr page = phys & ~PhysAddr(kPageSize - 1);
    auto* view =
        static_cast<std::uint8_t*>(create_register_view(*this, page, (phys - page) + length));
    return view ? view + (phys - page) : nullptr;
}

void Machine::unmap_physical(void* view) {
    remove_register_view(view);
}

// ---- registers

std::uint32_t Machine::mmio_read(PhysAddr phys, unsigned width) {
    std::lock_guard lock(impl_->mutex);
    Chip* c = impl_->chip_by_address(phys);
    if (!c) {
        impl_->log.record(FaultKind::RegisterOutside, 0, 0, 0, phys, hex("read at", phys));
        return width >= 4 ? 0xFFFFFFFF : (1u << (8 * width)) - 1;
    }
    return impl_->reg_read(*c, phys - c->bar0(), width);
}

void Machine::mmio_write(PhysAddr phys, std::uint32_t value, unsigned width) {
    {
        std::lock_guard lock(impl_->mutex);
        Chip* c = impl_->chip_by_address(phys);
        if (!c) {
            impl_->log.record(FaultKind::RegisterOutside, 0, 0, 0, phys, hex("write at", phys));
            return;
        }
        impl_->reg_write(*c, phys - c->bar0(), value, width);
    }
    impl_->after_access();
}

std::uint32_t Machine::read_register(int chip, std::uint32_t offset) {
    std::lock_guard lock(impl_->mutex);
    Chip* c = impl_->chip(chip);
    if (!c || offset >= kRegisterWindowSize) {
        impl_->log.record(FaultKind::RegisterOutside, chip, 0, 0, offset, "outside the window");
        return 0xFFFFFFFF;
    }
    return impl_->reg_read(*c, offset, 4);
}

void Machine::write_register(int chip, std::uint32_t offset, std::uint32_t value) {
    {
        std::lock_guard lock(impl_->mutex);
        Chip* c = impl_->chip(chip);
        if (!c || offset >= kRegisterWindowSize) {
            impl_->log.record(FaultKind::RegisterOutside, chip, 0, 0, offset, "outside the window");
            return;
        }
        impl_->reg_write(*c, offset, value, 4);
    }
    impl_->after_access();
}

// ---- interrupts

int Machine::attach_interrupt(unsigned line, InterruptHandler handler) {
    int id;
    {
        std::lock_guard lock(impl_->mutex);
        id = impl_->next_handler++;
        impl_->handlers.push_back(Impl::Handler{id, line, std::move(handler)});
    }
    impl_->after_access(); // a line already asserted is served now
    return id;
}

void Machine::detach_interrupt(int id) {
    std::lock_guard lock(impl_->mutex);
    auto& h = impl_->handlers;
    h.erase(std::remove_if(h.begin(), h.end(), [id](const Impl::Handler& x) { return x.id == id; }),
            h.end());
}

bool Machine::line_asserted(unsigned line) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->asserted(line);
}

unsigned Machine::chip_interrupt_line(int chip) const {
    Chip* c = impl_->chip(chip);
    return c ? c->interrupt_line() : 0;
}

void Machine::set_after_interrupts(std::function<void()> hook) {
    std::lock_guard lock(impl_->mutex);
    impl_->after_interrupts = std::move(hook);
}

void Machine::deliver_interrupts() {
    impl_->pump();
}

// ---- time

void Machine::start() {
    std::lock_guard join(impl_->join_mutex);
    if (impl_->thread.joinable() && !free_running()) {
        impl_->thread.join(); // stopped from one of its own handlers earlier
    }
    std::lock_guard lock(impl_->mutex);
    if (impl_->running || impl_->chips.empty()) {
        return;
    }
    impl_->running = true;
    impl_->stop_requested = false;
    impl_->start_manual = platform::clock::is_manual();
    impl_->start_real = std::chrono::steady_clock::now();
    impl_->start_ms = platform::clock::now();
    impl_->thread = std::thread([this] {
        impl_->field_thread_id = std::this_thread::get_id();
        impl_->thread_main();
        impl_->field_thread_id = std::thread::id();
        std::lock_guard done(impl_->mutex);
        impl_->running = false;
    });
}

void Machine::stop() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stop_requested = impl_->running;
    }
    impl_->wake.notify_all();
    if (std::this_thread::get_id() == impl_->field_thread_id.load()) {
        return; // from a handler on the field thread: the thread ends after this round
    }
    std::lock_guard join(impl_->join_mutex);
    if (impl_->thread.joinable()) {
        impl_->thread.join();
    }
}

bool Machine::free_running() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->running;
}

void Machine::step() {
    Units due;
    {
        std::lock_guard lock(impl_->mutex);
        if (impl_->running || impl_->chips.empty()) {
            return;
        }
        due = impl_->next_due();
    }
    impl_->run_field(due, true);
}

void Machine::step_fields(int count) {
    for (int i = 0; i < count; ++i) {
        step();
    }
}

std::uint64_t Machine::field_count(int chip) const {
    std::lock_guard lock(impl_->mutex);
    Chip* c = impl_->chip(chip);
    return c ? c->fields() : 0;
}

// ---- speaker ports

void Machine::set_io_granted(bool granted) {
    std::lock_guard lock(impl_->mutex);
    impl_->granted = granted;
}

bool Machine::io_granted() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->granted;
}

std::uint8_t Machine::port_in(std::uint16_t port) {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->granted) {
        impl_->log.record(FaultKind::PortNotGranted, 0, 0, 0, port, hex("in from port", port));
        return 0xFF;
    }
    if (!Speaker::handles(port)) {
        impl_->log.record(FaultKind::PortUnmodelled, 0, 0, 0, port, hex("in from port", port));
        return 0xFF;
    }
    return impl_->speaker.in(port);
}

void Machine::port_out(std::uint16_t port, std::uint8_t value) {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->granted) {
        impl_->log.record(FaultKind::PortNotGranted, 0, 0, value, port, hex("out to port", port));
        return;
    }
    if (!Speaker::handles(port)) {
        impl_->log.record(FaultKind::PortUnmodelled, 0, 0, value, port, hex("out to port", port));
        return;
    }
    impl_->speaker.out(port, value, platform::clock::now());
}

std::vector<Tone> Machine::tones() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->speaker.tones();
}

void Machine::clear_tones() {
    std::lock_guard lock(impl_->mutex);
    impl_->speaker.clear_tones();
}

// ---- board devices

int Machine::capture_route(int board, int output) const {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    return b && output >= 1 && output <= 4 ? b->capture_route(output) : 0;
}

int Machine::monitor_route(int board, int output) const {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    return b && output >= 1 && output <= 4 ? b->monitor_route(output) : 0;
}

std::uint8_t Machine::relay_byte(int board) const {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    return b ? b->relay() : 0xFF;
}

bool Machine::relay_energised(int board, int relay) const {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    return b && relay >= 1 && relay <= 8 && !((b->relay() >> (relay - 1)) & 1);
}

void Machine::set_sensor(int board, int input, bool level) {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    if (b && input >= 1 && input <= kSensorInputs) {
        b->set_sensor(input, level);
    }
}

bool Machine::sensor(int board, int input) const {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    return b && input >= 1 && input <= kSensorInputs && ((b->sensors() >> (input - 1)) & 1);
}

int Machine::dac_level(int board, int output) const {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    return b && output >= 1 && output <= 4 ? b->dac_level(output) : 0;
}

unsigned Machine::reset_pulses(int chip) const {
    std::lock_guard lock(impl_->mutex);
    Chip* c = impl_->chip(chip);
    return c ? c->reset_pulses() : 0;
}

// ---- cameras

void Machine::set_camera_connected(int board, int input, bool connected) {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    if (b && input >= 1 && input <= kCrosspointInputs) {
        b->config().cameras[std::size_t(input - 1)].connected = connected;
    }
}

void Machine::set_camera_lines(int board, int input, int lines) {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    if (b && input >= 1 && input <= kCrosspointInputs && (lines == 625 || lines == 525)) {
        b->config().cameras[std::size_t(input - 1)].lines = lines;
    }
}

void Machine::add_scene_object(int board, int input, const SceneObject& object) {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    if (b && input >= 1 && input <= kCrosspointInputs) {
        b->config().cameras[std::size_t(input - 1)].objects.push_back(object);
    }
}

void Machine::clear_scene_objects(int board, int input) {
    std::lock_guard lock(impl_->mutex);
    Board* b = impl_->board(board);
    if (b && input >= 1 && input <= kCrosspointInputs) {
        b->config().cameras[std::size_t(input - 1)].objects.clear();
    }
}

// ---- faults

std::vector<Fault> Machine::faults() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->log.list();
}

std::size_t Machine::fault_count() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->log.count();
}

std::size_t Machine::fault_count(FaultKind kind) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->log.count(kind);
}

void Machine::clear_faults() {
    std::lock_guard lock(impl_->mutex);
    impl_->log.clear();
}

void Machine::inject_error_bits(int chip, std::uint32_t bits) {
    {
        std::lock_guard lock(impl_->mutex);
        if (Chip* c = impl_->chip(chip)) {
            c->inject_error_bits(bits);
        }
    }
    impl_->after_access();
}

void Machine::inject_i2c_nack(int chip, int count) {
    std::lock_guard lock(impl_->mutex);
    if (Chip* c = impl_->chip(chip)) {
        c->inject_nack(count);
    }
}

void Machine::inject_i2c_hang(int chip) {
    std::lock_guard lock(impl_->mutex);
    if (Chip* c = impl_->chip(chip)) {
        c->inject_hang();
    }
}

void Machine::inject_crosspoint_readback(int board, bool on) {
    std::lock_guard lock(impl_->mutex);
    if (Board* b = impl_->board(board)) {
        b->set_readback_mismatch(on);
    }
}

void Machine::inject_adc_overflow(int chip, bool luma, bool chroma) {
    std::lock_guard lock(impl_->mutex);
    if (Chip* c = impl_->chip(chip)) {
        c->inject_adc_overflow(luma, chroma);
    }
}

// ---- the process's machine

namespace {

std::mutex& slot_mutex() {
    static std::mutex m;
    return m;
}

std::unique_ptr<Machine>& slot() {
    static std::unique_ptr<Machine> m;
    return m;
}

} // namespace

Machine& the_machine() {
    std::lock_guard lock(slot_mutex());
    if (!slot()) {
        slot() = std::make_unique<Machine>(load_config());
        slot()->start();
    }
    return *slot();
}

Machine* current_machine() {
    std::lock_guard lock(slot_mutex());
    return slot().get();
}

void install_machine(std::unique_ptr<Machine> machine) {
    std::unique_ptr<Machine> old;
    {
        std::lock_guard lock(slot_mutex());
        old = std::move(slot());
        slot() = std::move(machine);
    }
}

} // namespace machine
