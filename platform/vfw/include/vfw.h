// The video-for-windows subset of this platform: one include for system code.
#pragma once

#include "win32/types.h"

#include "win32/gdi_types.h"
#include "win32/window.h"
#include "mmsystem.h"
#include "msvideo.h"
#include "vfw/capture.h"
#include "vfw/drawdib.h"
