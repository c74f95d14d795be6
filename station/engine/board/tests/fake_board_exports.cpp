// The fake board-control library's 42 functions under their library names, acting on
// FakeBoard::Current(). Exported from the fake module, and linked into the tests for the
// in-process resolver.
#include "fake_board.h"

#include <utility>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

using station::test::FakeBoard;

namespace {

FakeBoard& board() {
    return *FakeBoard::Current();
}

std::size_t chip_index(LONG chip) {
    return static_cast<std::size_t>(chip) & 3u;
}

int untyped(const char* name) {
    board().record(name, {});
    return 0;
}

} // namespace

FAKE_EXPORT BYTE I2CIsInitOK(LONG chip) {
    board().record("I2CIsInitOK", {chip});
    return board().i2c_init_ok[chip_index(chip)];
}
FAKE_EXPORT SHORT I2CGetLastError(LONG chip) {
    board().record("I2CGetLastError", {chip});
    return board().next_error_code();
}
FAKE_EXPORT int I2CInitSWMode() {
    return untyped("I2CInitSWMode");
}
FAKE_EXPORT LONG I2CInitHWMode(LONG frequency, LONG chip) {
    board().record("I2CInitHWMode", {frequency, chip});
    return board().hw_init_result;
}
FAKE_EXPORT int I2CSWStart() {
    return untyped("I2CSWStart");
}
FAKE_EXPORT int I2CSWStop() {
    return untyped("I2CSWStop");
}
FAKE_EXPORT int I2CSWSendACK() {
    return untyped("I2CSWSendACK");
}
FAKE_EXPORT int I2CSWRead() {
    return untyped("I2CSWRead");
}
FAKE_EXPORT int I2CSWWrite() {
    return untyped("I2CSWWrite");
}
FAKE_EXPORT int I2CSWSetSCL() {
    return untyped("I2CSWSetSCL");
}
FAKE_EXPORT int I2CSWSetSDA() {
    return untyped("I2CSWSetSDA");
}
FAKE_EXPORT int I2CSWReadSDA() {
    return untyped("I2CSWReadSDA");
}
FAKE_EXPORT LONG I2CHWRead(LONG address, BYTE* value, LONG chip) {
    FakeBoard& b = board();
    b.record("I2CHWRead", {address, chip});
    const LONG r = b.next_i2c_result();
    if (r != 0) {
        *value = 0xEE;
    } else if (!b.read_bytes.empty()) {
        *value = b.read_bytes.front();
        b.read_bytes.pop_front();
    } else if (b.read_values.count(address) != 0) {
        *value = b.read_values[address];
    } else if (b.last_written.count(address - 1) != 0) {
        *value = b.last_written[address - 1];
    } else {
        *value = 0xFF;
    }
    return r;
}
FAKE_EXPORT LONG I2CHWWrite2(LONG address, BYTE value, LONG chip) {
    FakeBoard& b = board();
    b.record("I2CHWWrite2", {address, value, chip});
    const LONG r = b.next_i2c_result();
    if (r == 0) {
        b.last_written[address] = value;
    }
    return r;
}
FAKE_EXPORT LONG I2CHWWrite3(LONG address, BYTE value1, BYTE value2, LONG chip) {
    board().record("I2CHWWrite3", {address, value1, value2, chip});
    return board().next_i2c_result();
}
FAKE_EXPORT int TarvoSetVideoSource() {
    return untyped("TarvoSetVideoSource");
}
FAKE_EXPORT int TarvoSetContrast() {
    return untyped("TarvoSetContrast");
}
FAKE_EXPORT int TarvoSetBrightness() {
    return untyped("TarvoSetBrightness");
}
FAKE_EXPORT void TarvoSetSaturation(LONG value, LONG chip) {
    board().record("TarvoSetSaturation", {value, chip});
}
FAKE_EXPORT void TarvoSetHue(LONG value, LONG chip) {
    board().record("TarvoSetHue", {value, chip});
}
FAKE_EXPORT BYTE TarvoIsBridge() {
    board().record("TarvoIsBridge", {});
    return board().bridge_present;
}
FAKE_EXPORT DWORD TarvoReadBridgePCIInfo() {
    board().record("TarvoReadBridgePCIInfo", {});
    return board().bridge_value;
}
FAKE_EXPORT void TarvoWriteBridgePCIInfo(DWORD value) {
    board().record("TarvoWriteBridgePCIInfo", {value});
    board().bridge_value = value;
}
FAKE_EXPORT void TarvoReadAllRegs(LONG chip) {
    board().record("TarvoReadAllRegs", {chip});
}
FAKE_EXPORT SHORT TarvoCompareRegs(LONG*, LONG*, LONG*, LONG chip) {
    board().record("TarvoCompareRegs", {chip});
    return 0;
}
FAKE_EXPORT void TarvoReadRisc(LONG chip) {
    board().record("TarvoReadRisc", {chip});
}
FAKE_EXPORT SHORT TarvoCompareRisc(LONG*, LONG*, LONG*, LONG chip) {
    board().record("TarvoCompareRisc", {chip});
    return 0;
}
FAKE_EXPORT void TarvoRiscStop(LONG reserved1, LONG reserved2, LONG chip) {
    board().record("TarvoRiscStop", {reserved1, reserved2, chip});
}
FAKE_EXPORT void TarvoRiscStart(LONG chip) {
    board().record("TarvoRiscStart", {chip});
}
FAKE_EXPORT void TarvoResetFormat(LONG chip) {
    board().record("TarvoResetFormat", {chip});
}
FAKE_EXPORT void WriteDecoder(LONG reg, BYTE value, LONG chip) {
    board().record("WriteDecoder", {reg, value, chip});
    board().decoder[chip_index(chip)][reg] = value;
}
FAKE_EXPORT void ReadDecoder(LONG reg, BYTE* value, LONG chip) {
    board().record("ReadDecoder", {reg, chip});
    auto& regs = board().decoder[chip_index(chip)];
    *value = regs.count(reg) != 0 ? regs[reg] : 0;
}
FAKE_EXPORT BYTE GPIOIsInitOK(LONG chip) {
    board().record("GPIOIsInitOK", {chip});
    return board().gpio_init_ok[chip_index(chip)];
}
FAKE_EXPORT int GetGPDATA() {
    return untyped("GetGPDATA");
}
FAKE_EXPORT void SetGPIOMODE(LONG mode, LONG chip) {
    board().record("SetGPIOMODE", {mode, chip});
}
FAKE_EXPORT void SetGPOE(LONG mask, LONG chip) {
    board().record("SetGPOE", {mask, chip});
}
FAKE_EXPORT void SetGPDATABits(LONG high_bit, LONG low_bit, LONG value, LONG reserved, LONG chip) {
    board().record("SetGPDATABits", {high_bit, low_bit, value, reserved, chip});
}
FAKE_EXPORT void GetGPDATABits(LONG high_bit, LONG low_bit, LONG* value, LONG reserved, LONG chip) {
    board().record("GetGPDATABits", {high_bit, low_bit, reserved, chip});
    *value = board().gpdata_bits;
}
FAKE_EXPORT int SetGPINTI() {
    return untyped("SetGPINTI");
}
FAKE_EXPORT int SetGPINTC() {
    return untyped("SetGPINTC");
}
FAKE_EXPORT int GetGPINTI() {
    return untyped("GetGPINTI");
}
FAKE_EXPORT int GetGPINTC() {
    return untyped("GetGPINTC");
}

