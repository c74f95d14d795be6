// The lines of the language file "tolm.lng" the station's code reads, named after their texts
// (station/language/lng-lines.md lists every line and its use).
#pragma once

namespace station {

inline constexpr int kLineProgramName = 0;
inline constexpr int kLineSettings = 5;
inline constexpr int kLineStealthMode = 6;
inline constexpr int kLineConfigurations = 7;
inline constexpr int kLineViewRecordings = 24;
inline constexpr int kLineNetworkSettings = 27;
inline constexpr int kLineCameraPriorities = 30;
inline constexpr int kLinePasswordsAndAccess = 49;
inline constexpr int kLineView = 50;
inline constexpr int kLineNewCameraWindow = 51;
inline constexpr int kLineNoCaptureDriver = 52;
inline constexpr int kLineImageFormat = 53;
inline constexpr int kLineVideoSource = 54;
inline constexpr int kLineManualRecording = 62;
inline constexpr int kLineDiskWriteMode = 91;
inline constexpr int kLineInput = 118;
inline constexpr int kLineConnections = 136;
inline constexpr int kLineBoardModel = 161;
inline constexpr int kLineMonitorControl = 162;
inline constexpr int kLineNoListeningSocket = 175;
inline constexpr int kLineCrashMarkerFound = 194;
inline constexpr int kLineWorkLogSettings = 213;
inline constexpr int kLineViewWorkLog = 226;
// Dialog log lines.
inline constexpr int kLineChangesCancelled = 241;
inline constexpr int kLineControlUsed = 244;
inline constexpr int kLineWindow = 245;
inline constexpr int kLineOpened = 246;
inline constexpr int kLineClosed = 247;
inline constexpr int kLineInWindow = 248;
inline constexpr int kLineChangesMade = 249;
inline constexpr int kLineHardwareSettings = 271;
// Diagnostics window.
inline constexpr int kLineDiagnostics = 273;
inline constexpr int kLinePeriod = 274;
inline constexpr int kLineMean = 275;
inline constexpr int kLineGeneralReset = 276;
inline constexpr int kLineFrameError = 277;
// PCI host bridge (work log).
inline constexpr int kLineNoHostBridge = 291;
inline constexpr int kLineHostBridgeFound = 292;
inline constexpr int kLineHostBridgeWritten = 293;
inline constexpr int kLineHostBridgeRestored = 294;
// Diagnostics window, continued: the I2C error grid's group and its four device rows
// (kLineI2CErrors + 1 .. + 4).
inline constexpr int kLineI2CErrors = 295;
inline constexpr int kLineVideoSwitches = 296;
inline constexpr int kLineCameraLevelDac = 297;
inline constexpr int kLineSensorInputs = 298;
inline constexpr int kLineRelayOutputs = 299;
inline constexpr int kLineI2CBusResets = 301;
inline constexpr int kLineDevice = 302;
inline constexpr int kLineStationStarted = 303;
inline constexpr int kLineStationStopped = 304;
inline constexpr int kLineTotal = 305;
inline constexpr int kLineReadBack = 306;
inline constexpr int kLineRegisterChanges = 307;
inline constexpr int kLineClear = 308;
inline constexpr int kLineStop = 309;
inline constexpr int kLineFramePeriods = 310;
inline constexpr int kLineCaptureBuffers = 311;
inline constexpr int kLineEmptyFrames = 312;

// Stored configurations dialog.
inline constexpr int kLineStoredConfigurations = 8;
inline constexpr int kLineSaveColumn = 9;
inline constexpr int kLineLoadColumn = 10;
inline constexpr int kLineTimedLoadColumn = 11;
inline constexpr int kLineNameColumn = 14;
inline constexpr int kLineSaveQuestion = 16;
inline constexpr int kLineTimedLoadOff = 17;
inline constexpr int kLineModeDaily = 199;
inline constexpr int kLineModeWorkdays = 200;
inline constexpr int kLineModeWeekend = 201;
inline constexpr int kLineTimedLoadOf = 202;
inline constexpr int kLineTimedLoadTail = 203;
inline constexpr int kLineUseTimedLoad = 204;
inline constexpr int kLineTimeGroup = 205;
inline constexpr int kLineDateGroup = 206;
inline constexpr int kLineOnDate = 207;
inline constexpr int kLineEveryDay = 208;
inline constexpr int kLineMondayToFriday = 209;
inline constexpr int kLineSaturdaySunday = 210;
inline constexpr int kLineSetButton = 211;
inline constexpr int kLineDateTimeWord = 212;
inline constexpr int kLineConfigurationNotSaved = 313;
inline constexpr int kLineConfTableNotSaved = 314;

// Every line above, for the check against the language file and its line list.
inline constexpr int kNamedLines[] = {kLineProgramName,
                                      kLineSettings,
                                      kLineStealthMode,
                                      kLineConfigurations,
                                      kLineViewRecordings,
                                      kLineNetworkSettings,
                                      kLineCameraPriorities,
                                      kLinePasswordsAndAccess,
                                      kLineView,
                                      kLineNewCameraWindow,
                                      kLineNoCaptureDriver,
                                      kLineImageFormat,
                                      kLineVideoSource,
                                      kLineManualRecording,
                                      kLineDiskWriteMode,
                                      kLineInput,
                                      kLineBoardModel,
                                      kLineMonitorControl,
                                      kLineNoListeningSocket,
                                      kLineCrashMarkerFound,
                                      kLineWorkLogSettings,
                                      kLineViewWorkLog,
                                      kLineChangesCancelled,
                                      kLineControlUsed,
                                      kLineWindow,
                                      kLineOpened,
                                      kLineClosed,
                                      kLineInWindow,
                                      kLineChangesMade,
                                      kLineHardwareSettings,
                                      kLineDiagnostics,
                                      kLinePeriod,
                                      kLineMean,
                                      kLineGeneralReset,
                                      kLineFrameError,
                                      kLineNoHostBridge,
                                      kLineHostBridgeFound,
                                      kLineHostBridgeWritten,
                                      kLineHostBridgeRestored,
                                      kLineI2CErrors,
                                      kLineVideoSwitches,
                                      kLineCameraLevelDac,
                                      kLineSensorInputs,
                                      kLineRelayOutputs,
                                      kLineI2CBusResets,
                                      kLineDevice,
                                      kLineStationStarted,
                                      kLineStationStopped,
                                      kLineTotal,
                                      kLineReadBack,
                                      kLineRegisterChanges,
                                      kLineClear,
                                      kLineStop,
                                      kLineFramePeriods,
                                      kLineCaptureBuffers,
                                      kLineEmptyFrames,
                                      kLineStoredConfigurations,
                                      kLineSaveColumn,
                                      kLineLoadColumn,
                                      kLineTimedLoadColumn,
                                      kLineNameColumn,
                                      kLineSaveQuestion,
                                      kLineTimedLoadOff,
                                      kLineModeDaily,
                                      kLineModeWorkdays,
                                      kLineModeWeekend,
                                      kLineTimedLoadOf,
                                      kLineTimedLoadTail,
                                      kLineUseTimedLoad,
                                      kLineTimeGroup,
                                      kLineDateGroup,
                                      kLineOnDate,
                                      kLineEveryDay,
                                      kLineMondayToFriday,
                                      kLineSaturdaySunday,
                                      kLineSetButton,
                                      kLineDateTimeWord,
                                      kLineConfigurationNotSaved,
                                      kLineConfTableNotSaved};

} // namespace station
