// A temporary system root with copies of the test capture driver installed and registered.
#pragma once

#include "probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vfw_test {

// Copies the test driver into the system directory as `file`, with the digit that ends its
// FileDescription patched to `digit`.
std::filesystem::path install_driver_copy(const std::string& file, int digit);
// Sets Drivers32 value "MSVIDEO" (slot 0) or "MSVIDEO<slot>" to `value`.
void register_slot(unsigned slot, const std::string& value);

class CaptureTest : public ::testing::Test {
protected:
    CaptureTest();
    ~CaptureTest() override;

    // Installs "testcap<digit>.dll" with device digit `digit` and registers it in `slot`.
    std::filesystem::path install(unsigned slot, int digit);

    std::filesystem::path root_;
};

} // namespace vfw_test
