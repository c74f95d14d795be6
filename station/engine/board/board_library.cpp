#include "board_library.h"

#include "win32/modules.h"
#include "win32/synch.h"

namespace station {

const std::array<const char*, kBoardFunctionCount> kBoardFunctionNames = {
    "I2CIsInitOK",
    "I2CGetLastError",
    "I2CInitSWMode",
    "I2CInitHWMode",
    "I2CSWStart",
    "I2CSWStop",
    "I2CSWSendACK",
    "I2CSWRead",
    "I2CSWWrite",
    "I2CSWSetSCL",
    "I2CSWSetSDA",
    "I2CSWReadSDA",
    "I2CHWRead",
    "I2CHWWrite2",
    "I2CHWWrite3",
    "TarvoSetVideoSource",
    "TarvoSetContrast",
    "TarvoSetBrightness",
    "TarvoSetSaturation",
    "TarvoSetHue",
    "TarvoIsBridge",
    "TarvoReadBridgePCIInfo",
    "TarvoWriteBridgePCIInfo",
    "TarvoReadAllRegs",
    "TarvoCompareRegs",
    "TarvoReadRisc",
    "TarvoCompareRisc",
    "TarvoRiscStop",
    "TarvoRiscStart",
    "TarvoResetFormat",
    "WriteDecoder",
    "ReadDecoder",
    "GPIOIsInitOK",
    "GetGPDATA",
    "SetGPIOMODE",
    "SetGPOE",
    "SetGPDATABits",
    "GetGPDATABits",
    "SetGPINTI",
    "SetGPINTC",
    "GetGPINTI",
    "GetGPINTC",
};

namespace {

constexpr LONG kI2CFrequency = 100000;
constexpr LONG kGpioOutputs = 0x200; // line 9, the bus reset, is the only output
constexpr LONG kResetLine = 9;

template <class F> bool find(const BoardLibrary::Resolver& resolve, const char* name, F& slot) {
    const FARPROC p = resolve(name);
    if (p == nullptr) {
        return false;
    }
    slot = reinterpret_cast<F>(p);
    return true;
}

// Every lookup after the I2C initialisation, in order.
bool find_rest(const BoardLibrary::Resolver& r, BoardLibraryTable& t) {
#define TOLM_FIND(fn) find(r, #fn, t.fn)
    return TOLM_FIND(I2CSWStart) && TOLM_FIND(I2CSWStop) && TOLM_FIND(I2CSWSendACK) &&
           TOLM_FIND(I2CSWRead) && TOLM_FIND(I2CSWWrite) && TOLM_FIND(I2CSWSetSCL) &&
           TOLM_FIND(I2CSWSetSDA) && TOLM_FIND(I2CSWReadSDA) && TOLM_FIND(I2CHWRead) &&
           TOLM_FIND(I2CHWWrite2) && TOLM_FIND(I2CHWWrite3) && TOLM_FIND(TarvoSetVideoSource) &&
           TOLM_FIND(TarvoSetContrast) && TOLM_FIND(TarvoSetBrightness) &&
           TOLM_FIND(TarvoSetSaturation) && TOLM_FIND(TarvoSetHue) && TOLM_FIND(TarvoIsBridge) &&
           TOLM_FIND(TarvoReadBridgePCIInfo) && TOLM_FIND(TarvoWriteBridgePCIInfo) &&
           TOLM_FIND(TarvoReadAllRegs) && TOLM_FIND(TarvoCompareRegs) && TOLM_FIND(TarvoReadRisc) &&
           TOLM_FIND(TarvoCompareRisc) && TOLM_FIND(TarvoRiscStop) && TOLM_FIND(TarvoRiscStart) &&
           TOLM_FIND(TarvoResetFormat) && TOLM_FIND(WriteDecoder) && TOLM_FIND(ReadDecoder) &&
           TOLM_FIND(GPIOIsInitOK) && TOLM_FIND(GetGPDATA) && TOLM_FIND(SetGPIOMODE) &&
           TOLM_FIND(SetGPOE) && TOLM_FIND(SetGPDATABits) && TOLM_FIND(GetGPDATABits) &&
           TOLM_FIND(SetGPINTI) && TOLM_FIND(SetGPINTC) && TOLM_FIND(GetGPINTI) &&
           TOLM_FIND(GetGPINTC);
#undef TOLM_FIND
}

// GPIO mode 0, line 9 as the only output, and a 1, 0, 1 pulse on it, on every chip whose
// GPIO answers; false when none does.
bool init_gpio(const BoardLibraryTable& t) {
    bool any = false;
    for (LONG chip = 0; chip < kChipCount; ++chip) {
        if (t.GPIOIsInitOK(chip) == 0) {
            continue;
        }
        any = true;
        t.SetGPIOMODE(0, chip);
        t.SetGPOE(kGpioOutputs, chip);
        t.SetGPDATABits(kResetLine, kResetLine, 1, 0, chip);
        Sleep(1);
        t.SetGPDATABits(kResetLine, kResetLine, 0, 0, chip);
        Sleep(1);
        t.SetGPDATABits(kResetLine, kResetLine, 1, 0, chip);
    }
    return any;
}

} // namespace

void BoardLibrary::Load(const std::array<bool, kChipCount>& driver_connected) {
    Release();
    const HMODULE module = LoadLibraryA(kBoardLibraryName);
    if (module == nullptr) {
        return;
    }
    Bind([module](const char* name) { return GetProcAddress(module, name); }, driver_connected);
    module_ = module;
}

void BoardLibrary::Bind(const Resolver& r, const std::array<bool, kChipCount>& driver_connected) {
    loaded_ = true;
    on_ = false;
    BoardLibraryTable t{};

    // The first connected chip whose I2C answers as initialised carries the I2C set-up.
    bool connected = false;
    LONG chip = -1;
    for (LONG k = 0; k < kChipCount; ++k) {
        if (!driver_connected[static_cast<std::size_t>(k)]) {
            continue;
        }
        if (!connected) {
            connected = true;
            if (!find(r, "I2CIsInitOK", t.I2CIsInitOK)) {
                return;
            }
        }
        if (t.I2CIsInitOK(k) != 0) {
            chip = k;
            break;
        }
    }
    if (chip < 0) {
        return;
    }
    if (!find(r, "I2CGetLastError", t.I2CGetLastError) ||
        !find(r, "I2CInitSWMode", t.I2CInitSWMode) || !find(r, "I2CInitHWMode", t.I2CInitHWMode)) {
        return;
    }
    if (t.I2CInitHWMode(kI2CFrequency, chip) != 0) {
        return;
    }
    if (!find_rest(r, t) || !init_gpio(t)) {
        return;
    }
    table_ = t;
    on_ = true;
}

void BoardLibrary::Release() {
    on_ = false;
    loaded_ = false;
    table_ = {};
    if (module_ != nullptr) {
        FreeLibrary(module_);
        module_ = nullptr;
    }
}

} // namespace station
