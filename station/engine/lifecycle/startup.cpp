#include "startup.h"

#include "base/language.h"
#include "base/language_lines.h"
#include "base/local_clock.h"
#include "main_menu.h"
#include "base/program_dir.h"
#include "settings/settings_files.h"
#include "alarm/speaker.h"
#include "base/work_log.h"

#include "win32/sysinfo.h"
#include "win32/dialogs.h"
#include "win32/files.h"
#include "win32/modules.h"
#include "win32/profile.h"
#include "win32/timeapi.h"

#include <win32_owners/unique_handle.h>
#include <win32_owners/write_all.h>

#include <cstdio>

namespace station {
namespace {

constexpr int kOtherCategory = 6;

// A message box of language line `line`. The texts are copied first: the station may close
// while the box is up, and the close frees the language texts.
void message_of_line(const LanguageList& lang, int line, const std::string& caption, UINT type) {
    const std::string text = lang[line];
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
}

std::size_t chip_index(int k) {
    return static_cast<std::size_t>(k - 1);
}

// The current date and time in the system's short format, as the crash marker holds it.
std::string short_date_time(const LocalDateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %d:%02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
    return text;
}

} // namespace

std::filesystem::path StationIniPath(const std::filesystem::path& program_file) {
    std::filesystem::path ini = program_file;
    const std::string name = program_file.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot == 4) {
        ini.replace_extension(".ini");
    } else {
        ini += ".ini";
    }
    return ini;
}

I2CSettings ReadI2CSettings(const std::filesystem::path& ini_file) {
    const std::string file = ini_file.string();
    const auto read = [&](const char* key, INT fallback) {
        return static_cast<std::int32_t>(GetPrivateProfileIntA("I2C", key, fallback, file.c_str()));
    };
    I2CSettings s;
    s.Delay = read("Delay", 1);
    s.AutoRepeat = read("AutoRepeat", 20);
    s.UseCommReady = read("UseCommReady", 0);
    s.UseCheckComm = read("UseCheckComm", 1);
    return s;
}

StationStartup::StationStartup(StationState& state, StartupCapture& capture, StationBoard& board,
                               StartupPorts ports)
    : State(state), Station(board), Library(board.Library), Board(board.Control),
      Bridge(board.Bridge), ChipPresent(board.ChipPresent), capture_(capture), ports_(ports) {}

bool StationStartup::FormCreate() {
    BaseState& base = State.Base;
    SettingsState& settings = State.Settings;
    // Start of the ten-minute restart period and of the DMA-program check; I2C counters zero.
    StartTick = GetTickCount();
    Board.Counters = {};
    timeBeginPeriod(1);

    ProgramClosing = false;
    Bridge = HostBridge{};
    State.PciFix = false;
    settings.HrdMap = kHrdMapProvisional;
    Board.I2CLastTick.fill(timeGetTime());
    ChipPresent.fill(false);
    ports_.Live.ResetFrameLoops();
    base.ReportFlags.fill(false);
    settings.RemPorts.fill(kDefaultPort);
    settings.RemAddresses.fill(std::string());

    char program_file[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program_file, sizeof program_file);
    Board.Settings = ReadI2CSettings(StationIniPath(program_file));

    if (!LoadLanguageFile(base)) {
        MessageBoxA(nullptr, kLanguageFailureText, kLanguageFailureCaption, MB_ICONWARNING);
        ports_.Window.Terminate();
        return false;
    }
    LoadBufIni(base, settings);
    create_crash_marker_or_report();
    if (closed_) {
        return true;
    }
    ports_.Window.SetCaptions();

    Board.SensorWord = -1;
    Station.Sound.Reset();
    State.StealthActive = false;
    LoadStealth(base, settings);
    LoadAutoRun(base, settings);

    ports_.Window.ShowMainForm();
    capture_.CreateWindows();
    ports_.Window.HideMainForm();
    for (int k = 1; k <= kChipCount; ++k) {
        DriverConnected[chip_index(k)] = capture_.ConnectDriver(k);
    }

    Library.Load(DriverConnected);
    Bridge.Read(Library);
    for (int k = 1; k <= kChipCount; ++k) {
        if (DriverConnected[chip_index(k)]) {
            ReadCaptureFormat(k);
        }
    }
    ports_.Timers.EnableConfigInitTimer();
    return true;
}

