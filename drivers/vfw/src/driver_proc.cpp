// The copy's export DriverProc (with the entry point DllMain): start-up, channel open and close,
// and the routing of the capture messages to the channel that may answer them.
#include "capture_formats.h"
#include "channels.h"
#include "device_requests.h"
#include "driver_dialogs.h"
#include "global_record.h"
#include "kernel_service.h"
#include "stream_engine.h"
#include "user_settings.h"

#include "win32/modules.h"
#include "win32/resources.h"
#include "win32/version.h"

#include <cstring>
#include <vector>

namespace tarvovfw {
namespace {

constexpr DWORD kVcap = mmioFOURCC('v', 'c', 'a', 'p');

// The digit that ends the copy's file description; 0 when it cannot be read or is no digit.
int read_device_number(const char* path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) {
        return 0;
    }
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoA(path, handle, size, block.data())) {
        return 0;
    }
    LPVOID text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\FileDescription", &text,
                        &length) ||
        text == nullptr) {
        return 0;
    }
    const std::size_t n = strnlen(static_cast<const char*>(text), length);
    if (n == 0) {
        return 0;
    }
    const int digit = static_cast<const char*>(text)[n - 1] - '0';
    return digit >= 0 && digit <= 9 ? digit : 0;
}

// The capture-layer slot whose registered description ends in the device digit; 0 when none.
int find_driver_index(int device) {
    for (UINT i = 0; i < 10; ++i) {
        char name[100] = {}, version[100] = {};
        if (!capGetDriverDescriptionA(i, name, sizeof name, version, sizeof version)) {
            continue;
        }
        const std::size_t n = strnlen(name, sizeof name);
        if (n > 0 && name[n - 1] == '0' + device) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

LRESULT load(HDRVR driver) {
    CopyState& c = copy();
    if (c.module == nullptr) {
        c.module = GetDriverModuleHandle(driver);
    }
    GetModuleFileNameA(c.module, c.path, sizeof c.path);
    c.device = read_device_number(c.path);
    if (c.name == nullptr) {
        c.name = global_new<DriverNameRecord>();
        if (c.name != nullptr) {
            c.name->name = TARVO_SERVICE_NAME;
        }
    }
    c.index = find_driver_index(c.device);
    return c.name != nullptr ? 1 : 0;
}

LRESULT free_driver() {
    CopyState& c = copy();
    if (c.name != nullptr) {
        if (c.name->manager != nullptr) {
            CloseServiceHandle(c.name->manager);
        }
        global_delete(c.name);
        c.name = nullptr;
    }
    return 1;
}

LRESULT error_text(LPARAM p1) {
    auto* parms = reinterpret_cast<VIDEO_GETERRORTEXT_PARMS*>(p1);
    if (parms == nullptr || parms->lpText == nullptr || parms->dwLength == 0) {
        return DV_ERR_PARAM1;
    }
    const int n = LoadStringA(copy().module, parms->dwErrorNo, parms->lpText,
                              static_cast<int>(parms->dwLength));
    return n > 0 ? DV_ERR_OK : DV_ERR_PARAM1;
}

LRESULT channel_caps(DeviceInstance& in, DWORD channel, LPARAM p1) {
    auto* caps = reinterpret_cast<CHANNEL_CAPS*>(p1);
    if (caps == nullptr) {
        return DV_ERR_PARAM1;
    }
    caps->dwFlags = 0;
    const auto set_moduli = [&](DWORD sx, DWORD sy, DWORD sw, DWORD sh) {
        caps->dwSrcRectXMod = sx;
        caps->dwSrcRectYMod = sy;
        caps->dwSrcRectWidthMod = sw;
        caps->dwSrcRectHeightMod = sh;
        caps->dwDstRectXMod = 4;
        caps->dwDstRectYMod = 2;
        caps->dwDstRectWidthMod = 40;
        caps->dwDstRectHeightMod = 30;
    };
    switch (channel) {
    case kExternalIn:
        caps->dwFlags = VCAPS_CAN_SCALE;
        set_moduli(1, 1, 1, 1);
        return DV_ERR_OK;
    case kExternalOut:
        if (get_overlay_mode(in.stream->device) == 0) {
            return DV_ERR_NOTSUPPORTED;
        }
        caps->dwFlags = VCAPS_OVERLAY;
        set_moduli(4, 2, 40, 30);
        return DV_ERR_OK;
    case kVideoIn:
        set_moduli(4, 2, 40, 30);
        return DV_ERR_OK;
    default:
        return DV_ERR_NOTSUPPORTED;
    }
}

// The overlay key colour the chip's overlay mode asks for, chosen at the first DVM_UPDATE.
COLORREF choose_key_colour(HANDLE device) {
    const DWORD mode = get_overlay_mode(device);
    const bool index_bit = (mode & 2) != 0, rgb_bit = (mode & 4) != 0;
    if (index_bit && rgb_bit) {
        return get_key(device) & 0x00FFFFFF;
    }
    if (index_bit) {
        return PALETTEINDEX(get_key(device) & 0xFFFF);
    }
    if (rgb_bit) {
        set_key_rgb(device, 127, 0, 127);
        return RGB(127, 0, 127);
    }
    set_key_index(device, 5);
    return PALETTEINDEX(5);
}

// DVM_UPDATE: fills the destination rectangle (screen coordinates) of the overlay with the key
// brush, in the client coordinates of `window`, into `dc`; the brush is made on first use.
LRESULT update_overlay(DeviceInstance& in, HWND window, HDC dc) {
    if (in.key_brush == nullptr) {
        in.key_brush = CreateSolidBrush(choose_key_colour(in.stream->device));
    }
    POINT corners[2] = {{in.destination.left, in.destination.top},
                        {in.destination.right, in.destination.bottom}};
    ScreenToClient(window, &corners[0]);
    ScreenToClient(window, &corners[1]);
    const HGDIOBJ old = SelectObject(dc, in.key_brush);
    PatBlt(dc, corners[0].x, corners[0].y, corners[1].x - corners[0].x, corners[1].y - corners[0].y,
           PATCOPY);
    if (old != nullptr) {
        SelectObject(dc, old);
    }
    return DV_ERR_OK;
}

LRESULT outer_stream_message(DeviceInstance& in, DWORD channel, UINT message) {
    const HANDLE device = in.stream->device;
    if (message == DVM_STREAM_INIT || message == DVM_STREAM_FINI) {
        const bool on = message == DVM_STREAM_INIT;
        channel == kExternalIn ? external_in(device, on) : overlay(device, on);
        return DV_ERR_OK;
    }
    return DV_ERR_NOTSUPPORTED;
}

LRESULT dvm_dispatch(DWORD channel, UINT message, LPARAM p1, LPARAM p2) {
    DeviceInstance* in = copy().instance;
    if (in == nullptr) {
        return DV_ERR_NOTSUPPORTED;
    }
    switch (message) {
    case DVM_PALETTE:
    case DVM_FORMAT:
    case DVM_PALETTERGB555:
        if (channel != kVideoIn) {
            return DV_ERR_NOTSUPPORTED;
        }
        return configure_message(*in, message, p1, p2);
    case DVM_SRC_RECT:
    case DVM_DST_RECT:
        return rectangle_message(*in, channel, message, p1, p2);
    case DVM_GETERRORTEXT:
        return error_text(p1);
    case DVM_DIALOG:
        return show_settings_dialog(*in, channel, reinterpret_cast<HWND>(p1),
                                    static_cast<DWORD>(p2));
    case DVM_CONFIGURESTORAGE:
        return configure_storage(*in, reinterpret_cast<LPCSTR>(p1), static_cast<DWORD>(p2));
    case DVM_GET_CHANNEL_CAPS:
        return channel_caps(*in, channel, p1);
    case DVM_UPDATE:
        return channel == kExternalOut
                   ? update_overlay(*in, reinterpret_cast<HWND>(p1), reinterpret_cast<HDC>(p2))
                   : DV_ERR_NOTSUPPORTED;
    case DVM_FRAME:
        return channel == kVideoIn
                   ? capture_single_frame(*in->stream, reinterpret_cast<LPVIDEOHDR>(p1))
                   : DV_ERR_NOTSUPPORTED;
    default:
        break;
    }
    if (message >= DVM_STREAM_MSG_START && message <= DVM_STREAM_MSG_END) {
        switch (channel) {
        case kVideoIn:
            return video_stream_message(*in, message, p1, p2);
        case kExternalIn:
        case kExternalOut:
            return outer_stream_message(*in, channel, message);
        default:
            return DV_ERR_NOTSUPPORTED;
        }
    }
    return DV_ERR_NOTSUPPORTED;
}

} // namespace
} // namespace tarvovfw

