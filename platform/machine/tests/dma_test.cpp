// The DMA engine: frame programs in every pixel format into scattered pages, page splits, the
// illegal cases and their error bits, fetch at execution, and DMA after the pages were unlocked.
#include "machine/camera_code.h"
#include "machine_fixture.h"

namespace machine::test {
namespace {

struct Size {
    int w, h;
};

class CaptureTest : public MachineTest,
                    public ::testing::WithParamInterface<std::tuple<std::uint32_t, Size>> {};

TEST_P(CaptureTest, FrameLandsInScatteredPagesBottomUp) {
    const auto [format, size] = GetParam();
    const int w = size.w, h = size.h;
    const std::uint32_t b = bytes_per_line(format, std::uint32_t(w));
    // A scheduled object whose rows the test knows: x 400-600, y 300-600 per mille.
    m().add_scene_object(1, 2, SceneObject{0, 0xFFFFFFFF, 400, 300, 200, 300, 400, 300});
    UserBuffer buf(m(), std::size_t(b) * std::size_t(h));
    FramePrograms programs(m(), buf, w, h, format);
    EXPECT_GT(programs.splits, 0) << "the buffer offset makes lines cross pages";

    // Reference: chip 2 on the same camera writes frame row r to page r with a plain program.
    MemoryBlock ref = m().allocate(std::size_t(h) * kPageSize);
    Program plain(m());
    plain.emit(kSyncVre);
    if (programs.interlaced) {
        for (int r = 0; r < h; r += 2) {
            plain.emit(kWriteLine + b, ref.phys + PhysAddr(r) * kPageSize);
        }
    }
    plain.emit(kSyncVro);
    for (int r = programs.interlaced ? 1 : 0; r < h; r += programs.interlaced ? 2 : 1) {
        plain.emit(kWriteLine + b, ref.phys + PhysAddr(r) * kPageSize);
    }
    plain.emit(kSyncVre);

    for (int chip : {1, 2}) {
        enable_pci(chip);
        route(chip, 2);
        program_pal(chip, w, h, format);
    }
    start_dma(1, programs.master.base());
    start_dma(2, plain.base());
    m().step_fields(3); // odd (waited out), even, odd

    EXPECT_EQ(m().fault_count(), 0u) << (m().faults().empty() ? "" : m().faults()[0].detail);
    const std::uint32_t status = m().read_register(1, INT_STAT);
    EXPECT_EQ(status & 0xFF000, 0u);
    EXPECT_TRUE(status & (1u << 11)) << "RISCI";
    EXPECT_TRUE(status & (1u << 29)) << "odd-field program end";
    EXPECT_TRUE(buf.guards_intact());
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* line = buf.data() + std::size_t(h - 1 - r) * b;
        const auto* expected =
            static_cast<const std::uint8_t*>(ref.host) + std::size_t(r) * kPageSize;
        ASSERT_EQ(std::memcmp(line, expected, b), 0) << "row " << r;
    }
    EXPECT_EQ(read_camera_number(buf.data(), w, h, ColorFormat(format), true), 2);

