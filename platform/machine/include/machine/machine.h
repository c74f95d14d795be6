// The virtual PC: PCI bus, physical memory, capture chips with their DMA engines, the board
// devices on the chips' I2C buses, cameras, the PC speaker and field timing.
//
// Modelled as a device emulator: register reads and writes go to handlers with side effects,
// DMA goes through the physical address space, interrupts are level-triggered lines.
// Every member is thread-safe. Chips are numbered 1.. in PCI scan order across boards; boards,
// crosspoint inputs, outputs, relays and sensor inputs count from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "machine/config.h"
#include "machine/types.h"

namespace machine {

struct PciLocation {
    unsigned bus = 0;
    unsigned device = 0;
    unsigned function = 0;
};

// A block of physical memory: contiguous (non-cached or contiguous allocations) or with
// scattered pages (pool).
struct MemoryBlock {
    PhysAddr phys = 0;
    void* host = nullptr;
    std::size_t size = 0;
};

// A locked user buffer: pages[0] is the physical address of `user` itself, pages[i] (i >= 1) the
// physical address where the i-th following 4 KB host page starts. Physical pages are
// deliberately scattered; a byte keeps its offset within the page.
struct LockedPages {
    std::uint32_t id = 0; // 0 = nothing locked
    std::vector<PhysAddr> pages;
};

// One tone of the PC speaker.
struct Tone {
    std::uint32_t start_tick = 0;
    std::uint32_t stop_tick = 0; // valid once `sounding` is false
    std::uint32_t divisor = 0;   // 1 to 65536
    bool sounding = false;
    double frequency() const { return 1193182.0 / divisor; }
};

class Machine {
public:
    explicit Machine(MachineConfig config = {});
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    const MachineConfig& config() const;
    // Distinct for every machine the process builds (software that keeps the machine's memory
    // notices a replaced machine by it).
    std::uint64_t serial() const;
    int chip_count() const;
    int board_count() const;

    // ---- PCI configuration space -------------------------------------------------------------
    // Reads `length` bytes at `offset` (0-255) of a function's configuration space. Returns the
    // bytes read: 0 when the bus does not exist (buses 1-255); an empty device or function reads
    // all ones and still returns `length`.
    unsigned pci_read(unsigned bus, unsigned device, unsigned function, unsigned offset, void* data,
                      unsigned length);
    // Writes configuration bytes (only writable fields change). Returns the bytes accepted
    // (0 for a bus that does not exist).
    unsigned pci_write(unsigned bus, unsigned device, unsigned function, unsigned offset,
                       const void* data, unsigned length);
    PciLocation chip_location(int chip) const;
    // Where the host bridge 8086:244E sits; nullopt when it is not fitted.
    std::optional<PciLocation> bridge_location() const;

    // ---- Physical memory ---------------------------------------------------------------------
    // Contiguous, page-aligned, zeroed block of `bytes` (rounded up to pages).
    MemoryBlock allocate(std::size_t bytes);
    // Page-aligned, zeroed host block whose pages get scattered physical pages, as multi-page
    // non-paged pool has: `phys` is the first page's address, the next page is elsewhere.
    MemoryBlock allocate_scattered(std::size_t bytes);
    void free(PhysAddr phys);
    // Locks a user buffer: every 4 KB page of [user, user + length) gets its own physical page.
    // Unlocking makes later DMA to those pages a recorded fault. DMA may only touch the locked
    // bytes themselves (the rest of each host page belongs to other objects).
    LockedPages lock_pages(void* user, std::size_t length);
    void unlock_pages(std::uint32_t id);
    // Physical address of a host byte inside an allocated block or a locked buffer.
    std::optional<PhysAddr> physical_address(const void* host) const;
    // Host address of physical RAM [phys, phys + length) inside one allocated block; nullptr for
    // anything else (register windows included: use the register access below).
    void* host_address(PhysAddr phys, std::size_t length) const;
    // True when `phys` falls inside a chip's register window (BAR0).
    bool is_register_space(PhysAddr phys) const;
    // A host mapping of [phys, phys + length) for software that dereferences it (the kernel's
    // mapping of a register window, a process's view of the physical-memory section). RAM
    // maps to its host bytes. A register window maps to a guarded view: every load and store
    // through it reaches the chip's register handler (x86-64: plain moves, and ALU, test and
    // compare instructions with a memory operand). nullptr when the range is neither.
    void* map_physical(PhysAddr phys, std::size_t length);
    // Ends a mapping returned by map_physical (RAM mappings need none; harmless).
    void unmap_physical(void* view);

