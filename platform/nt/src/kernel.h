// Internal plumbing shared by the kernel stand-in's parts.
#pragma once

#include "nt/ntstatus.h"
#include "nt/io.h"
#include "platform/nt_kernel.h"

#include <string>
#include <string_view>

namespace machine {
class Machine;
}

namespace tolm_nt {

machine::Machine& hw();

// Sets the process's port grant on its machine, if one exists (the machine serves the process's
// port I/O only while granted and records any other access as a fault).
void set_process_port_access(bool granted);

// Interrupt request level of the calling thread.
KIRQL irql();
void set_irql(KIRQL level);
// Bug check unless the caller runs at or below / at or above `level`.
void require_irql_at_most(KIRQL level, const char* routine);
void require_irql_at_least(KIRQL level, const char* routine);

[[noreturn]] void bug_check(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4,
                            const std::string& what);

// Spin-lock word operations without level changes (the interrupt lock is taken at device level).
void lock_word(PKSPIN_LOCK lock, const char* routine);
void unlock_word(PKSPIN_LOCK lock, const char* routine);

// Spin locks (an interrupt's synchronisation included) are for a few instructions: a thread that
// sees a millisecond pass while it holds one (reading the time, stalling) is busy-waiting under
// it. The time the thread saw and its stalls count; a lock hold that reached the bound is a bug
// check once the outermost lock is released and the level restored (report_long_hold).
void note_time_seen(ULONGLONG tick);
void note_stall(ULONG microseconds);
void report_long_hold();

// Base address of the loaded image that holds `address` (null when none).
void* module_of(const void* address);

// True (with the status to fail with) when an injected fault fires for this call.
bool fault_fires(platform::nt::Fault fault, NTSTATUS& status);

// Counted wide strings <-> narrow (names are ASCII).
std::string narrow(PCUNICODE_STRING s);
std::string narrow(const WCHAR* s, std::size_t chars);
std::u16string widen(std::string_view s);
std::string lower(std::string_view s);

// True when [address, address + length) is mapped readable (and writable when `write`) in this
// process. Register views are reserved inaccessible, so they fail.
bool range_accessible(const void* address, std::size_t length, bool write);

// Copies between this process's user buffers and kernel memory; false (nothing or part copied)
// when the user range is not readable / writable. Cheap enough for every request.
// This process's id, read once (and again in a forked child).
int own_pid();
bool copy_from_user(void* kernel, const void* user, std::size_t length);
bool copy_to_user(void* user, const void* kernel, std::size_t length);

// Interrupts pended on this thread while its level masked them run when the level drops.
void run_masked_interrupts();

// References that keep a deleted device object's memory until queued work on it is done.
void take_device_reference(PDEVICE_OBJECT device);
void release_device_reference(PDEVICE_OBJECT device);

// Interrupts a module left connected; they are disconnected.
std::size_t disconnect_interrupts_of(void* module);

// Slot resource claims of a driver; they are released.
std::size_t release_claims_of(PDRIVER_OBJECT driver);

// Deferred calls queued by a module (for the unload report); they are dropped.
std::size_t drop_deferred_of(void* module);
// True while a deferred call (DPC or work item) of `module` runs on some thread.
bool deferred_running_of(void* module);

// Kernel handles a module opened (sections, registry keys); close_handles_of closes the ones it
// left open and returns their count.
void note_handle(HANDLE handle, void* module);
void forget_handle(HANDLE handle);
std::size_t close_handles_of(void* module);

// Mappings a module made (register windows, section views); removes the ones it left.
std::size_t unmap_mappings_of(void* module);

} // namespace tolm_nt
