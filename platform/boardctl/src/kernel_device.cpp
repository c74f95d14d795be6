#include "kernel_device.h"

#include "chip_registers.h"

#include "tarvo/tarvo_ioctl.h"
#include "win32/devio.h"
#include "win32/handleapi.h"

#include <cstring>
#include <string>

namespace boardctl {

KernelDevice::~KernelDevice() {
    if (is_open()) {
        CloseHandle(handle_);
    }
}

bool KernelDevice::is_open() const {
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
}

bool KernelDevice::open(int number) {
    if (is_open()) {
        return true;
    }
    const std::string name =
        std::string("\\\\.\\") + TARVO_DEVICE_BASE_NAME + std::to_string(number);
    handle_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr);
    return is_open();
}

bool KernelDevice::control(std::uint32_t code, const void* in, DWORD in_size, void* out,
                           DWORD out_size, DWORD* bytes) {
    if (!is_open()) {
        return false;
    }
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(handle_, code, const_cast<void*>(in), in_size, out, out_size,
                                    &returned, nullptr);
    if (bytes != nullptr) {
        *bytes = returned;
    }
    return ok != FALSE;
}

bool KernelDevice::read_register(std::uint32_t offset, std::uint32_t& value) {
    std::uint32_t word = offset;
    DWORD bytes = 0;
    if (!control(IOCTL_TARVO_READ_REG, &word, sizeof word, &word, sizeof word, &bytes) ||
        bytes < sizeof word) {
        return false;
    }
    value = word;
    return true;
}

bool KernelDevice::write_register(std::uint32_t offset, std::uint32_t value) {
    const std::uint32_t request[2] = {offset, value};
    return control(IOCTL_TARVO_WRITE_REG, request, sizeof request, nullptr, 0);
}

bool KernelDevice::read_all_registers(std::span<std::uint32_t> words) {
    std::uint32_t buffer[kAllRegisterWords];
    DWORD bytes = 0;
    if (words.size() != kAllRegisterWords ||
        !control(IOCTL_TARVO_READ_ALL_REGS, nullptr, 0, buffer, sizeof buffer, &bytes) ||
        bytes < sizeof buffer) {
        return false;
    }
    std::memcpy(words.data(), buffer, sizeof buffer);
    return true;
}

bool KernelDevice::read_gpio_data(std::uint32_t& value) {
    // Word 0 of the GPIO data range; the answer overwrites the request.
    std::uint32_t buffer[2] = {0, 1};
    DWORD bytes = 0;
    if (!control(IOCTL_TARVO_READ_GPIO_DATA, buffer, sizeof buffer, buffer, sizeof buffer,
                 &bytes) ||
        bytes < 4) {
        return false;
    }
    value = buffer[0];
    return true;
}

bool KernelDevice::write_gpio_data(std::uint32_t value) {
    // The driver reads the value from this process's memory at the address given.
    const std::uint32_t word = value;
    TARVO_GPIO_WRITE request{};
    request.index = 0;
    request.count = 1;
    request.values = reinterpret_cast<std::uintptr_t>(&word);
    return control(IOCTL_TARVO_WRITE_GPIO_DATA, &request, sizeof request, nullptr, 0);
}

bool KernelDevice::i2c_status(std::uint32_t& mask) {
    std::uint32_t word = 0;
    DWORD bytes = 0;
    if (!control(IOCTL_TARVO_GET_I2C_STATUS, nullptr, 0, &word, sizeof word, &bytes) ||
        bytes < sizeof word) {
        return false;
    }
    mask = word;
    return true;
}

bool KernelDevice::set_i2c_status(std::uint32_t mask) {
    return control(IOCTL_TARVO_SET_I2C_STATUS, &mask, sizeof mask, nullptr, 0);
}

bool KernelDevice::read_risc(std::span<std::uint32_t> words) {
    DWORD bytes = 0;
    constexpr DWORD size = kRiscWords * 4;
    if (words.size() != kRiscWords ||
        !control(IOCTL_TARVO_READ_RISC, nullptr, 0, words.data(), size, &bytes) || bytes < size) {
        return false;
    }
    return true;
}

bool KernelDevice::restart_dma() {
    return control(IOCTL_TARVO_RESTART_DMA, nullptr, 0, nullptr, 0);
}

bool KernelDevice::set_format(std::uint32_t color_format, std::uint32_t width,
                              std::uint32_t height) {
    TARVO_FORMAT request{};
    request.size = sizeof request;
    request.colorFormat = color_format;
    request.width = width;
    request.height = height;
    return control(IOCTL_TARVO_SET_FORMAT, &request, sizeof request, nullptr, 0);
}

bool KernelDevice::set_color(std::uint32_t brightness, std::uint32_t saturation,
                             std::uint32_t contrast) {
    TARVO_COLOR request{};
    request.size = sizeof request;
    request.brightness = brightness;
    request.saturation = saturation;
    request.contrast = contrast;
    request.flag = 0;
    return control(IOCTL_TARVO_SET_COLOR, &request, sizeof request, nullptr, 0);
}

bool KernelDevice::is_bridge(bool& present) {
    std::uint32_t word = 0;
    DWORD bytes = 0;
    if (!control(IOCTL_TARVO_IS_BRIDGE, nullptr, 0, &word, sizeof word, &bytes) ||
        bytes < sizeof word) {
        return false;
    }
    present = word != 0;
    return true;
}

bool KernelDevice::read_bridge(std::uint32_t& value) {
    std::uint32_t word = 0;
    DWORD bytes = 0;
    if (!control(IOCTL_TARVO_READ_BRIDGE_CONFIG, nullptr, 0, &word, sizeof word, &bytes) ||
        bytes < sizeof word) {
        return false;
    }
    value = word;
    return true;
}

bool KernelDevice::write_bridge(std::uint32_t value) {
    return control(IOCTL_TARVO_WRITE_BRIDGE_CONFIG, &value, sizeof value, nullptr, 0);
}

} // namespace boardctl
