#include "board_control.h"

#include "settings/settings_files.h"
#include "win32/synch.h"
#include "win32/timeapi.h"

#include <algorithm>

namespace station {
namespace {

// I2C address bytes (read/write bit included) that the board map's address indexes name.
constexpr std::uint8_t kMuxAddresses[kCommAddressCount] = {0x4C};
constexpr std::uint8_t kDacAddresses[kDacAddressCount] = {0x48};
constexpr std::uint8_t kSensorAddresses[kSensAddressCount] = {0x45, 0x75};
constexpr std::uint8_t kRelayAddresses[kUprAddressCount] = {0x42, 0x72};

constexpr std::uint8_t kMonitorGroup = 0x40;
constexpr std::uint8_t kDacCommand = 0xF0;
constexpr LONG kResetLine = 9;
constexpr LONG kReadyLine = 8;
constexpr std::uint64_t kMuxFailuresBeforeReset = 100;

bool camera_ok(std::uint8_t camera) {
    return camera >= 1 && camera <= kCameraCount;
}

// Milliseconds since `tick`; a clock below it (wrapped) first resets it.
std::uint32_t since(std::uint32_t& tick) {
    const std::uint32_t now = timeGetTime();
    if (now < tick) {
        tick = now;
    }
    return now - tick;
}

// The outcome of one try.
struct Try {
    bool ok;
    int code; // the library's error code, when the try failed and `mismatch` is clear
    bool mismatch;
};
constexpr Try kTryOk{true, 0, false};

} // namespace

BoardControl::BoardControl(const BoardLibrary& library,
                           const std::array<bool, kChipCount>& chip_present, const HrdMapTable& map)
    : library_(library), chip_present_(chip_present), map_(map) {
    I2CLastTick.fill(timeGetTime());
    ResetMuxBookkeeping();
}

void BoardControl::ResetMuxBookkeeping() {
    CaptureMuxWanted.fill(1);
    CaptureMuxSent.fill(kCameraCount);
    MonitorMuxWanted.fill(1);
    MonitorMuxSent.fill(kCameraCount);
}

bool BoardControl::chip_ok(int k) const {
    return k >= 1 && k <= kChipCount && chip_present_[static_cast<std::size_t>(k - 1)];
}

BoardControl::Device BoardControl::device(std::int32_t address_index, const std::uint8_t* addresses,
                                          int count, std::int32_t board) const {
    if (!on() || address_index < 1 || address_index > count || !chip_ok(board)) {
        return {false, 0, 0};
    }
    return {true, addresses[address_index - 1], board};
}

BoardControl::Device BoardControl::mux_device() const {
    return device(map_.CommAdr, kMuxAddresses, kCommAddressCount, map_.CommChanel);
}
BoardControl::Device BoardControl::dac_device() const {
    return device(map_.DacAdr, kDacAddresses, kDacAddressCount, map_.DacChanel);
}
BoardControl::Device BoardControl::sensor_device() const {
    return device(map_.SensAdr, kSensorAddresses, kSensAddressCount, map_.SensChanel);
}
BoardControl::Device BoardControl::relay_device() const {
    return device(map_.UprAdr, kRelayAddresses, kUprAddressCount, map_.UprChanel);
}

void BoardControl::pace(int board) {
    if (Settings.Delay <= 0) {
        return;
    }
    std::uint32_t& last = I2CLastTick[static_cast<std::size_t>(board - 1)];
    const auto delay = static_cast<std::uint32_t>(Settings.Delay);
    // Sleeps until the deadline rather than spinning on the clock; a Sleep may end early or
    // late by the clock's granularity, so the passed time is read again after it.
    for (std::uint32_t passed = since(last); passed <= delay; passed = since(last)) {
        Sleep(delay + 1 - passed);
    }
}

template <class Attempt> bool BoardControl::transaction(int kind, int board, Attempt attempt) {
    const std::int64_t tries = std::max<std::int64_t>(1, std::int64_t{Settings.AutoRepeat} + 1);
    for (std::int64_t i = 0; i < tries; ++i) {
        pace(board);
        const Try t = attempt();
        if (t.ok) {
            return true;
        }
        if (t.mismatch) {
            Counters.CountReadBackMismatch();
        } else {
            Counters.CountError(kind, t.code);
        }
    }
    CountUp(Counters.I2CFailTotals[static_cast<std::size_t>(kind)]);
    return false;
}

bool BoardControl::mux_write(std::uint8_t byte) {
    const Device d = mux_device();
    const LONG chip = d.board - 1;
    std::uint32_t& last = I2CLastTick[static_cast<std::size_t>(chip)];
    return transaction(kMuxDevices, d.board, [&]() -> Try {
        const LONG written = lib().I2CHWWrite2(d.address, byte, chip);
        last = timeGetTime();
        const int write_code = written != 0 ? lib().I2CGetLastError(chip) : 0;
        if (Settings.UseCommReady != 0) {
            const auto delay =
                static_cast<std::uint32_t>(std::max<std::int32_t>(0, Settings.Delay));
            std::uint32_t write_tick = last;
            while (!WaitCommReady(d.board) && since(write_tick) <= delay) {
            }
        }
        if (written != 0) {
            return {false, write_code, false};
        }
        if (Settings.UseCheckComm == 0) {
            return kTryOk;
        }
        BYTE read = 0;
        if (lib().I2CHWRead(d.address + 1, &read, chip) != 0) {
            return {false, lib().I2CGetLastError(chip), false};
        }
        return read == byte ? kTryOk : Try{false, 0, true};
    });
}

void BoardControl::mux_failed() {
    CountUp(Counters.MuxFailSinceReset);
    if (Counters.MuxFailSinceReset > kMuxFailuresBeforeReset) {
        reset_bus();
    }
}

void BoardControl::reset_bus() {
    for (int k = 1; k <= kChipCount; ++k) {
        if (!chip_ok(k)) {
            continue;
        }
        lib().SetGPDATABits(kResetLine, kResetLine, 0, 0, k - 1);
        Sleep(1);
        lib().SetGPDATABits(kResetLine, kResetLine, 1, 0, k - 1);
    }
    CountUp(Counters.BusResetCount);
    Counters.MuxFailSinceReset = 0;
}

void BoardControl::SwitchCaptureMux(bool stop, int k) {
    if (!on() || k < 1 || k > kChipCount) {
        return;
    }
    const auto i = static_cast<std::size_t>(k - 1);
    if (stop) {
        lib().TarvoRiscStop(0, 0, k - 1);
    }
    const std::uint8_t camera = CaptureMuxWanted[i];
    if (camera != CaptureMuxSent[i] && camera_ok(camera) && mux_device().usable) {
        const auto byte = static_cast<std::uint8_t>(16 * (k - 1) + (camera - 1));
        if (mux_write(byte)) {
            CaptureMuxSent[i] = camera;
        } else {
            mux_failed();
        }
    }
    if (stop) {
        lib().TarvoRiscStart(k - 1);
    }
}

void BoardControl::SwitchMonitorMux(int m) {
    if (!on() || m < 1 || m > kMonitorCount) {
        return;
    }
    const auto i = static_cast<std::size_t>(m - 1);
    const std::uint8_t camera = MonitorMuxWanted[i];
    if (camera == MonitorMuxSent[i] || !camera_ok(camera) || !mux_device().usable) {
        return;
    }
    const auto byte = static_cast<std::uint8_t>(kMonitorGroup + 16 * (m - 1) + (camera - 1));
    if (mux_write(byte)) {
        MonitorMuxSent[i] = camera;
    } else {
        mux_failed();
    }
}

void BoardControl::WriteCameraLevel(std::int32_t level, int k) {
    if (k < 1 || k > kChipCount) {
        return;
    }
    std::int32_t& sent = DacLevelSent[static_cast<std::size_t>(k - 1)];
    if (level == sent) {
        return;
    }
    sent = level;
    const Device d = dac_device();
    if (!d.usable) {
        return;
    }
    const LONG chip = d.board - 1;
    const auto command = static_cast<BYTE>(kDacCommand + (k - 1));
    transaction(kDacDevice, d.board, [&]() -> Try {
        const LONG r = lib().I2CHWWrite3(d.address, command, static_cast<BYTE>(level), chip);
        I2CLastTick[static_cast<std::size_t>(chip)] = timeGetTime();
        return r == 0 ? kTryOk : Try{false, lib().I2CGetLastError(chip), false};
    });
}

void BoardControl::UpdateRelayOutputs(CameraSlots& slots) {
    for (int pin = 1; pin <= kRelayCount; ++pin) {
        bool driven = false;
        bool active = false;
        std::int32_t level = 0;
        for (int s = 1; s <= kSlotCount; ++s) {
            const CameraAlarmFields* w = slots.Window(s);
            if (w == nullptr || w->UseOutput == 0 || w->OutputPin != pin) {
                continue;
            }
            if (!active) {
                level = w->OutputState; // the first active one, or else the last one taken
            }
            driven = true;
            if (w->OutputActive != 0) {
                active = true;
            }
        }
        if (!driven) {
            continue;
        }
        const auto bit = static_cast<std::uint8_t>(1u << (pin - 1));
        if ((active && level == 1) || (!active && level == 0)) {
            RelayByte = static_cast<std::uint8_t>(RelayByte | bit);
        } else if ((active && level == 0) || (!active && level == 1)) {
            RelayByte = static_cast<std::uint8_t>(RelayByte & ~bit);
        }
    }
    WriteRelayOutputs();
}

void BoardControl::WriteRelayOutputs() {
    if (RelayByte == RelayByteSent) {
        return;
    }
    RelayByteSent = RelayByte;
    const Device d = relay_device();
    if (!d.usable) {
        return;
    }
    const LONG chip = d.board - 1;
    const BYTE byte = RelayByte;
    transaction(kRelayDevices, d.board, [&]() -> Try {
        const LONG r = lib().I2CHWWrite2(d.address, byte, chip);
        I2CLastTick[static_cast<std::size_t>(chip)] = timeGetTime();
        return r == 0 ? kTryOk : Try{false, lib().I2CGetLastError(chip), false};
    });
}

void BoardControl::WriteAllRelaysOff() {
    RelayByte = 255;
    RelayByteSent = 0;
    WriteRelayOutputs();
}

void BoardControl::ReadSensorInputs() {
    const Device d = sensor_device();
    if (!d.usable) {
        return;
    }
    const LONG chip = d.board - 1;
    const auto word = static_cast<std::uint16_t>(SensorWord);
    std::uint8_t bytes[2] = {static_cast<std::uint8_t>(word & 0xFF),
                             static_cast<std::uint8_t>(word >> 8)};
    for (int half = 0; half < 2; ++half) {
        const LONG address = d.address + 2 * half;
        BYTE read = 0;
        const bool ok = transaction(kSensorDevices, d.board, [&]() -> Try {
            read = 0;
            const LONG r = lib().I2CHWRead(address, &read, chip);
            I2CLastTick[static_cast<std::size_t>(chip)] = timeGetTime();
            return r == 0 ? kTryOk : Try{false, lib().I2CGetLastError(chip), false};
        });
        if (ok) {
            bytes[half] = read;
        }
    }
    SensorWord = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[1] << 8 | bytes[0]));
}

