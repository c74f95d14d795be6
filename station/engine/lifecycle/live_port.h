// The live engine's part of start-up and shut-down: the per-chip frame-loop reset of the first
// stage, the chips taken as present by the second, the close query (frame polling stops) and
// the camera windows freed at shut-down. The program implements it over its `LiveStation`;
// `NoLive` is a station without the live engine.
#pragma once

namespace station {

class LivePort {
public:
    virtual ~LivePort() = default;
    virtual void ResetFrameLoops() = 0;
    virtual void TakePresentChips() = 0;
    virtual void CloseQuery() = 0;
    // Frees the camera windows of the used slots.
    virtual void FreeCameraWindows() = 0;
    // A capture driver's modal dialog is open (the close waits for it).
    virtual bool DriverDialogOpen() const { return false; }
};

class NoLive : public LivePort {
public:
    void ResetFrameLoops() override {}
    void TakePresentChips() override {}
    void CloseQuery() override {}
    void FreeCameraWindows() override {}
};

} // namespace station
