// The network settings dialog (TAdjNetForm) without widgets: the listening port edit, the
// disconnect and connect buttons, the lamps of the listening socket and the grid of the twenty
// remote stations (port, address, the lamps of each link), its work-log lines and the file.
//
// Every edit acts on the live tables at once; "netini.pdt" is written when the dialog goes.
// The lamps are taken on the 300 ms tick: a flag set since the last tick lights its lamp until
// the next tick, however often the form paints, and is cleared by the tick.
#pragma once

#include "rem_stations.h"
#include "socket_ports.h"
#include "base/base_state.h"
#include "settings/settings_state.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace station {

class AdjNetModel {
public:
    static constexpr int kColumns = kRemoteStationCount + 1;
    static constexpr int kRows = 11;
    static constexpr int kColumnWidth = 80;
    static constexpr int kRowHeight = 16;
    static constexpr int kTimerMs = 300;
    static constexpr int kPortRow = 1;
    static constexpr int kAddressRow = 2;
    static constexpr int kFirstLampRow = 3;
    static constexpr int kLinkOpenRow = 10;
    // The port edit takes no value above this.
    static constexpr int kPortEditMax = 32767;

    // Lamps c1..c6: on line, client connected, disconnected, error, receive, transmit.
    static constexpr int kLamps = 6;
    static constexpr int kErrorLamp = 3;

    struct Lamp {
        bool Lit = false;
        bool Red = false; // red / dark red instead of bright / dark green
        bool operator==(const Lamp&) const = default;
    };

    // `base`, `settings`, `networkOn`, `links` and `server` outlive the model.
    AdjNetModel(const BaseState& base, SettingsState& settings, bool& networkOn, RemStations& links,
                ServerSocketPort& server);

    std::string Caption() const;
    // A language line (the control texts come from the language file).
    std::string Line(int n) const;

    // FormShow: the undo copy, the opening line. The port edit then shows PortEditText()
    // without the edit rule being run on it.
    void FormShow();
    std::string PortEditText() const { return std::to_string(settings_.ServerPort); }
    bool PortEditEnabled() const { return port_edit_enabled_; }

    // ServerPortEditKeyPress: whether a typed character goes through (digits and Backspace
    // '\b'); any other beeps.
    bool ServerPortEditKeyPress(char key);
    // ServerPortEditChange on text the operator changed (typed or pasted): the text the edit
    // shows afterwards (caret at the end). Characters other than digits are dropped with a
    // beep; a value above 32767 beeps and loses its last digits; empty beeps and shows "0".
    // ServerPort takes the value.
    std::string ServerPortEditChange(const std::string& text);

    // Disconnect and connect.
    void Button1Click();
    void Button2Click();

    // Timer1Timer: takes the lamps and clears the flags they show.
    void Timer1Timer();
    const std::array<Lamp, kLamps>& Lamps() const { return lamps_; }

    // The grid (DG1DrawCell): the text of a cell, whether rows 1 and 2 of a station column are
    // on the fixed colour (NetworkOn) or the window colour, and the lamps of rows 3..10 as the
    // last tick took them (nothing for a station that does not exist).
    std::string CellText(int column, int row) const;
    bool CellFixedColour(int column, int row) const;
    std::optional<Lamp> CellLamp(int column, int row) const;

    // DG1SelectCell: only ports and addresses of stations 1..20, and only while NetworkOn is
    // off.
    bool Selectable(int column, int row) const;
    std::string GetEditText(int column, int row) const;
    // DG1SetEditText: a port that is not a number in 1..65535 becomes 1018; an address is
    // stored as it is typed.
    void SetEditText(int column, int row, const std::string& text);

    // The listening socket's connections as the memo lists them.
    std::vector<std::string> ConnectionLines() const;

    // FormClose: the changes-made line when a port or an address differs from the undo copy.
    void FormClose();
    // FormDestroy: the closing line; "netini.pdt" written. Once.
    void FormDestroy();

private:
    void beep() const;

    const BaseState& base_;
    SettingsState& settings_;
    bool& network_on_;
    RemStations& links_;
    ServerSocketPort& server_;
    bool port_edit_enabled_ = false;
    bool destroyed_ = false;

    struct Undo {
        std::int32_t ServerPort = 0;
        std::array<std::int32_t, kRemoteStationCount> RemPorts{};
        std::array<std::string, kRemoteStationCount> RemAddresses{};
        bool operator==(const Undo&) const = default;
    };
    Undo undo_;
    Undo current() const;

    std::array<Lamp, kLamps> lamps_{};
    // [station 1..20][row 3..10 as 0..7]
    std::array<std::array<Lamp, kRows - kFirstLampRow>, kRemoteStationCount + 1> grid_lamps_{};
};

} // namespace station
