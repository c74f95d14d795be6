// The four capture windows of the chips (k = 1..4, capture driver index k - 1), as start-up and
// shut-down use them. The capture layer's implementation creates real capture windows; without
// a capture layer no driver connects and the station runs as without a capture board.
#pragma once

#include <cstdint>
#include <vector>

namespace station {

class StartupCapture {
public:
    virtual ~StartupCapture() = default;
    // Creates the four windows (empty title, child, visible, border; position and size 0;
    // parent the main form; id 0).
    virtual void CreateWindows() = 0;
    // Shows window k with size 0, sets its video-stream, yield and error callbacks, connects
    // driver k - 1 and, when connected, writes its sequence set-up (66667 us per frame, drop
    // percentage 100, yield on, 4 video buffers, no audio, no abort key or mouse abort, no time
    // limit). False when the driver does not connect.
    virtual bool ConnectDriver(int k) = 0;
    // The chip's capture format as the window reports it (size query, then fetch); empty
    // when it reports none.
    virtual std::vector<std::uint8_t> ReadVideoFormat(int k) = 0;
    // Overlay off, capture stopped, driver disconnected.
    virtual void DisconnectDriver(int k) = 0;
};

// No capture layer: no window and no driver.
class NoStartupCapture : public StartupCapture {
public:
    void CreateWindows() override {}
    bool ConnectDriver(int) override { return false; }
    std::vector<std::uint8_t> ReadVideoFormat(int) override { return {}; }
    void DisconnectDriver(int) override {}
};

} // namespace station
