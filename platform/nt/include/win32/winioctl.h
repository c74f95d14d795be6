// Device I/O control codes for user-mode senders: CTL_CODE, the transfer methods and access.
#pragma once

#include "nt/ctl_code.h"
