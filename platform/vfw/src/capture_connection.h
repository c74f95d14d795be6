// A capture window's connection to its capture driver: the driver's channels opened as the
// capture layer opens them, their capabilities and the driver's current format.
#pragma once

#include "vfw/capture.h"

#include <memory>
#include <vector>

namespace vfw_impl {

class CaptureConnection {
public:
    // Opens the driver of `slot`: video-in (required), external-in and external-out (when the
    // driver has them), then asks each for its capabilities and dialogs and reads the format.
    // Null when nothing usable is registered there or video-in does not open.
    static std::unique_ptr<CaptureConnection> open(unsigned slot, HWND window);
    // Closes the channels; the last close unloads the driver.
    ~CaptureConnection();
    CaptureConnection(const CaptureConnection&) = delete;
    CaptureConnection& operator=(const CaptureConnection&) = delete;

    HDRVR video_in() const { return video_in_; }
    HDRVR external_in() const { return external_in_; }
    HDRVR external_out() const { return external_out_; }
    const CAPDRIVERCAPS& caps() const { return caps_; }

    LRESULT send(HDRVR channel, UINT msg, LPARAM lparam1, LPARAM lparam2) const;

    // The driver's current format (DVM_FORMAT size query and get); false and unchanged when the
    // driver does not answer with a usable bitmap header.
    bool read_format(std::vector<BYTE>& format) const;
    // DVM_FORMAT set with a copy of `header` (the driver may adjust its copy). The driver's
    // result.
    LRESULT write_format(const BYTE* header, DWORD size) const;
    // DVM_DIALOG on `channel` with the window as owner; the driver's result.
    LRESULT dialog(HDRVR channel, LPARAM flags) const;

private:
    CaptureConnection() = default;

    HWND window_ = nullptr;
    HDRVR video_in_ = nullptr;
    HDRVR external_in_ = nullptr;
    HDRVR external_out_ = nullptr;
    CAPDRIVERCAPS caps_{};
};

// Bytes one frame of `header` needs: biSizeImage, or for uncompressed formats the padded rows
// when that is larger; 0 for a header that describes no picture.
DWORD frame_bytes(const BITMAPINFOHEADER& header);

} // namespace vfw_impl