    // Row mapping: a row shows the object exactly when its scene sample row lies inside it.
    const int frame_rows = programs.interlaced ? h : 2 * h;
    for (int r = 0; r < h; ++r) {
        const int scene_row = programs.interlaced ? r : 2 * r + 1;
        const long long p = (2ll * scene_row + 1) * 1000;
        const bool inside = p >= 2ll * 300 * frame_rows && p < 2ll * 600 * frame_rows;
        const int luma = pixel_luma(buf.data(), w, h, ColorFormat(format), true, w / 2, r);
        ASSERT_EQ(luma > 150, inside) << "row " << r << " luma " << luma;
    }
    m().free(ref.phys);
}

std::string capture_name(const ::testing::TestParamInfo<std::tuple<std::uint32_t, Size>>& info) {
    static const char* names[] = {"RGB32", "RGB24", "RGB16", "RGB15", "YUY2", "YUV411", "Y8"};
    return std::string(names[std::get<0>(info.param)]) + "_" +
           std::to_string(std::get<1>(info.param).w);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, CaptureTest,
                         ::testing::Combine(::testing::Values(0u, 1u, 2u, 3u, 4u, 5u, 6u),
                                            ::testing::Values(Size{768, 576}, Size{384, 288})),
                         capture_name);

// Golden bytes of the code strip's white and black cells in each layout.
TEST_F(MachineTest, PixelLayoutsOfWhiteAndBlack) {
    struct Case {
        std::uint32_t format;
        std::vector<std::uint8_t> white, black; // first bytes of a cell
    };
    const Case cases[] = {
        {0, {255, 255, 255, 0}, {0, 0, 0, 0}},
        {1, {255, 255, 255}, {0, 0, 0}},
        {2, {0xFF, 0xFF}, {0x00, 0x00}},
        {3, {0xFF, 0x7F}, {0x00, 0x00}},
        {4, {235, 128, 235, 128}, {16, 128, 16, 128}},
        {5,
         {128, 235, 128, 235, 128, 235, 128, 235, 235, 235, 235, 235},
         {128, 16, 128, 16, 128, 16, 128, 16, 16, 16, 16, 16}},
        {6, {235}, {16}},
        {7, {0xFF}, {0x00}},
    };
    enable_pci(1);
    route(1, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        // 768 wide: cell k covers x 76.8 k + 76.8 .. ; pixel 80 + 8 n groups are inside cell 0.
        program_pal(1, 768, 576, c.format);
        const std::uint32_t b = bytes_per_line(c.format, 768);
        Program prog(m());
        MemoryBlock line = m().allocate(kPageSize);
        prog.emit(kSyncVro);
        // The code strip covers rows 40-140 per mille: odd line 30 is frame row 59 of 576.
        for (int i = 0; i < 30; ++i) {
            prog.emit(kWriteLine + b, line.phys);
        }
        const PhysAddr park = prog.here();
        prog.emit(kSyncVre);
        prog.emit(kJump, park);
        start_dma(1, prog.base());
        m().step_fields(2);
        const auto* bytes = static_cast<const std::uint8_t*>(line.host);
        const std::size_t white_at = std::size_t(96) * b / 768;  // pixel 96: cell 0
        const std::size_t black_at = std::size_t(176) * b / 768; // pixel 176: cell 1
        EXPECT_EQ(std::vector<std::uint8_t>(bytes + white_at, bytes + white_at + c.white.size()),
                  c.white);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes + black_at, bytes + black_at + c.black.size()),
                  c.black);
        m().write_register(1, GPIO_DMA_CTL, 0);
        m().free(line.phys);
    }
    EXPECT_EQ(m().fault_count(), 0u);
}

TEST_F(MachineTest, UnsplitPageCrossingWriteIsRefused) {
    enable_pci(1);
    route(1, 1);
    program_pal(1, 768, 576, 4);
    UserBuffer buf(m(), 1536 * 576);
    FramePrograms programs(m(), buf, 768, 576, 4, /*split=*/false);
    start_dma(1, programs.master.base());
    m().step_fields(2);
    const std::uint32_t status = m().read_register(1, INT_STAT);
    EXPECT_TRUE(status & (1u << 18)) << "OCERR";
    EXPECT_TRUE(status & (1u << 27)) << "RISC_EN still shows the enable bit";
    ASSERT_EQ(m().fault_count(FaultKind::WriteCrossesPage), 1u);
    // Halted at the offending instruction.
    const Fault f = m().faults().front();
    const std::uint32_t pc = m().read_register(1, RISC_COUNT);
    EXPECT_EQ(programs.even.word(pc)[0], f.instruction);
    EXPECT_EQ(programs.even.word(pc)[1], f.address);
    EXPECT_TRUE(buf.guards_intact());
}

