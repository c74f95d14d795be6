#include "fake_device_fixture.h"

#include "win32/modules.h"

namespace capdrv_test {

FakeDeviceTest::FakeDeviceTest() {
    fake_device::reset();
    install_kernel_image(FAKE_KERNEL_PATH);
    install_copy("tarvovfw0.dll", 0);
    register_slot(0, "tarvovfw0.dll");
}

FakeDeviceTest::~FakeDeviceTest() {
    configuration_.reset();
}

DRIVERPROC FakeDeviceTest::driver_proc() {
    if (proc_ == nullptr) {
        configuration_ = Channel::configuration(u"MSVIDEO");
        EXPECT_TRUE(configuration_->ok());
        HMODULE module = GetModuleHandleA("tarvovfw0.dll");
        EXPECT_NE(module, nullptr);
        proc_ = reinterpret_cast<DRIVERPROC>(GetProcAddress(module, "DriverProc"));
        EXPECT_NE(proc_, nullptr);
    }
    return proc_;
}

LRESULT FakeDeviceTest::open_direct(DWORD channel, DWORD* error, DWORD fcc) {
    VIDEO_OPEN_PARMS parms{};
    parms.dwSize = sizeof parms;
    parms.fccType = fcc != 0 ? fcc : mmioFOURCC('v', 'c', 'a', 'p');
    parms.dwVersion = VIDEOAPIVERSION;
    parms.dwFlags = channel;
    parms.dwError = 0xEEEE;
    const LRESULT r = driver_proc()(0, nullptr, DRV_OPEN, 0, reinterpret_cast<LPARAM>(&parms));
    if (error != nullptr) {
        *error = parms.dwError;
    }
    return r;
}

std::vector<std::uint8_t> FakeDeviceTest::last_input(std::uint32_t code) const {
    const auto all = fake_device::requests();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (it->code == code) {
            return it->input;
        }
    }
    return {};
}

} // namespace capdrv_test
