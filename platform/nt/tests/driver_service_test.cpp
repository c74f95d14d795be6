// A test driver installed as a service: started through the service manager, opened from user
// mode, buffered device control, pending and cancelled requests, its chip's interrupt, the
// interrupt lock, DMA into a locked user buffer, a user view of the register window, leak
// reports at unload and a service created by another process.
#include "win32/devio.h"
#include "win32/errors.h"
#include "win32/handleapi.h"
#include "win32/registry.h"
#include "win32/synch.h"
#include "win32/winsvc.h"

#include <ntddk.h>

#include "platform/register_view.h"
#include "platform/registry_store.h"

#include "nt_fixture.h"
#include "test_driver_interface.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

constexpr const char* kService = "NtTest";
constexpr const char* kDevice = "\\\\.\\NtTest0";

class DriverService : public nt_test::KernelTest {
protected:
    DriverService() {
        const auto drivers = platform::system_directory() / "drivers";
        std::filesystem::create_directories(drivers);
        std::filesystem::copy_file(NT_TEST_DRIVER, drivers / "ntest.sys",
                                   std::filesystem::copy_options::overwrite_existing);
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    }
    ~DriverService() override {
        if (device_ != INVALID_HANDLE_VALUE) {
            CloseHandle(device_);
        }
        if (service_ != nullptr) {
            CloseServiceHandle(service_);
        }
        if (manager_ != nullptr) {
            CloseServiceHandle(manager_);
        }
    }

    SC_HANDLE create(DWORD start = SERVICE_DEMAND_START,
                     const char* image = "System32\\drivers\\ntest.sys") {
        return CreateServiceA(manager_, kService, kService, SERVICE_ALL_ACCESS,
                              SERVICE_KERNEL_DRIVER, start, SERVICE_ERROR_NORMAL, image, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
    }
    // Installs, starts and opens the test driver.
    void start_and_open(DWORD flags = 0) {
        service_ = create();
        ASSERT_NE(service_, nullptr) << GetLastError();
        ASSERT_TRUE(StartServiceA(service_, 0, nullptr)) << GetLastError();
        device_ = CreateFileA(kDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              flags, nullptr);
        ASSERT_NE(device_, INVALID_HANDLE_VALUE) << GetLastError();
    }
    Counts counts() {
        Counts c{};
        DWORD got = 0;
        EXPECT_TRUE(
            DeviceIoControl(device_, IOCTL_NTEST_COUNTS, nullptr, 0, &c, sizeof c, &got, nullptr));
        return c;
    }
    // A DWORD under the service's Parameters key, read by the test driver at entry.
    void set_parameter(const char* name, DWORD value) {
        const char* key = "SYSTEM\\CurrentControlSet\\Services\\NtTest\\Parameters";
        ASSERT_EQ(platform::registry::create_key(platform::registry::Root::LocalMachine, key),
                  ERROR_SUCCESS);
        ASSERT_EQ(platform::registry::set_value(platform::registry::Root::LocalMachine, key, name,
                                                REG_DWORD, &value, 4),
                  ERROR_SUCCESS);
    }
    bool stop() {
        SERVICE_STATUS status{};
        return ControlService(service_, SERVICE_CONTROL_STOP, &status) != FALSE;
    }

    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    HANDLE device_ = INVALID_HANDLE_VALUE;
};

TEST_F(DriverService, InstalledServiceStartsAndItsDeviceOpensByName) {
    ASSERT_NE(manager_, nullptr);
    EXPECT_EQ(CreateFileA(kDevice, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    start_and_open();
    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service_, &status));
    EXPECT_EQ(status.dwServiceType, DWORD(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_RUNNING));
    EXPECT_EQ(status.dwControlsAccepted, DWORD(SERVICE_ACCEPT_STOP));
    EXPECT_FALSE(StartServiceA(service_, 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_ALREADY_RUNNING));

    // The service is stored as on Windows.
    platform::registry::Value v;
    ASSERT_EQ(platform::registry::query_value(platform::registry::Root::LocalMachine,
                                              "SYSTEM\\CurrentControlSet\\Services\\NtTest",
                                              "ImagePath", v),
              ERROR_SUCCESS);
    EXPECT_EQ(v.type, DWORD(REG_EXPAND_SZ));

    EXPECT_EQ(counts().creates, 1u);
    EXPECT_FALSE(stop()) << "an open device keeps the driver";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    HANDLE second =
        CreateFileA("\\\\.\\nttest0", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(second, INVALID_HANDLE_VALUE) << "names are case-insensitive";
    EXPECT_EQ(counts().creates, 2u);
    EXPECT_TRUE(CloseHandle(second));
    const Counts c = counts();
    EXPECT_EQ(c.cleanups, 1u);
    EXPECT_EQ(c.closes, 1u);
    CloseHandle(device_);
    device_ = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(stop());
    ASSERT_TRUE(QueryServiceStatus(service_, &status));
    EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_STOPPED));
    ASSERT_FALSE(platform::nt::unload_reports().empty());
    EXPECT_TRUE(platform::nt::unload_reports().back().clean());
    EXPECT_FALSE(stop());
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_NOT_ACTIVE));
}