// Each illegal case: its error bit, its fault, and a halted engine.
TEST_F(MachineTest, IllegalCasesRaiseTheirErrorBits) {
    struct Case {
        const char* name;
        std::function<void(Program&, PhysAddr line)> build;
        std::uint32_t bit;
        FaultKind kind;
    };
    const std::uint32_t b = 1536;
    const Case cases[] = {
        {"byte count past 12 bits", [&](Program& p, PhysAddr l) { p.emit(kWriteLine + 0x1000, l); },
         1u << 18, FaultKind::ByteCountOverflow},
        {"unknown opcode", [&](Program& p, PhysAddr) { p.emit(0x20000000); }, 1u << 18,
         FaultKind::IllegalInstruction},
        {"unknown SYNC code", [&](Program& p, PhysAddr) { p.emit(0x80000005); }, 1u << 18,
         FaultKind::IllegalInstruction},
        {"unaligned JUMP", [&](Program& p, PhysAddr) { p.emit(kJump, p.base() + 2); }, 1u << 18,
         FaultKind::UnalignedJump},
        {"runaway loop", [&](Program& p, PhysAddr) { p.emit(kJump, p.here()); }, 1u << 18,
         FaultKind::RunawayProgram},
        {"EOL WRITE without an open line",
         [&](Program& p, PhysAddr l) { p.emit(kWriteEol + b, l); }, 1u << 14,
         FaultKind::LineMismatch},
        {"line closed short", [&](Program& p, PhysAddr l) { p.emit(kWriteLine + b - 2, l); },
         1u << 14, FaultKind::LineMismatch},
        {"SOL while a line is open",
         [&](Program& p, PhysAddr l) {
             p.emit(kWriteSol + 16, l);
             p.emit(kWriteSol + 16, l);
         },
         1u << 14, FaultKind::LineMismatch},
        {"WRITE past the end of the line",
         [&](Program& p, PhysAddr l) {
             p.emit(kWriteSol + 1024, l);
             p.emit(kWriteEol + 1024, l + 1024);
         },
         1u << 14, FaultKind::LineMismatch},
        {"fetch from an unmapped page", [&](Program& p, PhysAddr) { p.emit(kJump, 0x3FFF0000); },
         1u << 17, FaultKind::DmaUnmapped},
        {"write to an unmapped page",
         [&](Program& p, PhysAddr) { p.emit(kWriteLine + b, 0x3FFF0000); }, 1u << 17,
         FaultKind::DmaUnmapped},
        {"program longer than its field",
         [&](Program& p, PhysAddr l) {
             for (int i = 0; i < 289; ++i) {
                 p.emit(kWriteLine + b, l);
             }
         },
         1u << 19, FaultKind::SyncError},
        {"FM1 in mid-field",
         [&](Program& p, PhysAddr l) {
             p.emit(kWriteLine + b, l);
             p.emit(kSyncFm1);
         },
         1u << 19, FaultKind::SyncError},
        {"SYNC without resync while lines remain",
         [&](Program& p, PhysAddr l) {
             p.emit(kWriteLine + b, l);
             p.emit(0x80000004);
         },
         1u << 19, FaultKind::SyncError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_ = std::make_unique<Machine>();
        enable_pci(1);
        route(1, 1);
        program_pal(1, 768, 576, 4);
        MemoryBlock line = m().allocate(kPageSize);
        Program p(m());
        p.emit(kSyncVre);
        c.build(p, line.phys);
        p.emit(kSyncVre);
        p.emit(kJump, p.base());
        start_dma(1, p.base());
        m().step_fields(3);
        const std::uint32_t status = m().read_register(1, INT_STAT);
        EXPECT_EQ(status & 0xFF000, c.bit);
        EXPECT_EQ(m().fault_count(c.kind), 1u);
        EXPECT_EQ(m().fault_count(), 1u);
        // Halted: no further fields change anything until RISC enable goes 0 -> 1.
        m().write_register(1, INT_STAT, 0xFF000);
        m().step_fields(2);
        EXPECT_EQ(m().read_register(1, INT_STAT) & 0xFF000, 0u);
        m().free(line.phys);
    }
}

TEST_F(MachineTest, DmaWithoutBusMasteringAborts) {
    enable_pci(1, 0x0002); // memory space only
    Program p(m());
    p.emit(kSyncVre);
    start_dma(1, p.base());
    m().step();
    EXPECT_TRUE(m().read_register(1, INT_STAT) & (1u << 17));
    EXPECT_EQ(m().fault_count(FaultKind::DmaNoBusMaster), 1u);
}

TEST_F(MachineTest, InstructionsAreFetchedWhenReached) {
    enable_pci(1);
    route(1, 1);
    program_pal(1, 768, 576, 4);
    Program p(m());
    p.emit(kSyncVre);
    const PhysAddr slot = p.here();
    p.emit(0x20000000); // illegal: rewritten below before the engine reaches it
    start_dma(1, p.base());
    m().step(); // odd field: the engine waits at the SYNC
    p.word(slot)[0] = kSyncVro;
    p.word(slot)[1] = 0;
    p.emit(kJump, p.base());
    m().step_fields(4);
    EXPECT_EQ(m().fault_count(), 0u);
    EXPECT_EQ(m().read_register(1, INT_STAT) & 0xFF000, 0u);
}

TEST_F(MachineTest, StaleDmaAfterUnlockIsRecordedNotWritten) {
    enable_pci(1);
    route(1, 3);
    program_pal(1, 768, 576, 4);
    UserBuffer buf(m(), 1536 * 576);
    FramePrograms programs(m(), buf, 768, 576, 4);
    start_dma(1, programs.master.base());
    m().step_fields(3);
    ASSERT_EQ(m().fault_count(), 0u);

    buf.unlock(); // the buffers are unlocked before the DMA is stopped
    EXPECT_EQ(m().fault_count(FaultKind::UnlockWhileDma), 1u) << "caught at the unlock";
    std::memset(buf.data(), 0x5A, buf.size());
    m().step_fields(2);
    EXPECT_TRUE(m().read_register(1, INT_STAT) & (1u << 17)) << "PABORT";
    ASSERT_EQ(m().fault_count(FaultKind::DmaNotLocked), 1u);
    const Fault f = m().faults().back();
    EXPECT_EQ(f.kind, FaultKind::DmaNotLocked);
    EXPECT_EQ(f.chip, 1);
    EXPECT_EQ(f.address, buf.phys(std::size_t(575) * 1536));
    for (std::size_t i = 0; i < buf.size(); ++i) {
        ASSERT_EQ(buf.data()[i], 0x5A) << "byte " << i;
    }
    EXPECT_TRUE(buf.guards_intact());
}

// Unlocking is safe only once the engine that wrote to the pages is off (or halted): the right
// order passes, the wrong one is caught at the unlock; pages it never wrote to are not its. The
// disable write is posted: the engine finishes the instruction it is on after the write has
// returned, so an unlock right after it is caught too, and one after a wait past a millisecond
// of the clock (or after the next field) is safe.
TEST_F(MachineTest, UnlockUnderAnEnabledEngineIsCaught) {
    enable_pci(1);
    route(1, 3);
    program_pal(1, 768, 576, 4);
    enum class Stop { Never, AtOnce, OneMs, PastOneMs, NextField };
    const struct {
        Stop stop;
        std::size_t faults;
    } cases[] = {
        {Stop::Never, 1},     {Stop::AtOnce, 1},    {Stop::OneMs, 1},
        {Stop::PastOneMs, 0}, {Stop::NextField, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.stop));
        m().clear_faults();
        UserBuffer buf(m(), 1536 * 576);
        UserBuffer other(m(), 4096);
        FramePrograms programs(m(), buf, 768, 576, 4);
        start_dma(1, programs.master.base());
        m().step_fields(3);
        other.unlock();
        EXPECT_EQ(m().fault_count(), 0u) << "pages the engine does not write to";
        if (c.stop != Stop::Never) {
            m().write_register(1, GPIO_DMA_CTL, 0xAC);
        }
        if (c.stop == Stop::OneMs) {
            platform::clock::advance(1);
        } else if (c.stop == Stop::PastOneMs) {
            platform::clock::advance(2);
        } else if (c.stop == Stop::NextField) {
            m().step();
        }
        buf.unlock();
        EXPECT_EQ(m().fault_count(FaultKind::UnlockWhileDma), c.faults);
        EXPECT_EQ(m().fault_count(), c.faults);
        m().write_register(1, GPIO_DMA_CTL, 0xAC);
        platform::clock::advance(2);
    }
}

