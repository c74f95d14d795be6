// A temporary system root with copies of the test capture driver installed and registered.
#pragma once

#include "driver_copy.h"
#include "probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vfw_test {

class CaptureTest : public ::testing::Test {
protected:
    CaptureTest();
    ~CaptureTest() override;

    // Installs "testcap<digit>.dll" with device digit `digit` and registers it in `slot`.
    std::filesystem::path install(unsigned slot, int digit);

    std::filesystem::path root_;
};

} // namespace vfw_test
