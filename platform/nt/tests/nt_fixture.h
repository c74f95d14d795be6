// Shared set-up of the kernel stand-in's tests: a temporary system root and a fresh stepped
// machine on the manual clock (deferred calls drained by the test, bug checks thrown).
#pragma once

#include <gtest/gtest.h>

#include "machine/machine.h"
#include "platform/clock.h"
#include "platform/nt_kernel.h"
#include "platform/paths.h"
#include "stepped_machine.h"
#include "system_root.h"

#include <filesystem>
#include <memory>
#include <string>

namespace nt_test {

class KernelTest : public ::testing::Test {
protected:
    machine::Machine& m() { return machine_.hw(); }
    const std::filesystem::path& root() const { return root_.path(); }

private:
    tolm_test::TempSystemRoot root_{"tolm-nt"};
    tolm_test::SteppedMachine machine_{{}, 1000};
};

} // namespace nt_test
