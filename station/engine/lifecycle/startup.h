// The station's life cycle without the widgets: the first start-up stage (FormCreate), the
// second stage 100 ms later (ConfigInitTimerTimer), the close query and the ordered shut-down
// (FormClose). The main form's Qt side drives it and gives it the window-system steps as
// ports; tests drive it directly.
#pragma once

#include "configuration_port.h"
#include "live_port.h"
#include "network_port.h"
#include "startup_capture.h"
#include "station_state.h"
#include "stealth_port.h"
#include "timer_port.h"
#include "window_port.h"
#include "base/language_lines.h"
#include "board/station_board.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace station {

inline constexpr const char* kSingleInstanceEventName = "Ondral_Event";
inline constexpr const char* kCrashMarkerName = "correct.pdt";
// The message of a missing or unreadable language file, and its caption.
inline constexpr const char* kLanguageFailureText =
    "Cannot load language support file \"TOLM.LNG\", the program will be terminated";
inline constexpr const char* kLanguageFailureCaption = "Error";

// The ini file beside the program file: its name with the extension replaced by ".ini" (a name
// without one gets ".ini" appended).
std::filesystem::path StationIniPath(const std::filesystem::path& program_file);
// The ini file's section "I2C"; missing keys keep their defaults. The file is never written.
I2CSettings ReadI2CSettings(const std::filesystem::path& ini_file);

// What the life cycle calls outside the engine, each a port with a do-nothing
// implementation until its feature exists.
struct StartupPorts {
    WindowPort& Window;
    TimerPort& Timers;
    LivePort& Live;
    NetworkPort& Network;
    ConfigurationPort& Configuration;
    StealthPort& Stealth;
};

class StationStartup {
public:
    StationStartup(StationState& state, StartupCapture& capture, StationBoard& board,
                   StartupPorts ports);
    StationStartup(const StationStartup&) = delete;
    StationStartup& operator=(const StationStartup&) = delete;

    // The first stage. False when the language file failed: the message was shown, the
    // application asked to end, and nothing of the later steps ran.
    bool FormCreate();
    // The second stage (runs once).
    void ConfigInitTimerTimer();
    // The close is allowed; capture polling and the capture restart stop.
    void FormCloseQuery();
    // The shut-down; runs once, later calls do nothing.
    void FormClose();

    // chip k's capture format (re)read from its window; with board control on also its
    // decoder colour-format register.
    void ReadCaptureFormat(int k);

    // State, entry k - 1 for chip k.
    std::array<bool, kChipCount> DriverConnected{};
    std::array<std::vector<std::uint8_t>, kChipCount> CaptureFormat{};
    // The size of the format last read (shared by all chips).
    std::size_t CaptureFormatSize = 0;
    bool CrashMarkerKept = false;
    bool ProgramClosing = false;
    std::uint32_t StartTick = 0;

    // The station-wide values.
    StationState& State;
    // The board side: the library, board control, the host bridge and the present chips.
    StationBoard& Station;
    BoardLibrary& Library;
    BoardControl& Board;
    HostBridge& Bridge;
    std::array<bool, kChipCount>& ChipPresent;

    bool Closed() const { return closed_; }

private:
    void create_crash_marker_or_report();

    StartupCapture& capture_;
    StartupPorts ports_;
    bool second_stage_done_ = false;
    bool closed_ = false;
};

} // namespace station