bool BoardControl::WaitCommReady(int board) {
    if (!on() || board < 1 || board > kChipCount) {
        return false;
    }
    LONG value = -1;
    lib().GetGPDATABits(kReadyLine, kReadyLine, &value, 0, board - 1);
    return value == 0;
}

void BoardControl::SetVerticalFilter(int k) {
    if (!on() || !chip_ok(k)) {
        return;
    }
    lib().WriteDecoder(0x6C, 1, k - 1);
    lib().WriteDecoder(0xEC, 1, k - 1);
}

void BoardControl::SetLumaNotch(int k, bool notch_off) {
    if (!on() || k < 1 || k > kChipCount) {
        return;
    }
    BYTE even = 0;
    BYTE odd = 0;
    lib().ReadDecoder(0x2C, &even, k - 1);
    lib().ReadDecoder(0xAC, &odd, k - 1);
    const auto apply = [notch_off](BYTE v) {
        return static_cast<BYTE>(notch_off ? (v | 0x80) : (v & 0x7F));
    };
    lib().WriteDecoder(0x2C, apply(even), k - 1);
    lib().WriteDecoder(0xAC, apply(odd), k - 1);
}

void BoardControl::SetScalingLoop(int k) {
    if (!on() || !chip_ok(k)) {
        return;
    }
    lib().WriteDecoder(0x40, 0x20, k - 1);
    lib().WriteDecoder(0xC0, 0x20, k - 1);
}

void BoardControl::SetAdcRegister(int k) {
    if (!on() || !chip_ok(k)) {
        return;
    }
    lib().WriteDecoder(0x68, 0x92, k - 1);
}

} // namespace station
