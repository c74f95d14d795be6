// HAL and memory over the machine: PCI configuration, slot resources, register mappings,
// memory descriptor lists, the physical-memory section and port access.
#include <ntddk.h>

#include "nt_fixture.h"

#include "platform/ports.h"
#include "platform/register_view.h"
#include "platform/registry_store.h"
#include "win32/errors.h"

#include <conio.h>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <vector>

namespace {

using nt_test::KernelTest;

constexpr ULONG kChipSlot = 8; // board 1, function 0: device 8

ULONG slot(ULONG device, ULONG function) {
    PCI_SLOT_NUMBER s;
    s.u.AsULONG = 0;
    s.u.bits.DeviceNumber = device;
    s.u.bits.FunctionNumber = function;
    return s.u.AsULONG;
}

using HalMemory = KernelTest;

TEST_F(HalMemory, BusDataAnswersPresentEmptyAndMissing) {
    PCI_COMMON_CONFIG config;
    EXPECT_EQ(HalGetBusData(PCIConfiguration, 0, slot(kChipSlot, 0), &config, 64), 64u);
    EXPECT_EQ(config.VendorID, 0x109E);
    EXPECT_EQ(config.DeviceID, 0x036E);
    EXPECT_EQ(config.u.type0.InterruptLine, 11);
    std::memset(&config, 0, sizeof config);
    EXPECT_EQ(HalGetBusData(PCIConfiguration, 0, slot(3, 0), &config, 64), 2u) << "empty slot";
    EXPECT_EQ(config.VendorID, PCI_INVALID_VENDORID);
    EXPECT_EQ(HalGetBusData(PCIConfiguration, 1, slot(0, 0), &config, 64), 0u) << "no bus 1";
    EXPECT_EQ(HalGetBusData(Cmos, 0, 0, &config, 64), 0u);

    UCHAR latency = 0;
    EXPECT_EQ(HalSetBusDataByOffset(PCIConfiguration, 0, slot(kChipSlot, 0), &latency, 0x0D, 1),
              1u);
    UCHAR back = 0xFF;
    EXPECT_EQ(HalGetBusDataByOffset(PCIConfiguration, 0, slot(kChipSlot, 0), &back, 0x0D, 1), 1u);
    EXPECT_EQ(back, 0);
}

TEST_F(HalMemory, SlotResourcesDescribeTheWindowAndTheLine) {
    DRIVER_OBJECT driver{};
    DEVICE_OBJECT device{};
    PCM_RESOURCE_LIST list = nullptr;
    ASSERT_EQ(HalAssignSlotResources(nullptr, nullptr, &driver, &device, PCIBus, 0,
                                     slot(kChipSlot, 1), &list),
              STATUS_SUCCESS);
    ASSERT_NE(list, nullptr);
    const CM_PARTIAL_RESOURCE_LIST& partial = list->List[0].PartialResourceList;
    ASSERT_EQ(partial.Count, 2u);
    EXPECT_EQ(partial.PartialDescriptors[0].Type, CmResourceTypeMemory);
    EXPECT_EQ(partial.PartialDescriptors[0].u.Memory.Start.QuadPart, 0xE0001000ll) << "chip 2";
    EXPECT_EQ(partial.PartialDescriptors[0].u.Memory.Length, 0x1000u);
    EXPECT_EQ(partial.PartialDescriptors[1].Type, CmResourceTypeInterrupt);
    EXPECT_EQ(partial.PartialDescriptors[1].ShareDisposition, CmResourceShareShared);
    EXPECT_EQ(partial.PartialDescriptors[1].Flags, CM_RESOURCE_INTERRUPT_LEVEL_SENSITIVE);
    EXPECT_EQ(partial.PartialDescriptors[1].u.Interrupt.Level, 11u);
    ExFreePool(list);

    // Recorded in the key the caller names (which must exist), in the stored 32-bit layout.
    UNICODE_STRING key_path;
    RtlInitUnicodeString(&key_path, u"\\Registry\\Machine\\SOFTWARE\\Claims");
    DEVICE_OBJECT other{};
    EXPECT_EQ(HalAssignSlotResources(&key_path, nullptr, &driver, &other, PCIBus, 0,
                                     slot(kChipSlot, 1), &list),
              STATUS_OBJECT_NAME_NOT_FOUND);
    ASSERT_EQ(
        platform::registry::create_key(platform::registry::Root::LocalMachine, "SOFTWARE\\Claims"),
        ERROR_SUCCESS);
    EXPECT_EQ(HalAssignSlotResources(&key_path, nullptr, &driver, &other, PCIBus, 0,
                                     slot(kChipSlot, 1), &list),
              STATUS_CONFLICTING_ADDRESSES)
        << "the slot is claimed by the first device";
    ASSERT_EQ(HalAssignSlotResources(&key_path, nullptr, &driver, &device, PCIBus, 0,
                                     slot(kChipSlot, 1), &list),
              STATUS_SUCCESS);
    ExFreePool(list);
    platform::registry::Value stored;
    ASSERT_EQ(platform::registry::query_value(platform::registry::Root::LocalMachine,
                                              "SOFTWARE\\Claims", "AssignedResources", stored),
              ERROR_SUCCESS);
    EXPECT_EQ(stored.type, DWORD(REG_RESOURCE_LIST));
    const std::vector<BYTE> golden = {
        0x01, 0x00, 0x00, 0x00,                         // one full descriptor
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // PCI, bus 0
        0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, // version, revision, two partial
        0x03, 0x01, 0x00, 0x00, 0x00, 0x10, 0x00, 0xE0, 0x00, 0x00, 0x00, 0x00, // memory
        0x00, 0x10, 0x00, 0x00,                                                 // 4 KB
        0x02, 0x03, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, // line 11
        0x01, 0x00, 0x00, 0x00};                                                // affinity
    EXPECT_EQ(stored.data, golden);
    // Releasing the device's claim frees the slot for another device.
    IoReportResourceUsage(nullptr, &driver, nullptr, 0, &device, nullptr, 0, FALSE, nullptr);
    ASSERT_EQ(HalAssignSlotResources(nullptr, nullptr, &driver, &other, PCIBus, 0,
                                     slot(kChipSlot, 1), &list),
              STATUS_SUCCESS);
    ExFreePool(list);
    IoReportResourceUsage(nullptr, &driver, nullptr, 0, &other, nullptr, 0, FALSE, nullptr);

    KIRQL irql = 0;
    KAFFINITY affinity = 0;
    EXPECT_EQ(HalGetInterruptVector(PCIBus, 0, 11, 11, &irql, &affinity), 0x3Bu);
    EXPECT_GT(irql, DISPATCH_LEVEL);
    EXPECT_EQ(HalGetInterruptVector(PCIBus, 0, 0, 0, &irql, &affinity), 0u);
    ULONG space = 0;
    PHYSICAL_ADDRESS bus_address, translated;
    bus_address.QuadPart = 0xE0000000ll;
    EXPECT_TRUE(HalTranslateBusAddress(PCIBus, 0, bus_address, &space, &translated));
    EXPECT_EQ(translated.QuadPart, bus_address.QuadPart);

    struct Injection {
        platform::nt::Fault fault;
        NTSTATUS status;
    };
    for (const Injection i :
         {Injection{platform::nt::Fault::AssignSlotResources, STATUS_DEVICE_DOES_NOT_EXIST},
          Injection{platform::nt::Fault::AssignSlotResources, STATUS_INSUFFICIENT_RESOURCES}}) {
        platform::nt::inject_fault(i.fault, i.status);
        EXPECT_EQ(HalAssignSlotResources(nullptr, nullptr, &driver, &device, PCIBus, 0,
                                         slot(kChipSlot, 1), &list),
                  i.status);
        EXPECT_EQ(list, nullptr);
    }
    platform::nt::inject_fault(platform::nt::Fault::TranslateBusAddress);
    EXPECT_FALSE(HalTranslateBusAddress(PCIBus, 0, bus_address, &space, &translated));
    platform::nt::inject_fault(platform::nt::Fault::InterruptVector);
    EXPECT_EQ(HalGetInterruptVector(PCIBus, 0, 11, 11, &irql, &affinity), 0u);
}

TEST_F(HalMemory, MappedRegistersReachTheDevice) {
    USHORT command = 0x0106;
    HalSetBusDataByOffset(PCIConfiguration, 0, slot(kChipSlot, 0), &command, 4, 2);
    PHYSICAL_ADDRESS base;
    base.QuadPart = 0xE0000000ll;
    auto* regs = static_cast<volatile ULONG*>(MmMapIoSpace(base, 0x1000, MmNonCached));
    ASSERT_NE(regs, nullptr);
    WRITE_REGISTER_ULONG(regs + 0x104 / 4, 0x00000933);
    EXPECT_EQ(m().read_register(1, 0x104), 0x933u);
    m().write_register(1, 0x028, 0x5A); // BRIGHT
    EXPECT_EQ(READ_REGISTER_ULONG(regs + 0x028 / 4), 0x5Au);
    EXPECT_EQ(platform::nt::read_register32(regs + 0x104 / 4), 0x933u);
    EXPECT_EQ(regs[0x104 / 4], 0x933u) << "a plain load reaches the device too";
    regs[0x03C / 4] = 0x21; // HUE
    EXPECT_EQ(m().read_register(1, 0x03C), 0x21u);
    MmUnmapIoSpace(const_cast<ULONG*>(regs), 0x1000);
    EXPECT_FALSE(platform::nt::is_register_window(regs));

    platform::nt::inject_fault(platform::nt::Fault::MapIoSpace);
    EXPECT_EQ(MmMapIoSpace(base, 0x1000, MmNonCached), nullptr);
}

TEST_F(HalMemory, LockedUserPagesAreScatteredAndBadRangesRaise) {
    std::vector<unsigned char> storage(6 * PAGE_SIZE);
    unsigned char* buffer = storage.data() + 100;
    const ULONG length = 4 * PAGE_SIZE + 50;
    PMDL mdl = IoAllocateMdl(buffer, length, FALSE, FALSE, nullptr);
    ASSERT_NE(mdl, nullptr);
    NTSTATUS status = STATUS_SUCCESS;
    __try {
        MmProbeAndLockPages(mdl, UserMode, IoWriteAccess);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        status = GetExceptionCode();
    }
    ASSERT_EQ(status, STATUS_SUCCESS);
    const ULONG pages = ADDRESS_AND_SIZE_TO_SPAN_PAGES(buffer, length);
    ASSERT_EQ(pages, 5u);
    bool scattered = false;
    for (ULONG i = 0; i < pages; ++i) {
        const unsigned char* at =
            i == 0 ? buffer : static_cast<unsigned char*>(PAGE_ALIGN(buffer)) + i * PAGE_SIZE;
        const PHYSICAL_ADDRESS pa = MmGetPhysicalAddress(const_cast<unsigned char*>(at));
        EXPECT_EQ(static_cast<ULONGLONG>(pa.QuadPart) >> PAGE_SHIFT, MmGetMdlPfnArray(mdl)[i]);
        EXPECT_EQ(static_cast<ULONG>(pa.QuadPart) & (PAGE_SIZE - 1), BYTE_OFFSET(at));
        if (i > 0 && MmGetMdlPfnArray(mdl)[i] != MmGetMdlPfnArray(mdl)[i - 1] + 1) {
            scattered = true;
        }
    }
    EXPECT_TRUE(scattered);
    EXPECT_EQ(MmMapLockedPages(mdl, UserMode), buffer) << "the user mapping is that memory";
    EXPECT_THROW(IoFreeMdl(mdl), platform::nt::BugCheck) << "freed while locked";
    MmUnlockPages(mdl);
    IoFreeMdl(mdl);

    void* none = mmap(nullptr, PAGE_SIZE, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    void* read_only = mmap(nullptr, PAGE_SIZE, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    struct Case {
        void* address;
        LOCK_OPERATION operation;
        NTSTATUS status;
    };
    for (const Case c :
         {Case{none, IoReadAccess, STATUS_ACCESS_VIOLATION},
          Case{read_only, IoWriteAccess, STATUS_ACCESS_VIOLATION},
          Case{read_only, IoReadAccess, STATUS_SUCCESS},
          Case{reinterpret_cast<void*>(0x1000), IoReadAccess, STATUS_ACCESS_VIOLATION}}) {
        PMDL bad = IoAllocateMdl(c.address, 64, FALSE, FALSE, nullptr);
        ASSERT_NE(bad, nullptr);
        status = STATUS_SUCCESS;
        __try {
            MmProbeAndLockPages(bad, UserMode, c.operation);
        } __except (EXCEPTION_EXECUTE_HANDLER) {
            status = GetExceptionCode();
        }
        EXPECT_EQ(status, c.status) << c.address;
        if (NT_SUCCESS(status)) {
            MmUnlockPages(bad);
        }
        IoFreeMdl(bad);
    }
    // The same checks before a driver reads or writes user memory directly.
    auto* edge = static_cast<char*>(
        mmap(nullptr, 2 * PAGE_SIZE, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(edge + PAGE_SIZE, PAGE_SIZE, PROT_NONE);
    struct Probe {
        void* address;
        SIZE_T length;
        bool write;
        ULONG alignment;
        NTSTATUS status;
    };
    for (const Probe p :
         {Probe{read_only, 16, false, 4, STATUS_SUCCESS},
          Probe{read_only, 16, true, 4, STATUS_ACCESS_VIOLATION},
          Probe{edge + PAGE_SIZE - 8, 8, false, 1, STATUS_SUCCESS},
          Probe{edge + PAGE_SIZE - 8, 16, false, 1, STATUS_ACCESS_VIOLATION},
          Probe{static_cast<char*>(read_only) + 2, 8, false, 4, STATUS_DATATYPE_MISALIGNMENT},
          Probe{none, 0, true, 4, STATUS_SUCCESS}}) {
        status = STATUS_SUCCESS;
        __try {
            if (p.write) {
                ProbeForWrite(p.address, p.length, p.alignment);
            } else {
                ProbeForRead(p.address, p.length, p.alignment);
            }
        } __except (EXCEPTION_EXECUTE_HANDLER) {
            status = GetExceptionCode();
        }
        EXPECT_EQ(status, p.status) << p.address << " " << p.length;
    }
    munmap(edge, 2 * PAGE_SIZE);
    munmap(none, PAGE_SIZE);
    munmap(read_only, PAGE_SIZE);
}

// Non-paged pool is only virtually contiguous, as on NT: a block of several pages is described
// page by page, and its pages are scattered physically.
// A driver that locks an address from a user request in user mode gets it refused when the
// address is the kernel's: a pool block, its page, contiguous memory. In kernel mode the same
// memory is described.
TEST_F(HalMemory, UserModeLockRefusesKernelAddresses) {
    auto* pool = static_cast<char*>(ExAllocatePoolWithTag(NonPagedPool, 64, 0x74736554));
    auto* paged = static_cast<char*>(ExAllocatePoolWithTag(PagedPool, 64, 0x74736554));
    PHYSICAL_ADDRESS highest;
    highest.QuadPart = 0xFFFFFFFF;
    auto* contiguous = static_cast<char*>(MmAllocateContiguousMemory(2 * PAGE_SIZE, highest));
    std::vector<char> user(256);
    struct Case {
        const char* what;
        void* address;
        KPROCESSOR_MODE mode;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"pool block", pool, UserMode, STATUS_ACCESS_VIOLATION},
        {"rest of its page", static_cast<char*>(PAGE_ALIGN(pool)) + PAGE_SIZE - 64, UserMode,
         STATUS_ACCESS_VIOLATION},
        {"paged pool", paged, UserMode, STATUS_ACCESS_VIOLATION},
        {"contiguous memory", contiguous + PAGE_SIZE, UserMode, STATUS_ACCESS_VIOLATION},
        {"pool in kernel mode", pool, KernelMode, STATUS_SUCCESS},
        {"user memory", user.data(), UserMode, STATUS_SUCCESS},
    };
    for (const Case& c : cases) {
        PMDL mdl = IoAllocateMdl(c.address, 64, FALSE, FALSE, nullptr);
        ASSERT_NE(mdl, nullptr);
        NTSTATUS status = STATUS_SUCCESS;
        __try {
            MmProbeAndLockPages(mdl, c.mode, IoWriteAccess);
        } __except (EXCEPTION_EXECUTE_HANDLER) {
            status = GetExceptionCode();
        }
        EXPECT_EQ(status, c.status) << c.what;
        if (NT_SUCCESS(status)) {
            MmUnlockPages(mdl);
        }
        IoFreeMdl(mdl);
    }
    MmFreeContiguousMemory(contiguous);
    ExFreePool(paged);
    ExFreePool(pool);
}

TEST_F(HalMemory, NonPagedPoolPagesAreScattered) {
    void* p = ExAllocatePoolWithTag(NonPagedPool, 3 * PAGE_SIZE, 0x74736554);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(BYTE_OFFSET(p), 0u) << "a block of pages starts a page";
    PMDL mdl = IoAllocateMdl(p, 3 * PAGE_SIZE, FALSE, FALSE, nullptr);
    MmBuildMdlForNonPagedPool(mdl);
    for (ULONG i = 0; i < 3; ++i) {
        EXPECT_EQ(MmGetMdlPfnArray(mdl)[i],
                  ULONG_PTR(MmGetPhysicalAddress(static_cast<char*>(p) + i * PAGE_SIZE).QuadPart >>
                            PAGE_SHIFT));
    }
    EXPECT_NE(MmGetMdlPfnArray(mdl)[1], MmGetMdlPfnArray(mdl)[0] + 1);
    EXPECT_NE(MmGetMdlPfnArray(mdl)[2], MmGetMdlPfnArray(mdl)[1] + 1);
    EXPECT_EQ(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority), p);
    IoFreeMdl(mdl);
    int stack_value = 0;
    PMDL not_pool = IoAllocateMdl(&stack_value, 4, FALSE, FALSE, nullptr);
    EXPECT_THROW(MmBuildMdlForNonPagedPool(not_pool), platform::nt::BugCheck);
    IoFreeMdl(not_pool);
    ExFreePool(p);
}

// Small pool blocks share pages, as on NT: a user view of one block maps its whole page, so
// the process sees the blocks beside it and their tags. Only a block of a page of its own
// exposes nothing else.
TEST_F(HalMemory, UserViewOfASmallPoolBlockShowsItsPage) {
    constexpr ULONG kSecretTag = 0x74657353; // "Sset"
    auto* secret = static_cast<char*>(ExAllocatePoolWithTag(NonPagedPool, 64, kSecretTag));
    auto* shown = static_cast<char*>(ExAllocatePoolWithTag(NonPagedPool, 256, 0x6E776F68));
    ASSERT_TRUE(secret && shown);
    ASSERT_EQ(PAGE_ALIGN(secret), PAGE_ALIGN(shown)) << "small blocks share a page";
    std::memcpy(secret, "a neighbour's key", 18);
    PMDL mdl = IoAllocateMdl(shown, 256, FALSE, FALSE, nullptr);
    MmBuildMdlForNonPagedPool(mdl);
    auto* view = static_cast<char*>(
        MmMapLockedPagesSpecifyCache(mdl, UserMode, MmCached, nullptr, FALSE, NormalPagePriority));
    ASSERT_NE(view, nullptr);
    const std::string page(static_cast<char*>(PAGE_ALIGN(view)), PAGE_SIZE);
    EXPECT_NE(page.find("a neighbour's key"), std::string::npos);
    EXPECT_NE(page.find(std::string(reinterpret_cast<const char*>(&kSecretTag), 4)),
              std::string::npos)
        << "the pool header with the tag";
    MmUnmapLockedPages(view, mdl);
    IoFreeMdl(mdl);

    auto* own = static_cast<char*>(ExAllocatePoolWithTag(NonPagedPool, PAGE_SIZE, 0x6E65774F));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(BYTE_OFFSET(own), 0u);
    EXPECT_NE(PAGE_ALIGN(own), PAGE_ALIGN(secret));
    ExFreePool(own);
    ExFreePool(shown);
    ExFreePool(secret);
}

TEST_F(HalMemory, PhysicalMemorySectionViewsMemoryAndRegisters) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\Device\\PhysicalMemory");
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE section;
    ASSERT_EQ(ZwOpenSection(&section, SECTION_ALL_ACCESS, &oa), STATUS_SUCCESS);

    // A view of memory is that memory.
    auto* pool = static_cast<ULONG*>(ExAllocatePoolWithTag(NonPagedPool, PAGE_SIZE, 0x74736554));
    LARGE_INTEGER offset = MmGetPhysicalAddress(pool);
    SIZE_T size = PAGE_SIZE;
    PVOID view = nullptr;
    ASSERT_EQ(ZwMapViewOfSection(section, NtCurrentProcess(), &view, 0, size, &offset, &size,
                                 ViewShare, 0, PAGE_READWRITE | PAGE_NOCACHE),
              STATUS_SUCCESS);
    static_cast<ULONG*>(view)[3] = 0x12345678;
    EXPECT_EQ(pool[3], 0x12345678u);
    EXPECT_EQ(ZwUnmapViewOfSection(NtCurrentProcess(), view), STATUS_SUCCESS);
    EXPECT_NE(ZwUnmapViewOfSection(NtCurrentProcess(), view), STATUS_SUCCESS);
    ExFreePool(pool);

    // A view of a register window goes to the device; the offset is rounded to its page.
    USHORT command = 0x0106;
    HalSetBusDataByOffset(PCIConfiguration, 0, slot(kChipSlot, 0), &command, 4, 2);
    offset.QuadPart = 0xE0000104ll;
    size = 4;
    view = nullptr;
    ASSERT_EQ(ZwMapViewOfSection(section, NtCurrentProcess(), &view, 0, size, &offset, &size,
                                 ViewShare, 0, PAGE_READWRITE | PAGE_NOCACHE),
              STATUS_SUCCESS);
    EXPECT_EQ(offset.QuadPart, 0xE0000000ll);
    EXPECT_EQ(size, SIZE_T(PAGE_SIZE));
    platform::nt::write_register32(static_cast<char*>(view) + 0x104, 0x100);
    EXPECT_EQ(m().read_register(1, 0x104), 0x100u);
    EXPECT_EQ(ZwUnmapViewOfSection(NtCurrentProcess(), view), STATUS_SUCCESS);

    platform::nt::inject_fault(platform::nt::Fault::MapViewOfSection, STATUS_NO_MEMORY);
    view = nullptr;
    EXPECT_EQ(ZwMapViewOfSection(section, NtCurrentProcess(), &view, 0, size, &offset, &size,
                                 ViewShare, 0, PAGE_READWRITE),
              STATUS_NO_MEMORY);
    EXPECT_EQ(ZwClose(section), STATUS_SUCCESS);
    RtlInitUnicodeString(&name, u"\\Device\\Other");
    EXPECT_EQ(ZwOpenSection(&section, SECTION_ALL_ACCESS, &oa), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(HalMemory, IoAccessMapGrantsThePortsToTheProcess) {
    static KIO_ACCESS_MAP map;
    std::memset(map, 0, sizeof map);
    ASSERT_TRUE(Ke386SetIoAccessMap(1, &map));
    EXPECT_FALSE(m().io_granted());
    ASSERT_TRUE(Ke386IoSetAccessProcess(PsGetCurrentProcess(), 1));
    EXPECT_TRUE(m().io_granted());
    map[0x61 / 8] |= 1u << (0x61 % 8); // deny the speaker control port
    ASSERT_TRUE(Ke386SetIoAccessMap(2, &map));
    ASSERT_TRUE(Ke386IoSetAccessProcess(PsGetCurrentProcess(), 2));
    EXPECT_FALSE(m().io_granted());
    EXPECT_FALSE(Ke386IoSetAccessProcess(PsGetCurrentProcess(), 5)) << "map 5 was never loaded";
    ASSERT_TRUE(Ke386IoSetAccessProcess(PsGetCurrentProcess(), 0));
    EXPECT_FALSE(m().io_granted());
}

// While the process holds the grant its port I/O reaches the machine's speaker; before it, and
// after each way of losing it, every access is a PortNotGranted fault and the speaker sees
// nothing.
TEST_F(HalMemory, GrantedPortIoReachesTheSpeaker) {
    static KIO_ACCESS_MAP open_map, speaker_denied;
    std::memset(open_map, 0, sizeof open_map);
    std::memset(speaker_denied, 0, sizeof speaker_denied);
    speaker_denied[0x61 / 8] |= 1u << (0x61 % 8);
    ASSERT_TRUE(Ke386SetIoAccessMap(1, &open_map));
    ASSERT_TRUE(Ke386SetIoAccessMap(2, &speaker_denied));

    const auto expect_refused = [&](const char* when) {
        SCOPED_TRACE(when);
        const std::uint64_t refused = platform::refused_port_accesses();
        const std::size_t tones = m().tones().size();
        m().clear_faults();
        _outp(0x61, 3);
        _outp(0x43, 0xB6);
        EXPECT_EQ(_inp(0x61), 0xFF);
        EXPECT_EQ(platform::refused_port_accesses(), refused) << "the machine takes every access";
        EXPECT_EQ(m().tones().size(), tones);
        EXPECT_EQ(m().fault_count(machine::FaultKind::PortNotGranted), 3u);
        EXPECT_EQ(m().fault_count(), 3u);
        m().clear_faults();
    };
    const auto grant_and_beep = [&] {
        ASSERT_TRUE(Ke386IoSetAccessProcess(PsGetCurrentProcess(), 1));
        m().clear_tones();
        const std::uint64_t refused = platform::refused_port_accesses();
        _outp(0x43, 0xB6);
        _outp(0x42, 0x53); // divisor 595: 2000 Hz
        _outp(0x42, 0x02);
        _outp(0x61, _inp(0x61) | 3);
        EXPECT_EQ(_inp(0x61), 3);
        platform::clock::advance(50);
        _outp(0x61, _inp(0x61) & 0xFC);
        const std::vector<machine::Tone> tones = m().tones();
        ASSERT_EQ(tones.size(), 1u);
        EXPECT_EQ(tones[0].divisor, 595u);
        EXPECT_FALSE(tones[0].sounding);
        EXPECT_EQ(tones[0].stop_tick - tones[0].start_tick, 50u);
        EXPECT_EQ(platform::refused_port_accesses(), refused);
        EXPECT_EQ(m().fault_count(), 0u);
    };

    expect_refused("before the grant");
    grant_and_beep();
    ASSERT_TRUE(Ke386IoSetAccessProcess(PsGetCurrentProcess(), 0));
    expect_refused("after map 0");
    grant_and_beep();
    ASSERT_TRUE(Ke386IoSetAccessProcess(PsGetCurrentProcess(), 2));
    expect_refused("after a map that denies the speaker port");
    grant_and_beep();
    platform::nt::reset();
    expect_refused("after a kernel reset");
}

} // namespace
