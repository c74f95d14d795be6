// Shared set-up of the kernel stand-in's tests: a temporary system root, a fresh machine on the
// manual clock, deferred calls drained by the test and bug checks thrown as exceptions.
#pragma once

#include <gtest/gtest.h>

#include "machine/machine.h"
#include "platform/clock.h"
#include "platform/nt_kernel.h"
#include "platform/paths.h"

#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace nt_test {

class KernelTest : public ::testing::Test {
protected:
    KernelTest() {
        std::random_device rd;
        root_ = std::filesystem::temp_directory_path() /
                ("tolm_nt_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(root_);
        platform::set_system_root(root_);
        platform::clock::use_manual(1000);
        machine::install_machine(std::make_unique<machine::Machine>());
        platform::nt::set_deferred_mode(platform::nt::DeferredMode::Manual);
        platform::nt::throw_on_bugcheck();
        platform::nt::clear_unload_reports();
        platform::nt::clear_injected_faults();
    }
    ~KernelTest() override {
        platform::nt::reset();
        platform::nt::drain_deferred();
        platform::nt::clear_injected_faults();
        platform::nt::set_bugcheck_handler({});
        machine::install_machine(nullptr);
        platform::clock::use_real();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    machine::Machine& m() { return machine::the_machine(); }
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

} // namespace nt_test
