// The board-control library TarvoVFW.DLL: hardware-mode I2C on each capture chip's bus, GPIO,
// decoder registers by offset, picture controls, register and DMA-program snapshots with their
// comparison, DMA stop and start, format reset and the PCI host bridge's throughput value.
//
// The chip index 0 to 3 is the last argument of every chip call (bridge calls have none). Each
// chip's kernel device "\\.\TarvoDevice<chip>" is opened at the chip's first call and kept until
// the library is released.
//
// I2C calls answer 0 on success or one of the codes below, which I2CGetLastError then repeats
// until the next failure. The software-mode I2C calls are not supported: they touch nothing and
// answer TARVO_I2C_NOT_SUPPORTED.
#pragma once

#include "win32/types.h"

// I2C result codes.
enum : SHORT {
    TARVO_I2C_OK = 0,
    TARVO_I2C_NO_ACK = 1,         // a byte was not acknowledged: no device at the address
    TARVO_I2C_TIMEOUT = 2,        // the transaction never signalled its end (hung bus)
    TARVO_I2C_BUS_BUSY = 3,       // SCL or SDA held low before the start
    TARVO_I2C_BUS_IN_RESET = 4,   // no acknowledge while GPIO line 9 holds the bus in reset
    TARVO_I2C_BAD_ARGUMENT = 5,   // address, frequency or value pointer out of range
    TARVO_I2C_NO_DEVICE = 6,      // no such chip, or its kernel device cannot be opened
    TARVO_I2C_REQUEST_FAILED = 7, // a request to the kernel device failed
    TARVO_I2C_NOT_SUPPORTED = 8,  // software-mode I2C
};

// The exports keep default visibility also in a build that hides everything else.
#pragma GCC visibility push(default)
extern "C" {

// ---- I2C ------------------------------------------------------------------------------------
// Non-zero when the chip's I2C controller can be reached.
BYTE WINAPI I2CIsInitOK(LONG chip);
SHORT WINAPI I2CGetLastError(LONG chip);
// Hardware mode at `frequency` Hz: up to 100000 the standard rate, up to 400000 the fast rate.
// Transactions always run in hardware mode, at the standard rate until this sets another.
LONG WINAPI I2CInitHWMode(LONG frequency, LONG chip);
// Reads one byte from the device at the 8-bit address byte `address` (bit 0 is set for it).
LONG WINAPI I2CHWRead(LONG address, BYTE* value, LONG chip);
// Writes one or two bytes to the device at `address` (bit 0 is cleared for it).
LONG WINAPI I2CHWWrite2(LONG address, BYTE value, LONG chip);
LONG WINAPI I2CHWWrite3(LONG address, BYTE value1, BYTE value2, LONG chip);
// Software mode (bit-banging): not supported.
LONG WINAPI I2CInitSWMode(LONG chip);
LONG WINAPI I2CSWStart(LONG chip);
LONG WINAPI I2CSWStop(LONG chip);
LONG WINAPI I2CSWSendACK(LONG ack, LONG chip);
LONG WINAPI I2CSWRead(BYTE* value, LONG chip);
LONG WINAPI I2CSWWrite(BYTE value, LONG chip);
LONG WINAPI I2CSWSetSCL(LONG level, LONG chip);
LONG WINAPI I2CSWSetSDA(LONG level, LONG chip);
LONG WINAPI I2CSWReadSDA(BYTE* level, LONG chip);

// ---- Picture ----------------------------------------------------------------------------------
// Connector 0 to 3 of the decoder's input selector.
void WINAPI TarvoSetVideoSource(LONG connector, LONG chip);
// 0 to 255 each (values outside are clamped); the other picture values stay as they are.
void WINAPI TarvoSetContrast(LONG value, LONG chip);
void WINAPI TarvoSetBrightness(LONG value, LONG chip);
void WINAPI TarvoSetSaturation(LONG value, LONG chip);
void WINAPI TarvoSetHue(LONG value, LONG chip);

// ---- PCI host bridge ----------------------------------------------------------------------------
// Non-zero when the kernel driver found the tuned host bridge.
BYTE WINAPI TarvoIsBridge();
// The bridge's throughput configuration dword; 0 when it cannot be read.
DWORD WINAPI TarvoReadBridgePCIInfo();
void WINAPI TarvoWriteBridgePCIInfo(DWORD value);

// ---- Watchdog snapshots -----------------------------------------------------------------------
// Takes the snapshot of the decoder registers (status left out).
void WINAPI TarvoReadAllRegs(LONG chip);
// Compares the registers with the snapshot: up to 16 differences as register offset, value in
// the snapshot and value now; answers their number. Each reported entry of the snapshot takes
// the new value, so a change is reported once. The library's own register writes keep the
// snapshot up to date.
SHORT WINAPI TarvoCompareRegs(LONG* addresses, LONG* old_values, LONG* new_values, LONG chip);
// The same for the DMA program as the kernel driver dumps it (4096 words, entries up to 4096,
// the address being the byte offset in the dump).
void WINAPI TarvoReadRisc(LONG chip);
SHORT WINAPI TarvoCompareRisc(LONG* addresses, LONG* old_values, LONG* new_values, LONG chip);

// ---- DMA and format -----------------------------------------------------------------------------
// Stops the chip's DMA when it runs; TarvoRiscStart restarts a DMA stopped so at the current
// buffer and does nothing otherwise.
void WINAPI TarvoRiscStop(LONG reserved1, LONG reserved2, LONG chip);
void WINAPI TarvoRiscStart(LONG chip);
// Sends the chip's current colour format, width and height to the kernel driver again.
void WINAPI TarvoResetFormat(LONG chip);

// ---- Decoder registers ------------------------------------------------------------------------
// `reg` is the register's byte offset 0x000 to 0x0FC (rounded down to a multiple of 4).
void WINAPI WriteDecoder(LONG reg, BYTE value, LONG chip);
// 0 when the register cannot be read.
void WINAPI ReadDecoder(LONG reg, BYTE* value, LONG chip);

// ---- GPIO -----------------------------------------------------------------------------------
BYTE WINAPI GPIOIsInitOK(LONG chip);
// The GPIO data word (24 bits); 0 when it cannot be read.
DWORD WINAPI GetGPDATA(LONG chip);
void WINAPI SetGPIOMODE(LONG mode, LONG chip);
// Output enable mask of the 24 lines.
void WINAPI SetGPOE(LONG mask, LONG chip);
// Bits high..low (0 <= low <= high <= 23) of the data word; other bits keep their value.
void WINAPI SetGPDATABits(LONG high_bit, LONG low_bit, LONG value, LONG reserved, LONG chip);
// The bits high..low, shifted down; all ones when they cannot be read.
void WINAPI GetGPDATABits(LONG high_bit, LONG low_bit, LONG* value, LONG reserved, LONG chip);
void WINAPI SetGPINTI(LONG value, LONG chip);
void WINAPI SetGPINTC(LONG value, LONG chip);
BYTE WINAPI GetGPINTI(LONG chip);
BYTE WINAPI GetGPINTC(LONG chip);

} // extern "C"
#pragma GCC visibility pop
