// The Win32 declarations system code includes, one header per area under win32/.
#pragma once

#include "win32/types.h"
#include "win32/errors.h"
#include "win32/security.h"
#include "win32/files.h"
#include "win32/registry.h"
#include "win32/profile.h"
#include "win32/dialogs.h"
