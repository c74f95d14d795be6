#include "rem_stations.h"

namespace station {

RemStations::RemStations(RemHost host, ServerSocketPort& server,
                         RemStation::SocketFactory makeSocket)
    : host_(host), server_(server), make_socket_(std::move(makeSocket)) {
    host_.Links = this;
}

RemStations::~RemStations() {
    FreeAll();
}

void RemStations::CreateAll() {
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        RemStation& r = Create(n);
        r.Port = host_.Settings.RemPorts[static_cast<std::size_t>(n - 1)];
        r.Address = host_.Settings.RemAddresses[static_cast<std::size_t>(n - 1)];
    }
}

RemStation& RemStations::Create(int n) {
    auto& slot = stations_[static_cast<std::size_t>(n)];
    if (!slot) {
        slot = std::make_unique<RemStation>(n, host_, make_socket_);
    }
    return *slot;
}

void RemStations::Free(int n) {
    auto& slot = stations_[static_cast<std::size_t>(n)];
    if (slot) {
        // Destroy looks the links up while it closes: this one stays listed until it is gone.
        delete slot.get();
        (void)slot.release();
    }
}

void RemStations::FreeAll() {
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        Free(n);
    }
}

RemStation* RemStations::Get(int n) {
    return ValidRemote(n) ? stations_[static_cast<std::size_t>(n)].get() : nullptr;
}

const RemStation* RemStations::Station(int n) const {
    return ValidRemote(n) ? stations_[static_cast<std::size_t>(n)].get() : nullptr;
}

bool RemStations::Exists(int n) const {
    return Station(n) != nullptr;
}

bool RemStations::Subscribed(int n, int chip, int camera) const {
    const RemStation* r = Station(n);
    return r != nullptr && ValidChip(chip) && ValidCamera(camera) &&
           r->PeerWantsFrame[chip][camera] != 0;
}

void RemStations::RenewSubscription(int n, int chip, int camera, bool jpeg, std::int16_t quality) {
    RemStation* r = Get(n);
    if (r == nullptr || !ValidChip(chip) || !ValidCamera(camera)) {
        return;
    }
    r->Subscribe[chip][camera] = 1;
    r->SubscribeJpeg[chip][camera] = jpeg ? 1 : 0;
    r->SubscribeQuality[chip][camera] = quality;
}

void RemStations::SendTick(int n) {
    if (RemStation* r = Get(n)) {
        r->SendTick();
    }
}

void RemStations::RequestMonitorSwitch(int n, std::int16_t camera, std::int16_t monitor) {
    if (RemStation* r = Get(n)) {
        r->MonSwitchCamera = camera;
        r->MonSwitchMonitor = monitor;
        r->MonSwitchPending = 1;
    }
}

} // namespace station
