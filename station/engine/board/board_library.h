// The board-control library "TarvoVFW.DLL": I2C, GPIO, decoder registers, DMA-program
// snapshots and the PCI host bridge of the capture chips. The chip index 0..3 is the last
// argument of every chip call. The station binds it once at start-up; board control is on only
// when every function was found and a chip initialised. While it is off nothing of the library
// is called.
#pragma once

#include "base/limits.h"
#include "win32/types.h"

#include <array>
#include <functional>

namespace station {

inline constexpr const char* kBoardLibraryName = "TarvoVFW.DLL";
// The library's 42 functions, in the order the binding looks them up.
inline constexpr int kBoardFunctionCount = 42;

// The library's functions. Those the station only looks up keep their untyped address.
struct BoardLibraryTable {
    BYTE(WINAPI* I2CIsInitOK)(LONG chip);
    SHORT(WINAPI* I2CGetLastError)(LONG chip);
    FARPROC I2CInitSWMode;
    LONG(WINAPI* I2CInitHWMode)(LONG frequency, LONG chip);
    FARPROC I2CSWStart;
    FARPROC I2CSWStop;
    FARPROC I2CSWSendACK;
    FARPROC I2CSWRead;
    FARPROC I2CSWWrite;
    FARPROC I2CSWSetSCL;
    FARPROC I2CSWSetSDA;
    FARPROC I2CSWReadSDA;
    LONG(WINAPI* I2CHWRead)(LONG address, BYTE* value, LONG chip);
    LONG(WINAPI* I2CHWWrite2)(LONG address, BYTE value, LONG chip);
    LONG(WINAPI* I2CHWWrite3)(LONG address, BYTE value1, BYTE value2, LONG chip);
    FARPROC TarvoSetVideoSource;
    FARPROC TarvoSetContrast;
    FARPROC TarvoSetBrightness;
    void(WINAPI* TarvoSetSaturation)(LONG value, LONG chip);
    void(WINAPI* TarvoSetHue)(LONG value, LONG chip);
    BYTE(WINAPI* TarvoIsBridge)();
    DWORD(WINAPI* TarvoReadBridgePCIInfo)();
    void(WINAPI* TarvoWriteBridgePCIInfo)(DWORD value);
    void(WINAPI* TarvoReadAllRegs)(LONG chip);
    // Arrays of 16 entries; answers the number n of differences, the first n entries filled.
    SHORT(WINAPI* TarvoCompareRegs)(LONG* addresses, LONG* old_values, LONG* new_values, LONG chip);
    void(WINAPI* TarvoReadRisc)(LONG chip);
    // As TarvoCompareRegs, arrays of 4096 entries.
    SHORT(WINAPI* TarvoCompareRisc)(LONG* addresses, LONG* old_values, LONG* new_values, LONG chip);
    void(WINAPI* TarvoRiscStop)(LONG reserved1, LONG reserved2, LONG chip);
    void(WINAPI* TarvoRiscStart)(LONG chip);
    void(WINAPI* TarvoResetFormat)(LONG chip);
    void(WINAPI* WriteDecoder)(LONG reg, BYTE value, LONG chip);
    void(WINAPI* ReadDecoder)(LONG reg, BYTE* value, LONG chip);
    BYTE(WINAPI* GPIOIsInitOK)(LONG chip);
    FARPROC GetGPDATA;
    void(WINAPI* SetGPIOMODE)(LONG mode, LONG chip);
    void(WINAPI* SetGPOE)(LONG mask, LONG chip);
    void(WINAPI* SetGPDATABits)(LONG high_bit, LONG low_bit, LONG value, LONG reserved, LONG chip);
    void(WINAPI* GetGPDATABits)(LONG high_bit, LONG low_bit, LONG* value, LONG reserved, LONG chip);
    FARPROC SetGPINTI;
    FARPROC SetGPINTC;
    FARPROC GetGPINTI;
    FARPROC GetGPINTC;
};
static_assert(sizeof(BoardLibraryTable) == kBoardFunctionCount * sizeof(void*));

// The names of the 42 functions, in lookup order.
extern const std::array<const char*, kBoardFunctionCount> kBoardFunctionNames;

class BoardLibrary {
public:
    // Finds a function of the library by name; null when it has none.
    using Resolver = std::function<FARPROC(const char* name)>;

    BoardLibrary() = default;
    BoardLibrary(const BoardLibrary&) = delete;
    BoardLibrary& operator=(const BoardLibrary&) = delete;
    ~BoardLibrary() { Release(); }

    // Loads "TarvoVFW.DLL" by name and binds it over its exports. `driver_connected[i]`: the
    // capture driver of chip i is connected.
    void Load(const std::array<bool, kChipCount>& driver_connected);
    // The binding over any lookup, as if the library were loaded (the resolver stands for it).
    void Bind(const Resolver& find, const std::array<bool, kChipCount>& driver_connected);
    // Board control off; the library is released when it was loaded.
    void Release();

    bool BoardLibLoaded() const { return loaded_; }
    bool BoardControlOn() const { return on_; }
    // The functions; call them only while BoardControlOn().
    const BoardLibraryTable& Table() const { return table_; }

private:
    HMODULE module_ = nullptr;
    bool loaded_ = false;
    bool on_ = false;
    BoardLibraryTable table_{};
};

} // namespace station
