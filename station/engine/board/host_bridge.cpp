#include "host_bridge.h"

#include "base/base_state.h"
#include "base/language_lines.h"
#include "base/work_log.h"

#include <cstdio>
#include <string>

namespace station {
namespace {

constexpr int kHardwareCategory = 5;
constexpr DWORD kPciFixBits = 6;

void log_value(const BaseState& base, int line, DWORD value) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(value));
    WriteReport(base, kHardwareCategory, base.LangList[line] + " " + hex);
}

} // namespace

void HostBridge::Read(const BoardLibrary& library) {
    if (!library.BoardControlOn()) {
        return;
    }
    BridgePresent = library.Table().TarvoIsBridge() != 0;
    if (BridgePresent) {
        BridgeValue = library.Table().TarvoReadBridgePCIInfo();
    }
}

void HostBridge::ReportAndFix(const BaseState& base, const BoardLibrary& library, bool pci_fix) {
    if (!BridgePresent || !library.BoardControlOn()) {
        WriteReport(base, kHardwareCategory, base.LangList[kLineNoHostBridge]);
        return;
    }
    log_value(base, kLineHostBridgeFound, BridgeValue);
    if (pci_fix && (BridgeValue & kPciFixBits) != kPciFixBits) {
        const DWORD fixed = BridgeValue | kPciFixBits;
        library.Table().TarvoWriteBridgePCIInfo(fixed);
        log_value(base, kLineHostBridgeWritten, fixed);
    }
}

void HostBridge::Restore(const BaseState& base, const BoardLibrary& library) {
    if (!BridgePresent || !library.BoardControlOn()) {
        return;
    }
    if (library.Table().TarvoReadBridgePCIInfo() != BridgeValue) {
        library.Table().TarvoWriteBridgePCIInfo(BridgeValue);
        log_value(base, kLineHostBridgeRestored, BridgeValue);
    }
}

} // namespace station