TEST_F(DriverService, BufferedControlCopiesBackOnlyWhatTheRulesAllow) {
    start_and_open();
    struct Case {
        const char* what;
        NTSTATUS status;
        DWORD information;
        DWORD out_size;
        BOOL result;
        DWORD returned;
        DWORD copied; // bytes of the output changed
        DWORD error;
    };
    const Case cases[] = {
        {"success", STATUS_SUCCESS, 8, 16, TRUE, 8, 8, 0},
        {"information past the output length", STATUS_SUCCESS, 64, 16, TRUE, 16, 16, 0},
        {"error status copies nothing", STATUS_INVALID_PARAMETER, 8, 16, FALSE, 0, 0,
         ERROR_INVALID_PARAMETER},
        {"buffer too small", STATUS_BUFFER_TOO_SMALL, 4, 16, FALSE, 0, 0,
         ERROR_INSUFFICIENT_BUFFER},
        {"no output", STATUS_SUCCESS, 0, 0, TRUE, 0, 0, 0},
    };
    for (const Case& c : cases) {
        FillRequest r{c.status, c.information, 0x77};
        std::vector<unsigned char> out(32, 0xEE);
        DWORD returned = 12345;
        SetLastError(0);
        const BOOL ok =
            DeviceIoControl(device_, IOCTL_NTEST_FILL, &r, sizeof r,
                            c.out_size != 0 ? out.data() : nullptr, c.out_size, &returned, nullptr);
        EXPECT_EQ(ok, c.result) << c.what;
        EXPECT_EQ(returned, c.returned) << c.what;
        DWORD changed = 0;
        for (unsigned char b : out) {
            changed += b == 0x77;
        }
        EXPECT_EQ(changed, c.copied) << c.what;
        EXPECT_EQ(out[c.out_size], 0xEE) << c.what << ": past the output length";
        if (!ok) {
            EXPECT_EQ(GetLastError(), c.error) << c.what;
        }
    }
    // A short input is the driver's business; an unknown code is refused by it.
    EXPECT_FALSE(
        DeviceIoControl(device_, IOCTL_NTEST_FILL, nullptr, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(DeviceIoControl(device_, NTEST_CODE(99, METHOD_BUFFERED), nullptr, 0, nullptr, 0,
                                 nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
    // Bad user buffers never reach the driver.
    DWORD got;
    EXPECT_FALSE(DeviceIoControl(device_, IOCTL_NTEST_FILL, reinterpret_cast<void*>(16), 64,
                                 nullptr, 0, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOACCESS));
    FillRequest ok{STATUS_SUCCESS, 8, 0x11};
    EXPECT_FALSE(DeviceIoControl(device_, IOCTL_NTEST_FILL, &ok, sizeof ok,
                                 reinterpret_cast<void*>(16), 8, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOACCESS));
    void* read_only = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_FALSE(
        DeviceIoControl(device_, IOCTL_NTEST_FILL, &ok, sizeof ok, read_only, 8, &got, nullptr))
        << "an output that cannot be written";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOACCESS));
    EXPECT_EQ(static_cast<unsigned char*>(read_only)[0], 0);
    munmap(read_only, 4096);
    // A driver that completes a request twice is caught.
    EXPECT_THROW(
        DeviceIoControl(device_, IOCTL_NTEST_COMPLETE_TWICE, nullptr, 0, nullptr, 0, &got, nullptr),
        platform::nt::BugCheck);
}

TEST_F(DriverService, ConcurrentSendersEachGetTheirOwnAnswers) {
    start_and_open();
    std::vector<std::thread> senders;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        senders.emplace_back([&, t] {
            HANDLE own = CreateFileA(kDevice, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            for (int i = 0; i < 300; ++i) {
                const auto fill = static_cast<std::uint8_t>(16 * t + i % 16);
                FillRequest r{STATUS_SUCCESS, 4, fill};
                std::uint8_t out[4] = {};
                DWORD got = 0;
                HANDLE h = i % 2 == 0 ? device_ : own;
                if (!DeviceIoControl(h, IOCTL_NTEST_FILL, &r, sizeof r, out, sizeof out, &got,
                                     nullptr) ||
                    got != 4 || out[0] != fill || out[3] != fill) {
                    ++wrong;
                }
            }
            CloseHandle(own);
        });
    }
    for (auto& s : senders) {
        s.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    const Counts c = counts();
    EXPECT_EQ(c.creates, 5u);
    EXPECT_EQ(c.closes, 4u);
}

TEST_F(DriverService, PendedRequestsCompleteLaterOrAreCancelledAtClose) {
    start_and_open(FILE_FLAG_OVERLAPPED);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED ov{};
    ov.hEvent = event;
    ULONG value = 0;
    DWORD got = 0;
    EXPECT_FALSE(
        DeviceIoControl(device_, IOCTL_NTEST_PEND, nullptr, 0, &value, sizeof value, &got, &ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_TIMEOUT));
    EXPECT_FALSE(GetOverlappedResult(device_, &ov, &got, FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_INCOMPLETE));
    ULONG answer = 0xCAFE;
    ASSERT_TRUE(DeviceIoControl(device_, IOCTL_NTEST_RELEASE, &answer, sizeof answer, nullptr, 0,
                                &got, nullptr));
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_OBJECT_0));
    ASSERT_TRUE(GetOverlappedResult(device_, &ov, &got, TRUE));
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(value, 0xCAFEu);

    // An overlapped request that completes at once sets its event and answers TRUE.
    ResetEvent(event);
    Counts c{};
    EXPECT_TRUE(DeviceIoControl(device_, IOCTL_NTEST_COUNTS, nullptr, 0, &c, sizeof c, &got, &ov));
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_OBJECT_0));

    // Closing the handle cleans up: the driver cancels what it still holds.
    ResetEvent(event);
    EXPECT_FALSE(
        DeviceIoControl(device_, IOCTL_NTEST_PEND, nullptr, 0, &value, sizeof value, &got, &ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
    CloseHandle(device_);
    device_ = INVALID_HANDLE_VALUE;
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(static_cast<NTSTATUS>(ov.Internal), STATUS_CANCELLED);
    CloseHandle(event);
}

// A request pended without an event: waiting for its result ends when another thread has it
// completed, and not before.
TEST_F(DriverService, WaitingForAResultWithoutAnEventEndsWithTheCompletion) {
    start_and_open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED ov{};
    ULONG value = 0;
    DWORD got = 0;
    EXPECT_FALSE(
        DeviceIoControl(device_, IOCTL_NTEST_PEND, nullptr, 0, &value, sizeof value, &got, &ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
    std::atomic<bool> released{false};
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        released = true;
        ULONG answer = 0xBEEF;
        DWORD none = 0;
        EXPECT_TRUE(DeviceIoControl(device_, IOCTL_NTEST_RELEASE, &answer, sizeof answer, nullptr,
                                    0, &none, nullptr));
    });
    EXPECT_TRUE(GetOverlappedResult(device_, &ov, &got, TRUE));
    EXPECT_TRUE(released.load());
    releaser.join();
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(value, 0xBEEFu);
}

TEST_F(DriverService, OverlappedResultOfAFileReportsItsRecordedResult) {
    const std::string path = (root() / "data.bin").string();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD got = 0;
    ASSERT_TRUE(WriteFile(file, "abc", 3, &got, nullptr));
    OVERLAPPED ov{};
    char buffer[8];
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, &ov));
    ASSERT_TRUE(GetOverlappedResult(file, &ov, &got, TRUE));
    EXPECT_EQ(got, 3u);
    ov.Offset = 10;
    EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &got, &ov));
    EXPECT_FALSE(GetOverlappedResult(file, &ov, &got, TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
    CloseHandle(file);
}

TEST_F(DriverService, ChipInterruptReachesTheIsrAndItsDpc) {
    start_and_open();
    ASSERT_EQ(counts().has_chip, 1u);
    m().write_register(1, NTEST_INT_MASK, 1u << 12);
    m().inject_error_bits(1, 1u << 12);
    Counts c = counts();
    EXPECT_EQ(c.isr_claimed, 1u);
    EXPECT_EQ(c.interrupt_status, 1u << 12);
    EXPECT_EQ(c.dpc, 0u) << "DPCs wait to be drained";
    EXPECT_FALSE(m().line_asserted(11)) << "the ISR acknowledged the chip";
    EXPECT_EQ(platform::nt::drain_deferred(), 1u);
    EXPECT_EQ(counts().dpc, 1u);
    // Work items run at passive level when drained too.
    DWORD got;
    ASSERT_TRUE(DeviceIoControl(device_, IOCTL_NTEST_WORK, nullptr, 0, nullptr, 0, &got, nullptr));
    EXPECT_EQ(counts().work_items, 0u);
    platform::nt::drain_deferred();
    EXPECT_EQ(counts().work_items, 1u);

    // Run as a processor leaving the interrupt: the DPC follows its ISR at once.
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::AfterInterrupts);
    m().inject_error_bits(1, 1u << 12);
    c = counts();
    EXPECT_EQ(c.isr_claimed, 2u);
    EXPECT_EQ(c.dpc, 2u);
    EXPECT_EQ(platform::nt::queued_deferred(), 0u);
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Manual);
    EXPECT_EQ(m().fault_count(machine::FaultKind::InterruptStorm), 0u);
}

