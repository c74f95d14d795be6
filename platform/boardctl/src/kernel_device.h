// One chip's kernel device "\\.\TarvoDevice<n>" and the device-control requests the library
// sends it. The handle is opened once and closed with the object.
#pragma once

#include "win32/types.h"

#include <cstdint>
#include <span>

namespace boardctl {

class KernelDevice {
public:
    KernelDevice() = default;
    ~KernelDevice();
    KernelDevice(const KernelDevice&) = delete;
    KernelDevice& operator=(const KernelDevice&) = delete;

    // Opens device `number`; true when it is open (also when it already was).
    bool open(int number);
    bool is_open() const;

    bool read_register(std::uint32_t offset, std::uint32_t& value);
    bool write_register(std::uint32_t offset, std::uint32_t value);
    // The words 0x000 to 0x120 (kAllRegisterWords of them).
    bool read_all_registers(std::span<std::uint32_t> words);
    bool read_gpio_data(std::uint32_t& value);
    bool write_gpio_data(std::uint32_t value);
    bool i2c_status(std::uint32_t& mask);
    bool set_i2c_status(std::uint32_t mask);
    // The 16 KB DMA-program dump (kRiscWords words).
    bool read_risc(std::span<std::uint32_t> words);
    bool restart_dma();
    bool set_format(std::uint32_t color_format, std::uint32_t width, std::uint32_t height);
    bool set_color(std::uint32_t brightness, std::uint32_t saturation, std::uint32_t contrast);
    bool is_bridge(bool& present);
    bool read_bridge(std::uint32_t& value);
    bool write_bridge(std::uint32_t value);

private:
    bool control(std::uint32_t code, const void* in, DWORD in_size, void* out, DWORD out_size,
                 DWORD* bytes = nullptr);

    HANDLE handle_ = nullptr;
};

} // namespace boardctl
