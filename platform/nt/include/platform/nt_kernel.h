// Controls of the NT kernel stand-in for tests and the other stand-ins: boot and reset, deferred
// calls, bug checks, unload reports (pool leaks by tag), fault injection.
#pragma once

#include "nt/ntstatus.h"

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform::nt {

// Starts the automatic-start kernel services once per process (the first device open or
// service-manager open does this too).
void boot();
bool booted();
// Stops every loaded driver (DriverUnload and its unload report), withdraws the process's port
// access and forgets the boot, so the next touch boots again. Tests call it between cases.
void reset();
// Sends IRP_MJ_SHUTDOWN to every device registered for shutdown notification.
void system_shutdown();

// Deferred procedure calls and work items run on kernel threads (Thread), only when a test drains
// them (Manual), on threads while the machine runs free and drained otherwise (Auto, default), or
// on the interrupt's thread right after each round of interrupt handlers, as a processor runs
// them when it leaves the interrupt (AfterInterrupts; other queued calls wait for a drain).
enum class DeferredMode { Auto, Thread, Manual, AfterInterrupts };
void set_deferred_mode(DeferredMode mode);
// Runs queued DPCs and work items in the calling thread until none is left; returns how many ran.
std::size_t drain_deferred();
std::size_t queued_deferred();
// DPCs and work items running at this moment (on any thread).
std::size_t running_deferred();

// A driver fault the kernel caught. The default handler prints it and aborts the process, as a
// stop screen would; a test installs a handler that throws to assert on it.
struct BugCheck : std::runtime_error {
    BugCheck(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4,
             const std::string& what);
    ULONG code;
    ULONG_PTR parameters[4];
};
using BugCheckHandler = std::function<void(const BugCheck&)>;
// An empty handler restores the default.
void set_bugcheck_handler(BugCheckHandler handler);
// A handler that throws the BugCheck (for EXPECT_THROW).
void throw_on_bugcheck();

// Pool blocks by tag.
struct PoolUsage {
    ULONG tag = 0;
    std::size_t blocks = 0;
    std::size_t bytes = 0;
};
// What a driver left behind when it was unloaded (all of it is released after the report).
struct UnloadReport {
    std::string service;
    std::vector<PoolUsage> leaked_pool; // by tag, in tag order
    std::size_t devices_left = 0;
    std::size_t links_left = 0;
    std::size_t interrupts_left = 0;
    std::size_t deferred_left = 0;  // DPCs or work items still queued
    std::size_t resources_left = 0; // slot resource claims not released
    std::size_t handles_left = 0;   // kernel handles (sections, keys) not closed
    std::size_t mappings_left = 0;  // register windows and section views not unmapped
    bool clean() const {
        return leaked_pool.empty() && devices_left == 0 && links_left == 0 &&
               interrupts_left == 0 && deferred_left == 0 && resources_left == 0 &&
               handles_left == 0 && mappings_left == 0;
    }
};
std::vector<UnloadReport> unload_reports();
void clear_unload_reports();
// Blocks currently allocated by loaded modules and tests, by tag.
std::vector<PoolUsage> pool_usage();
// "Ddk " for 0x206B6444.
std::string tag_text(ULONG tag);

// Fault injection: the next `count` calls (after `skip` successful ones) fail with `status`.
enum class Fault {
    PoolAllocation,      // ExAllocatePool*, MmAllocateNonCached/ContiguousMemory: null
    AssignSlotResources, // HalAssignSlotResources: status
    TranslateBusAddress, // HalTranslateBusAddress: FALSE
    InterruptVector,     // HalGetInterruptVector: 0
    ConnectInterrupt,    // IoConnectInterrupt: status
    MapIoSpace,          // MmMapIoSpace: null
    MapViewOfSection,    // ZwMapViewOfSection: status
};
void inject_fault(Fault fault, NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES, unsigned skip = 0,
                  unsigned count = 1);
void clear_injected_faults();

} // namespace platform::nt
