// The records of one loaded copy of the capture driver: the driver name, the device instance that
// its three channels share, the stream record of the open kernel device, and the process-wide
// state of the copy. Copies loaded into one process are separate modules and share nothing.
#pragma once

#include "vfw.h"
#include "win32/gdi.h"
#include "win32/files.h"
#include "win32/winsvc.h"

#include "tarvo/tarvo_ioctl.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tarvovfw {

// Channel identifiers: the channel flags of the open parameters.
inline constexpr DWORD kExternalIn = VIDEO_EXTERNALIN;
inline constexpr DWORD kExternalOut = VIDEO_EXTERNALOUT;
inline constexpr DWORD kVideoIn = VIDEO_IN;
// The identifier of an open without open parameters.
inline constexpr DWORD kConfigurationOpen = 9999;

inline constexpr int kRequestSlots = 20;
inline constexpr DWORD kTranslationTableSize = 32768;

struct DriverNameRecord {
    SC_HANDLE manager = nullptr; // opened by DRV_QUERYCONFIGURE / DRV_REMOVE, closed at DRV_FREE
    const char* name = nullptr;  // "Tarvo": device name, settings key, service name
};

// What DVM_STREAM_INIT handed over for the callbacks.
struct StreamCallback {
    DWORD_PTR callback = 0;
    DWORD flags = 0;
    DWORD_PTR video = 0;
    DWORD_PTR instance = 0;
};

struct StreamRecord;

struct DevicePalette {
    WORD version = 0;
    WORD entries = 0;
    PALETTEENTRY entry[256] = {};
};

struct DeviceInstance {
    StreamRecord* stream = nullptr;
    std::int32_t external_in_open = 0;
    std::int32_t external_out_open = 0;
    std::int32_t video_in_open = 0;
    std::int32_t references = 0;
    RECT destination{};
    RECT source{};
    HBRUSH key_brush = nullptr; // the overlay key brush of DVM_UPDATE, made on first use
    StreamCallback callback;
    TARVO_FORMAT format{};
    TARVO_SOURCE source_record{};
    TARVO_COLOR colour{};
    BITMAPINFOHEADER current{};
    DevicePalette palette;
    DriverNameRecord* name = nullptr;
    std::int32_t device = 0;
    std::int32_t index = 0;
    std::uintptr_t register_window = 0;
    TARVO_BOARD_INFO* board = nullptr;
};

// The open kernel device and its streaming state. Everything below the command fields is touched
// only on the worker thread.
struct StreamRecord {
    HANDLE device = INVALID_HANDLE_VALUE;
    StreamCallback* callback = nullptr;
    std::atomic<DWORD> worker_id{0};
    HANDLE worker = nullptr;
    int command = 6;
    DWORD_PTR argument = 0; // a VIDEOHDR pointer, or the microseconds per frame at start
    DWORD_PTR result = 0;
    HANDLE command_event = nullptr;
    HANDLE reply_event = nullptr;
    // Callers of the stream commands from other threads take turns here.
    std::mutex command_lock;

    HANDLE request_events[kRequestSlots] = {};
    LPVIDEOHDR pending[kRequestSlots] = {};
    int outstanding = 0;
    int stopped = 1;
    int skipped = 0;
    OVERLAPPED requests[kRequestSlots] = {};
    LPVIDEOHDR head = nullptr;
    LPVIDEOHDR tail = nullptr;
    bool filling = false; // a fill loop runs; a nested fill leaves the work to it
};

// Process-wide state of this copy.
struct CopyState {
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    int device = 0;
    int index = 0;
    DriverNameRecord* name = nullptr;
    DeviceInstance* instance = nullptr;
    std::uintptr_t register_window = 0;
    TARVO_BOARD_INFO board{};
    bool help = false;      // "Help" of the per-user settings
    DWORD stream_start = 0; // tick of the last successful stream initialisation
};

CopyState& copy();

} // namespace tarvovfw
