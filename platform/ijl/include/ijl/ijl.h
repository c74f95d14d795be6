// Interface of the JPEG encoder library the station encodes frames with: initialise the
// core-properties record, describe the source bitmap and the JPEG wanted in it, write the whole
// image into a memory buffer, free the record. Declared here from what the station uses.
#pragma once

#include "win32/types.h"

extern "C" {

// Results: 0 done, negative on failure.
enum IJLERR : int {
    IJL_OK = 0,
    IJL_INVALID_ARGUMENT = -1,
    IJL_NOT_INITIALISED = -2,
    IJL_UNSUPPORTED_IOTYPE = -3,
    IJL_UNSUPPORTED_FORMAT = -4,
    IJL_BUFFER_TOO_SMALL = -5,
    IJL_ENCODER_ERROR = -6,
};

enum IJL_COLOR : int {
    IJL_COLOR_UNKNOWN = 0,
    IJL_RGB = 1,
    IJL_BGR = 2,
    IJL_YCBCR = 3,
    IJL_G = 4,
};

// Sampling of the chroma planes: none (all 1x1), 4:1:1 (luma 2x2 per chroma sample), 4:2:2
// (luma 2x1). A 4:2:2 source bitmap of 3 channels is packed Y0 U Y1 V, two bytes a pixel.
enum IJL_JPGSUBSAMPLING : int {
    IJL_NONE = 0,
    IJL_411 = 1,
    IJL_422 = 2,
};

// The only operation the station uses: the whole image into the JPGBytes buffer.
constexpr int IJL_JBUFF_WRITEWHOLEIMAGE = 9;

// Core properties. Source side (DIB): rows of DIBWidth pixels, DIBPadBytes after each row; a
// negative DIBHeight means the buffer holds the bottom row first (the JPEG comes out upright).
// JPEG side: JPGFile must be null (memory output only); JPGBytes has JPGSizeBytes of room, and
// after a successful ijlWrite JPGSizeBytes holds the stream's length. Nothing is written past
// the room: a stream that does not fit fails with IJL_BUFFER_TOO_SMALL.
struct IJL_CORE_PROPERTIES {
    BYTE* DIBBytes;
    DWORD DIBWidth;
    LONG DIBHeight;
    DWORD DIBPadBytes;
    DWORD DIBChannels;
    INT DIBColor;
    INT DIBSubsampling;

    const char* JPGFile;
    BYTE* JPGBytes;
    DWORD JPGSizeBytes;
    DWORD JPGWidth;
    DWORD JPGHeight;
    DWORD JPGChannels;
    INT JPGColor;
    INT JPGSubsampling;

    INT jquality;

    // Library state between ijlInit and ijlFree.
    void* internal;
};

int ijlInit(IJL_CORE_PROPERTIES* props);
int ijlWrite(IJL_CORE_PROPERTIES* props, int iotype);
int ijlFree(IJL_CORE_PROPERTIES* props);

} // extern "C"