// A software reset stops the engine at once, with no instruction left to finish.
TEST_F(MachineTest, UnlockRightAfterASoftwareResetIsSafe) {
    enable_pci(1);
    route(1, 3);
    program_pal(1, 768, 576, 4);
    UserBuffer buf(m(), 1536 * 576);
    FramePrograms programs(m(), buf, 768, 576, 4);
    start_dma(1, programs.master.base());
    m().step_fields(3);
    m().write_register(1, SRESET, 0);
    buf.unlock();
    EXPECT_EQ(m().fault_count(), 0u);
}

TEST_F(MachineTest, LockedPagesAreScatteredAndTranslate) {
    UserBuffer buf(m(), 5 * kPageSize);
    const LockedPages& pages = buf.pages();
    ASSERT_EQ(pages.pages.size(), 6u); // offset 100 spreads 5 pages over 6
    EXPECT_EQ(pages.pages[0] & (kPageSize - 1), 100u);
    for (std::size_t i = 1; i < pages.pages.size(); ++i) {
        EXPECT_EQ(pages.pages[i] & (kPageSize - 1), 0u);
        EXPECT_NE(pages.pages[i] >> 12, (pages.pages[i - 1] >> 12) + 1) << "not contiguous";
    }
    EXPECT_EQ(m().physical_address(buf.data() + 5000), buf.phys(5000));
    EXPECT_EQ(m().host_address(buf.phys(5000), 16), buf.data() + 5000);
    MemoryBlock block = m().allocate(3 * kPageSize);
    EXPECT_EQ(m().physical_address(static_cast<char*>(block.host) + 8192 + 5), block.phys + 8197);
    EXPECT_EQ(m().host_address(block.phys + 100, 3 * kPageSize - 100),
              static_cast<char*>(block.host) + 100);
    EXPECT_EQ(m().host_address(block.phys + 100, 3 * kPageSize), nullptr);
    m().free(block.phys);
    EXPECT_EQ(m().host_address(block.phys, 4), nullptr);
}

