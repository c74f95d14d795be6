// The capture thread of a capture window: streaming capture without a file.
#include "capture_window.h"

#include "win32/sysinfo.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace vfw_impl {
namespace {

// The most buffers one capture allocates.
constexpr UINT kMaxVideoBuffers = 64;

} // namespace

void CALLBACK CaptureWindow::driver_callback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1,
                                             DWORD_PTR) {
    if (msg != MM_DRVM_DATA || param1 == 0) {
        return;
    }
    auto* self = reinterpret_cast<CaptureWindow*>(user);
    std::lock_guard lock(self->queue_mutex_);
    self->done_.push_back(reinterpret_cast<LPVIDEOHDR>(param1));
    self->queue_cv_.notify_all();
}

void CaptureWindow::report_error(int id, const char* what, LRESULT driver_error) {
    std::string text = what;
    if (driver_error != DV_ERR_OK) {
        text += " (driver error " + std::to_string(driver_error) + ")";
        char driver_text[256] = {};
        VIDEO_GETERRORTEXT_PARMS parms{static_cast<DWORD>(driver_error), driver_text,
                                       sizeof(driver_text)};
        if (connection_->send(connection_->video_in(), DVM_GETERRORTEXT,
                              reinterpret_cast<LPARAM>(&parms), 0) == DV_ERR_OK &&
            driver_text[0] != '\0') {
            driver_text[sizeof(driver_text) - 1] = '\0';
            text += ": ";
            text += driver_text;
        }
    }
    {
        std::lock_guard lock(state_mutex_);
        status_.dwReturn = static_cast<DWORD>(id);
    }
    if (auto cb = error_callback_.load()) {
        cb(hwnd_, id, text.c_str());
    }
}

void CaptureWindow::run_capture(CAPTUREPARMS parms, std::vector<BYTE> format) {
    if (auto cb = error_callback_.load()) {
        cb(hwnd_, 0, nullptr);
    }
    const HDRVR video_in = connection_->video_in();
    const auto send = [&](UINT msg, LPARAM p1, LPARAM p2) {
        return connection_->send(video_in, msg, p1, p2);
    };

    std::vector<Buffer> buffers;
    bool initialised = false;
    [&] {
        VIDEO_STREAM_INIT_PARMS init{};
        init.dwMicroSecPerFrame = parms.dwRequestMicroSecPerFrame;
        init.dwCallback = reinterpret_cast<DWORD_PTR>(&CaptureWindow::driver_callback);
        init.dwCallbackInst = reinterpret_cast<DWORD_PTR>(this);
        init.dwFlags = CALLBACK_FUNCTION;
        init.hVideo = reinterpret_cast<DWORD_PTR>(video_in);
        if (LRESULT r = send(DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&init), sizeof(init))) {
            report_error(IDS_CAP_VIDEO_OPEN_ERROR, "The video stream could not be opened", r);
            return;
        }
        initialised = true;

        BITMAPINFOHEADER header;
        std::memcpy(&header, format.data(), sizeof(header));
        const DWORD size = frame_bytes(header);
        const UINT count = std::clamp<UINT>(parms.wNumVideoRequested, 1, kMaxVideoBuffers);
        buffers.reserve(count); // headers must not move once the driver has them
        for (UINT i = 0; i < count && size != 0; ++i) {
            auto* data = static_cast<BYTE*>(
                ::operator new[](size, std::align_val_t(kBufferAlignment), std::nothrow));
            if (!data) {
                break;
            }
            std::memset(data, 0, size);
            Buffer& b = buffers.emplace_back();
            b.data.reset(data);
            b.header.lpData = data;
            b.header.dwBufferLength = size;
        }
        if (buffers.empty()) {
            report_error(IDS_CAP_VIDEO_ALLOC_ERROR, "No memory for the video buffers", 0);
            return;
        }
        {
            std::lock_guard lock(state_mutex_);
            status_.wNumVideoAllocated = static_cast<UINT>(buffers.size());
        }
        for (Buffer& b : buffers) {
            const LRESULT r = send(DVM_STREAM_PREPAREHEADER, reinterpret_cast<LPARAM>(&b.header),
                                   sizeof(VIDEOHDR));
            if (r == DV_ERR_NOTSUPPORTED) {
                b.header.dwFlags |= VHDR_PREPARED; // the driver leaves preparing to the layer
            } else if (r != DV_ERR_OK) {
                report_error(IDS_CAP_VIDEO_PREPARE_ERROR, "A video buffer could not be prepared",
                             r);
                return;
            }
        }
        for (Buffer& b : buffers) {
            b.with_driver = true;
            if (LRESULT r = send(DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&b.header),
                                 sizeof(VIDEOHDR))) {
                b.with_driver = false;
                report_error(IDS_CAP_VIDEO_ADD_ERROR, "A video buffer could not be added", r);
                return;
            }
        }
        if (LRESULT r = send(DVM_STREAM_START, 0, 0)) {
            report_error(IDS_CAP_DRIVER_ERROR, "The video stream could not be started", r);
            return;
        }
        stream_loop(parms, buffers);
    }();
    end_stream(buffers, initialised);
}

