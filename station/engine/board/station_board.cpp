#include "station_board.h"

#include "live/live_startup.h"
#include "live/live_station.h"

#include <cstddef>

namespace station {
namespace {

constexpr LONG kColourFormatRegister = 0xD4;

std::array<bool, kChipCount> driver_connected(const LiveStation& live) {
    std::array<bool, kChipCount> connected{};
    for (int k = 1; k <= kChipCount; ++k) {
        connected[static_cast<std::size_t>(k - 1)] = live.Handoff.Chip(k).DriverConnected;
    }
    return connected;
}

} // namespace

void StationBoard::Attach(LiveStation& live) {
    Windows.Attach(live.Slots);
    Port.Attach(live.Tables, Windows);
}

void StationBoard::LoadBoardLibrary(const LiveStation& live) {
    Library.Load(driver_connected(live));
    Bridge.Read(Library);
}

void StationBoard::BindBoardLibrary(const BoardLibrary::Resolver& find, const LiveStation& live) {
    Library.Bind(find, driver_connected(live));
    Bridge.Read(Library);
}

bool StationBoard::TakePresentChips(LiveStation& live) {
    const bool any = station::TakePresentChips(live);
    for (int k = 1; k <= kChipCount; ++k) {
        ChipPresent[static_cast<std::size_t>(k - 1)] = live.Handoff.Chip(k).ChipPresent;
    }
    return any;
}

void StationBoard::ReadColourFormat(int k) {
    if (Library.BoardControlOn() && k >= 1 && k <= kChipCount) {
        Library.Table().ReadDecoder(kColourFormatRegister,
                                    &ColourFormat[static_cast<std::size_t>(k - 1)], k - 1);
    }
}

} // namespace station