TEST_F(DriverService, FreeRunningMachineDeliversOnItsThreadsAndDpcsRunOnTheKernelThread) {
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Auto);
    start_and_open();
    ASSERT_EQ(counts().has_chip, 1u);
    m().write_register(1, NTEST_INT_MASK, 1u << 1); // VSYNC, every field
    m().start();
    Counts c{};
    for (int i = 0; i < 4000 && c.dpc < 3; ++i) {
        platform::clock::advance(5);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        c = counts();
    }
    m().stop();
    EXPECT_GE(c.isr_claimed, 3u);
    EXPECT_GE(c.dpc, 3u) << "the kernel thread ran the DPCs without a drain";
    m().write_register(1, NTEST_INT_MASK, 0);
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Manual);
}

TEST_F(DriverService, SynchronizeExecutionHoldsOffTheIsr) {
    start_and_open();
    ASSERT_EQ(counts().has_chip, 1u);
    m().inject_error_bits(1, 1u << 12); // pending, not yet enabled
    EXPECT_FALSE(m().line_asserted(11));
    SyncAnswer a{};
    DWORD got;
    ASSERT_TRUE(
        DeviceIoControl(device_, IOCTL_NTEST_SYNC, nullptr, 0, &a, sizeof a, &got, nullptr));
    EXPECT_EQ(a.isr_inside, a.isr_before) << "the ISR ran inside the synchronised routine";
    const Counts c = counts();
    EXPECT_EQ(c.isr_claimed, 1u) << "the ISR ran once the lock was released";
    EXPECT_EQ(platform::nt::drain_deferred(), 1u);
    EXPECT_FALSE(m().line_asserted(11));
    EXPECT_EQ(m().fault_count(machine::FaultKind::InterruptStorm), 0u);
}