void CaptureWindow::stream_loop(const CAPTUREPARMS& parms, std::vector<Buffer>& buffers) {
    const DWORD start = GetTickCount();
    for (;;) {
        LPVIDEOHDR header = nullptr;
        {
            std::unique_lock lock(queue_mutex_);
            queue_cv_.wait(lock, [this] { return stop_requested_ || !done_.empty(); });
            if (stop_requested_) {
                return;
            }
            header = done_.front();
            done_.pop_front();
        }
        // Only a buffer of this capture that the driver holds counts; a report of anything
        // else, or of a buffer already back, is dropped.
        auto own = std::find_if(buffers.begin(), buffers.end(),
                                [&](const Buffer& b) { return &b.header == header; });
        if (own == buffers.end() || !own->with_driver) {
            continue;
        }
        own->with_driver = false;
        {
            std::lock_guard lock(state_mutex_);
            status_.dwCurrentVideoFrame++;
            status_.dwCurrentTimeElapsedMS = GetTickCount() - start;
        }
        if (auto cb = video_callback_.load()) {
            cb(hwnd_, header);
        }
        if (parms.fYield) {
            if (auto cb = yield_callback_.load(); cb && !cb(hwnd_)) {
                request_stop(); // a yield callback that answers FALSE ends the capture
                return;
            }
        }
        header->dwFlags &= ~VHDR_DONE;
        header->dwBytesUsed = 0;
        own->with_driver = true;
        if (LRESULT r = connection_->send(connection_->video_in(), DVM_STREAM_ADDBUFFER,
                                          reinterpret_cast<LPARAM>(header), sizeof(VIDEOHDR))) {
            own->with_driver = false;
            report_error(IDS_CAP_VIDEO_ADD_ERROR, "A video buffer could not be added", r);
            return;
        }
    }
}

// Stops and resets the stream (the driver returns every buffer), unprepares the buffers, ends
// the stream and only then frees the buffers: the driver may hold them until the stream ends.
void CaptureWindow::end_stream(std::vector<Buffer>& buffers, bool initialised) {
    if (initialised) {
        const HDRVR video_in = connection_->video_in();
        connection_->send(video_in, DVM_STREAM_STOP, 0, 0);
        connection_->send(video_in, DVM_STREAM_RESET, 0, 0);
        for (Buffer& b : buffers) {
            if (!(b.header.dwFlags & VHDR_PREPARED)) {
                continue;
            }
            if (connection_->send(video_in, DVM_STREAM_UNPREPAREHEADER,
                                  reinterpret_cast<LPARAM>(&b.header),
                                  sizeof(VIDEOHDR)) == DV_ERR_NOTSUPPORTED) {
                b.header.dwFlags &= ~VHDR_PREPARED;
            }
        }
        connection_->send(video_in, DVM_STREAM_FINI, 0, 0);
    }
    buffers.clear();
    {
        std::lock_guard lock(queue_mutex_);
        done_.clear();
    }
    std::lock_guard lock(state_mutex_);
    status_.wNumVideoAllocated = 0;
    status_.fCapturingNow = FALSE;
}

} // namespace vfw_impl
