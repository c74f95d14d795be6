// The Win32 subset of this platform: one include for system code.
#pragma once

#include "win32/types.h"
#include "win32/errors.h"
#include "win32/security.h"
#include "win32/handleapi.h"
#include "win32/synch.h"
#include "win32/threads.h"
#include "win32/sysinfo.h"
#include "win32/timeapi.h"
#include "win32/modules.h"
#include "win32/version.h"
#include "win32/resources.h"
#include "win32/files.h"
#include "win32/registry.h"
#include "win32/profile.h"
#include "win32/dialogs.h"