using namespace tarvovfw;

extern "C" __attribute__((visibility("default"))) LRESULT CALLBACK
DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM p1, LPARAM p2) {
    switch (message) {
    case DRV_LOAD:
        return load(driver);
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_CONFIGURE:
    case DRV_INSTALL:
        return 1;
    case DRV_OPEN: {
        if (p2 == 0) {
            return kConfigurationOpen;
        }
        auto& parms = *reinterpret_cast<VIDEO_OPEN_PARMS*>(p2);
        if (parms.fccType != kVcap || copy().name == nullptr) {
            return 0;
        }
        return open_capture_channel(*copy().name, parms, copy().device);
    }
    case DRV_CLOSE:
        if (id == 0 || id == kConfigurationOpen) {
            return 1;
        }
        return release_channel(static_cast<DWORD>(id));
    case DRV_FREE:
        return free_driver();
    case DRV_QUERYCONFIGURE:
        return copy().name != nullptr ? check_kernel_service(*copy().name) : 0;
    case DRV_REMOVE:
        return copy().name != nullptr ? remove_kernel_service(*copy().name) : 0;
    case DVM_GETVIDEOAPIVER:
        if (p1 == 0) {
            return DV_ERR_PARAM1;
        }
        *reinterpret_cast<DWORD*>(p1) = VIDEOAPIVERSION;
        return DV_ERR_OK;
    default:
        break;
    }
    if (id == 0 || id == kConfigurationOpen) {
        return DefDriverProc(id, driver, message, p1, p2);
    }
    return dvm_dispatch(static_cast<DWORD>(id), message, p1, p2);
}

// The module's entry point: thread attach and detach notifications are turned off when the
// process attaches; every notification is accepted.
extern "C" __attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE instance,
                                                                      DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