FAKE_EXPORT FakeBoard* FakeBoardState() {
    return FakeBoard::Current();
}

namespace station::test {

BoardLibrary::Resolver FakeBoardResolver(FakeBoard& b, std::string_view missing) {
#define FAKE_ENTRY(fn)                                                                             \
    { #fn, reinterpret_cast < FARPROC>(&::fn) }
    static const std::map<std::string, FARPROC, std::less<>> exports = {
        FAKE_ENTRY(I2CIsInitOK),
        FAKE_ENTRY(I2CGetLastError),
        FAKE_ENTRY(I2CInitSWMode),
        FAKE_ENTRY(I2CInitHWMode),
        FAKE_ENTRY(I2CSWStart),
        FAKE_ENTRY(I2CSWStop),
        FAKE_ENTRY(I2CSWSendACK),
        FAKE_ENTRY(I2CSWRead),
        FAKE_ENTRY(I2CSWWrite),
        FAKE_ENTRY(I2CSWSetSCL),
        FAKE_ENTRY(I2CSWSetSDA),
        FAKE_ENTRY(I2CSWReadSDA),
        FAKE_ENTRY(I2CHWRead),
        FAKE_ENTRY(I2CHWWrite2),
        FAKE_ENTRY(I2CHWWrite3),
        FAKE_ENTRY(TarvoSetVideoSource),
        FAKE_ENTRY(TarvoSetContrast),
        FAKE_ENTRY(TarvoSetBrightness),
        FAKE_ENTRY(TarvoSetSaturation),
        FAKE_ENTRY(TarvoSetHue),
        FAKE_ENTRY(TarvoIsBridge),
        FAKE_ENTRY(TarvoReadBridgePCIInfo),
        FAKE_ENTRY(TarvoWriteBridgePCIInfo),
        FAKE_ENTRY(TarvoReadAllRegs),
        FAKE_ENTRY(TarvoCompareRegs),
        FAKE_ENTRY(TarvoReadRisc),
        FAKE_ENTRY(TarvoCompareRisc),
        FAKE_ENTRY(TarvoRiscStop),
        FAKE_ENTRY(TarvoRiscStart),
        FAKE_ENTRY(TarvoResetFormat),
        FAKE_ENTRY(WriteDecoder),
        FAKE_ENTRY(ReadDecoder),
        FAKE_ENTRY(GPIOIsInitOK),
        FAKE_ENTRY(GetGPDATA),
        FAKE_ENTRY(SetGPIOMODE),
        FAKE_ENTRY(SetGPOE),
        FAKE_ENTRY(SetGPDATABits),
        FAKE_ENTRY(GetGPDATABits),
        FAKE_ENTRY(SetGPINTI),
        FAKE_ENTRY(SetGPINTC),
        FAKE_ENTRY(GetGPINTI),
        FAKE_ENTRY(GetGPINTC),
    };
#undef FAKE_ENTRY
    FakeBoard::Current() = &b;
    return [missing = std::string(missing)](const char* name) -> FARPROC {
        if (missing == name) {
            return nullptr;
        }
        const auto it = exports.find(std::string_view(name));
        return it == exports.end() ? nullptr : it->second;
    };
}

} // namespace station::test
