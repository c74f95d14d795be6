// One capture chip: its PCI function, its 4 KB register window with side effects, interrupt
// status and line, the hardware I2C master and GPIO lines on its bus, and the DMA engine that
// runs the programs in physical memory and writes the field's lines in the programmed format.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "board.h"
#include "fault_log.h"
#include "physical_memory.h"
#include "picture.h"
#include "sensor_noise.h"

namespace machine {

// Machine time in units of 1/3 microsecond: both field periods are whole numbers of units.
using Units = std::uint64_t;
inline constexpr Units kUnitsPerMs = 3000;
inline constexpr Units kPalField = 60000;  // 20 ms
inline constexpr Units kNtscField = 50050; // 1001/60 ms

namespace reg {
inline constexpr std::uint32_t DSTATUS = 0x000, IFORM = 0x004, E_CROP = 0x00C, E_VACTIVE_LO = 0x014,
                               E_HACTIVE_LO = 0x01C, BRIGHT = 0x028, E_CONTROL = 0x02C,
                               CONTRAST_LO = 0x030, SAT_U_LO = 0x034, SAT_V_LO = 0x038,
                               E_VSCALE_HI = 0x04C, E_VSCALE_LO = 0x050, SRESET = 0x07C,
                               TGCTRL = 0x084, COLOR_FMT = 0x0D4, COLOR_CTL = 0x0D8,
                               CAP_CTL = 0x0DC, PLL_F_LO = 0x0F0, PLL_F_HI = 0x0F4, PLL_XCI = 0x0F8,
                               INT_STAT = 0x100, INT_MASK = 0x104, GPIO_DMA_CTL = 0x10C,
                               I2C = 0x110, RISC_STRT_ADD = 0x114, GPIO_OUT_EN = 0x118,
                               GPIO_REG_INP = 0x11C, RISC_COUNT = 0x120, GPIO_DATA = 0x200;
inline constexpr std::uint32_t ODD = 0x080; // offset of the odd-field copy
} // namespace reg

namespace irq {
inline constexpr std::uint32_t FMTCHG = 1u << 0, VSYNC = 1u << 1, HLOCK = 1u << 4, VPRES = 1u << 5,
                               I2CDONE = 1u << 8, RISCI = 1u << 11, FDSR = 1u << 14,
                               PABORT = 1u << 17, OCERR = 1u << 18, SCERR = 1u << 19,
                               ERRORS = 0xFF000, LATCHED = 0xFFFFF;
}

class Chip {
public:
    Chip(int number, Board& board, int index, const ChipConfig& config, bool multifunction,
         const MachineConfig& machine, PhysicalMemory& memory, FaultLog& log);

    // PCI configuration byte access.
    std::uint8_t pci_read(unsigned offset) const;
    void pci_write(unsigned offset, std::uint8_t value);
    PhysAddr bar0() const;
    bool memory_enabled() const { return (cfg_[4] & 0x02) != 0; }
    bool bus_master() const { return (cfg_[4] & 0x04) != 0; }
    std::uint8_t interrupt_line() const { return irq_line_; }

    // Register window (offset is dword-aligned and below 4096).
    std::uint32_t read(std::uint32_t offset, std::uint32_t now) const;
    void write(std::uint32_t offset, std::uint32_t value, std::uint32_t now);

    // Level of INTA#.
    bool irq_asserted() const { return (int_stat_ & int_mask_ & irq::LATCHED) != 0; }
    std::uint32_t pending() const { return int_stat_ & int_mask_ & irq::LATCHED; }

    // Field timing.
    Units period() const;
    Units next_field = 0;
    void field_start(std::uint32_t now);
    void field_end();
    // The engine can make progress (fetch, or a line is there for the WRITE it waits at).
    bool runnable() const;
    // Runs the engine until it waits, halts, or completes an instruction with its IRQ bit.
    void run();

    // True while the DMA engine is enabled and not halted, or still finishing its instruction
    // after a disable write at platform time `now`, and has written to one of `pfns` since it
    // was last started: unlocking those pages now leaves it writing into freed memory.
    bool dma_holds(const std::vector<std::uint32_t>& pfns, std::uint32_t now) const;
    // Engine starts (rising edges of the RISC enable bit) so far.
    std::uint32_t dma_run() const { return dma_run_; }