// Pool is only virtually contiguous: a program that runs over the end of its first page is
// fetched from the physical page after it, which belongs to nobody; contiguous memory works.
TEST_F(MachineTest, ProgramPastAScatteredPageFetchesTheWrongPhysicalPage) {
    enable_pci(1);
    for (const bool contiguous : {true, false}) {
        m().clear_faults();
        const MemoryBlock block =
            contiguous ? m().allocate(2 * kPageSize) : m().allocate_scattered(2 * kPageSize);
        EXPECT_EQ(m().physical_address(static_cast<char*>(block.host) + kPageSize) ==
                      block.phys + kPageSize,
                  contiguous);
        auto* w = static_cast<std::uint32_t*>(block.host);
        w[kPageSize / 4 - 2] = kSyncVre; // the last instruction of the first page
        w[kPageSize / 4] = kJump;        // the first of the second page
        w[kPageSize / 4 + 1] = block.phys + kPageSize - 8;
        start_dma(1, block.phys + kPageSize - 8);
        m().step_fields(4);
        EXPECT_EQ(m().fault_count(FaultKind::DmaUnmapped), contiguous ? 0u : 1u);
        if (!contiguous) {
            EXPECT_EQ(m().faults().front().address, block.phys + kPageSize);
        }
        m().write_register(1, GPIO_DMA_CTL, 0);
        m().free(block.phys);
    }
}

} // namespace
} // namespace machine::test
