// The chip's field timing and DMA engine: field start (input, status, interrupts), lines of the
// field rendered from the camera's scene, and the instructions fetched from physical memory as
// they run.
#include "chip.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace machine {
namespace {

constexpr std::uint32_t kOpWrite = 0x1, kOpJump = 0x7, kOpSync = 0x8;
constexpr std::uint32_t kSol = 1u << 27, kEol = 1u << 26, kIrq = 1u << 24, kResync = 1u << 15;
constexpr std::uint32_t kRunawayLimit = 65536;

// Lines of the timing norm selected by IFORM bits 2-0 (0 = the signal's norm).
int norm_lines(std::uint32_t iform, bool present, bool numl) {
    switch (iform & 7) {
    case 1:
    case 2:
    case 4:
        return 525;
    case 0:
        return (present && !numl) ? 525 : 625;
    default:
        return 625;
    }
}

std::string hex(const char* what, std::uint32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%08X", what, value);
    return text;
}

enum : unsigned { kEdgePll = 1, kEdgeVbi = 2, kEdgeSwap = 4, kEdgePlanar = 8 };

} // namespace

Units Chip::period() const {
    return norm_lines(reg8(reg::IFORM), pres_, numl_) == 525 ? kNtscField : kPalField;
}

void Chip::dma_error(std::uint32_t bit, FaultKind kind, std::uint32_t instruction, PhysAddr address,
                     std::string detail) {
    int_stat_ |= bit;
    fault(kind, instruction, address, std::move(detail));
    engine_ = Engine::Halted;
    line_open_ = false;
}

void Chip::field_checks(std::uint32_t now) {
    unsigned edges = 0;
    const std::uint32_t tg = reg8(reg::TGCTRL);
    if (((tg >> 3) & 3) == 1 && (!pll_on() || pll_unlocked(now))) {
        edges |= kEdgePll;
    }
    if (regs_[reg::GPIO_DMA_CTL / 4] & 2) {
        if (reg8(reg::CAP_CTL) & 0x0C) {
            edges |= kEdgeVbi;
        }
        if (reg8(reg::COLOR_CTL) & 0x0F) {
            edges |= kEdgeSwap;
        }
        if (code_ == 8 || code_ == 9) {
            edges |= kEdgePlanar;
        }
    }
    const unsigned fresh = edges & ~field_fault_edges_;
    field_fault_edges_ = edges;
    if (fresh & kEdgePll) {
        fault(FaultKind::PllClockBad, 0, tg, "TGCTRL selects a PLL that is off or out of lock");
    }
    if (fresh & kEdgeVbi) {
        fault(FaultKind::VbiCapture, 0, reg8(reg::CAP_CTL), "VBI capture is not modelled");
    }
    if (fresh & kEdgeSwap) {
        fault(FaultKind::ColorSwap, 0, reg8(reg::COLOR_CTL), "byte/word swaps are not modelled");
    }
    if (fresh & kEdgePlanar) {
        fault(FaultKind::PlanarFormat, 0, code_, "planar formats are written packed");
    }
}

