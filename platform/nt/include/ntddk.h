// Kernel-mode interface for drivers hosted by the NT stand-in.
#pragma once

#include "nt/ntdef.h"
#include "nt/ntstatus.h"
#include "nt/ctl_code.h"
#include "nt/ke.h"
#include "nt/mm.h"
#include "nt/io.h"
#include "nt/hal.h"
#include "nt/zw.h"
#include "nt/rtl.h"
#include "nt/seh.h"