void StationStartup::create_crash_marker_or_report() {
    CrashMarkerKept = false;
    const std::string marker = ProgramFile(State.Base, kCrashMarkerName);
    if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
        CrashMarkerKept = true;
        message_of_line(State.Base.LangList, kLineCrashMarkerFound,
                        State.Base.LangList[kLineProgramName], MB_OK);
        return;
    }
    const win32_owners::UniqueHandle out(CreateFileA(
        marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (out) {
        const std::string text = short_date_time(LocalNow(State.Base)) + "\r\n";
        win32_owners::write_all(out.get(), text.data(), text.size());
    }
}

void StationStartup::ReadCaptureFormat(int k) {
    std::vector<std::uint8_t>& format = CaptureFormat[chip_index(k)];
    format = capture_.ReadVideoFormat(k);
    CaptureFormatSize = format.size();
    Station.ReadColourFormat(k);
}

void StationStartup::ConfigInitTimerTimer() {
    if (second_stage_done_ || closed_) {
        return;
    }
    BaseState& base = State.Base;
    SettingsState& settings = State.Settings;
    second_stage_done_ = true;
    ChipPresent = DriverConnected;
    ports_.Live.TakePresentChips();

    bool any_chip = false;
    for (const bool present : ChipPresent) {
        any_chip = any_chip || present;
    }
    const std::string caption = StationCaption(base.LangList);
    if (!any_chip && !settings.StealthAtStart && !settings.AutoStart) {
        message_of_line(base.LangList, kLineNoCaptureDriver, caption, MB_ICONWARNING);
        // The operator may have closed the station while the message was up.
        if (ProgramClosing || closed_) {
            return;
        }
    }

    LoadHrdIni(base, settings);
    Board.ResetMuxBookkeeping();
    // Locked; the configuration load below applies it to the windows.
    State.Access.AccessStatus = kAccessLocked;
    ports_.Configuration.ResetStationTables();

    LoadNetIni(base, settings);
    ports_.Network.CreateRemoteStations();

    const bool listening = ports_.Network.OpenServerSocket();
    if (!listening && !settings.StealthAtStart && !settings.AutoStart) {
        message_of_line(base.LangList, kLineNoListeningSocket, caption, MB_ICONWARNING);
        if (ProgramClosing || closed_) {
            return;
        }
    }

    State.NetworkOn = true;
    Station.Sound.Reset();
    LoadConfTable(base, settings);
    Station.LevelSteps = {};
    ports_.Configuration.LoadScheduledConfiguration();

    WriteReport(base, kOtherCategory, base.LangList[kLineStationStarted]);

    if (settings.StealthAtStart) {
        ports_.Stealth.EnterStealth();
        State.StealthActive = true;
    } else {
        ports_.Stealth.LeaveStealth();
        State.StealthActive = false;
    }

    for (int k = 1; k <= kChipCount; ++k) {
        if (ChipPresent[chip_index(k)]) {
            Board.SetAdcRegister(k);
            Board.SetScalingLoop(k);
        }
    }
    ports_.Timers.EnableCycleTimers();
    for (int k = 1; k <= kChipCount; ++k) {
        Board.SwitchCaptureMux(false, k);
        Board.SwitchMonitorMux(k);
    }

    Bridge.ReportAndFix(base, Library, State.PciFix);

    for (int k = 1; k <= kChipCount; ++k) {
        if (ChipPresent[chip_index(k)]) {
            ports_.Timers.EnableStartCaptureTimer(k);
        }
    }
}

void StationStartup::FormCloseQuery() {
    ProgramClosing = true;
    ports_.Live.CloseQuery();
}

void StationStartup::FormClose() {
    if (closed_) {
        return;
    }
    closed_ = true;
    if (!ProgramClosing) {
        FormCloseQuery();
    }
    // No timer handler may run on what the steps below take down.
    ports_.Timers.StopAllTimers();

    WriteReport(State.Base, kOtherCategory, State.Base.LangList[kLineStationStopped]);
    Bridge.Restore(State.Base, Library);
    SpeakerOff();

    // The relays go off while the board-control library is still bound.
    Board.WriteAllRelaysOff();
    Library.Release();

    for (int k = 1; k <= kChipCount; ++k) {
        if (DriverConnected[chip_index(k)]) {
            capture_.DisconnectDriver(k);
            DriverConnected[chip_index(k)] = false;
        }
    }
    for (auto& format : CaptureFormat) {
        format.clear();
        format.shrink_to_fit();
    }

    ports_.Network.CloseNetwork();
    SaveBufIni(State.Base, State.Settings);
    ports_.Live.FreeCameraWindows();
    ports_.Window.FreeForms();
    State.Base.LangList.Clear();

    if (!CrashMarkerKept) {
        DeleteFileA(ProgramFile(State.Base, kCrashMarkerName).c_str());
    }
    timeBeginPeriod(5);
}

} // namespace station
