// Opening a capture driver the way the capture layer does.
#include "capture_connection.h"

#include "driver_services.h"
#include "driver_slots.h"

#include <cstring>

namespace vfw_impl {
namespace {

// Largest format the layer takes from a driver: a header with a full colour table, with room
// for drivers that add fields of their own.
constexpr DWORD kMaxFormatSize = 4096;

HDRVR open_channel(const std::filesystem::path& file, DWORD channel) {
    VIDEO_OPEN_PARMS parms{};
    parms.dwSize = sizeof(parms);
    parms.fccType = mmioFOURCC('v', 'c', 'a', 'p');
    parms.fccComp = 0;
    parms.dwVersion = VIDEOAPIVERSION;
    parms.dwFlags = channel;
    return open_driver_file(file, reinterpret_cast<LPARAM>(&parms));
}

bool channel_caps(HDRVR channel, CHANNEL_CAPS& caps) {
    caps = CHANNEL_CAPS{};
    return SendDriverMessage(channel, DVM_GET_CHANNEL_CAPS, reinterpret_cast<LPARAM>(&caps),
                             sizeof(caps)) == DV_ERR_OK;
}

} // namespace

DWORD frame_bytes(const BITMAPINFOHEADER& header) {
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biBitCount == 0 ||
        header.biWidth > 32768 || header.biHeight > 32768 || header.biHeight < -32768) {
        return 0;
    }
    const std::uint64_t rows =
        header.biHeight < 0 ? -static_cast<std::int64_t>(header.biHeight) : header.biHeight;
    const std::uint64_t row =
        (static_cast<std::uint64_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
    std::uint64_t bytes = header.biSizeImage;
    if (header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS || bytes == 0) {
        bytes = std::max<std::uint64_t>(bytes, row * rows);
    }
    return bytes > 0x7FFFFFFFu ? 0 : static_cast<DWORD>(bytes);
}

std::unique_ptr<CaptureConnection> CaptureConnection::open(unsigned slot, HWND window) {
    const auto file = driver_slot_file(slot);
    if (file.empty()) {
        return nullptr;
    }
    std::unique_ptr<CaptureConnection> c(new CaptureConnection);
    c->window_ = window;
    c->video_in_ = open_channel(file, VIDEO_IN);
    if (!c->video_in_) {
        return nullptr;
    }
    c->external_in_ = open_channel(file, VIDEO_EXTERNALIN);
    c->external_out_ = open_channel(file, VIDEO_EXTERNALOUT);

    CHANNEL_CAPS caps;
    channel_caps(c->video_in_, caps);
    if (c->external_in_) {
        channel_caps(c->external_in_, caps);
    }
    c->caps_.wDeviceIndex = slot;
    c->caps_.fHasOverlay =
        c->external_out_ && channel_caps(c->external_out_, caps) && (caps.dwFlags & VCAPS_OVERLAY);
    c->caps_.fHasDlgVideoSource =
        c->external_in_ && c->dialog(c->external_in_, VIDEO_DLG_QUERY) == DV_ERR_OK;
    c->caps_.fHasDlgVideoFormat = c->dialog(c->video_in_, VIDEO_DLG_QUERY) == DV_ERR_OK;
    c->caps_.fHasDlgVideoDisplay =
        c->external_out_ && c->dialog(c->external_out_, VIDEO_DLG_QUERY) == DV_ERR_OK;
    c->caps_.fCaptureInitialized = TRUE;
    c->caps_.fDriverSuppliesPalettes = FALSE;
    c->caps_.hVideoIn = c->video_in_;
    c->caps_.hVideoOut = nullptr;
    c->caps_.hVideoExtIn = c->external_in_;
    c->caps_.hVideoExtOut = c->external_out_;
    return c;
}

CaptureConnection::~CaptureConnection() {
    for (HDRVR channel : {external_out_, external_in_, video_in_}) {
        if (channel) {
            CloseDriver(channel, 0, 0);
        }
    }
}

LRESULT CaptureConnection::send(HDRVR channel, UINT msg, LPARAM lparam1, LPARAM lparam2) const {
    return channel ? SendDriverMessage(channel, msg, lparam1, lparam2) : DV_ERR_NOTSUPPORTED;
}

bool CaptureConnection::read_format(std::vector<BYTE>& format) const {
    DWORD size = 0;
    VIDEOCONFIGPARMS query{&size, nullptr, 0, nullptr, 0};
    if (send(video_in_, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE,
             reinterpret_cast<LPARAM>(&query)) != DV_ERR_OK ||
        size < sizeof(BITMAPINFOHEADER) || size > kMaxFormatSize) {
        return false;
    }
    std::vector<BYTE> buffer(size);
    DWORD answer = 0;
    VIDEOCONFIGPARMS get{&answer, buffer.data(), size, nullptr, 0};
    if (send(video_in_, DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT,
             reinterpret_cast<LPARAM>(&get)) != DV_ERR_OK) {
        return false;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, buffer.data(), sizeof(header));
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > size ||
        frame_bytes(header) == 0) {
        return false;
    }
    format = std::move(buffer);
    return true;
}

LRESULT CaptureConnection::write_format(const BYTE* header, DWORD size) const {
    std::vector<BYTE> copy(header, header + size);
    DWORD answer = 0;
    VIDEOCONFIGPARMS set{&answer, copy.data(), size, nullptr, 0};
    return send(video_in_, DVM_FORMAT, VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&set));
}

LRESULT CaptureConnection::dialog(HDRVR channel, LPARAM flags) const {
    return send(channel, DVM_DIALOG, reinterpret_cast<LPARAM>(window_), flags);
}

} // namespace vfw_impl
