// The camera window's alarm actions, run for every frame after the overlays: the alarm-monitor
// request, the sound request, recording into the archive (on alarm, or while the manual button
// is down), the relay hold, restoring and idle minimising of the window, and the alarm flag for
// remote stations. Requests are flags the main cycle and the sound timer carry out; recording
// calls the archive writer at once.
//
// "Now" is the platform's 32-bit millisecond tick; a stored tick above now (the tick wrapped)
// is first set to now.
#pragma once

#include "live/chanel_window.h"
#include "notice_port.h"
#include "station_archive.h"

#include "archive/archive_writer.h"

#include <cstdint>
#include <functional>
#include <span>

namespace station {

class BoardPort;
class FrameHandoff;

// The three alarm conditions of a window for one frame.
struct AlarmConditions {
    bool Detection = false; // changes with an object in FindFrames frames
    bool Input = false;     // the window's sensor input at its active level
    bool Remote = false;    // a remote station's alarm that came with the frame, when used
    bool Local() const { return Detection || Input; }
    bool Any() const { return Detection || Input || Remote; }
};
AlarmConditions AlarmConditionsOf(const ChanelWindow& w, int remoteFlag);

// Recording's zone for an alarm frame: the object, or without detection the whole picture
// (which the window's object centre and zone size then also say).
struct RecordZone {
    int X = 500;
    int Y = 500;
    int Size = 1000;
};

// Marks every changed point of the window's last frame into the frame's pixels: the point and
// its eight neighbours one per mille away; marks outside the picture are left out.
void BurnChangedPoints(const ChanelWindow& w, std::span<const std::uint8_t> header,
                       std::span<std::uint8_t> pixels);

class AlarmActions : public FrameActions {
public:
    // `board`: the error tone; `archive`: where frames are recorded; `notices`: the
    // write-failure notice; `lang`: its texts.
    AlarmActions(BoardPort& board, const StationArchive& archive, NoticePort& notices,
                 const LanguageList& lang)
        : board_(board), archive_(archive), notices_(notices), lang_(lang) {}

    // The live station's hand-off, whose remote alarm flags SetRemAlarm sets (the live station
    // is made with these actions, so it is attached afterwards).
    void Attach(FrameHandoff& handoff) { handoff_ = &handoff; }

    void Mon_Control(ChanelWindow& w) override;
    void Zvuk(ChanelWindow& w, int remoteFlag) override;
    void Save_To_Disk(ChanelWindow& w, std::span<const std::uint8_t> header,
                      std::span<std::uint8_t> pixels, int remoteFlag) override;
    void SetAlarmOutputActive(ChanelWindow& w, int remoteFlag) override;
    void SetWindowState(ChanelWindow& w, int remoteFlag) override;
    void SetRemAlarm(ChanelWindow& w, int camera, int chip) override;

    // The archive writer (tests record what would be written).
    std::function<std::int32_t(archive::ArchiveContext&, const archive::ArchFrame&)> Writer =
        archive::ArchWriteFrame;

private:
    // ArchWriteFrame with the window's recording fields; -1 when the writer raised an error
    // (after the error tone).
    std::int32_t write(ChanelWindow& w, std::span<const std::uint8_t> header,
                       std::span<const std::uint8_t> pixels, bool alarm, const RecordZone& zone);

    BoardPort& board_;
    FrameHandoff* handoff_ = nullptr;
    const StationArchive& archive_;
    NoticePort& notices_;
    const LanguageList& lang_;
};

} // namespace station
