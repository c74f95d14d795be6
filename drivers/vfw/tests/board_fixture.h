// The real kernel driver on the virtual board in stepped mode, one board of four chips, the
// driver copy 0 in slot 0, and a capture window that can stream: the luma of the code strip's
// black cell in the last frame it got (the camera number code, machine/camera_code.h).
#pragma once

#include "driver_fixture.h"

#include "machine/machine.h"

#include <mutex>

namespace capdrv_test {

class OnBoard : public DriverFixture {
protected:
    OnBoard();
    ~OnBoard() override;
    machine::Machine& hw() { return machine::the_machine(); }

    // A capture window connected to slot 0.
    HWND connect();
    // Routes crosspoint input `camera` to chip 1's capture output (its connector 2).
    void route_camera(int camera);
    // Starts a capture without file on the window; frames are counted and measured.
    void start_capture();
    // Steps fields until `frames` more frames arrived (or a limit); answers the luma of the
    // black code cell in the last one, -1 when none came.
    int step_frames(int frames);

    HWND window_ = nullptr;
};

} // namespace capdrv_test
