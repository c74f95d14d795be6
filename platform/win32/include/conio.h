// Byte port I/O of the x86 console runtime, as the station calls it for the PC speaker.
// Served by the port handler the kernel stand-in registers once it has granted the
// process port access (platform/ports.h); without one every access is refused.
#pragma once

extern "C" {
// Writes the low byte of `value` to `port`; returns `value`.
int _outp(unsigned short port, int value);
// The byte read from `port`; 0xFF for a refused access.
int _inp(unsigned short port);
}
