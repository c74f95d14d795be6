// The video-for-windows subset of this platform: one include for system code.
#pragma once

#include "win32/types.h"

#include "vfw/gdi_types.h"
#include "vfw/window_messages.h"
#include "mmsystem.h"
#include "msvideo.h"
#include "vfw/capture.h"
#include "vfw/drawdib.h"
