#include "register_view.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include "machine/machine.h"

namespace machine {
namespace {

struct View {
    std::atomic<std::uintptr_t> start{0};
    std::size_t length = 0;
    Machine* machine = nullptr;
    PhysAddr phys = 0;
};

constexpr int kMaxViews = 256;
View g_views[kMaxViews];
std::mutex g_views_mutex;
struct sigaction g_previous {};
bool g_installed = false;

const View* find_view(std::uintptr_t address) {
    for (const View& v : g_views) {
        const std::uintptr_t s = v.start.load(std::memory_order_acquire);
        if (s != 0 && address >= s && address < s + v.length) {
            return &v;
        }
    }
    return nullptr;
}

#if defined(__x86_64__)

// General registers in ModRM numbering.
constexpr int kGreg[16] = {REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP, REG_RSI, REG_RDI,
                           REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};

struct Instruction {
    int length = 0;
    std::uint8_t op = 0;
    bool two_byte = false;
    bool rex_w = false;
    bool rex = false;
    bool size16 = false;
    int reg = 0; // ModRM reg field with REX.R
    std::int64_t imm = 0;
};

bool decode(const std::uint8_t* code, Instruction& in) {
    const std::uint8_t* p = code;
    for (;; ++p) {
        const std::uint8_t b = *p;
        if (b == 0x66) {
            in.size16 = true;
        } else if (b == 0x67 || b == 0xF0 || b == 0x2E || b == 0x3E || b == 0x26 || b == 0x36 ||
                   b == 0x64 || b == 0x65) {
        } else {
            break;
        }
    }
    std::uint8_t rex = 0;
    if ((*p & 0xF0) == 0x40) {
        rex = *p++;
        in.rex = true;
        in.rex_w = (rex & 8) != 0;
    }
    in.op = *p++;
    if (in.op == 0x0F) {
        in.two_byte = true;
        in.op = *p++;
    }
    const std::uint8_t modrm = *p++;
    const int mod = modrm >> 6, rm = modrm & 7;
    in.reg = ((modrm >> 3) & 7) | ((rex & 4) ? 8 : 0);
    if (mod == 3) {
        return false;
    }
    if (rm == 4) {
        const std::uint8_t sib = *p++;
        if (mod == 0 && (sib & 7) == 5) {
            p += 4;
        }
    }
    if (mod == 0 && rm == 5) {
        p += 4;
    } else if (mod == 1) {
        p += 1;
    } else if (mod == 2) {
        p += 4;
    }
    // Immediates.
    if (!in.two_byte) {
        switch (in.op) {
        case 0xC6:
            in.imm = std::int8_t(*p);
            p += 1;
            break;
        case 0x83:
            in.imm = std::int8_t(*p);
            p += 1;
            break;
        case 0xC7:
        case 0x81:
        case 0xF7:
            if (in.size16) {
                std::int16_t v;
                std::memcpy(&v, p, 2);
                in.imm = v;
                p += 2;
            } else {
                std::int32_t v;
                std::memcpy(&v, p, 4);
                in.imm = v;
                p += 4;
            }
            break;
        default:
            break;
        }
    }
    in.length = int(p - code);
    return true;
}

std::uint64_t get_reg(const ucontext_t* uc, int reg, int width, bool rex) {
    if (width == 1 && !rex && reg >= 4 && reg < 8) { // AH, CH, DH, BH
        return (std::uint64_t(uc->uc_mcontext.gregs[kGreg[reg - 4]]) >> 8) & 0xFF;
    }
    return std::uint64_t(uc->uc_mcontext.gregs[kGreg[reg]]);
}

void set_reg(ucontext_t* uc, int reg, int width, bool rex, std::uint64_t value) {
    greg_t& r =
        uc->uc_mcontext.gregs[kGreg[(width == 1 && !rex && reg >= 4 && reg < 8) ? reg - 4 : reg]];
    std::uint64_t v = std::uint64_t(r);
    switch (width) {
    case 1:
        if (!rex && reg >= 4 && reg < 8) {
            v = (v & ~0xFF00ull) | ((value & 0xFF) << 8);
        } else {
            v = (v & ~0xFFull) | (value & 0xFF);
        }
        break;
    case 2:
        v = (v & ~0xFFFFull) | (value & 0xFFFF);
        break;
    case 4:
        v = value & 0xFFFFFFFFull;
        break; // 32-bit writes zero-extend
    default:
        v = value;
        break;
    }
    r = greg_t(v);
}

// Runs a 32-bit ALU operation natively to get its result and status flags (read with LAHF and
// SETO: pushing the flags would overwrite the red zone below the stack pointer).
#define MACHINE_ALU(insn)                                                                          \
    asm(insn " %[b], %[a]\n\tlahf\n\tseto %[of]"                                                   \
        : [a] "+r"(a), "=a"(ax), [of] "=q"(of)                                                     \
        : [b] "r"(b)                                                                               \
        : "cc")

std::uint32_t alu(int op, std::uint32_t a, std::uint32_t b, std::uint64_t& flags) {
    std::uint32_t ax = 0;
    std::uint8_t of = 0;
    const std::uint32_t original = a;
    switch (op) {
    case 0:
        MACHINE_ALU("addl");
        break;
    case 1:
        MACHINE_ALU("orl");
        break;
    case 4:
        MACHINE_ALU("andl");
        break;
    case 5:
        MACHINE_ALU("subl");
        break;
    case 6:
        MACHINE_ALU("xorl");
        break;
    case 7:
        MACHINE_ALU("cmpl");
        break;
    case 8:
        MACHINE_ALU("testl");
        break;
    default:
        break;
    }
    constexpr std::uint64_t kLow = 0xD5; // CF PF AF ZF SF
    constexpr std::uint64_t kOf = 0x800;
    flags = (flags & ~(kLow | kOf)) | ((ax >> 8) & kLow) | (of ? kOf : 0);
    return op >= 7 ? original : a;
}
#undef MACHINE_ALU

std::uint64_t load(Machine& m, PhysAddr phys, int width) {
    if (width == 8) {
        return std::uint64_t(m.mmio_read(phys, 4)) | std::uint64_t(m.mmio_read(phys + 4, 4)) << 32;
    }
    return m.mmio_read(phys, unsigned(width));
}

void store(Machine& m, PhysAddr phys, int width, std::uint64_t value) {
    if (width == 8) {
        m.mmio_write(phys, std::uint32_t(value), 4);
        m.mmio_write(phys + 4, std::uint32_t(value >> 32), 4);
        return;
    }
    m.mmio_write(phys, std::uint32_t(value), unsigned(width));
}

// Emulates the access; false when the instruction is not one the views support.
bool emulate(ucontext_t* uc, Machine& m, PhysAddr phys) {
    auto* rip = reinterpret_cast<const std::uint8_t*>(uc->uc_mcontext.gregs[REG_RIP]);
    Instruction in;
    if (!decode(rip, in)) {
        return false;
    }
    const int width = in.rex_w ? 8 : in.size16 ? 2 : 4;
    std::uint64_t flags = std::uint64_t(uc->uc_mcontext.gregs[REG_EFL]);
    if (in.two_byte) {
        if (in.op != 0xB6 && in.op != 0xB7) {
            return false;
        }
        const int from = in.op == 0xB6 ? 1 : 2;
        set_reg(uc, in.reg, width == 8 ? 8 : 4, in.rex, load(m, phys, from));
    } else {
        switch (in.op) {
        case 0x8B:
            set_reg(uc, in.reg, width, in.rex, load(m, phys, width));
            break;
        case 0x8A:
            set_reg(uc, in.reg, 1, in.rex, load(m, phys, 1));
            break;
        case 0x89:
            store(m, phys, width, get_reg(uc, in.reg, width, in.rex));
            break;
        case 0x88:
            store(m, phys, 1, get_reg(uc, in.reg, 1, in.rex));
            break;
        case 0xC7:
            store(m, phys, width, std::uint64_t(in.imm));
            break;
        case 0xC6:
            store(m, phys, 1, std::uint64_t(in.imm));
            break;
        case 0x01:
        case 0x09:
        case 0x21:
        case 0x29:
        case 0x31:
        case 0x39:
        case 0x85: { // op r/m32, r32
            if (width != 4) {
                return false;
            }
            // The ALU group is encoded in opcode bits 5-3 (add 0, or 1, and 4, sub 5, xor 6, cmp
            // 7).
            const int op = in.op == 0x85 ? 8 : (in.op >> 3) & 7;
            const std::uint32_t a = std::uint32_t(load(m, phys, 4));
            const std::uint32_t r =
                alu(op, a, std::uint32_t(get_reg(uc, in.reg, 4, in.rex)), flags);
            if (op < 7) {
                store(m, phys, 4, r);
            }
            break;
        }
        case 0x03:
        case 0x0B:
        case 0x23:
        case 0x2B:
        case 0x33:
        case 0x3B: { // op r32, r/m32
            if (width != 4) {
                return false;
            }
            const int op = (in.op >> 3) & 7;
            const std::uint32_t b = std::uint32_t(load(m, phys, 4));
            const std::uint32_t r =
                alu(op, std::uint32_t(get_reg(uc, in.reg, 4, in.rex)), b, flags);
            if (op < 7) {
                set_reg(uc, in.reg, 4, in.rex, r);
            }
            break;
        }
        case 0x81:
        case 0x83:
        case 0xF7: { // op r/m32, imm
            if (width != 4) {
                return false;
            }
            const int op = in.op == 0xF7 ? ((in.reg & 7) == 0 ? 8 : -1) : (in.reg & 7);
            if (op < 0 || op == 2 || op == 3) {
                return false;
            }
            const std::uint32_t a = std::uint32_t(load(m, phys, 4));
            const std::uint32_t r = alu(op, a, std::uint32_t(in.imm), flags);
            if (op < 7) {
                store(m, phys, 4, r);
            }
            break;
        }
        default:
            return false;
        }
    }
    uc->uc_mcontext.gregs[REG_EFL] = greg_t(flags);
    uc->uc_mcontext.gregs[REG_RIP] += in.length;
    return true;
}

void on_fault(int sig, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (const View* v = find_view(address)) {
        auto* uc = static_cast<ucontext_t*>(context);
        if (emulate(uc, *v->machine, v->phys + PhysAddr(address - v->start.load()))) {
            return;
        }
        static const char msg[] = "machine: unsupported instruction on a register view\n";
        [[maybe_unused]] auto n = write(2, msg, sizeof msg - 1);
    }
    // Not ours: hand over to whoever handled the signal before.
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction) {
            g_previous.sa_sigaction(sig, info, context);
            return;
        }
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(sig);
        return;
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

bool install() {
    if (g_installed) {
        return true;
    }
    struct sigaction sa {};
    sa.sa_sigaction = on_fault;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    if (sigaction(SIGSEGV, &sa, &g_previous) != 0) {
        return false;
    }
    g_installed = true;
    return true;
}

#endif

} // namespace

void* create_register_view(Machine& machine, PhysAddr phys, std::size_t length) {
#if defined(__x86_64__)
    std::lock_guard lock(g_views_mutex);
    if (!install()) {
        return nullptr;
    }
    const std::size_t size = (length + kPageSize - 1) & ~std::size_t(kPageSize - 1);
    for (View& v : g_views) {
        if (v.start.load() == 0) {
            void* mem = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mem == MAP_FAILED) {
                return nullptr;
            }
            v.length = size;
            v.machine = &machine;
            v.phys = phys;
            v.start.store(reinterpret_cast<std::uintptr_t>(mem), std::memory_order_release);
            return mem;
        }
    }
#endif
    (void)machine;
    (void)phys;
    (void)length;
    return nullptr;
}

bool remove_register_view(void* address) {
    std::lock_guard lock(g_views_mutex);
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    for (View& v : g_views) {
        const std::uintptr_t s = v.start.load();
        if (s != 0 && a >= s && a < s + v.length) {
            v.start.store(0, std::memory_order_release);
            munmap(reinterpret_cast<void*>(s), v.length);
            return true;
        }
    }
    return false;
}

void remove_register_views(Machine& machine) {
    std::lock_guard lock(g_views_mutex);
    for (View& v : g_views) {
        const std::uintptr_t s = v.start.load();
        if (s != 0 && v.machine == &machine) {
            v.start.store(0, std::memory_order_release);
            munmap(reinterpret_cast<void*>(s), v.length);
        }
    }
}

} // namespace machine
