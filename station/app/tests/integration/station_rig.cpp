#include "station_rig.h"

#include "camera_windows_run.h"
#include "base/language.h"
#include "base/program_dir.h"

#include "machine/camera_code.h"
#include "machine/config.h"
#include "platform/clock.h"
#include "platform/nt_kernel.h"
#include "platform/paths.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

namespace station::rig {

namespace fs = std::filesystem;

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    // The application's own event loop, as the program runs it, looked at every few
    // milliseconds; no busy polling, so the time this thread spends is the station's.
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    check.start(5);
    loop.exec();
    return done();
}

void PumpFor(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

int CameraShown(TFormChanel& window) {
    const QImage picture = window.Panel1()->Picture().convertToFormat(QImage::Format_RGB32);
    if (picture.isNull() || picture.width() < 192 || picture.height() < 144) {
        return -1;
    }
    // Format_RGB32 keeps blue, green, red, unused in memory: the 32-bit bitmap layout.
    return machine::read_camera_number(picture.constBits(), picture.width(), picture.height(),
                                       machine::ColorFormat::Rgb32, false,
                                       static_cast<std::size_t>(picture.bytesPerLine()));
}

namespace {

std::string quoted(const fs::path& p) {
    std::string out = "'";
    for (const char c : p.string()) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

} // namespace

StationRig::StationRig(fs::path bin_dir) : bin_dir_(std::move(bin_dir)), root_(temp_.path()) {
    fs::create_directories(root_ / "sys");
    fs::create_directories(root_ / "program");
    platform::set_system_root(root_ / "sys");
    fs::copy_file(bin_dir_ / "tolm.lng", root_ / "program" / "tolm.lng");
    platform::clock::use_real();
}

StationRig::~StationRig() {
    program_.reset();
    // Every driver stopped, then the machine: nothing of this run stays in the process.
    platform::nt::reset();
    if (machine_ != nullptr) {
        machine_->stop();
    }
    machine::install_machine(nullptr);
}

std::string StationRig::InstallDrivers() {
    const std::string command = quoted(bin_dir_ / "setup-install") + " --root " +
                                quoted(root_ / "sys") + " --source " + quoted(bin_dir_) +
                                " --manual-clock > " + quoted(root_ / "install.log") + " 2>&1";
    const int status = std::system(command.c_str());
    if (status != 0) {
        std::ifstream log(root_ / "install.log");
        return "setup-install ended with status " + std::to_string(WEXITSTATUS(status)) + ":\n" +
               std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
    }
    return {};
}

void StationRig::StartMachine() {
    auto m = std::make_unique<machine::Machine>(machine::load_config());
    machine_ = m.get();
    machine::install_machine(std::move(m));
    machine_->start();
}

bool StationRig::StartStation(const std::vector<int>& chips, std::chrono::milliseconds timeout) {
    program_ = std::make_unique<StationProgram>();
    SetProgramDir(program_->State().Base, (root_ / "program").string());
    if (!program_->Start()) {
        return false;
    }
    return PumpUntil(
        [&] {
            for (const int k : chips) {
                if (!Live().Handoff.Chip(k).ChipRunning.load()) {
                    return false;
                }
            }
            return true;
        },
        timeout);
}

TFormChanel* StationRig::AddWindow(int chip, int camera) {
    return OpenCameraWindow(*program_, chip, camera);
}

void StationRig::CloseStation() {
    if (program_) {
        program_->Form().close();
    }
}

} // namespace station::rig
