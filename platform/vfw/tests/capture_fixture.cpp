#include "capture_fixture.h"

namespace vfw_test {

CaptureTest::CaptureTest() {
    root_ = make_system_root("tolm-vfw");
    vfw_probe::reset();
}

CaptureTest::~CaptureTest() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::filesystem::path CaptureTest::install(unsigned slot, int digit) {
    const std::string file = "testcap" + std::to_string(digit) + ".dll";
    auto path = install_driver_copy(TEST_DRIVER_PATH, file, digit);
    register_slot(slot, file);
    return path;
}

} // namespace vfw_test