// Programs chip 1 for one field of `lines` lines of `width` bytes (Y8) into the pages of a
// locked buffer and runs it.
TEST_F(DriverService, DmaWritesALockedUserBufferAtItsScatteredPages) {
    start_and_open();
    ASSERT_EQ(counts().has_chip, 1u);
    constexpr DWORD width = 100; // bytes per line (Y8)
    constexpr DWORD lines = 144; // odd field of a 192 x 144 capture, PAL, not interlaced
    std::vector<unsigned char> storage(lines * width + 3 * PAGE_SIZE, 0xA5);
    unsigned char* buffer = storage.data() + PAGE_SIZE - 60; // the first line crosses a page
    const DWORD length = lines * width;
    LockRequest r{reinterpret_cast<std::uintptr_t>(buffer), length};
    LockAnswer a{};
    DWORD got;
    ASSERT_TRUE(
        DeviceIoControl(device_, IOCTL_NTEST_LOCK, &r, sizeof r, &a, sizeof a, &got, nullptr))
        << GetLastError();
    ASSERT_EQ(a.pages, ADDRESS_AND_SIZE_TO_SPAN_PAGES(buffer, length));
    bool scattered = false;
    for (DWORD i = 1; i < a.pages; ++i) {
        scattered = scattered || a.pfn[i] != a.pfn[i - 1] + 1;
    }
    EXPECT_TRUE(scattered);

    // The field program: SYNC, one WRITE per line split at page ends, then halt at a SYNC.
    const machine::MemoryBlock program = m().allocate(PAGE_SIZE * 4);
    auto* w = static_cast<ULONG*>(program.host);
    std::size_t n = 0;
    const auto emit = [&](ULONG cmd, ULONG arg) {
        w[n++] = cmd;
        w[n++] = arg;
    };
    const auto phys = [&](DWORD offset) {
        const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(buffer) + offset;
        const std::size_t page = (at >> 12) - (reinterpret_cast<std::uintptr_t>(buffer) >> 12);
        return static_cast<ULONG>(a.pfn[page] << 12 | (at & 0xFFF));
    };
    emit(0x8000800C, 0); // wait for an odd field
    emit(0x80000006, 0);
    for (DWORD line = 0; line < lines; ++line) {
        const DWORD offset = line * width;
        const DWORD room =
            PAGE_SIZE - ((reinterpret_cast<std::uintptr_t>(buffer) + offset) & 0xFFF);
        if (width <= room) {
            emit(0x1C000000 + width, phys(offset));
        } else {
            emit(0x18000000 + room, phys(offset));
            emit(0x14000000 + (width - room), phys(offset + room));
        }
    }
    emit(0x80008004, 0); // then wait for the even field: nothing more is written
    emit(0x70000000, program.phys);

    // PAL, 192 x 144 as the capture driver would program it: not interlaced, the odd field only.
    m().write_register(1, 0x004, 0x43);
    for (ULONG odd : {0x80u, 0u}) {
        m().write_register(1, 0x04C + odd, 0x1E | 0x20); // VSCALE_HI: 0x1E00
        m().write_register(1, 0x050 + odd, 0x00);
        m().write_register(1, 0x01C + odd, width & 0xFF); // HACTIVE_LO
        m().write_register(1, 0x014 + odd, 576 & 0xFF);   // VACTIVE_LO
        m().write_register(1, 0x00C + odd, ((576 >> 4) & 0x30) | ((width >> 8) & 3));
    }
    m().write_register(1, 0x0D4, 6 * 0x11); // Y8
    m().write_register(1, 0x114, program.phys);
    m().write_register(1, 0x0DC, 0x03);
    m().write_register(1, 0x10C, 0xAC | 0x03);
    m().step_fields(4);
    m().write_register(1, 0x10C, 0xAC);

    for (DWORD i = 0; i < length; ++i) {
        ASSERT_NE(buffer[i], 0xA5) << "byte " << i << " was not written";
    }
    EXPECT_EQ(buffer[-1], 0xA5);
    EXPECT_EQ(buffer[length], 0xA5);
    EXPECT_EQ(m().fault_count(), 0u) << (m().faults().empty() ? "" : m().faults()[0].detail);
    ASSERT_TRUE(
        DeviceIoControl(device_, IOCTL_NTEST_UNLOCK, nullptr, 0, nullptr, 0, &got, nullptr));
    m().free(program.phys);

    // A range that cannot be locked makes the driver's exception handler fail the request.
    r.address = 0x1000;
    EXPECT_FALSE(
        DeviceIoControl(device_, IOCTL_NTEST_LOCK, &r, sizeof r, &a, sizeof a, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
}

TEST_F(DriverService, UserViewOfTheRegisterWindowReachesTheDevice) {
    start_and_open();
    ASSERT_EQ(counts().has_chip, 1u);
    ULONG_PTR address = 0;
    DWORD got;
    ASSERT_TRUE(DeviceIoControl(device_, IOCTL_NTEST_MAP_REGISTERS, nullptr, 0, &address,
                                sizeof address, &got, nullptr));
    ASSERT_NE(address, 0u);
    auto* regs = reinterpret_cast<volatile DWORD*>(address);
    platform::nt::write_register32(regs + 0x028 / 4, 0x33); // BRIGHT
    EXPECT_EQ(m().read_register(1, 0x028), 0x33u);
    m().write_register(1, 0x03C, 0x44); // HUE
    EXPECT_EQ(platform::nt::read_register32(regs + 0x03C / 4), 0x44u);
    EXPECT_EQ(regs[0x03C / 4], 0x44u) << "the capture driver library dereferences its view";
    regs[0x028 / 4] = 0x55;
    EXPECT_EQ(m().read_register(1, 0x028), 0x55u);
    // A store that enables a pending interrupt runs the ISR before the next instruction.
    m().inject_error_bits(1, 1u << 12);
    regs[NTEST_INT_MASK / 4] = 1u << 12;
    EXPECT_EQ(counts().isr_claimed, 1u);
    EXPECT_EQ(platform::nt::drain_deferred(), 1u);
    ASSERT_TRUE(DeviceIoControl(device_, IOCTL_NTEST_UNMAP_REGISTERS, nullptr, 0, nullptr, 0, &got,
                                nullptr));
    EXPECT_FALSE(platform::nt::is_register_window(regs));
}

// A driver that leaves a section handle and its view of the register window open at unload
// gets both in its report, and they are closed after it.
TEST_F(DriverService, HandlesAndMappingsLeftAtUnloadAreReported) {
    service_ = create();
    ASSERT_NE(service_, nullptr);
    set_parameter("Careless", NTEST_KEEP_VIEW);
    ASSERT_TRUE(StartServiceA(service_, 0, nullptr)) << GetLastError();
    device_ =
        CreateFileA(kDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device_, INVALID_HANDLE_VALUE);
    ULONG_PTR view = 0;
    DWORD got = 0;
    ASSERT_TRUE(DeviceIoControl(device_, IOCTL_NTEST_MAP_REGISTERS, nullptr, 0, &view, sizeof view,
                                &got, nullptr));
    ASSERT_NE(view, 0u);
    EXPECT_TRUE(platform::nt::is_register_window(reinterpret_cast<void*>(view)));
    CloseHandle(device_);
    device_ = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(stop());
    const auto reports = platform::nt::unload_reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].clean());
    EXPECT_EQ(reports[0].handles_left, 1u);
    EXPECT_EQ(reports[0].mappings_left, 1u);
    EXPECT_FALSE(platform::nt::is_register_window(reinterpret_cast<void*>(view)));
}

