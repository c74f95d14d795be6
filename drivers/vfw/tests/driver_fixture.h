// Test set-up for the capture driver: a temporary system root with patched copies of
// tarvovfw0.dll registered in capture-layer slots, a kernel image (the fake device or the real
// driver) in the system's drivers folder, and helpers to open channels and send messages.
#pragma once

#include <gtest/gtest.h>

#include "driver_copy.h"
#include "vfw.h"
#include "win32/winsvc.h"

#include "platform/ui_recorder.h"
#include "platform/ui_sink.h"

#include <filesystem>
#include <memory>
#include <string>

namespace capdrv_test {

// Copies tarvovfw0.dll into the system directory as `file` with its device digit patched.
std::filesystem::path install_copy(const std::string& file, int digit);
using vfw_test::register_slot;
// Puts a kernel image at <system>\drivers\Tarvo.sys, where the capture driver registers it.
void install_kernel_image(const char* image);
// Creates the service "Tarvo" (demand start) for the image in the drivers folder.
void create_service(DWORD start = SERVICE_DEMAND_START);
// The service's state (0 when it does not exist) and start type.
DWORD service_state();
DWORD service_start_type();
// A REG_DWORD of the copy's per-user key, or -1 when missing.
long long user_value(int index, const char* name);
void set_user_value(int index, const char* name, DWORD value);

class DriverFixture : public ::testing::Test {
protected:
    DriverFixture();
    ~DriverFixture() override;

    std::filesystem::path root_;
    std::shared_ptr<platform::UiRecorder> ui_ = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink_{ui_};
};

// A driver opened through the installable-driver services: a channel (or the configuration
// open with no parameters).
class Channel {
public:
    Channel() = default;
    Channel(LPCWSTR file, DWORD channel);
    ~Channel() { close(); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    // Opens without open parameters (identifier 9999).
    static std::unique_ptr<Channel> configuration(LPCWSTR file);

    bool ok() const { return handle_ != nullptr; }
    DWORD error() const { return parms_.dwError; }
    LRESULT send(UINT msg, LPARAM p1 = 0, LPARAM p2 = 0) const {
        return SendDriverMessage(handle_, msg, p1, p2);
    }
    // DVM_FORMAT / DVM_PALETTE style message with a VIDEOCONFIGPARMS.
    LRESULT configure(UINT msg, DWORD flags, void* data1, DWORD size1, void* data2 = nullptr,
                      DWORD size2 = 0, DWORD* ret = nullptr) const;
    LRESULT close();

private:
    HDRVR handle_ = nullptr;
    VIDEO_OPEN_PARMS parms_{};
};

} // namespace capdrv_test
