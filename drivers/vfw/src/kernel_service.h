// The kernel driver's service: made to exist and run before a channel opens, checked and removed
// for the installable-driver messages.
#pragma once

#include "driver_state.h"

namespace tarvovfw {

// True when the service runs; shows a message box for every failure.
bool ensure_kernel_service();
// DRV_QUERYCONFIGURE: 1 or 0. Keeps the manager handle in the name record.
LRESULT check_kernel_service(DriverNameRecord& name);
// DRV_REMOVE: stops and deletes the service; 1 or 0.
LRESULT remove_kernel_service(DriverNameRecord& name);

} // namespace tarvovfw