    void inject_error_bits(std::uint32_t bits);
    // Latches error bits at the next field start (machine.ini injection).
    void inject_at_next_field(std::uint32_t bits) { pending_error_bits_.push_back(bits); }
    void inject_nack(int count) { nack_ += count; }
    void inject_hang() { hung_ = true; }
    void inject_adc_overflow(bool luma, bool chroma);

    int number() const { return number_; }
    int index() const { return index_; } // 0-based within the board
    std::uint64_t fields() const { return field_count_; }
    unsigned reset_pulses() const { return reset_pulses_; }

private:
    enum class Engine { Stopped, Running, WaitSync, WaitLine, Halted };

    void reset();
    std::uint32_t reg8(std::uint32_t offset) const { return regs_[offset / 4] & 0xFF; }
    bool pll_on() const { return reg8(reg::PLL_XCI) != 0; }
    bool pll_unlocked(std::uint32_t now) const;
    bool line9_level() const;
    void gpio_changed(bool old_line9);
    void i2c_write(std::uint32_t value, std::uint32_t now);
    void fault(FaultKind kind, std::uint32_t instruction, PhysAddr address, std::string detail);
    void dma_error(std::uint32_t bit, FaultKind kind, std::uint32_t instruction, PhysAddr address,
                   std::string detail);
    void set_dma_ctl(std::uint32_t value, std::uint32_t now);
    bool line_available() const;
    void open_line();
    void complete(std::uint32_t cmd);
    bool fetch(std::uint32_t& word, PhysAddr address);
    // Both words of an instruction that lies inside one page.
    bool fetch_pair(std::uint32_t* words, PhysAddr address);
    void exec_write(std::uint32_t cmd, std::uint32_t address);
    void exec_sync(std::uint32_t cmd);
    void field_checks(std::uint32_t now);

    int number_;
    Board& board_;
    int index_;
    const MachineConfig& machine_;
    PhysicalMemory& memory_;
    FaultLog& log_;

    std::array<std::uint8_t, 256> cfg_{};
    std::uint8_t irq_line_;

    std::array<std::uint32_t, 0x200 / 4> regs_{}; // 0x000-0x1FC storage
    std::uint32_t int_stat_ = 0, int_mask_ = 0, gpio_latch_ = 0, gpio_oe_ = 0;
    std::uint32_t riscs_ = 0;
    bool rack_ = false;
    std::uint32_t pll_lock_until_ = 0;
    bool pll_latch_ = false;
    bool lof_ = false, cof_ = false;
    // I2C bus state
    bool hung_ = false;
    int nack_ = 0;
    unsigned reset_pulses_ = 0;

    // Field state, latched at each field start.
    bool odd_ = false;
    std::uint64_t field_count_ = 0;
    bool pres_ = false, numl_ = false, csel_ = false;
    int camera_ = 0;
    const CameraConfig* camera_config_ = nullptr;
    int width_ = 0, rows_ = 0;
    std::uint32_t lines_ = 0, next_line_ = 0, line_length_ = 0, code_ = 0;
    bool lines_enabled_ = false, in_field_ = false, at_field_start_ = false;
    std::uint32_t now_ = 0;
    unsigned field_fault_edges_ = 0;
    std::vector<std::uint32_t> pending_error_bits_;

    // DMA engine.
    Engine engine_ = Engine::Stopped;
    PhysAddr pc_ = 0;
    std::uint32_t wait_cmd_ = 0;
    bool wait_odd_ = false;
    bool line_open_ = false;
    std::uint32_t consumed_ = 0;
    std::uint32_t executed_ = 0;
    bool irq_pause_ = false;
    std::uint32_t dma_run_ = 0; // engine starts so far (1 = the first)
    // A disable write posted while the engine worked: busy until the platform clock reads
    // drain_until_.
    bool draining_ = false;
    std::uint32_t drain_until_ = 0;
    // Sensor noise of the field's camera: null when off; the line's start in the table.
    const std::int8_t* noise_ = nullptr;
    std::uint32_t noise_offset_ = 0;
    std::uint32_t noise_random_;
    std::vector<std::uint8_t> line_;
    LineRenderer renderer_;
    std::vector<Span> spans_, last_spans_;
    std::uint32_t last_code_ = ~0u, last_length_ = 0;
    int last_width_ = -1;
};

} // namespace machine
