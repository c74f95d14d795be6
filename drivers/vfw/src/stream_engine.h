// The open kernel device of a copy and its streaming engine: one worker thread per initialised
// video-in stream owns the request slots and the header queue; other threads hand it one command
// at a time.
#pragma once

#include "driver_state.h"

namespace tarvovfw {

// Opens "\\.\<name>Device<number>" for synchronous I/O with its command and reply events; null
// on any failure.
StreamRecord* open_kernel_device(const char* name, int number);
// Ends a running stream as DVM_STREAM_FINI does, closes the device and frees the record.
void close_kernel_device(StreamRecord* record);

// The stream messages of the video-in channel (DV_ERR_ results).
LRESULT video_stream_message(DeviceInstance& instance, UINT message, LPARAM p1, LPARAM p2);
// DVM_FRAME.
LRESULT capture_single_frame(StreamRecord& record, LPVIDEOHDR header);

} // namespace tarvovfw
