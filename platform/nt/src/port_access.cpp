// The process's port grant: the machine serves the process's port I/O only while the kernel
// grants it; every other access is a fault the machine records.
#include "kernel.h"

#include "machine/machine.h"

namespace tolm_nt {

void set_process_port_access(bool granted) {
    if (machine::Machine* m = machine::current_machine()) {
        m->set_io_granted(granted);
    }
}

} // namespace tolm_nt