// A DPC still running when DriverUnload returns would run on in an unloaded image: a bug check.
// The driver that flushes its DPCs first (KeFlushQueuedDpcs) waits for it and unloads cleanly.
TEST_F(DriverService, DpcRunningAtUnloadIsCaught) {
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Thread);
    service_ = create();
    ASSERT_NE(service_, nullptr);
    for (const bool flush : {true, false}) {
        SCOPED_TRACE(flush ? "flushed" : "not flushed");
        platform::nt::clear_unload_reports();
        set_parameter("Careless", NTEST_SLOW_DPC | (flush ? 0 : NTEST_NO_FLUSH));
        ASSERT_TRUE(StartServiceA(service_, 0, nullptr)) << GetLastError();
        device_ = CreateFileA(kDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
        ASSERT_NE(device_, INVALID_HANDLE_VALUE);
        DWORD got = 0;
        ASSERT_TRUE(
            DeviceIoControl(device_, IOCTL_NTEST_QUEUE_DPC, nullptr, 0, nullptr, 0, &got, nullptr));
        while (counts().dpc == 0) {
            std::this_thread::yield();
        }
        CloseHandle(device_);
        device_ = INVALID_HANDLE_VALUE;
        ULONG code = 0;
        try {
            stop();
        } catch (const platform::nt::BugCheck& b) {
            code = b.code;
        }
        EXPECT_EQ(code, flush ? 0u : ULONG(DRIVER_UNLOADED_WITHOUT_CANCELLING_PENDING_OPERATIONS));
        if (flush) {
            ASSERT_EQ(platform::nt::unload_reports().size(), 1u);
            EXPECT_TRUE(platform::nt::unload_reports()[0].clean());
        }
    }
    // The careless driver's image stays mapped: let its DPC finish before the test ends.
    while (platform::nt::running_deferred() != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Manual);
}

