// The kernel's memory blocks: pool, non-cached and contiguous memory and internal blocks that
// drivers must free (memory descriptor lists, work items). Every block remembers the image that
// allocated it, so an unloading driver's leaks are reported by tag.
#pragma once

#include "nt/mm.h"
#include "platform/nt_kernel.h"

#include <cstddef>
#include <vector>

namespace tolm_nt {

enum class BlockKind { Pool, NonCached, Contiguous };

// Null on failure (or an injected fault). Non-paged blocks are physical memory of the machine.
void* allocate_block(BlockKind kind, POOL_TYPE type, SIZE_T bytes, ULONG tag, void* module);
// Frees a block of `kind`; a wrong pointer, kind or tag (when `check_tag`) is a bug check.
void free_block(BlockKind kind, void* p, ULONG tag, bool check_tag, const char* routine);

// True when any byte of [address, address + length) is kernel memory: a pool block (paged or
// not, with the rest of a shared pool page), non-cached or contiguous memory.
bool is_kernel_memory(const void* address, std::size_t length);

// Blocks of `module`, by tag; `release` frees them afterwards.
std::vector<platform::nt::PoolUsage> blocks_of(void* module, bool release);

} // namespace tolm_nt