void Chip::field_start(std::uint32_t now) {
    now_ = now;
    odd_ = !odd_;
    ++field_count_;

    // Input: connector 2 carries this chip's crosspoint capture output.
    const std::uint32_t iform = reg8(reg::IFORM);
    int input = 0;
    if (((iform >> 5) & 3) == 2 && index_ < 4) {
        input = board_.capture_route(index_ + 1);
    }
    camera_ = input ? board_.camera_number(input) : 0;
    camera_config_ = camera_ ? &board_.config().cameras[std::size_t(input - 1)] : nullptr;
    const bool pres = camera_ != 0;
    const bool numl = pres && camera_config_->lines == 625;
    std::uint32_t events = irq::VSYNC;
    if (numl != numl_) {
        events |= irq::FMTCHG;
    }
    if (pres != pres_) {
        events |= irq::HLOCK | irq::VPRES;
    }
    pres_ = pres;
    numl_ = numl;
    csel_ = (iform & 0x10) != 0;
    int_stat_ |= events;

    // Geometry and format from this field's register copy.
    const std::uint32_t base = odd_ ? reg::ODD : 0;
    const std::uint32_t crop = reg8(reg::E_CROP + base);
    width_ = int(((crop & 3) << 8) | reg8(reg::E_HACTIVE_LO + base));
    std::uint32_t vactive = (((crop >> 4) & 3) << 8) | reg8(reg::E_VACTIVE_LO + base);
    vactive = std::min<std::uint32_t>(vactive, norm_lines(iform, pres_, numl_) == 525 ? 480 : 576);
    const std::uint32_t s =
        ((reg8(reg::E_VSCALE_HI + base) & 0x1F) << 8) | reg8(reg::E_VSCALE_LO + base);
    const std::uint32_t d = (8192 - s) & 0x1FFF;
    rows_ = int(vactive * 512 / (512 + d));
    lines_ = odd_ ? std::uint32_t(rows_) / 2 : (std::uint32_t(rows_) + 1) / 2;
    const std::uint32_t fmt = reg8(reg::COLOR_FMT);
    code_ = odd_ ? (fmt >> 4) : (fmt & 15);
    line_length_ = line_bytes(code_, std::uint32_t(width_));
    if (line_.size() < line_length_) {
        line_.resize(line_length_);
    }
    lines_enabled_ = (regs_[reg::GPIO_DMA_CTL / 4] & 1) && (reg8(reg::CAP_CTL) & (odd_ ? 2 : 1));

    // Picture controls of this field.
    const std::uint32_t control = reg8(reg::E_CONTROL + base);
    PictureControls pc;
    pc.gain = (96.0 - (index_ < 4 ? board_.dac_level(index_ + 1) : 32)) / 64.0;
    pc.contrast = int(reg8(reg::CONTRAST_LO) + ((control & 4) ? 256 : 0));
    pc.sat_u = int(reg8(reg::SAT_U_LO) + ((control & 2) ? 256 : 0));
    pc.sat_v = int(reg8(reg::SAT_V_LO) + ((control & 1) ? 256 : 0));
    pc.bright = int(std::int8_t(std::uint8_t(reg8(reg::BRIGHT))));
    noise_ = nullptr;
    if (camera_config_ != nullptr) {
        pc.bright += drift_offset(camera_, camera_config_->drift, now);
        if (camera_config_->noise > 0 && noise_applies(code_)) {
            noise_ = noise_table(camera_config_->noise, code_ == 0);
        }
    }
    renderer_.set_controls(pc);
    last_width_ = -1;

    field_checks(now);
    for (std::uint32_t bits : pending_error_bits_) {
        inject_error_bits(bits);
    }
    pending_error_bits_.clear();

    draining_ = false; // a posted disable has finished by the next field
    in_field_ = true;
    next_line_ = 0;
    at_field_start_ = true;
    if (engine_ == Engine::WaitSync && wait_odd_ == odd_) {
        engine_ = Engine::Running;
        at_field_start_ = false;
        executed_ = 0;
        complete(wait_cmd_);
    }
}

void Chip::field_end() {
    if (engine_ == Engine::WaitLine && lines_enabled_ && next_line_ >= lines_) {
        int_stat_ |= irq::SCERR;
        fault(FaultKind::SyncError, 0, pc_, "program longer than its field");
        engine_ = Engine::Halted;
    }
    in_field_ = false; // lines not taken by now are dropped
}

bool Chip::line_available() const {
    return in_field_ && lines_enabled_ && next_line_ < lines_;
}

bool Chip::runnable() const {
    return engine_ == Engine::Running || (engine_ == Engine::WaitLine && line_available());
}

void Chip::open_line() {
    // Frame row of this line: even field rows 0, 2, 4 ..., odd field rows 1, 3, 5 ...
    const int row = int(2 * next_line_) + (odd_ ? 1 : 0);
    ++next_line_;
    at_field_start_ = false;
    scene_row(camera_, camera_config_, now_, row, rows_, width_, spans_);
    if (!(spans_ == last_spans_ && code_ == last_code_ && width_ == last_width_ &&
          line_length_ == last_length_)) {
        renderer_.render(spans_, width_, code_, line_.data(), line_length_);
        last_spans_ = spans_;
        last_code_ = code_;
        last_width_ = width_;
        last_length_ = line_length_;
    }
    line_open_ = true;
    consumed_ = 0;
    if (noise_ != nullptr) {
        noise_random_ ^= noise_random_ << 13;
        noise_random_ ^= noise_random_ >> 17;
        noise_random_ ^= noise_random_ << 5;
        noise_offset_ = (noise_random_ % kNoiseOffsets) & ~3u; // RGB32 pixels stay aligned
    }
}

void Chip::complete(std::uint32_t cmd) {
    riscs_ &= ~((cmd >> 20) & 0xF);
    riscs_ |= (cmd >> 16) & 0xF;
    if (cmd & kIrq) {
        int_stat_ |= irq::RISCI;
        irq_pause_ = true;
    }
}

bool Chip::fetch(std::uint32_t& word, PhysAddr address) {
    const DmaResult r = memory_.read(address, &word, 4);
    if (r == DmaResult::Ok) {
        return true;
    }
    dma_error(irq::PABORT,
              r == DmaResult::Unmapped ? FaultKind::DmaUnmapped : FaultKind::DmaNotLocked, 0,
              address, "instruction fetch");
    return false;
}

bool Chip::fetch_pair(std::uint32_t* words, PhysAddr address) {
    const DmaResult r = memory_.read(address, words, 8);
    if (r == DmaResult::Ok) {
        return true;
    }
    // The fault names the word that failed, as two fetches would.
    std::uint32_t word;
    return fetch(word, address) && fetch(word, address + 4);
}

