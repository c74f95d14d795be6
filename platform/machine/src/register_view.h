// Guarded host views of register windows: the pages are inaccessible, and the fault handler
// decodes the faulting instruction, performs the access through the machine and resumes after
// it. This lets code that dereferences a mapped register window reach the register handlers.
#pragma once

#include <cstddef>

#include "machine/types.h"

namespace machine {

class Machine;

// Creates a view of `length` bytes whose first byte is physical address `phys` (page-aligned).
// Returns nullptr when views are not supported or none is free.
void* create_register_view(Machine& machine, PhysAddr phys, std::size_t length);
// Removes a view (by any address inside it); true when it was one.
bool remove_register_view(void* address);
// Removes every view of `machine`.
void remove_register_views(Machine& machine);

} // namespace machine
