#include "adj_net_model.h"

#include "ipv4.h"
#include "base/dialog_log.h"
#include "settings/settings_files.h"

#include <win32/dialogs.h>

#include <algorithm>

namespace station {
namespace {

constexpr int kCaptionLine = 27;
constexpr int kDisconnectLine = 127;
constexpr int kConnectLine = 128;
constexpr int kFirstColumnLine = 137; // column 0, rows 0..10: lines 137..147

// Decimal digits only; saturates far above any port.
long long DigitsValue(const std::string& digits) {
    long long value = 0;
    for (const char c : digits) {
        value = std::min(value * 10 + (c - '0'), 1'000'000'000LL);
    }
    return value;
}

// An optional sign and decimal digits, nothing else.
std::optional<long long> IntegerValue(const std::string& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    for (std::size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') {
            return std::nullopt;
        }
    }
    const long long value = DigitsValue(text.substr(i));
    return negative ? -value : value;
}

} // namespace

AdjNetModel::AdjNetModel(const BaseState& base, SettingsState& settings, bool& networkOn,
                         RemStations& links, ServerSocketPort& server)
    : base_(base), settings_(settings), network_on_(networkOn), links_(links), server_(server) {}

std::string AdjNetModel::Line(int n) const {
    return base_.LangList[n];
}

std::string AdjNetModel::Caption() const {
    return Line(kCaptionLine);
}

AdjNetModel::Undo AdjNetModel::current() const {
    return Undo{settings_.ServerPort, settings_.RemPorts, settings_.RemAddresses};
}

void AdjNetModel::FormShow() {
    undo_ = current();
    port_edit_enabled_ = false;
    LogDialogOpened(base_, Caption());
}

void AdjNetModel::beep() const {
    MessageBeep(MB_OK);
}

bool AdjNetModel::ServerPortEditKeyPress(char key) {
    if ((key >= '0' && key <= '9') || key == '\b') {
        return true;
    }
    beep();
    return false;
}

std::string AdjNetModel::ServerPortEditChange(const std::string& text) {
    std::string digits;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    bool beeped = false;
    if (digits.size() != text.size()) {
        beep(); // pasted text that is not all digits
        beeped = true;
    }
    if (!digits.empty() && DigitsValue(digits) > kPortEditMax) {
        if (!beeped) {
            beep();
        }
        while (!digits.empty() && DigitsValue(digits) > kPortEditMax) {
            digits.pop_back();
        }
    }
    if (digits.empty()) {
        beep();
        digits.assign(1, '0');
    }
    settings_.ServerPort = static_cast<std::int32_t>(DigitsValue(digits));
    return digits;
}

void AdjNetModel::Button1Click() {
    LogDialogButton(base_, Line(kDisconnectLine));
    if (server_.Active()) {
        server_.Close();
    }
    port_edit_enabled_ = true;
    network_on_ = false;
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        if (RemStation* link = links_.Get(n)) {
            link->Socket().Close();
        }
    }
}

void AdjNetModel::Button2Click() {
    LogDialogButton(base_, Line(kConnectLine));
    port_edit_enabled_ = false;
    if (server_.Active()) {
        server_.Close();
    }
    server_.Open(settings_.ServerPort); // a failure leaves the on-line lamp dark
    network_on_ = true;
}

void AdjNetModel::Timer1Timer() {
    lamps_[0] = {server_.Active(), false};
    static constexpr SocketEvent kShown[] = {kSockConnect, kSockDisconnect, kSockError, kSockRead,
                                             kSockWrite};
    for (int i = 0; i < 5; ++i) {
        std::uint8_t& flag = links_.SocketEventFlags[static_cast<std::size_t>(kShown[i])];
        lamps_[static_cast<std::size_t>(i + 1)] = {flag != 0, i + 1 == kErrorLamp};
        flag = 0;
    }
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        auto& column = grid_lamps_[static_cast<std::size_t>(n)];
        RemStation* link = links_.Get(n);
        for (int e = 0; e < kLinkEventCount; ++e) {
            bool lit = false;
            if (link != nullptr) {
                std::uint8_t& flag = link->LinkEventFlags[static_cast<std::size_t>(e)];
                lit = flag != 0;
                flag = 0;
            }
            column[static_cast<std::size_t>(e)] = {lit, e == kLinkError};
        }
        column[kLinkOpenRow - kFirstLampRow] = {link != nullptr && link->Socket().Active(), false};
    }
}

std::string AdjNetModel::CellText(int column, int row) const {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns) {
        return {};
    }
    if (column == 0) {
        return Line(kFirstColumnLine + row);
    }
    if (row == 0) {
        return std::to_string(column);
    }
    if (links_.Station(column) == nullptr) {
        return {};
    }
    const auto i = static_cast<std::size_t>(column - 1);
    if (row == kPortRow) {
        return std::to_string(settings_.RemPorts[i]);
    }
    if (row == kAddressRow) {
        return settings_.RemAddresses[i];
    }
    return {};
}

bool AdjNetModel::CellFixedColour(int column, int row) const {
    if (column == 0 || row == 0) {
        return true;
    }
    return network_on_;
}

std::optional<AdjNetModel::Lamp> AdjNetModel::CellLamp(int column, int row) const {
    if (column < 1 || column >= kColumns || row < kFirstLampRow || row >= kRows ||
        links_.Station(column) == nullptr) {
        return std::nullopt;
    }
    return grid_lamps_[static_cast<std::size_t>(column)]
                      [static_cast<std::size_t>(row - kFirstLampRow)];
}

bool AdjNetModel::Selectable(int column, int row) const {
    return column >= 1 && column < kColumns && (row == kPortRow || row == kAddressRow) &&
           !network_on_;
}

std::string AdjNetModel::GetEditText(int column, int row) const {
    if (column < 1 || column >= kColumns) {
        return {};
    }
    return CellText(column, row);
}

void AdjNetModel::SetEditText(int column, int row, const std::string& text) {
    if (column < 1 || column >= kColumns) {
        return;
    }
    RemStation* link = links_.Get(column);
    if (link == nullptr) {
        return;
    }
    const auto i = static_cast<std::size_t>(column - 1);
    if (row == kPortRow) {
        const std::optional<long long> value = IntegerValue(text);
        const std::int32_t port = value && ValidPort(static_cast<int>(*value))
                                      ? static_cast<std::int32_t>(*value)
                                      : kDefaultPort;
        link->Port = port;
        settings_.RemPorts[i] = port;
    } else if (row == kAddressRow) {
        link->Address = text;
        settings_.RemAddresses[i] = text;
    }
}

std::vector<std::string> AdjNetModel::ConnectionLines() const {
    return links_.ConnectionLines(base_.LangList);
}

void AdjNetModel::FormClose() {
    if (!(current() == undo_)) {
        LogDialogChanged(base_, Caption());
    }
}

void AdjNetModel::FormDestroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    LogDialogClosed(base_, Caption());
    SaveNetIni(base_, settings_);
}

} // namespace station
