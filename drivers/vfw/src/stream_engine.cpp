#include "stream_engine.h"

#include "device_requests.h"
#include "global_record.h"

#include "win32/devio.h"
#include "win32/errors.h"
#include "win32/handleapi.h"
#include "win32/synch.h"
#include "win32/threads.h"
#include "win32/sysinfo.h"
#include "win32/timeapi.h"

#include <cstdio>

namespace tarvovfw {
namespace {

enum Command { kAddBuffer, kGetError, kReset, kEnd, kStart, kStop, kNone };

void notify(StreamRecord& s, UINT message, DWORD_PTR parameter) {
    const StreamCallback& c = *s.callback;
    DriverCallback(c.callback, HIWORD(c.flags), reinterpret_cast<HDRVR>(c.video), message,
                   c.instance, parameter, 0);
}

void push_tail(StreamRecord& s, LPVIDEOHDR h) {
    h->dwReserved[0] = 0;
    if (s.tail != nullptr) {
        s.tail->dwReserved[0] = reinterpret_cast<DWORD_PTR>(h);
    } else {
        s.head = h;
    }
    s.tail = h;
}

void push_head(StreamRecord& s, LPVIDEOHDR h) {
    h->dwReserved[0] = reinterpret_cast<DWORD_PTR>(s.head);
    s.head = h;
    if (s.tail == nullptr) {
        s.tail = h;
    }
}

LPVIDEOHDR pop_head(StreamRecord& s) {
    LPVIDEOHDR h = s.head;
    if (h != nullptr) {
        s.head = reinterpret_cast<LPVIDEOHDR>(h->dwReserved[0]);
        if (s.head == nullptr) {
            s.tail = nullptr;
        }
        h->dwReserved[0] = 0;
    }
    return h;
}

void return_queued_headers(StreamRecord& s) {
    while (LPVIDEOHDR h = pop_head(s)) {
        h->dwFlags |= VHDR_DONE;
        notify(s, MM_DRVM_DATA, reinterpret_cast<DWORD_PTR>(h));
    }
}

// Takes the finished request of slot i. A header that comes back while the stream is stopped
// goes to the queue head, so the next start sends it again and a reset returns it.
void finish_slot(StreamRecord& s, int i) {
    ResetEvent(s.request_events[i]);
    LPVIDEOHDR h = s.pending[i];
    s.pending[i] = nullptr;
    if (h == nullptr) {
        return;
    }
    s.outstanding--;
    if (s.stopped) {
        push_head(s, h);
        return;
    }
    h->dwFlags |= VHDR_DONE | VHDR_KEYFRAME;
    if (h->dwReserved[2] == 0) {
        notify(s, MM_DRVM_DATA, reinterpret_cast<DWORD_PTR>(h));
    }
}

// Sends queued headers while slots are free. A loop, not a recursion: a header added from inside
// a callback of this loop is picked up by the loop itself.
void fill_next_buffers(StreamRecord& s) {
    if (s.filling) {
        return;
    }
    s.filling = true;
    while (!s.stopped && s.outstanding < kRequestSlots && s.head != nullptr) {
        int i = 0;
        while (s.pending[i] != nullptr) {
            ++i;
        }
        LPVIDEOHDR h = pop_head(s);
        s.outstanding++;
        s.pending[i] = h;
        s.requests[i] = OVERLAPPED{};
        s.requests[i].hEvent = s.request_events[i];
        DWORD bytes = 0;
        if (DeviceIoControl(s.device, IOCTL_TARVO_ADD_BUFFER, h, sizeof(VIDEOHDR), h,
                            sizeof(VIDEOHDR), &bytes, &s.requests[i])) {
            finish_slot(s, i);
        } else if (GetLastError() != ERROR_IO_PENDING) {
            s.pending[i] = nullptr;
            s.outstanding--;
            push_head(s, h); // tried again at the next add-buffer, completion or start
            break;
        }
    }
    s.filling = false;
}

void complete_slot(StreamRecord& s, int i) {
    finish_slot(s, i);
    fill_next_buffers(s);
}

DWORD_PTR stream_command(StreamRecord& s, int command, DWORD_PTR argument, bool& ended) {
    switch (command) {
    case kAddBuffer: {
        auto* h = reinterpret_cast<LPVIDEOHDR>(argument);
        h->dwTimeCaptured = GetTickCount() - copy().stream_start;
        push_tail(s, h);
        fill_next_buffers(s);
        return 1;
    }
    case kGetError: {
        const int total = s.skipped;
        s.skipped = 0;
        s.stopped = 0;
        return static_cast<DWORD_PTR>(total);
    }
    case kReset: {
        s.stopped = 1;
        const bool ok = send_simple(s.device, IOCTL_TARVO_STREAM_RESET);
        return_queued_headers(s);
        return ok;
    }
    case kEnd:
        send_simple(s.device, IOCTL_TARVO_STREAM_RESET);
        send_simple(s.device, IOCTL_TARVO_STREAM_FINI);
        return_queued_headers(s);
        ended = true;
        return 1;
    case kStart:
        s.stopped = 0;
        fill_next_buffers(s);
        return send_simple(s.device, IOCTL_TARVO_STREAM_START);
    case kStop:
        s.stopped = 1;
        return send_simple(s.device, IOCTL_TARVO_STREAM_STOP);
    default:
        return 0;
    }
}

DWORD WINAPI stream_worker(LPVOID parameter) {
    StreamRecord& s = *static_cast<StreamRecord*>(parameter);
    s.worker_id = GetCurrentThreadId(); // before any callback can send a message back
    bool events = true;
    for (int i = 0; i < kRequestSlots; ++i) {
        s.request_events[i] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        events = events && s.request_events[i] != nullptr;
        s.pending[i] = nullptr;
    }
    s.outstanding = 0;
    s.skipped = 0;
    s.head = s.tail = nullptr;
    DWORD period = static_cast<DWORD>(s.argument);
    DWORD bytes = 0;
    const bool initialised = events && DeviceIoControl(s.device, IOCTL_TARVO_STREAM_INIT, &period,
                                                       4, &period, 4, &bytes, nullptr) != FALSE;
    if (initialised) {
        copy().stream_start = GetTickCount();
    }
    s.result = initialised ? 1 : 0;
    s.stopped = 1;
    notify(s, MM_DRVM_OPEN, 0);
    SetEvent(s.reply_event);
    if (initialised) {
        HANDLE objects[kRequestSlots + 1];
        for (int i = 0; i < kRequestSlots; ++i) {
            objects[i] = s.request_events[i];
        }
        objects[kRequestSlots] = s.command_event;
        for (;;) {
            const DWORD w = WaitForMultipleObjects(kRequestSlots + 1, objects, FALSE, INFINITE);
            if (w < WAIT_OBJECT_0 + kRequestSlots) {
                complete_slot(s, static_cast<int>(w - WAIT_OBJECT_0));
                continue;
            }
            if (w != WAIT_OBJECT_0 + kRequestSlots) {
                break; // the wait itself failed: end the stream rather than spin
            }
            bool ended = false;
            s.result = stream_command(s, s.command, s.argument, ended);
            s.command = kNone;
            if (ended) {
                break;
            }
            SetEvent(s.reply_event);
        }
    }
    notify(s, MM_DRVM_CLOSE, 0);
    for (HANDLE& e : s.request_events) {
        if (e != nullptr) {
            CloseHandle(e);
            e = nullptr;
        }
    }
    return 0;
}

bool on_worker(const StreamRecord& s) {
    const DWORD id = s.worker_id.load();
    return id != 0 && id == GetCurrentThreadId();
}

// Hands a command to the worker and waits for its result; 0 when no stream runs.
DWORD_PTR send_stream_command(StreamRecord& s, int command, DWORD_PTR argument) {
    if (on_worker(s)) {
        bool ended = false;
        return stream_command(s, command, argument, ended);
    }
    std::lock_guard lock(s.command_lock);
    if (s.worker == nullptr) {
        return 0;
    }
    s.command = command;
    s.argument = argument;
    SetEvent(s.command_event);
    WaitForSingleObject(s.reply_event, INFINITE);
    return s.result;
}

// Ends the worker; false when none runs or when called on the worker itself.
bool end_stream(StreamRecord& s) {
    if (on_worker(s)) {
        return false;
    }
    std::lock_guard lock(s.command_lock);
    if (s.worker == nullptr) {
        return false;
    }
    s.command = kEnd;
    SetEvent(s.command_event);
    WaitForSingleObject(s.worker, INFINITE);
    CloseHandle(s.worker);
    s.worker = nullptr;
    s.worker_id = 0;
    return true;
}

LRESULT init_stream(DeviceInstance& instance, const VIDEO_STREAM_INIT_PARMS* parms) {
    StreamRecord& s = *instance.stream;
    if (on_worker(s)) {
        return DV_ERR_NONSPECIFIC;
    }
    std::lock_guard lock(s.command_lock);
    if (s.worker != nullptr) {
        return DV_ERR_NONSPECIFIC; // a stream runs already; it stays as it is
    }
    instance.callback.callback = parms->dwCallback;
    instance.callback.flags = parms->dwFlags;
    instance.callback.video = parms->hVideo;
    instance.callback.instance = parms->dwCallbackInst;
    s.callback = &instance.callback;
    s.argument = parms->dwMicroSecPerFrame;
    s.result = 0;
    ResetEvent(s.reply_event);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, stream_worker, &s, 0, &id);
    if (thread == nullptr) {
        return DV_ERR_NONSPECIFIC;
    }
    s.worker = thread;
    s.worker_id = id;
    WaitForSingleObject(s.reply_event, INFINITE);
    if (s.result == 1) {
        return DV_ERR_OK;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    s.worker = nullptr;
    s.worker_id = 0;
    return DV_ERR_NONSPECIFIC;
}

LRESULT result_of(DWORD_PTR done) {
    return done ? DV_ERR_OK : DV_ERR_NONSPECIFIC;
}

} // namespace

StreamRecord* open_kernel_device(const char* name, int number) {
    char path[64];
    std::snprintf(path, sizeof path, "\\\\.\\%sDevice%d", name, number);
    auto* s = global_new<StreamRecord>();
    if (s == nullptr) {
        return nullptr;
    }
    s->device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    s->command_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    s->reply_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (s->device == INVALID_HANDLE_VALUE || s->command_event == nullptr ||
        s->reply_event == nullptr) {
        close_kernel_device(s);
        return nullptr;
    }
    s->command = kNone;
    return s;
}

void close_kernel_device(StreamRecord* s) {
    if (s == nullptr) {
        return;
    }
    end_stream(*s);
    if (s->device != INVALID_HANDLE_VALUE) {
        CloseHandle(s->device);
    }
    for (HANDLE e : {s->command_event, s->reply_event}) {
        if (e != nullptr) {
            CloseHandle(e);
        }
    }
    global_delete(s);
}

LRESULT video_stream_message(DeviceInstance& instance, UINT message, LPARAM p1, LPARAM p2) {
    StreamRecord& s = *instance.stream;
    switch (message) {
    case DVM_STREAM_ADDBUFFER:
        if (p1 == 0) {
            return DV_ERR_PARAM1;
        }
        return result_of(send_stream_command(s, kAddBuffer, static_cast<DWORD_PTR>(p1)));
    case DVM_STREAM_FINI:
        return end_stream(s) ? DV_ERR_OK : DV_ERR_NONSPECIFIC;
    case DVM_STREAM_GETERROR: {
        const DWORD_PTR count = send_stream_command(s, kGetError, 0);
        if (p1 != 0) {
            *reinterpret_cast<DWORD*>(p1) = count != 0 ? DV_ERR_NO_BUFFERS : DV_ERR_OK;
        }
        if (p2 != 0) {
            *reinterpret_cast<DWORD*>(p2) = static_cast<DWORD>(count);
        }
        return DV_ERR_OK;
    }
    case DVM_STREAM_GETPOSITION: {
        if (p2 != sizeof(MMTIME)) {
            return DV_ERR_NOTSUPPORTED;
        }
        if (p1 == 0) {
            return DV_ERR_PARAM1;
        }
        if (s.worker == nullptr) {
            return DV_ERR_NONSPECIFIC;
        }
        DWORD position = 0, bytes = 0;
        if (!DeviceIoControl(s.device, IOCTL_TARVO_GET_POSITION, nullptr, 0, &position,
                             sizeof position, &bytes, nullptr)) {
            return DV_ERR_NONSPECIFIC;
        }
        auto* time = reinterpret_cast<LPMMTIME>(p1);
        time->wType = TIME_MS;
        time->u.ms = position;
        return DV_ERR_OK;
    }
    case DVM_STREAM_INIT:
        if (p1 == 0) {
            return DV_ERR_PARAM1;
        }
        return init_stream(instance, reinterpret_cast<const VIDEO_STREAM_INIT_PARMS*>(p1));
    case DVM_STREAM_RESET:
        return result_of(send_stream_command(s, kReset, 0));
    case DVM_STREAM_START:
        return result_of(send_stream_command(s, kStart, 0));
    case DVM_STREAM_STOP:
        return result_of(send_stream_command(s, kStop, 0));
    default:
        return DV_ERR_NOTSUPPORTED;
    }
}

LRESULT capture_single_frame(StreamRecord& s, LPVIDEOHDR h) {
    if (h == nullptr) {
        return DV_ERR_PARAM1;
    }
    const bool streaming = s.worker != nullptr;
    DWORD bytes = 0;
    if (!streaming) {
        DWORD period = 30;
        if (!DeviceIoControl(s.device, IOCTL_TARVO_STREAM_INIT, &period, 4, &period, 4, &bytes,
                             nullptr)) {
            return DV_ERR_NONSPECIFIC;
        }
    }
    if (!send_simple(s.device, IOCTL_TARVO_STREAM_START)) {
        send_simple(s.device, IOCTL_TARVO_STREAM_FINI);
        return DV_ERR_NONSPECIFIC;
    }
    bool taken = DeviceIoControl(s.device, IOCTL_TARVO_ADD_BUFFER, h, sizeof(VIDEOHDR), h,
                                 sizeof(VIDEOHDR), &bytes, nullptr) != FALSE;
    if (!taken && send_simple(s.device, IOCTL_TARVO_FRAME_BEGIN)) {
        h->dwReserved[0] = 0;
        h->dwReserved[1] = h->dwBufferLength;
        taken = DeviceIoControl(s.device, IOCTL_TARVO_FRAME_FILL, h, sizeof(VIDEOHDR), h,
                                sizeof(VIDEOHDR), &bytes, nullptr) != FALSE;
        send_simple(s.device, IOCTL_TARVO_FRAME_END);
    }
    send_simple(s.device, IOCTL_TARVO_STREAM_STOP);
    if (!streaming) {
        send_simple(s.device, IOCTL_TARVO_STREAM_FINI);
    }
    if (!taken) {
        return DV_ERR_NONSPECIFIC;
    }
    h->dwFlags |= VHDR_DONE;
    return DV_ERR_OK;
}

} // namespace tarvovfw