TEST_F(DriverService, PoolLeftAtUnloadIsReportedByTag) {
    service_ = create();
    ASSERT_NE(service_, nullptr);
    set_parameter("LeakBytes", 100);
    ASSERT_TRUE(StartServiceA(service_, 0, nullptr));
    ASSERT_TRUE(stop());
    const auto reports = platform::nt::unload_reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].service, kService);
    ASSERT_EQ(reports[0].leaked_pool.size(), 1u);
    EXPECT_EQ(platform::nt::tag_text(reports[0].leaked_pool[0].tag), "Leak");
    EXPECT_EQ(reports[0].leaked_pool[0].blocks, 1u);
    EXPECT_EQ(reports[0].leaked_pool[0].bytes, 100u);
    EXPECT_EQ(reports[0].devices_left, 0u);
}

TEST_F(DriverService, KernelCallersReachTheDeviceToo) {
    start_and_open();
    // Reads go to the driver like any request (this one completes them with 0 bytes).
    char byte = 0;
    DWORD read = 99;
    EXPECT_TRUE(ReadFile(device_, &byte, 1, &read, nullptr));
    EXPECT_EQ(read, 0u);

    // Another driver's way in: the device by name, a built request, a wait for its event.
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\Device\\NtTest0");
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT device = nullptr;
    ASSERT_EQ(IoGetDeviceObjectPointer(&name, FILE_ALL_ACCESS, &file, &device), STATUS_SUCCESS);
    FillRequest r{STATUS_SUCCESS, 6, 0x42};
    unsigned char out[8] = {};
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK io{};
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_NTEST_FILL, device, &r, sizeof r, out,
                                             sizeof out, FALSE, &event, &io);
    ASSERT_NE(irp, nullptr);
    IoGetNextIrpStackLocation(irp)->FileObject = file;
    if (IoCallDriver(device, irp) == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    }
    EXPECT_EQ(io.Status, STATUS_SUCCESS);
    EXPECT_EQ(io.Information, 6u);
    EXPECT_EQ(out[5], 0x42);
    EXPECT_EQ(out[6], 0);
    EXPECT_EQ(KeReadStateEvent(&event), 1);
    EXPECT_EQ(counts().creates, 2u);
    ObDereferenceObject(file);
    EXPECT_EQ(counts().closes, 1u) << "the last reference closed the kernel's open";
    RtlInitUnicodeString(&name, u"\\Device\\DebugMessageDevice");
    EXPECT_EQ(IoGetDeviceObjectPointer(&name, FILE_ALL_ACCESS, &file, &device),
              STATUS_OBJECT_NAME_NOT_FOUND);

    platform::nt::system_shutdown();
    EXPECT_EQ(counts().shutdowns, 1u);
}

