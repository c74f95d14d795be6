// Removal of Plug and Play devices and INF files of the chips that another driver claimed.
#pragma once

#include <string>
#include <vector>

namespace setup {

// Removes (class installer, DIF_REMOVE) every present device one of whose hardware IDs begins,
// ignoring case, with one of `pci_ids`. 1 when at least one device was removed, else 0.
int RemoveMatchingDevices(const std::vector<std::string>& pci_ids);

// Deletes the INF files that name one of `pci_ids`: ScanInfDirectory on the Windows directory's
// "INF" folder, then on the system directory.
void PurgeDeviceInfs(const std::vector<std::string>& pci_ids);

// Scans `folder` and its sub-folders: every "*.inf" file whose content holds one of `pci_ids`
// (as UTF-16 text, else as 8-bit text) is deleted with its ".PNF" companion.
void ScanInfDirectory(const std::string& folder, const std::vector<std::string>& pci_ids);

} // namespace setup
