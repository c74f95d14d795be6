#include "channels.h"

#include "capture_formats.h"
#include "device_requests.h"
#include "global_record.h"
#include "kernel_service.h"
#include "stream_engine.h"
#include "user_settings.h"

namespace tarvovfw {
namespace {

std::int32_t* open_flag(DeviceInstance& in, DWORD channel) {
    switch (channel) {
    case kExternalIn:
        return &in.external_in_open;
    case kExternalOut:
        return &in.external_out_open;
    case kVideoIn:
        return &in.video_in_open;
    default:
        return nullptr;
    }
}

// "BoardInfo": non-zero (the instance's address) while all three channels are open. The value
// is a 32-bit word; an address whose low half is 0 is written as 1.
void write_board_info(const DeviceInstance& in, const DeviceInstance* value) {
    DWORD data = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(value));
    if (value != nullptr && data == 0) {
        data = 1;
    }
    write_driver_setting(*in.name, "BoardInfo", data, in.index);
}

// Frees an instance and everything it holds, closing the kernel device (which ends a stream).
void destroy_instance(DeviceInstance* in) {
    close_kernel_device(in->stream);
    free_translation_table(*in);
    if (in->key_brush != nullptr) {
        DeleteObject(in->key_brush);
    }
    global_delete(in);
}

void release_device_instance() {
    CopyState& c = copy();
    DeviceInstance* in = c.instance;
    if (--in->references > 0) {
        return;
    }
    c.instance = nullptr;
    write_board_info(*in, nullptr);
    // The window is the kernel device's view: it goes with the device.
    c.register_window = 0;
    destroy_instance(in);
}

// Makes the instance with its kernel device; on any failure everything made is released again.
DeviceInstance* make_instance(DriverNameRecord& name, int device, DWORD& error) {
    CopyState& c = copy();
    StreamRecord* stream = open_kernel_device(name.name, device);
    if (stream == nullptr) {
        error = DV_ERR_NOTDETECTED;
        return nullptr;
    }
    auto* in = global_new<DeviceInstance>();
    if (in == nullptr) {
        close_kernel_device(stream);
        error = DV_ERR_NOMEM;
        return nullptr;
    }
    in->stream = stream;
    in->references = 1;
    in->format.size = sizeof(TARVO_FORMAT);
    in->source_record.size = sizeof(TARVO_SOURCE);
    in->colour.size = sizeof(TARVO_COLOR);
    in->device = device;
    in->name = &name;
    in->index = c.index;
    in->register_window = map_register_window(stream->device);
    if (in->register_window == 0) {
        destroy_instance(in);
        return nullptr;
    }
    c.register_window = in->register_window;
    set_initial_palette(*in);
    apply_device_settings(*in);
    return in;
}

} // namespace

LRESULT open_capture_channel(DriverNameRecord& name, VIDEO_OPEN_PARMS& parms, int device) {
    CopyState& c = copy();
    parms.dwError = DV_ERR_OK;
    if (!ensure_kernel_service()) {
        return 0;
    }
    if (c.instance != nullptr) {
        c.instance->references++;
    } else {
        DWORD error = DV_ERR_OK;
        c.instance = make_instance(name, device, error);
        if (c.instance == nullptr) {
            parms.dwError = error;
            return 0;
        }
    }
    DeviceInstance& in = *c.instance;
    read_pci_config(in.stream->device, c.board);
    in.board = &c.board;
    const DWORD channel = parms.dwFlags & 0xF;
    std::int32_t* flag = open_flag(in, channel);
    if (flag == nullptr || *flag != 0) {
        release_device_instance();
        return 0;
    }
    *flag = 1;
    if (in.external_in_open && in.external_out_open && in.video_in_open) {
        write_board_info(in, &in);
    }
    return channel;
}

LRESULT release_channel(DWORD channel) {
    DeviceInstance* in = copy().instance;
    if (in == nullptr) {
        return 0;
    }
    std::int32_t* flag = open_flag(*in, channel);
    if (flag == nullptr || *flag == 0) {
        return 0;
    }
    *flag = 0;
    release_device_instance();
    return 1;
}

} // namespace tarvovfw
