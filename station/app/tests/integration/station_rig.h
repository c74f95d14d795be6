// The whole station in this process on the virtual board, with the real driver stack: a fresh
// system root and program folder, the drivers installed into it by the installer tool, the
// process's machine free-running on the real clock, and the station's start-up run on the
// running event loop. The integration test and the pipeline benchmark share it.
#pragma once

#include "temp_dir.h"
#include "ui/live/chanel_form.h"
#include "station_program.h"

#include "machine/machine.h"

#include <QImage>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace station::rig {

// Runs the event loop until `done` answers true or `timeout` (real time) has passed; answers
// `done()` at the end.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Runs the event loop for `span` of real time.
void PumpFor(std::chrono::milliseconds span);

// The camera number (1-64) a camera window's picture shows, 0 without a signal, -1 without a
// readable code strip or picture.
int CameraShown(TFormChanel& window);

class StationRig {
public:
    // `bin_dir`: the program folder of the build (setup-install, the drivers, tolm.lng).
    explicit StationRig(std::filesystem::path bin_dir);
    ~StationRig();
    StationRig(const StationRig&) = delete;
    StationRig& operator=(const StationRig&) = delete;

    // Installs the drivers into the system root (installer tool as a process). Empty on
    // success, else what went wrong.
    std::string InstallDrivers();
    // The machine of machine.ini in the system root, free-running on the real clock.
    void StartMachine();
    // The station's start-up; true once capture runs on every chip of `chips` (1..4).
    bool StartStation(const std::vector<int>& chips, std::chrono::milliseconds timeout);
    // A camera window through the main form's "AddChanel" item, showing camera `camera`
    // (1..16) of chip `chip`.
    TFormChanel* AddWindow(int chip, int camera);
    // Closes the station through its main form (the ordered shut-down).
    void CloseStation();

    StationProgram& Program() { return *program_; }
    LiveStation& Live() { return program_->Live(); }
    machine::Machine& Machine() { return *machine_; }
    const std::filesystem::path& Root() const { return root_; }

private:
    std::filesystem::path bin_dir_;
    tolm_test::TempDir temp_{"tolm-station"};
    std::filesystem::path root_;
    machine::Machine* machine_ = nullptr;
    std::unique_ptr<StationProgram> program_;
};

} // namespace station::rig