void Chip::exec_write(std::uint32_t cmd, std::uint32_t address) {
    const std::uint32_t n = cmd & 0xFFF;
    if (cmd & 0xF000) {
        dma_error(irq::OCERR, FaultKind::ByteCountOverflow, cmd, address, hex("WRITE", cmd));
        return;
    }
    if ((address & (kPageSize - 1)) + n > kPageSize) {
        dma_error(irq::OCERR, FaultKind::WriteCrossesPage, cmd, address,
                  hex("WRITE crosses a page at", address));
        return;
    }
    if (cmd & kSol) {
        if (line_open_) {
            dma_error(irq::FDSR, FaultKind::LineMismatch, cmd, address, "SOL while a line is open");
            return;
        }
        if (!line_available()) {
            engine_ = Engine::WaitLine; // waits here for the field's next line
            executed_ = 0;
            return;
        }
        open_line();
    } else if (!line_open_) {
        dma_error(irq::FDSR, FaultKind::LineMismatch, cmd, address, "WRITE without an open line");
        return;
    }
    if (consumed_ + n > line_length_) {
        dma_error(irq::FDSR, FaultKind::LineMismatch, cmd, address,
                  "WRITE past the end of the line");
        return;
    }
    if (n > 0) {
        const DmaResult r =
            noise_ != nullptr
                ? memory_.write_noisy(address, line_.data() + consumed_, n,
                                      noise_ + noise_offset_ + consumed_, number_, dma_run_)
                : memory_.write(address, line_.data() + consumed_, n, number_, dma_run_);
        if (r != DmaResult::Ok) {
            dma_error(irq::PABORT,
                      r == DmaResult::Unmapped ? FaultKind::DmaUnmapped : FaultKind::DmaNotLocked,
                      cmd, address, hex("WRITE to", address));
            return;
        }
    }
    consumed_ += n;
    if (cmd & kEol) {
        line_open_ = false;
        if (consumed_ != line_length_) {
            dma_error(irq::FDSR, FaultKind::LineMismatch, cmd, address,
                      "line of " + std::to_string(line_length_) + " bytes closed after " +
                          std::to_string(consumed_));
            return;
        }
    }
    pc_ += 8;
    complete(cmd);
}

void Chip::exec_sync(std::uint32_t cmd) {
    const std::uint32_t code = cmd & 0xF;
    if (code == 0x6) { // FM1: the first instruction of a field program
        if (in_field_ && next_line_ == 0) {
            pc_ += 8;
            complete(cmd);
        } else {
            dma_error(irq::SCERR, FaultKind::SyncError, cmd, pc_, "FM1 in mid-field");
        }
        return;
    }
    if (code != 0x4 && code != 0xC) {
        dma_error(irq::OCERR, FaultKind::IllegalInstruction, cmd, pc_, hex("SYNC code", cmd));
        return;
    }
    const bool want_odd = code == 0xC;
    if (!(cmd & kResync) && line_available()) {
        dma_error(irq::SCERR, FaultKind::SyncError, cmd, pc_, "SYNC while the field has lines");
        return;
    }
    pc_ += 8;
    if (at_field_start_ && in_field_ && want_odd == odd_) {
        at_field_start_ = false; // the field this SYNC waits for has just begun
        complete(cmd);
        return;
    }
    in_field_ = false; // drop the rest of the current field
    engine_ = Engine::WaitSync;
    wait_odd_ = want_odd;
    wait_cmd_ = cmd;
    executed_ = 0;
}

void Chip::run() {
    irq_pause_ = false;
    if (engine_ == Engine::WaitLine && line_available()) {
        engine_ = Engine::Running;
    }
    while (engine_ == Engine::Running && !irq_pause_) {
        if (++executed_ > kRunawayLimit) {
            dma_error(irq::OCERR, FaultKind::RunawayProgram, 0, pc_,
                      "no wait in 65536 instructions");
            return;
        }
        if (!bus_master()) {
            dma_error(irq::PABORT, FaultKind::DmaNoBusMaster, 0, pc_, "bus mastering is off");
            return;
        }
        std::uint32_t cmd = 0, arg = 0;
        if ((pc_ & (kPageSize - 1)) <= kPageSize - 8) {
            std::uint32_t words[2];
            if (!fetch_pair(words, pc_)) {
                return;
            }
            cmd = words[0];
            arg = words[1];
        } else if (!fetch(cmd, pc_) || !fetch(arg, pc_ + 4)) {
            return;
        }
        switch (cmd >> 28) {
        case kOpWrite:
            exec_write(cmd, arg);
            break;
        case kOpJump:
            if (arg & 3) {
                dma_error(irq::OCERR, FaultKind::UnalignedJump, cmd, arg, hex("JUMP to", arg));
                break;
            }
            pc_ = arg;
            complete(cmd);
            break;
        case kOpSync:
            exec_sync(cmd);
            break;
        default:
            dma_error(irq::OCERR, FaultKind::IllegalInstruction, cmd, pc_, hex("opcode", cmd));
            break;
        }
    }
}

} // namespace machine
