// The station's life cycle without the widgets: the first start-up stage (FormCreate), the
// second stage 100 ms later (ConfigInitTimerTimer), the close query and the ordered shut-down
// (FormClose). The main form's Qt side drives it and gives it the window-system steps as
// hooks; tests drive it directly.
#pragma once

#include "startup_capture.h"
#include "base/language_lines.h"
#include "board/station_board.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
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

// The window-system side of the life cycle, and the places of steps that later parts fill.
// Every hook may be empty.
struct StartupHooks {
    std::function<void()> ShowMainForm;
    std::function<void()> HideMainForm;
    // The main form's caption and menu captions from the language file.
    std::function<void()> SetCaptions;
    // Asks the application to end once the current handler has returned.
    std::function<void()> Terminate;
    std::function<void()> EnableConfigInitTimer;
    // Enables "StartCaptureTimer" k (the capture start of chip k).
    std::function<void(int k)> EnableStartCaptureTimer;
    // Enables the sound timer (100 ms) and the main-cycle timer (1 ms).
    std::function<void()> EnableCycleTimers;
    // Stops every timer of the main form (first step of the shut-down).
    std::function<void()> StopAllTimers;
    // Frees the long-lived forms and the open settings forms (shut-down).
    std::function<void()> FreeForms;

    // The live engine's part: the per-chip frame-loop reset of the first stage, the chips
    // taken as present by the second, the close query (frame polling stops).
    std::function<void()> ResetFrameLoops;
    std::function<void()> TakePresentChips;
    std::function<void()> CloseQuery;

    // Steps of later parts, each a no-op until its part wires it in:
    // access level, filters, priorities, names and camera tables of the second stage.
    std::function<void()> ResetStationTables;
    // Creates the 20 remote stations with the ports and addresses of "netini.pdt".
    std::function<void()> CreateRemoteStations;
    // Opens the listening socket on ServerPort; false when it could not be opened.
    std::function<bool()> OpenServerSocket;
    // LoadConfiguration(ScheduledConfig()).
    std::function<void()> LoadScheduledConfiguration;
    // EnterStealth; LeaveStealth (without it, leaving stealth only shows the main form).
    std::function<void()> EnterStealth;
    std::function<void()> LeaveStealth;
    // Shut-down: closes the listening socket and frees the remote stations.
    std::function<void()> CloseNetwork;
    // Shut-down: frees the camera windows of the used slots.
    std::function<void()> FreeCameraWindows;
};

class StationStartup {
public:
    StationStartup(StartupCapture& capture, StationBoard& board, StartupHooks hooks);
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
    bool StealthActive = false;
    bool PciFix = false;
    bool NetworkOn = false;
    std::uint32_t StartTick = 0;

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
    StartupHooks hooks_;
    bool second_stage_done_ = false;
    bool closed_ = false;
};

} // namespace station