TEST_F(DriverService, FailedEntryFailsTheStartAndLeavesNothingBehind) {
    service_ = create();
    ASSERT_NE(service_, nullptr);
    set_parameter("FailEntry", static_cast<DWORD>(STATUS_DEVICE_DOES_NOT_EXIST));
    EXPECT_FALSE(StartServiceA(service_, 0, nullptr));
    EXPECT_EQ(GetLastError(), 55u) << "ERROR_DEV_NOT_EXIST";
    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service_, &status));
    EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_STOPPED));
    const auto reports = platform::nt::unload_reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].devices_left, 1u) << "the driver's device, deleted by the kernel";
    EXPECT_EQ(reports[0].links_left, 1u);
    EXPECT_EQ(reports[0].interrupts_left, 1u);
    EXPECT_EQ(reports[0].resources_left, 1u);
    EXPECT_FALSE(reports[0].leaked_pool.empty()) << "its work item and resource list";
    EXPECT_EQ(CreateFileA(kDevice, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    // The hardware is free again for the next start.
    set_parameter("FailEntry", 0);
    EXPECT_TRUE(StartServiceA(service_, 0, nullptr)) << GetLastError();
    device_ = CreateFileA(kDevice, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device_, INVALID_HANDLE_VALUE);
    EXPECT_EQ(counts().has_chip, 1u);
}

TEST_F(DriverService, ServiceManagerErrors) {
    service_ = create();
    ASSERT_NE(service_, nullptr);
    struct Case {
        const char* what;
        std::function<bool()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"create an existing service", [&] { return create() != nullptr; }, ERROR_SERVICE_EXISTS},
        {"open a missing service",
         [&] { return OpenServiceA(manager_, "Nothing", SERVICE_ALL_ACCESS) != nullptr; },
         ERROR_SERVICE_DOES_NOT_EXIST},
        {"a name with a backslash",
         [&] { return OpenServiceA(manager_, "a\\b", SERVICE_ALL_ACCESS) != nullptr; },
         ERROR_INVALID_NAME},
        {"a remote machine",
         [&] { return OpenSCManagerA("\\\\other", nullptr, SC_MANAGER_ALL_ACCESS) != nullptr; },
         ERROR_INVALID_NAME},
        {"boot start for a process service",
         [&] {
             return CreateServiceA(manager_, "Proc", nullptr, SERVICE_ALL_ACCESS,
                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_BOOT_START,
                                   SERVICE_ERROR_NORMAL, "x.exe", nullptr, nullptr, nullptr,
                                   nullptr, nullptr) != nullptr;
         },
         ERROR_INVALID_PARAMETER},
        {"stop a stopped service", [&] { return stop(); }, ERROR_SERVICE_NOT_ACTIVE},
        {"close a bogus handle",
         [&] { return CloseServiceHandle(reinterpret_cast<SC_HANDLE>(0x4444)) != FALSE; },
         ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }

    // A missing image fails the start; changing the path mends it.
    ASSERT_TRUE(ChangeServiceConfigA(service_, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     SERVICE_NO_CHANGE, "System32\\drivers\\none.sys", nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(StartServiceA(service_, 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(ChangeServiceConfigA(service_, SERVICE_NO_CHANGE, SERVICE_DISABLED,
                                     SERVICE_NO_CHANGE,
                                     "\\SystemRoot\\system32\\DRIVERS\\ntest.sys", nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(StartServiceA(service_, 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_DISABLED));
    ASSERT_TRUE(ChangeServiceConfigA(service_, SERVICE_NO_CHANGE, SERVICE_DEMAND_START,
                                     SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr));
    EXPECT_TRUE(StartServiceA(service_, 0, nullptr)) << GetLastError();

    // The database lock is exclusive and holds off starts by others.
    SC_LOCK lock = LockServiceDatabase(manager_);
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(LockServiceDatabase(manager_), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_DATABASE_LOCKED));
    EXPECT_TRUE(UnlockServiceDatabase(lock));
    EXPECT_FALSE(UnlockServiceDatabase(lock));
}

TEST_F(DriverService, DeletedServiceGoesWithItsLastHandle) {
    service_ = create();
    ASSERT_NE(service_, nullptr);
    ASSERT_TRUE(StartServiceA(service_, 0, nullptr));
    SC_HANDLE other = OpenServiceA(manager_, kService, SERVICE_ALL_ACCESS);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(DeleteService(service_));
    EXPECT_FALSE(DeleteService(other));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_MARKED_FOR_DELETE));
    ASSERT_TRUE(stop());
    CloseServiceHandle(other);
    EXPECT_NE(OpenServiceA(manager_, kService, SERVICE_ALL_ACCESS), nullptr) << "one handle left";
    CloseServiceHandle(service_);
    service_ = nullptr;
    // Every handle of this process is gone now but the one just opened above.
}

TEST_F(DriverService, AutomaticStartServicesStartAtBoot) {
    // The image path as the installer writes it: the system directory's full path.
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
    const std::string image = std::string(system) + "\\DRIVERS\\NTest.SYS";
    service_ = create(SERVICE_AUTO_START, image.c_str());
    ASSERT_NE(service_, nullptr);
    platform::nt::reset(); // a new boot of this process's kernel
    EXPECT_FALSE(platform::nt::booted());
    HANDLE device = CreateFileA(kDevice, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << "the first device open booted the kernel";
    EXPECT_TRUE(platform::nt::booted());
    CloseHandle(device);
    platform::nt::system_shutdown();
}

TEST_F(DriverService, ServiceCreatedByAnotherProcessStartsHere) {
    const std::string command = std::string(NT_SERVICE_TOOL) + " create Shared " +
                                "\\\\SystemRoot\\\\System32\\\\drivers\\\\ntest.sys";
    setenv("TOLM_SYSROOT", root().c_str(), 1);
    const int rc = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(rc));
    ASSERT_EQ(WEXITSTATUS(rc), 0);
    service_ = OpenServiceA(manager_, "Shared", SERVICE_ALL_ACCESS);
    ASSERT_NE(service_, nullptr) << GetLastError();
    ASSERT_TRUE(StartServiceA(service_, 0, nullptr)) << GetLastError();
    device_ = CreateFileA(kDevice, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device_, INVALID_HANDLE_VALUE);
    // The other process has a kernel of its own: there the service is stopped.
    const std::string status =
        std::string(NT_SERVICE_TOOL) + " status Shared > " + (root() / "status.txt").string();
    ASSERT_EQ(std::system(status.c_str()), 0);
    FILE* f = std::fopen((root() / "status.txt").c_str(), "r");
    ASSERT_NE(f, nullptr);
    unsigned long state = 0;
    EXPECT_EQ(std::fscanf(f, "%lu", &state), 1);
    std::fclose(f);
    EXPECT_EQ(state, static_cast<unsigned long>(SERVICE_STOPPED));
}

} // namespace
