#include "settings_dialogs.h"

#include <utility>

namespace station {

std::uint64_t DialogRegistry::Register(SettingsDialog d, FreeAction free) {
    Entry& e = at(d);
    e.free = std::move(free);
    e.ticket = next_ticket_++;
    return e.ticket;
}

void DialogRegistry::Closed(SettingsDialog d, std::uint64_t ticket) {
    Entry& e = at(d);
    if (e.ticket == ticket) {
        e = Entry{};
    }
}

void DialogRegistry::Free(SettingsDialog d) {
    Entry& e = at(d);
    if (!e.free) {
        return;
    }
    // The entry goes first: the free action may run code that looks at the registry.
    const FreeAction free = std::move(e.free);
    e = Entry{};
    free();
}

void DialogRegistry::Free(std::span<const SettingsDialog> list) {
    for (const SettingsDialog d : list) {
        Free(d);
    }
}

} // namespace station
