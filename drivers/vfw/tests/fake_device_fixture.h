// Tests against the recording fake kernel device: copy 0 of the capture driver registered in
// slot 0, the fake image in the drivers folder (the service is made on the first open).
#pragma once

#include "driver_fixture.h"
#include "fake_device_probe.h"

#include "tarvo/tarvo_ioctl.h"

#include <cstring>
#include <vector>

namespace capdrv_test {

class FakeDeviceTest : public DriverFixture {
protected:
    FakeDeviceTest();
    ~FakeDeviceTest() override;

    // Loads the copy (a configuration open) and returns its DriverProc.
    DRIVERPROC driver_proc();
    // DRV_OPEN straight through DriverProc with fresh open parameters.
    LRESULT open_direct(DWORD channel, DWORD* error = nullptr, DWORD fcc = 0);

    std::vector<std::uint32_t> codes() const { return fake_device::codes(); }
    // The input of the last request with this code (empty when none came).
    std::vector<std::uint8_t> last_input(std::uint32_t code) const;
    static DWORD word(const std::vector<std::uint8_t>& bytes, std::size_t at) {
        DWORD v = 0;
        if (at + 4 <= bytes.size()) {
            std::memcpy(&v, bytes.data() + at, 4);
        }
        return v;
    }

    std::unique_ptr<Channel> configuration_;
    DRIVERPROC proc_ = nullptr;
};

} // namespace capdrv_test