    // ---- Register access by physical address --------------------------------------------------
    // `width` is 1, 2 or 4. The chip model expects dword accesses; other widths reach the handler,
    // are recorded as faults, read the matching bytes of the dword and do not write. An address
    // with no device reads all ones. Interrupts this raises are delivered after the access.
    std::uint32_t mmio_read(PhysAddr phys, unsigned width = 4);
    void mmio_write(PhysAddr phys, std::uint32_t value, unsigned width = 4);
    // The same by chip and register offset (tests, tools).
    std::uint32_t read_register(int chip, std::uint32_t offset);
    void write_register(int chip, std::uint32_t offset, std::uint32_t value);

    // ---- Interrupt lines (level-triggered, shareable) ----------------------------------------
    // The handler returns true when the interrupt was its device's. Handlers run after the
    // access or event that raised the line: inline in the calling thread in stepped mode, on the
    // field thread when free-running; every handler on the line runs while it stays asserted.
    using InterruptHandler = std::function<bool()>;
    int attach_interrupt(unsigned line, InterruptHandler handler); // returns an id > 0
    void detach_interrupt(int id);
    bool line_asserted(unsigned line) const;
    unsigned chip_interrupt_line(int chip) const;
    // Called on the delivering thread after every round of handlers (e.g. to run the deferred
    // calls the handlers queued); nullptr removes it.
    void set_after_interrupts(std::function<void()> hook);

    // ---- Time --------------------------------------------------------------------------------
    // Free-running: fields at each chip's norm (PAL 50, NTSC 59.94 per second) on a thread
    // against the platform clock. Stepped (the default): nothing happens until step().
    void start();
    void stop();
    bool free_running() const;
    // Runs the next field start (of every chip due then) and the DMA of that field, delivering
    // interrupts inline; a manual platform clock is advanced to the field's time.
    void step();
    void step_fields(int count);
    // Fields started so far by a chip.
    std::uint64_t field_count(int chip) const;
    // Delivers interrupts pending on any asserted line (normally done automatically).
    void deliver_interrupts();

    // ---- PC speaker ports --------------------------------------------------------------------
    // Port access is allowed only after the kernel granted the process I/O access.
    void set_io_granted(bool granted);
    bool io_granted() const;
    std::uint8_t port_in(std::uint16_t port);
    void port_out(std::uint16_t port, std::uint8_t value);
    std::vector<Tone> tones() const;
    void clear_tones();

    // ---- Board devices (tests read and set these) --------------------------------------------
    // Crosspoint input (1-16) routed to capture output / monitor output 1-4; 0 = unrouted.
    int capture_route(int board, int output) const;
    int monitor_route(int board, int output) const;
    std::uint8_t relay_byte(int board) const;
    // Relay i (1-8) is energised when its bit is 0 (255 = all off).
    bool relay_energised(int board, int relay) const;
    void set_sensor(int board, int input, bool level);
    bool sensor(int board, int input) const;
    // Camera-level DAC output 1-4 (the level of capture output k, chip k of the board).
    int dac_level(int board, int output) const;
    // Reset pulses (line 9 returning high) seen on a chip's bus.
    unsigned reset_pulses(int chip) const;

    // ---- Cameras -----------------------------------------------------------------------------
    void set_camera_connected(int board, int input, bool connected);
    void set_camera_lines(int board, int input, int lines);
    void add_scene_object(int board, int input, const SceneObject& object);
    void clear_scene_objects(int board, int input);

    // ---- Faults and injection ----------------------------------------------------------------
    std::vector<Fault> faults() const;
    std::size_t fault_count() const;
    std::size_t fault_count(FaultKind kind) const;
    void clear_faults();
    // Latches INT_STAT error bits (12-19) now, without halting the DMA.
    void inject_error_bits(int chip, std::uint32_t bits);
    // The next `count` I2C transactions on the chip's bus get no acknowledge.
    void inject_i2c_nack(int chip, int count);
    // The chip's bus hangs (no done) until the next reset pulse on line 9.
    void inject_i2c_hang(int chip);
    // The crosspoint read-back returns a byte differing from the one written.
    void inject_crosspoint_readback(int board, bool on);
    // Latches DSTATUS LOF (luma) / COF (chroma) overflow bits.
    void inject_adc_overflow(int chip, bool luma, bool chroma);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The process's machine, created on first use from machine.ini in the system root; like the
// hardware of a PC it runs free from then on (a test that steps builds its own and installs it).
Machine& the_machine();
// The process's machine when one exists (never creates one).
Machine* current_machine();
// Replaces the process's machine (tests); nullptr drops it so the next the_machine() reloads.
void install_machine(std::unique_ptr<Machine> machine);

} // namespace machine
